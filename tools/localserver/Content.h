// The bytes of a file that a download server serves, and the body sources
// (Reply::bodySource) that stream them. Any thread.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace localserver {

// Produces a body piece by piece; see Reply::bodySource.
using BodySource = std::function<bool(std::string* piece)>;

// Bytes held in memory, or a file on disk that is read anew by every request,
// piece by piece, so that serving a file of any size holds one piece per
// request. Copies share the bytes; nothing is copied whole per request.
class Content {
 public:
  // Empty.
  Content();
  static Content Text(std::string bytes);
  // Read at each request: a file rewritten on disk is served as it is then.
  static Content DiskFile(std::string path);

  // The size now; -1 when the disk file cannot be read.
  int64_t Size() const;
  // count bytes from offset first, in pieces of at most 256 KiB. A disk file
  // is opened at the first piece; when it cannot be opened or read (or has
  // become shorter) the source ends early.
  BodySource Read(int64_t first, int64_t count) const;

 private:
  std::shared_ptr<const std::string> bytes_;  // null for a disk file
  std::string path_;
};

// count bytes of filler, in pieces of at most 256 KiB.
BodySource Filler(int64_t count, char byte);
// What first produces, then what second produces.
BodySource Concatenate(BodySource first, BodySource second);

}  // namespace localserver
