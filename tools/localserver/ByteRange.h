// The "Range" request header of a download, judged against the size of the
// file it asks for. Internal to the localserver library; pure functions, any
// thread.
#pragma once
#include <cstdint>
#include <string>

namespace localserver {

struct ByteRange {
  enum class Kind {
    kWhole,          // no Range, or one the server ignores: another unit,
                     // several ranges, or a malformed one
    kPart,           // the bytes first..last, both included, within the file
    kUnsatisfiable,  // a well-formed range that holds no byte of the file
  };
  Kind kind = Kind::kWhole;
  int64_t first = 0;
  int64_t last = -1;

  int64_t Length() const { return last - first + 1; }
};

// "bytes=a-b" (b past the end is cut to the end), "bytes=a-" and "bytes=-n"
// (the last n bytes, the whole file when n >= size); the unit in any case,
// blanks around the range allowed. Numbers of more than 18 digits make the
// header malformed.
ByteRange JudgeRange(const std::string& header, int64_t size);

// The first byte that a "bytes=a-..." header names; -1 for a suffix range,
// several ranges or anything malformed.
int64_t RangeFirstByte(const std::string& header);

}  // namespace localserver
