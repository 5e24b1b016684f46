// A bare Modbus RTU master for the simulator's tests: opens a terminal raw at
// a speed, sends frames with a CRC of its own (bit by bit, independent of the
// simulator's table) and collects what comes back within a deadline.
#ifndef TESTS_SIM_RAW_PORT_H
#define TESTS_SIM_RAW_PORT_H

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace simtest {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

inline uint16_t bitwiseCrc(const Bytes &b, size_t n) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < n; ++i) {
    crc ^= b[i];
    for (int k = 0; k < 8; ++k)
      crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
  }
  return crc;
}

inline Bytes withCrc(Bytes f) {
  const uint16_t crc = bitwiseCrc(f, f.size());
  f.push_back(uint8_t(crc));
  f.push_back(uint8_t(crc >> 8));
  return f;
}

inline bool crcOk(const Bytes &f) {
  if (f.size() < 4) return false;
  const uint16_t crc = bitwiseCrc(f, f.size() - 2);
  return f[f.size() - 2] == uint8_t(crc) && f[f.size() - 1] == uint8_t(crc >> 8);
}

inline speed_t speedCode(uint32_t baud) {
  switch (baud) {
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    default:
      return B115200;
  }
}

class RawPort {
 public:
  RawPort(const std::string &path, uint32_t baud) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ >= 0) setBaud(baud);
  }
  ~RawPort() {
    if (fd_ >= 0) ::close(fd_);
  }
  RawPort(const RawPort &) = delete;
  RawPort &operator=(const RawPort &) = delete;

  bool isOpen() const { return fd_ >= 0; }

  void setBaud(uint32_t baud) {
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&t, speedCode(baud));
    cfsetospeed(&t, speedCode(baud));
    tcsetattr(fd_, TCSANOW, &t);
  }

  void send(const Bytes &frameWithoutCrc) {
    tcflush(fd_, TCIFLUSH);
    const Bytes f = withCrc(frameWithoutCrc);
    sent_ = Clock::now();
    [[maybe_unused]] ssize_t n = ::write(fd_, f.data(), f.size());
  }

  // What arrives within `deadline` after the call, ending early once
  // `expected` bytes are in. Arrival times are kept in `arrivals`.
  Bytes read(size_t expected, std::chrono::milliseconds deadline) {
    Bytes got;
    arrivals.clear();
    const auto end = Clock::now() + deadline;
    while (got.size() < expected) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
      if (left.count() <= 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      uint8_t buf[1024];
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n <= 0) continue;
      got.insert(got.end(), buf, buf + n);
      arrivals.emplace_back(Clock::now(), got.size());
    }
    return got;
  }

  Bytes transact(const Bytes &request, size_t expected, std::chrono::milliseconds deadline = 3s) {
    send(request);
    return read(expected, deadline);
  }

  Clock::time_point sentAt() const { return sent_; }
  std::vector<std::pair<Clock::time_point, size_t>> arrivals;

 private:
  int fd_ = -1;
  Clock::time_point sent_;
};

inline Bytes readRequest(uint8_t address, uint8_t fn, uint16_t start, uint16_t count) {
  return {address, fn, uint8_t(start >> 8), uint8_t(start), uint8_t(count >> 8), uint8_t(count)};
}

inline Bytes coilRequest(uint8_t address, uint16_t coil, bool on) {
  return {address, 5, uint8_t(coil >> 8), uint8_t(coil), uint8_t(on ? 0xFF : 0), 0};
}

}  // namespace simtest

#endif
