#include "zip/ZipOutputFile.h"

#include <climits>
#include <filesystem>
#include <random>

#include "platform/Encoding.h"

namespace {

constexpr int kNameTries = 4;

std::string RandomSuffix() {
  static constexpr char kHex[] = "0123456789abcdef";
  std::random_device random;
  std::string suffix = ".";
  for (int i = 0; i < 8; ++i) suffix.push_back(kHex[random() & 0xF]);
  return suffix + ".part";
}

}  // namespace

ZipOutputFile::~ZipOutputFile() { Abandon(); }

bool ZipOutputFile::Create(const std::wstring& finalPath) {
  Abandon();
  finalPath_ = platform::ToUtf8(finalPath);
  std::error_code error;
  if (finalPath_.empty() || std::filesystem::is_directory(finalPath_, error)) return false;
  for (int attempt = 0; attempt < kNameTries && !file_; ++attempt) {
    tempPath_ = finalPath_ + RandomSuffix();
    // "x": never open a file that is already there, another writer's or not.
    file_.reset(std::fopen(tempPath_.c_str(), "wbx"));
  }
  if (!file_) tempPath_.clear();
  size_ = 0;
  return file_ != nullptr;
}

bool ZipOutputFile::Append(const std::string& bytes) {
  if (!file_ || std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) {
    return false;
  }
  size_ += bytes.size();
  return true;
}

bool ZipOutputFile::Overwrite(uint64_t offset, const std::string& bytes) {
  if (!file_ || offset + bytes.size() > size_ || !SeekTo(offset)) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) == bytes.size();
  return SeekTo(size_) && written;
}

bool ZipOutputFile::TruncateTo(uint64_t size) {
  if (!file_ || size > size_ || std::fflush(file_.get()) != 0) return false;
  std::error_code error;
  std::filesystem::resize_file(tempPath_, size, error);
  if (error) return false;
  size_ = size;
  return SeekTo(size_);
}

bool ZipOutputFile::Commit() {
  if (!file_) return false;
  const bool flushed = std::fflush(file_.get()) == 0;
  const bool closed = std::fclose(file_.release()) == 0;
  std::error_code error;
  if (flushed && closed) std::filesystem::rename(tempPath_, finalPath_, error);
  if (!flushed || !closed || error) {
    Abandon();
    return false;
  }
  tempPath_.clear();
  return true;
}

void ZipOutputFile::Abandon() {
  file_.reset();
  if (tempPath_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove(tempPath_, ignored);
  tempPath_.clear();
}

bool ZipOutputFile::SeekTo(uint64_t offset) {
  if (offset > static_cast<uint64_t>(LONG_MAX)) return false;
  return std::fseek(file_.get(), static_cast<long>(offset), SEEK_SET) == 0;
}
