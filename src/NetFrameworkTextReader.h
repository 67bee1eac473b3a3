// Reads a UTF-8 text file line by line the way a wide-character text-mode
// stream ("rt, ccs=utf-8") and a line read into a buffer of 1024 characters
// would: a leading byte-order mark is dropped, CR LF becomes LF, and each
// piece ends after its line break or after 1023 characters, whichever comes
// first. Invalid UTF-8 reads as U+FFFD.
//
// The file is read in blocks, so a file of any size or with a line of any
// length is scanned with little memory. One object per file, one thread at a
// time; owns its open file.
#pragma once
#include <fstream>
#include <string>

class NetFrameworkTextReader {
 public:
  static constexpr size_t kMaxPieceLength = 1023;

  explicit NetFrameworkTextReader(const std::wstring& path);
  NetFrameworkTextReader(const NetFrameworkTextReader&) = delete;
  NetFrameworkTextReader& operator=(const NetFrameworkTextReader&) = delete;

  // False when the file is missing, unreadable or not a regular file.
  bool IsOpen() const { return in_.is_open(); }
  // The next piece; false at the end of the file.
  bool NextPiece(std::wstring* piece);

 private:
  // Decodes the next block into text_; false when nothing more can be read.
  bool ReadBlock();

  std::ifstream in_;
  std::string undecoded_;  // a trailing CR or an incomplete UTF-8 sequence
  std::wstring text_;      // decoded, not yet handed out
  size_t textAt_ = 0;
  bool atStart_ = true;
  bool atEnd_ = false;
};
