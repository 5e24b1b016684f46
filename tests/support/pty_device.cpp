#include "tests/support/pty_device.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace rktest {
namespace {

// Bytes that never form a valid frame are dropped after this quiet gap.
constexpr int kGarbageGapMs = 30;

void writeAll(int fd, const uint8_t *data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{fd, POLLOUT, 0};
      ::poll(&p, 1, 100);
    } else {
      return;
    }
  }
}

void makeRaw(int fd) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return;
  ::cfmakeraw(&tio);
  ::cfsetspeed(&tio, B57600);
  ::tcsetattr(fd, TCSANOW, &tio);
}

}  // namespace

PtyDevice::PtyDevice() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    throw std::runtime_error("no pseudo-terminal");
  }
  path_ = ::ptsname(master_);
  slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (slave_ < 0) throw std::runtime_error("cannot open " + path_);
  makeRaw(slave_);
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("no pipe");
  wakeRead_ = pipeFds[0];
  wakeWrite_ = pipeFds[1];
  thread_ = std::thread([this] { serve(); });
}

PtyDevice::~PtyDevice() {
  const uint8_t stop = 1;
  [[maybe_unused]] ssize_t n = ::write(wakeWrite_, &stop, 1);
  thread_.join();
  ::close(wakeRead_);
  ::close(wakeWrite_);
  ::close(slave_);
  ::close(master_);
}

void PtyDevice::script(std::vector<Reply> replies) {
  std::lock_guard lock(lock_);
  for (Reply &r : replies)
    script_.push_back(std::move(r));
}

void PtyDevice::setHandler(Handler handler) {
  std::lock_guard lock(lock_);
  handler_ = std::move(handler);
}

void PtyDevice::inject(const Bytes &bytes) {
  writeAll(master_, bytes.data(), bytes.size());
}

std::vector<Bytes> PtyDevice::requests() const {
  std::lock_guard lock(lock_);
  return requests_;
}

size_t PtyDevice::requestCount() const {
  std::lock_guard lock(lock_);
  return requests_.size();
}

bool PtyDevice::waitForRequests(size_t n, std::chrono::milliseconds deadline) {
  std::unique_lock lock(lock_);
  return changed_.wait_for(lock, deadline, [&] { return requests_.size() >= n; });
}

void PtyDevice::clearRequests() {
  std::lock_guard lock(lock_);
  requests_.clear();
}

unsigned PtyDevice::lineBaud() const {
  termios tio{};
  if (::tcgetattr(slave_, &tio) != 0) return 0;
  switch (::cfgetospeed(&tio)) {
    case B1200:
      return 1200;
    case B2400:
      return 2400;
    case B4800:
      return 4800;
    case B9600:
      return 9600;
    case B19200:
      return 19200;
    case B38400:
      return 38400;
    case B57600:
      return 57600;
    case B115200:
      return 115200;
    default:
      return 0;
  }
}

Reply PtyDevice::replyFor(const Bytes &request) {
  Handler handler;
  {
    std::lock_guard lock(lock_);
    requests_.push_back(request);
    changed_.notify_all();
    if (!script_.empty()) {
      Reply r = std::move(script_.front());
      script_.pop_front();
      return r;
    }
    handler = handler_;
  }
  return handler ? handler(request) : Reply::silence();
}

void PtyDevice::play(const Reply &reply) {
  for (const Reply::Piece &piece : reply.pieces) {
    if (piece.delay.count() > 0) {
      pollfd p{wakeRead_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(piece.delay.count())) > 0) return;  // stopping
    }
    writeAll(master_, piece.bytes.data(), piece.bytes.size());
  }
}

void PtyDevice::serve() {
  Bytes pending;
  for (;;) {
    pollfd fds[2] = {{master_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    const int r = ::poll(fds, 2, pending.empty() ? -1 : kGarbageGapMs);
    if (r < 0 && errno == EINTR) continue;
    if ((fds[1].revents & POLLIN) != 0) return;
    if (r == 0) {
      pending.clear();  // never became a frame
      continue;
    }
    if ((fds[0].revents & POLLIN) == 0) continue;
    uint8_t buf[4096];
    const ssize_t n = ::read(master_, buf, sizeof buf);
    if (n <= 0) continue;
    pending.insert(pending.end(), buf, buf + n);
    if (pending.size() >= 4 && crcValid(pending)) {
      const Reply reply = replyFor(pending);
      pending.clear();
      play(reply);
    }
  }
}

RegisterDevice::RegisterDevice(uint8_t address, size_t registers)
    : address_(address), regs_(registers, 0) {}

uint16_t RegisterDevice::reg(size_t i) const {
  std::lock_guard lock(lock_);
  return regs_.at(i);
}

void RegisterDevice::setReg(size_t i, uint16_t value) {
  std::lock_guard lock(lock_);
  regs_.at(i) = value;
}

Reply RegisterDevice::operator()(const Bytes &q) {
  if (q.size() < 4 || q[0] != address_) return Reply::silence();
  const uint8_t fn = q[1];
  const auto word = [&](size_t at) { return static_cast<size_t>(q[at] << 8 | q[at + 1]); };
  std::lock_guard lock(lock_);
  switch (fn) {
    case 3:
    case 4: {
      const size_t start = word(2), count = word(4);
      if (start + count > regs_.size() || count == 0 || count > 125) {
        return Reply::exception(address_, fn, 2);
      }
      Bytes r{address_, fn, static_cast<uint8_t>(2 * count)};
      for (size_t i = 0; i < count; ++i) {
        r.push_back(static_cast<uint8_t>(regs_[start + i] >> 8));
        r.push_back(static_cast<uint8_t>(regs_[start + i]));
      }
      return Reply::frame(r);
    }
    case 5:
    case 6: {
      const size_t at = word(2);
      if (at >= regs_.size()) return Reply::exception(address_, fn, 2);
      if (fn == 6) regs_[at] = static_cast<uint16_t>(word(4));
      return Reply::frame(Bytes(q.begin(), q.begin() + 6));
    }
    case 16: {
      const size_t start = word(2), count = word(4);
      if (start + count > regs_.size()) return Reply::exception(address_, fn, 2);
      for (size_t i = 0; i < count; ++i)
        regs_[start + i] = static_cast<uint16_t>(word(7 + 2 * i));
      return Reply::frame(Bytes(q.begin(), q.begin() + 6));
    }
    default:
      return Reply::exception(address_, fn, 1);
  }
}

}  // namespace rktest
