#include "TestZip.h"

#include <zip.h>

#include <memory>

namespace uitest {
namespace {

struct SourceFreer {
  void operator()(zip_source_t* source) const { zip_source_free(source); }
};
using SourcePtr = std::unique_ptr<zip_source_t, SourceFreer>;

// Adds every file to the archive on top of buffer; closing writes the bytes into it.
template <typename Files>
bool WriteArchive(zip_source_t* buffer, const Files& files) {
  zip_source_keep(buffer);  // the archive's close must not free our buffer
  zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, nullptr);
  if (archive == nullptr) {
    zip_source_free(buffer);  // drop the extra reference taken above
    return false;
  }
  for (const auto& file : files) {
    zip_source_t* data = zip_source_buffer(archive, file.content.data(), file.content.size(), 0);
    const zip_int64_t index =
        data == nullptr ? -1 : zip_file_add(archive, file.name.c_str(), data, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
      if (data != nullptr) zip_source_free(data);
      zip_discard(archive);
      return false;
    }
    const zip_int32_t method = file.compressed ? ZIP_CM_DEFLATE : ZIP_CM_STORE;
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), method, 0);
  }
  if (zip_close(archive) == 0) return true;
  zip_discard(archive);
  return false;
}

std::vector<unsigned char> ReadAll(zip_source_t* buffer) {
  std::vector<unsigned char> bytes;
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_source_stat(buffer, &stat) != 0 || zip_source_open(buffer) != 0) return bytes;
  bytes.resize(static_cast<std::size_t>(stat.size));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const zip_int64_t got = zip_source_read(buffer, bytes.data() + done, bytes.size() - done);
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  zip_source_close(buffer);
  if (done != bytes.size()) bytes.clear();
  return bytes;
}

}  // namespace

TestZip& TestZip::Add(const std::string& name, const std::string& content, bool compressed) {
  files_.push_back(File{name, content, compressed});
  return *this;
}

std::vector<unsigned char> TestZip::Build() const {
  SourcePtr buffer(zip_source_buffer_create(nullptr, 0, 0, nullptr));
  if (!buffer || !WriteArchive(buffer.get(), files_)) return {};
  return ReadAll(buffer.get());
}

}  // namespace uitest
