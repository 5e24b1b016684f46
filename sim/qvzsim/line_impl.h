// Inside of a Line: the sensors, the pseudo-terminal and the thread serving it.
#ifndef QVZSIM_LINE_IMPL_H
#define QVZSIM_LINE_IMPL_H

#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "device.h"
#include "framing.h"
#include "pty.h"
#include "qvzsim.h"

namespace qvzsim {

struct Slot {
  explicit Slot(Device d) : device(std::move(d)) {}
  Device device;
  std::vector<Fault> faults;
  std::deque<Request> log;
  std::array<uint64_t, 256> counts{};
  uint64_t total = 0;
};

// Bytes going out, paced at the line rate from `start` on.
struct Burst {
  Clock::time_point start;
  std::chrono::nanoseconds byteTime;
  std::vector<uint8_t> bytes;
  size_t sent = 0;
  // What happens once the last byte is out (the end of a reply).
  Slot *slot = nullptr;
  bool lineChange = false;
  bool restart = false;
};

struct Line::Impl {
  mutable std::mutex mu;
  mutable std::condition_variable heard;  // a request was logged
  LineOptions options;
  std::string error;
  std::string link;
  Pty pty;
  int wakeFd = -1;
  std::thread thread;
  std::atomic<bool> stopping{false};
  bool running = false;

  std::vector<std::unique_ptr<Slot>> slots;
  LineCounters counters;
  std::mt19937 faultRng{12345};

  // Used by the line thread only.
  FrameAssembler assembler;
  uint32_t frameBaud = 0;
  std::deque<Burst> out;
  Clock::time_point txEnd{};  // when the last byte of the last reply went out

  void run();
  void readInput(Clock::time_point now);
  void serve(const FrameAssembler::Frame &frame, uint32_t baud);
  void sendReply(Slot &slot, Device::Outcome outcome, const std::optional<Fault> &fault,
                 Clock::time_point frameEnd, std::chrono::nanoseconds byteTime);
  void pump(Clock::time_point now);
  std::optional<Clock::time_point> nextWake(Clock::time_point now) const;
  void wake() const;
  Slot *slot(int index) const { return slots.at(static_cast<size_t>(index)).get(); }
};

}  // namespace qvzsim

#endif
