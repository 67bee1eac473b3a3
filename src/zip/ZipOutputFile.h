// The file an archive is written into: a temporary file beside the final
// path, renamed over it only once the archive is complete, so that a reader
// of the final path finds the old file (or none) or a whole archive, never a
// half-written one. One thread at a time.
//
// The temporary name is the final path followed by ".", eight random hex
// digits and ".part"; it is created exclusively, so two writers never share
// one. Without Commit, the destructor removes it.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class ZipOutputFile {
 public:
  ZipOutputFile() = default;
  ~ZipOutputFile();
  ZipOutputFile(const ZipOutputFile&) = delete;
  ZipOutputFile& operator=(const ZipOutputFile&) = delete;

  // Creates the temporary file for finalPath (write access only). False when
  // it cannot be created, for instance when the folder is missing or the
  // final path is a folder.
  bool Create(const std::wstring& finalPath);
  // Appends at the end of the file.
  bool Append(const std::string& bytes);
  // Writes bytes over what lies at offset (inside the file), then goes back
  // to the end.
  bool Overwrite(uint64_t offset, const std::string& bytes);
  // Cuts the file back to size bytes; appending goes on from there.
  bool TruncateTo(uint64_t size);
  uint64_t Size() const { return size_; }

  // Flushes and closes the file and renames it over the final path. False,
  // with the temporary file removed and the final path untouched, when any
  // of that fails.
  bool Commit();
  // Closes and removes the temporary file.
  void Abandon();

 private:
  bool SeekTo(uint64_t offset);

  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  std::string finalPath_;
  std::string tempPath_;
  uint64_t size_ = 0;
};
