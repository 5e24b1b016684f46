// Request framing of a Modbus RTU slave: a frame ends when it has the length
// its function implies, or after a silence of 3.5 characters.
#ifndef QVZSIM_FRAMING_H
#define QVZSIM_FRAMING_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qvzsim {

using Clock = std::chrono::steady_clock;

// Time of one character on the line: 10 bits (start, 8 data, stop).
std::chrono::nanoseconds byteTime(uint32_t baud);
// Silence that ends a frame: 3.5 characters, at least 1.75 ms.
std::chrono::nanoseconds silenceTime(uint32_t baud);

// Length of a request frame, CRC included, as its function implies.
inline constexpr long kLengthNeedsMore = 0;   // too few bytes to tell yet
inline constexpr long kLengthBySilence = -1;  // the function's frames end only by silence
long impliedRequestLength(std::span<const uint8_t> bytes);

class FrameAssembler {
 public:
  struct Frame {
    std::vector<uint8_t> bytes;  // CRC included
    Clock::time_point firstByte;
    Clock::time_point lastByte;
  };

  // Bytes that arrived at `now`. Frames completed by their implied length are
  // appended to `out`; byte runs that fail their CRC are counted in `bad`.
  void push(std::span<const uint8_t> bytes, Clock::time_point now, std::chrono::nanoseconds silence,
            std::vector<Frame> &out, uint64_t &bad);
  bool idle() const { return buffer_.empty() && !discarding_; }
  // When the pending bytes end by silence; nothing when no bytes are pending.
  std::optional<Clock::time_point> deadline(std::chrono::nanoseconds silence) const;
  // Ends the pending bytes once the silence has passed.
  void expire(Clock::time_point now, std::chrono::nanoseconds silence, std::vector<Frame> &out,
              uint64_t &bad);

 private:
  void finish(std::vector<Frame> &out, uint64_t &bad);

  std::vector<uint8_t> buffer_;
  Clock::time_point first_{}, last_{};
  bool discarding_ = false;  // a frame failed its CRC: drop bytes until silence
};

}  // namespace qvzsim

#endif
