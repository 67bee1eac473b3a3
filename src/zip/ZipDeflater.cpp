#include "zip/ZipDeflater.h"

#include <zlib.h>

#include <climits>

namespace {

constexpr int kLevel = 8;
constexpr int kMemoryLevel = 8;
constexpr size_t kOutputBlock = 64 * 1024;

}  // namespace

ZipDeflater::ZipDeflater() : stream_(std::make_unique<z_stream_s>()) {
  // Negative window bits ask zlib for the bare RFC 1951 stream that ZIP keeps.
  ok_ = deflateInit2(stream_.get(), kLevel, Z_DEFLATED, -MAX_WBITS, kMemoryLevel,
                     Z_DEFAULT_STRATEGY) == Z_OK;
}

ZipDeflater::~ZipDeflater() {
  if (ok_) deflateEnd(stream_.get());
}

bool ZipDeflater::Feed(const char* data, size_t size, bool finish, std::string* out) {
  if (!ok_ || finished_ || size > UINT_MAX) return false;
  z_stream_s* stream = stream_.get();
  stream->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  stream->avail_in = static_cast<uInt>(size);
  const int flush = finish ? Z_FINISH : Z_NO_FLUSH;
  char block[kOutputBlock];
  for (;;) {
    stream->next_out = reinterpret_cast<Bytef*>(block);
    stream->avail_out = sizeof block;
    const int result = deflate(stream, flush);
    if (result == Z_STREAM_ERROR) return false;
    const size_t produced = sizeof block - stream->avail_out;
    // With a whole empty block to fill, finishing always makes progress; a
    // stream that makes none is broken and would loop for ever.
    if (finish && result == Z_BUF_ERROR && produced == 0) return false;
    out->append(block, produced);
    if (result == Z_STREAM_END) {
      finished_ = true;
      return true;
    }
    // Without finish, zlib is done with this input once it leaves room in the
    // output; with finish it goes on until the end of the stream.
    if (!finish && stream->avail_out != 0) return true;
  }
}
