// A scripted Modbus device on a pseudo-terminal.
//
// The device serves the master side of a pseudo-terminal on a thread of its
// own; the link library opens the slave side (path()) like a serial port. A
// request is complete as soon as its bytes carry a valid CRC (bytes that never
// do are dropped after a quiet gap). For each request the device plays the
// next scripted Reply, or asks its handler when the script is empty, or stays
// silent. Every request is recorded.
//
//   rktest::PtyDevice dev;
//   setenv("RK_COM1", dev.path().c_str(), 1);
//   dev.script({rktest::Reply::frame({1, 3, 2, 0x12, 0x34}), rktest::Reply::silence()});
//   RK_Open(0, &block) ...
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/modbus_frame.h"

namespace rktest {

// What the device sends back for one request: pieces of bytes, each after a
// pause measured from the end of the request (or of the previous piece).
struct Reply {
  struct Piece {
    Bytes bytes;
    std::chrono::milliseconds delay{0};
  };
  std::vector<Piece> pieces;

  static Reply silence() { return {}; }
  // A frame with its CRC appended.
  static Reply frame(Bytes frameWithoutCrc, std::chrono::milliseconds delay = {}) {
    return {{{withCrc(std::move(frameWithoutCrc)), delay}}};
  }
  // Bytes sent exactly as given (garbage, a broken CRC, a frame cut short).
  static Reply raw(Bytes bytes, std::chrono::milliseconds delay = {}) {
    return {{{std::move(bytes), delay}}};
  }
  // An exception reply: address, function | 0x80, code.
  static Reply exception(uint8_t address, uint8_t function, uint8_t code) {
    return frame({address, static_cast<uint8_t>(function | 0x80), code});
  }
};

class PtyDevice {
 public:
  using Handler = std::function<Reply(const Bytes &request)>;

  PtyDevice();
  ~PtyDevice();
  PtyDevice(const PtyDevice &) = delete;
  PtyDevice &operator=(const PtyDevice &) = delete;

  // The slave side, to be named by RK_COM<n>.
  const std::string &path() const { return path_; }

  // Replies for the next requests, in order; they go before the handler.
  void script(std::vector<Reply> replies);
  // Answers the requests the script does not cover (default: silence).
  void setHandler(Handler handler);

  // Sends bytes now, unasked (something else talking on the line).
  void inject(const Bytes &bytes);

  std::vector<Bytes> requests() const;
  size_t requestCount() const;
  // Waits until at least n requests arrived; false after the deadline.
  bool waitForRequests(size_t n, std::chrono::milliseconds deadline = std::chrono::seconds(10));
  void clearRequests();

  // The speed the line is set to (as the slave's settings say).
  unsigned lineBaud() const;

 private:
  void serve();
  void play(const Reply &reply);
  Reply replyFor(const Bytes &request);

  int master_ = -1;
  int slave_ = -1;  // kept open so that the line exists between users
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  std::string path_;
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::deque<Reply> script_;
  Handler handler_;
  std::vector<Bytes> requests_;
  std::thread thread_;
};

// A handler that serves holding and input registers (functions 3, 4, 6, 16)
// and coils (5) of one address from a table, as a plain Modbus slave does.
// Give it by reference (std::ref) and declare it before the PtyDevice, so
// that it outlives the device's thread.
class RegisterDevice {
 public:
  explicit RegisterDevice(uint8_t address, size_t registers = 1024);
  Reply operator()(const Bytes &request);
  uint16_t reg(size_t i) const;
  void setReg(size_t i, uint16_t value);

 private:
  uint8_t address_;
  mutable std::mutex lock_;
  std::vector<uint16_t> regs_;
};

}  // namespace rktest
