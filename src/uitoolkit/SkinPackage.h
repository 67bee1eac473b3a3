// A zip archive read from memory: the skin package with the layouts, language
// files and pictures.
//
// Ownership: the bytes are not copied; the caller keeps them alive and
// unchanged for the whole life of the package (the embedded resource lives as
// long as the process).
// Lookups: "\\" and "/" are the same separator and ASCII letters compare
// without regard to case, so "skin\\Combo_over.png" finds "skin/combo_over.png".
// When two stored names differ only in that way, the first one in the archive wins.
// Threads: after Open, every const member may be called from any thread at
// the same time (reads are serialised inside); Open itself is not thread-safe.
// Nothing blocks beyond the decompression of one entry.
#pragma once
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "uitoolkit/ResourcePackage.h"  // the process-wide current package, for callers of this header

struct zip;

namespace ui {

class SkinPackage {
 public:
  // Largest entry that ReadEntry accepts; a bigger one is refused, so a
  // broken or hostile header cannot make us allocate without bound.
  static constexpr std::size_t kMaxEntrySize = 64u * 1024u * 1024u;

  SkinPackage();
  ~SkinPackage();
  SkinPackage(const SkinPackage&) = delete;
  SkinPackage& operator=(const SkinPackage&) = delete;

  // Opens the archive in data[0..size). False (with one log line) when the
  // bytes are not a readable zip archive; the package is then empty.
  bool Open(const void* data, std::size_t size);
  bool IsOpen() const;

  // Stored names (UTF-8 in the archive, converted), in archive order; folders included.
  std::vector<std::wstring> EntryNames() const;

  bool HasEntry(const std::wstring& path) const;

  // The uncompressed bytes of an entry. False, with *bytes emptied, when the
  // entry is missing, is a folder, exceeds kMaxEntrySize or fails to
  // decompress (a damaged archive); the failures other than "missing" are logged.
  bool ReadEntry(const std::wstring& path, std::vector<unsigned char>* bytes) const;

  // Lookup key: "\\" becomes "/", ASCII letters become lower case.
  static std::string NormalisePath(const std::wstring& path);

 private:
  struct ArchiveCloser {
    void operator()(zip* archive) const;
  };

  void BuildIndex();
  bool FindIndex(const std::wstring& path, unsigned long long* index) const;
  bool ReadIndex(unsigned long long index, std::vector<unsigned char>* bytes) const;

  std::unique_ptr<zip, ArchiveCloser> archive_;
  std::map<std::string, unsigned long long> index_;
  std::vector<std::wstring> names_;
  mutable std::mutex readMutex_;  // libzip's archive handle is not safe for parallel reads
};

}  // namespace ui
