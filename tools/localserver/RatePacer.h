// The arithmetic of a rate limit: when each piece of a body may go out so
// that the body keeps to a number of bytes per second from its first byte.
// Internal to the localserver library. Pure: the caller supplies the times
// (the server the steady clock, tests any clock they like); any thread.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace localserver {

class RatePacer {
 public:
  using Clock = std::chrono::steady_clock;

  // bytesPerSecond <= 0: no limit. start: when the first byte may go.
  RatePacer(int64_t bytesPerSecond, Clock::time_point start);

  bool Limited() const { return bytesPerSecond_ > 0; }
  // The most bytes to send at once: a twentieth of a second's worth, at
  // least 1 and at most 64 KiB, so that the rate is smooth at any scale.
  // Without a limit: 256 KiB.
  size_t PieceBytes() const;
  // When the piece that follows `sent` bytes may go: start + sent / rate
  // (start itself without a limit). Saturates at about thirty years.
  Clock::time_point DueTime(int64_t sent) const;

 private:
  int64_t bytesPerSecond_;
  Clock::time_point start_;
};

}  // namespace localserver
