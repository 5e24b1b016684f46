#include "platform/serial_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <mutex>

#include "platform/errors.h"
#include "platform/serial_testing.h"

namespace platform {
namespace {

struct Speed {
  uint32_t baud;
  speed_t code;
};

constexpr Speed kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool speedCode(uint32_t baud, speed_t &code) {
  for (const Speed &s : kSpeeds) {
    if (s.baud == baud) {
      code = s.code;
      return true;
    }
  }
  return false;
}

// Write time-out: the time the bytes need on the slowest line, plus a second.
constexpr int kWriteSlackMs = 1000;

class PosixSerialPort final : public SerialPort {
 public:
  PosixSerialPort(int fd, bool alone) : fd_(fd), alone_(alone) { fetchErrors(counts_); }
  ~PosixSerialPort() override { ::close(fd_); }

  uint32_t configure(uint32_t baud) override {
    speed_t code{};
    if (!speedCode(baud, code)) return kErrBaudRate;
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) return lastErrorCode();
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS | CSIZE);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, code) != 0 || ::cfsetospeed(&tio, code) != 0) return kErrBaudRate;
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
      return errno == EINVAL ? kErrBaudRate : lastErrorCode();
    }
    // Pseudo-terminals have no modem lines; their refusal does not matter.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd_, TIOCMBIC, &lines);
    return 0;
  }

  uint32_t purge() override {
    if (aborted()) return kErrOperationAborted;
    return ::tcflush(fd_, TCIOFLUSH) == 0 ? 0 : lastErrorCode();
  }

  uint32_t write(const uint8_t *data, size_t size) override {
    if (aborted()) return kErrOperationAborted;
    const int timeoutMs = static_cast<int>(size * 10000 / 1200) + kWriteSlackMs;
    size_t done = 0;
    while (done < size) {
      const ssize_t n = ::write(fd_, data + done, size - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN) return lastErrorCode();
      pollfd p{fd_, POLLOUT, 0};
      const int r = ::poll(&p, 1, timeoutMs);
      if (r == 0) return kErrTimeout;
      if (r < 0 && errno != EINTR) return lastErrorCode();
    }
    return 0;
  }

  uint32_t status(LineStatus &out) override {
    out = {};
    serial_icounter_struct now{};
    if (fetchErrors(now)) {
      if (now.frame != counts_.frame) out.errors |= kLineFrame;
      if (now.parity != counts_.parity) out.errors |= kLineParity;
      if (now.overrun != counts_.overrun || now.buf_overrun != counts_.buf_overrun) {
        out.errors |= kLineOverrun;
      }
      if (now.brk != counts_.brk) out.errors |= kLineBreak;
      counts_ = now;
    }
    int queued = 0;
    if (::ioctl(fd_, FIONREAD, &queued) != 0) return lastErrorCode();
    out.queued = static_cast<uint32_t>(queued);
    return 0;
  }

  uint32_t read(uint8_t *data, size_t size) override {
    if (aborted()) return kErrOperationAborted;
    size_t done = 0;
    while (done < size) {
      const ssize_t n = ::read(fd_, data + done, size - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else if (n < 0 && errno != EAGAIN) {
        return lastErrorCode();
      } else {
        // The status query counted these bytes; they are in the queue.
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, kWriteSlackMs) <= 0) return kErrIoDevice;
      }
    }
    return 0;
  }

  int handle() const override { return fd_; }
  bool openedAlone() const override { return alone_; }

 private:
  // Drivers without error counters (pseudo-terminals, many USB adapters)
  // report no line errors.
  bool fetchErrors(serial_icounter_struct &out) {
    if (!hasCounters_) return false;
    if (::ioctl(fd_, TIOCGICOUNT, &out) != 0) {
      hasCounters_ = false;
      return false;
    }
    return true;
  }

  // An error not yet fetched by status() keeps the port aborted.
  bool aborted() {
    serial_icounter_struct now{};
    if (!fetchErrors(now)) return false;
    return now.frame != counts_.frame || now.parity != counts_.parity ||
           now.overrun != counts_.overrun || now.buf_overrun != counts_.buf_overrun ||
           now.brk != counts_.brk;
  }

  int fd_;
  bool alone_;
  bool hasCounters_ = true;
  serial_icounter_struct counts_{};
};

std::mutex openerLock;
SerialOpener &testOpener() {
  static SerialOpener opener;
  return opener;
}

}  // namespace

bool isSupportedBaud(uint32_t baud) {
  speed_t code{};
  return speedCode(baud, code);
}

uint32_t openRealSerialPort(const std::string &path, std::unique_ptr<SerialPort> &out) {
  if (path.empty()) return kErrFileNotFound;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return lastErrorCode();
  // Our programs share the device under shared locks; an exclusive lock of
  // another program refuses us and ours refuse it. Getting the lock
  // exclusively first tells whether anyone else holds the device.
  const bool alone = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    const uint32_t rc = errno == EWOULDBLOCK ? kErrPortBusy : lastErrorCode();
    ::close(fd);
    return rc;
  }
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) {
    const uint32_t rc = lastErrorCode();
    ::close(fd);
    return rc;
  }
  out = std::make_unique<PosixSerialPort>(fd, alone);
  return 0;
}

void setSerialOpenerForTests(SerialOpener opener) {
  std::lock_guard lock(openerLock);
  testOpener() = std::move(opener);
}

uint32_t openSerialPort(const std::string &path, std::unique_ptr<SerialPort> &out) {
  SerialOpener opener;
  {
    std::lock_guard lock(openerLock);
    opener = testOpener();
  }
  return opener ? opener(path, out) : openRealSerialPort(path, out);
}

}  // namespace platform
