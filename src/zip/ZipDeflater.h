// A raw deflate stream (RFC 1951, no zlib or gzip wrapper) at level 8, fed
// block by block so that no file is ever held whole. One entry per object;
// one thread at a time.
#pragma once
#include <cstddef>
#include <memory>
#include <string>

struct z_stream_s;

class ZipDeflater {
 public:
  ZipDeflater();  // Ok() tells whether zlib could set the stream up
  ~ZipDeflater();
  ZipDeflater(const ZipDeflater&) = delete;
  ZipDeflater& operator=(const ZipDeflater&) = delete;

  bool Ok() const { return ok_; }

  // Compresses size bytes of data and appends what zlib hands out to *out;
  // with finish, also ends the stream (data may then be empty). False when
  // the stream was not set up, was already finished, or zlib fails.
  bool Feed(const char* data, size_t size, bool finish, std::string* out);

 private:
  std::unique_ptr<z_stream_s> stream_;
  bool ok_ = false;
  bool finished_ = false;
};
