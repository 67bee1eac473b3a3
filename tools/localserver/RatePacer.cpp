#include "RatePacer.h"

#include <algorithm>
#include <cmath>

namespace localserver {
namespace {

constexpr size_t kUnlimitedPieceBytes = 256 * 1024;
constexpr size_t kLimitedPieceMaxBytes = 64 * 1024;
constexpr int64_t kPiecesPerSecond = 20;
constexpr int64_t kMaxDelaySeconds = int64_t{1} << 30;  // about thirty years
constexpr int64_t kNanosecondsPerSecond = 1000 * 1000 * 1000;

}  // namespace

RatePacer::RatePacer(int64_t bytesPerSecond, Clock::time_point start)
    : bytesPerSecond_(std::max<int64_t>(bytesPerSecond, 0)), start_(start) {}

size_t RatePacer::PieceBytes() const {
  if (!Limited()) return kUnlimitedPieceBytes;
  const int64_t share = bytesPerSecond_ / kPiecesPerSecond;
  return static_cast<size_t>(
      std::clamp<int64_t>(share, 1, static_cast<int64_t>(kLimitedPieceMaxBytes)));
}

RatePacer::Clock::time_point RatePacer::DueTime(int64_t sent) const {
  if (!Limited() || sent <= 0) return start_;
  const int64_t seconds = sent / bytesPerSecond_;
  if (seconds >= kMaxDelaySeconds) return start_ + std::chrono::seconds(kMaxDelaySeconds);
  // remainder × 10^9 overflows 64 bits for rates above 9 GB/s; the fraction
  // of a second in long double stays within a nanosecond at any rate.
  const long double fraction =
      static_cast<long double>(sent % bytesPerSecond_) / static_cast<long double>(bytesPerSecond_);
  const auto nanoseconds = std::chrono::nanoseconds(
      seconds * kNanosecondsPerSecond +
      std::llround(fraction * static_cast<long double>(kNanosecondsPerSecond)));
  return start_ + std::chrono::duration_cast<Clock::duration>(nanoseconds);
}

}  // namespace localserver
