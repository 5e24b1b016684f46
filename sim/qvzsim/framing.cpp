#include "framing.h"

#include <algorithm>

#include "crc.h"

namespace qvzsim {
namespace {

// A frame this long cannot be a request of any function the sensor knows.
constexpr size_t kMaxFrame = 4096;

size_t u16le(std::span<const uint8_t> b, size_t at) {
  return b[at] | (size_t{b[at + 1]} << 8);
}

}  // namespace

std::chrono::nanoseconds byteTime(uint32_t baud) {
  return std::chrono::nanoseconds(10'000'000'000LL / std::max<uint32_t>(baud, 1));
}

std::chrono::nanoseconds silenceTime(uint32_t baud) {
  return std::max<std::chrono::nanoseconds>(std::chrono::microseconds(1750),
                                            byteTime(baud) * 7 / 2);
}

long impliedRequestLength(std::span<const uint8_t> b) {
  if (b.size() < 2) return kLengthNeedsMore;
  switch (b[1]) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
      return 8;
    case 15:
    case 16:  // address, function, start, count, byte count, data, CRC
      return b.size() < 7 ? kLengthNeedsMore : 9 + static_cast<long>(b[6]);
    case 81:  // seven bytes of date and time
      return 11;
    case 82:
    case 96:
    case 97:
      return 4;
    case 98:
    case 101:
    case 103:  // name length (LE), name
      return b.size() < 4 ? kLengthNeedsMore : 6 + static_cast<long>(u16le(b, 2));
    case 99:
    case 100:  // 32-bit number, then a length (LE) of what follows
      return b.size() < 8 ? kLengthNeedsMore : 10 + static_cast<long>(u16le(b, 6));
    case 102:
      return 8;
    default:
      return kLengthBySilence;
  }
}

void FrameAssembler::push(std::span<const uint8_t> bytes, Clock::time_point now,
                          std::chrono::nanoseconds silence, std::vector<Frame> &out,
                          uint64_t &bad) {
  if (bytes.empty()) return;
  if (!buffer_.empty() && now - last_ >= silence) finish(out, bad);
  if (buffer_.empty()) first_ = now;
  last_ = now;
  if (discarding_) return;
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  while (!buffer_.empty()) {
    const long n = impliedRequestLength(buffer_);
    if (n <= 0 || buffer_.size() < static_cast<size_t>(n)) break;
    std::span<const uint8_t> frame(buffer_.data(), static_cast<size_t>(n));
    if (!crcValid(frame)) {
      discarding_ = true;  // out of step: wait for the silence
      return;
    }
    out.push_back({std::vector<uint8_t>(frame.begin(), frame.end()), first_, now});
    buffer_.erase(buffer_.begin(), buffer_.begin() + n);
    first_ = now;
  }
  if (buffer_.size() > kMaxFrame) discarding_ = true;
}

std::optional<Clock::time_point> FrameAssembler::deadline(std::chrono::nanoseconds silence) const {
  if (buffer_.empty() && !discarding_) return std::nullopt;
  return last_ + silence;
}

void FrameAssembler::expire(Clock::time_point now, std::chrono::nanoseconds silence,
                            std::vector<Frame> &out, uint64_t &bad) {
  if ((!buffer_.empty() || discarding_) && now - last_ >= silence) finish(out, bad);
}

void FrameAssembler::finish(std::vector<Frame> &out, uint64_t &bad) {
  if (!discarding_ && crcValid(buffer_)) {
    out.push_back({buffer_, first_, last_});
  } else {
    ++bad;
  }
  buffer_.clear();
  discarding_ = false;
}

}  // namespace qvzsim
