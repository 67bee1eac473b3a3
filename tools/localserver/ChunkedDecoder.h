// Decodes a chunked request body incrementally from the connection's growing
// buffer: chunk sizes (extensions ignored), data, and trailer lines that are
// checked like header lines and dropped. Internal to the localserver library;
// one decoder per body, used by one thread.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace localserver {

class ChunkedDecoder {
 public:
  enum class Result {
    kNeedMore,  // the buffer ends inside the body: grow it and feed again
    kDone,      // the body is complete; End() is where it ends
    kBad,       // malformed (answer 400)
    kTooLarge,  // the decoded body would pass kMaxBodyBytes (answer 413)
  };

  // start: the offset in the buffer where the body begins.
  explicit ChunkedDecoder(size_t start) : offset_(start) {}

  // text: the connection's buffer, grown since the last call (never shrunk).
  Result Feed(const std::string& text);
  // The offset just past the body, once Feed() says kDone.
  size_t End() const { return offset_; }
  std::string TakeBody() { return std::move(body_); }

 private:
  enum class State { kSizeLine, kData, kDataEnd, kTrailer, kDone };

  bool FindLine(const std::string& text, size_t limit, size_t* lineEnd, Result* result) const;
  // Each step returns true when it moved on; otherwise *result says why not.
  bool TakeSizeLine(const std::string& text, Result* result);
  bool TakeData(const std::string& text);
  bool TakeDataEnd(const std::string& text, Result* result);
  bool TakeTrailerLine(const std::string& text, Result* result);

  State state_ = State::kSizeLine;
  size_t offset_;
  uint64_t remaining_ = 0;
  size_t trailerBytes_ = 0;
  std::string body_;
};

}  // namespace localserver
