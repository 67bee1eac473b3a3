#include "uitoolkit/SkinPackage.h"

#include <zip.h>

#include "Logging.h"
#include "platform/Encoding.h"

namespace ui {
namespace {

struct SourceFreer {
  void operator()(zip_source_t* source) const { zip_source_free(source); }
};

struct FileCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};

struct ErrorHolder {
  ErrorHolder() { zip_error_init(&error); }
  ~ErrorHolder() { zip_error_fini(&error); }
  ErrorHolder(const ErrorHolder&) = delete;
  ErrorHolder& operator=(const ErrorHolder&) = delete;
  zip_error_t error;
};

bool IsFolderName(const std::string& name) { return !name.empty() && name.back() == '/'; }

}  // namespace

void SkinPackage::ArchiveCloser::operator()(zip* archive) const { zip_discard(archive); }

SkinPackage::SkinPackage() = default;
SkinPackage::~SkinPackage() = default;

bool SkinPackage::Open(const void* data, std::size_t size) {
  archive_.reset();
  index_.clear();
  names_.clear();
  if (data == nullptr || size == 0) {
    // libzip reads zero bytes as an empty archive; for us it is no package at all.
    LOG(INFO) << " SkinPackage: no bytes to open";
    return false;
  }
  ErrorHolder holder;
  std::unique_ptr<zip_source_t, SourceFreer> source(
      zip_source_buffer_create(data, size, 0, &holder.error));
  if (!source) {
    LOG(INFO) << " SkinPackage: cannot wrap " << size
              << " bytes: " << zip_error_strerror(&holder.error);
    return false;
  }
  // No ZIP_CHECKCONS: archives written by common tools (our build's own packer
  // among them) fail its strict header comparison; every read checks its CRC instead.
  zip_t* archive = zip_open_from_source(source.get(), ZIP_RDONLY, &holder.error);
  if (archive == nullptr) {
    LOG(INFO) << " SkinPackage: not a readable zip archive (" << size
              << " bytes): " << zip_error_strerror(&holder.error);
    return false;
  }
  source.release();  // the archive owns the source from here on
  archive_.reset(archive);
  BuildIndex();
  return true;
}

bool SkinPackage::IsOpen() const { return archive_ != nullptr; }

void SkinPackage::BuildIndex() {
  const zip_int64_t count = zip_get_num_entries(archive_.get(), 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* name = zip_get_name(archive_.get(), static_cast<zip_uint64_t>(i), 0);
    if (name == nullptr) continue;
    const std::wstring wide = platform::FromUtf8(name);
    names_.push_back(wide);
    index_.emplace(NormalisePath(wide), static_cast<unsigned long long>(i));
  }
}

std::vector<std::wstring> SkinPackage::EntryNames() const { return names_; }

std::string SkinPackage::NormalisePath(const std::wstring& path) {
  std::string key = platform::ToUtf8(path);
  for (char& c : key) {
    if (c == '\\') c = '/';
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

bool SkinPackage::FindIndex(const std::wstring& path, unsigned long long* index) const {
  const auto found = index_.find(NormalisePath(path));
  if (found == index_.end()) return false;
  *index = found->second;
  return true;
}

bool SkinPackage::HasEntry(const std::wstring& path) const {
  unsigned long long index = 0;
  return FindIndex(path, &index);
}

bool SkinPackage::ReadEntry(const std::wstring& path, std::vector<unsigned char>* bytes) const {
  bytes->clear();
  unsigned long long index = 0;
  if (!archive_ || IsFolderName(NormalisePath(path)) || !FindIndex(path, &index)) return false;
  std::lock_guard<std::mutex> lock(readMutex_);
  if (ReadIndex(index, bytes)) return true;
  bytes->clear();
  LOG(INFO) << " SkinPackage: cannot read entry " << platform::ToUtf8(path);
  return false;
}

bool SkinPackage::ReadIndex(unsigned long long index, std::vector<unsigned char>* bytes) const {
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(archive_.get(), index, 0, &stat) != 0) return false;
  if ((stat.valid & ZIP_STAT_SIZE) == 0 || stat.size > kMaxEntrySize) return false;
  if (stat.name != nullptr && IsFolderName(stat.name)) return false;
  std::unique_ptr<zip_file_t, FileCloser> file(zip_fopen_index(archive_.get(), index, 0));
  if (!file) return false;
  bytes->resize(static_cast<std::size_t>(stat.size));
  std::size_t done = 0;
  while (done < bytes->size()) {
    const zip_int64_t got = zip_fread(file.get(), bytes->data() + done, bytes->size() - done);
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  // One more read reaches the end of the entry, where the checksum is verified.
  unsigned char extra = 0;
  return zip_fread(file.get(), &extra, 1) == 0;
}

}  // namespace ui
