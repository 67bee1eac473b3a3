#include "ChunkedDecoder.h"

#include <algorithm>

#include "HttpParser.h"
#include "HttpText.h"

namespace localserver {
namespace {

constexpr size_t kMaxChunkLineBytes = 4096;

}  // namespace

ChunkedDecoder::Result ChunkedDecoder::Feed(const std::string& text) {
  for (;;) {
    Result result = Result::kNeedMore;
    bool progressed = false;
    switch (state_) {
      case State::kSizeLine:
        progressed = TakeSizeLine(text, &result);
        break;
      case State::kData:
        progressed = TakeData(text);
        break;
      case State::kDataEnd:
        progressed = TakeDataEnd(text, &result);
        break;
      case State::kTrailer:
        progressed = TakeTrailerLine(text, &result);
        break;
      case State::kDone:
        return Result::kDone;
    }
    if (!progressed) return result;
  }
}

bool ChunkedDecoder::FindLine(const std::string& text, size_t limit, size_t* lineEnd,
                              Result* result) const {
  *lineEnd = text.find("\r\n", offset_);
  const size_t available = (*lineEnd == std::string::npos ? text.size() : *lineEnd) - offset_;
  if (available > limit) {
    *result = Result::kBad;
    return false;
  }
  *result = Result::kNeedMore;
  return *lineEnd != std::string::npos;
}

bool ChunkedDecoder::TakeSizeLine(const std::string& text, Result* result) {
  size_t lineEnd = 0;
  if (!FindLine(text, kMaxChunkLineBytes, &lineEnd, result)) return false;
  std::string size = text.substr(offset_, lineEnd - offset_);
  size = TrimBlanks(size.substr(0, size.find(';')));
  if (size.empty() || size.size() > 15 ||
      size.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    *result = Result::kBad;
    return false;
  }
  remaining_ = std::stoull(size, nullptr, 16);
  if (body_.size() + remaining_ > kMaxBodyBytes) {
    *result = Result::kTooLarge;
    return false;
  }
  offset_ = lineEnd + 2;
  state_ = remaining_ == 0 ? State::kTrailer : State::kData;
  return true;
}

bool ChunkedDecoder::TakeData(const std::string& text) {
  const size_t take = static_cast<size_t>(std::min<uint64_t>(text.size() - offset_, remaining_));
  body_.append(text, offset_, take);
  offset_ += take;
  remaining_ -= take;
  if (remaining_ > 0) return false;
  state_ = State::kDataEnd;
  return true;
}

bool ChunkedDecoder::TakeDataEnd(const std::string& text, Result* result) {
  if (text.size() - offset_ < 2) return false;
  if (text.compare(offset_, 2, "\r\n") != 0) {
    *result = Result::kBad;
    return false;
  }
  offset_ += 2;
  state_ = State::kSizeLine;
  return true;
}

bool ChunkedDecoder::TakeTrailerLine(const std::string& text, Result* result) {
  size_t lineEnd = 0;
  const size_t limit = trailerBytes_ >= kMaxHeadBytes ? 0 : kMaxHeadBytes - trailerBytes_;
  if (!FindLine(text, limit, &lineEnd, result)) return false;
  if (lineEnd == offset_) {
    offset_ += 2;
    state_ = State::kDone;
    *result = Result::kDone;
    return true;
  }
  Headers ignored;
  if (ParseHeaderLine(text.substr(offset_, lineEnd - offset_), &ignored) != 0) {
    *result = Result::kBad;
    return false;
  }
  trailerBytes_ += lineEnd + 2 - offset_;
  offset_ = lineEnd + 2;
  return true;
}

}  // namespace localserver
