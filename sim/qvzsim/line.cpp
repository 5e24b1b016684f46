#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "faults.h"
#include "line_impl.h"

namespace qvzsim {
namespace {

constexpr size_t kLogLimit = 100000;
// The thread sleeps at least this long between looks at a reply in progress,
// so a fast line costs a few wake-ups per millisecond, not one per byte.
constexpr auto kPaceStep = std::chrono::microseconds(500);

bool broadcastable(uint8_t function) {
  return function == 5 || function == 6 || function == 16 || function == 81;
}

}  // namespace

Line::Line() : impl_(std::make_unique<Impl>()) {}
Line::~Line() {
  stop();
}

bool Line::start(const LineOptions &options) {
  Impl &d = *impl_;
  stop();
  std::lock_guard lock(d.mu);
  d.options = options;
  d.error.clear();
  if (!d.pty.open(d.error)) return false;
  if (!options.linkPath.empty()) {
    struct stat st {};
    if (lstat(options.linkPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
      unlink(options.linkPath.c_str());
    if (symlink(d.pty.slavePath().c_str(), options.linkPath.c_str()) != 0) {
      d.error = options.linkPath + ": " + std::strerror(errno);
      d.pty.close();
      return false;
    }
    d.link = options.linkPath;
  }
  d.wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (d.wakeFd < 0) {
    d.error = std::string("eventfd: ") + std::strerror(errno);
    d.pty.close();
    return false;
  }
  d.stopping = false;
  d.running = true;
  d.thread = std::thread([&d] { d.run(); });
  return true;
}

void Line::stop() {
  Impl &d = *impl_;
  if (d.thread.joinable()) {
    d.stopping = true;
    d.wake();
    d.thread.join();
  }
  std::lock_guard lock(d.mu);
  if (!d.link.empty()) {
    char target[PATH_MAX];
    const ssize_t n = readlink(d.link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)) == d.pty.slavePath())
      unlink(d.link.c_str());
    d.link.clear();
  }
  if (d.wakeFd >= 0) close(d.wakeFd);
  d.wakeFd = -1;
  d.pty.close();
  d.out.clear();
  d.running = false;
}

bool Line::running() const {
  std::lock_guard lock(impl_->mu);
  return impl_->running;
}
std::string Line::slavePath() const {
  std::lock_guard lock(impl_->mu);
  return impl_->pty.slavePath();
}
std::string Line::linkPath() const {
  std::lock_guard lock(impl_->mu);
  return impl_->link;
}
std::string Line::error() const {
  std::lock_guard lock(impl_->mu);
  return impl_->error;
}

std::optional<Sensor> Line::addSensor(const SensorOptions &options) {
  Impl &d = *impl_;
  std::lock_guard lock(d.mu);
  auto device = Device::create(options, d.error);
  if (!device) return std::nullopt;
  for (const auto &s : d.slots) {
    if (s->device.address() == device->address() && s->device.baud() == device->baud()) {
      d.error = "address " + std::to_string(device->address()) + " at " +
                std::to_string(device->baud()) + " bit/s is taken";
      return std::nullopt;
    }
  }
  d.slots.push_back(std::make_unique<Slot>(std::move(*device)));
  return Sensor(this, static_cast<int>(d.slots.size() - 1));
}

std::vector<Sensor> Line::sensors() const {
  std::lock_guard lock(impl_->mu);
  std::vector<Sensor> all;
  for (size_t i = 0; i < impl_->slots.size(); ++i)
    all.push_back(Sensor(const_cast<Line *>(this), static_cast<int>(i)));
  return all;
}

std::optional<Sensor> Line::findSensor(uint8_t address) const {
  std::lock_guard lock(impl_->mu);
  for (size_t i = 0; i < impl_->slots.size(); ++i)
    if (impl_->slots[i]->device.address() == address)
      return Sensor(const_cast<Line *>(this), static_cast<int>(i));
  return std::nullopt;
}

void Line::setReactionTime(std::chrono::microseconds t) {
  std::lock_guard lock(impl_->mu);
  impl_->options.reactionTime = t;
}

LineCounters Line::counters() const {
  std::lock_guard lock(impl_->mu);
  return impl_->counters;
}

void Line::Impl::wake() const {
  if (wakeFd < 0) return;
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = write(wakeFd, &one, sizeof one);
}

void Line::Impl::run() {
  // The thread stands in for a UART: where it may, it runs ahead of ordinary
  // work (real-time, else a better nice value), so that a busy machine does not
  // open gaps inside a reply that a fast-polling master would take for its end.
  // It sleeps in ppoll between bytes, so it never holds a processor for long.
  const sched_param realtime{10};
  if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &realtime) != 0)
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -10);
  while (!stopping) {
    const auto now = Clock::now();
    std::optional<Clock::time_point> due;
    {
      std::lock_guard lock(mu);
      due = nextWake(now);
    }
    timespec ts{};
    timespec *timeout = nullptr;
    if (due) {
      const auto wait = std::max<Clock::duration>(*due - now, Clock::duration::zero());
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
      ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
      ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
      timeout = &ts;
    }
    pollfd fds[2] = {{pty.master(), POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int r = ppoll(fds, 2, timeout, nullptr);
    if (r < 0 && errno != EINTR) break;
    if (fds[1].revents & POLLIN) {
      uint64_t n;
      [[maybe_unused]] ssize_t got = read(wakeFd, &n, sizeof n);
    }
    std::lock_guard lock(mu);
    const auto t = Clock::now();
    if (fds[0].revents & POLLIN) readInput(t);
    std::vector<FrameAssembler::Frame> frames;
    assembler.expire(t, silenceTime(frameBaud), frames, counters.badFrames);
    for (const auto &f : frames)
      serve(f, frameBaud);
    for (auto &s : slots)
      s->device.silent(t);  // ends restarts whose time is up
    pump(t);
  }
}

void Line::Impl::readInput(Clock::time_point now) {
  uint8_t buf[4096];
  for (;;) {
    const ssize_t n = read(pty.master(), buf, sizeof buf);
    if (n <= 0) return;
    // A sensor hears a frame at the speed the line had when the frame began.
    const uint32_t baud = pty.baud();
    if (assembler.idle()) frameBaud = baud;
    std::vector<FrameAssembler::Frame> frames;
    assembler.push({buf, static_cast<size_t>(n)}, now, silenceTime(frameBaud), frames,
                   counters.badFrames);
    for (const auto &f : frames)
      serve(f, frameBaud);
    if (assembler.idle()) frameBaud = baud;
  }
}

void Line::Impl::serve(const FrameAssembler::Frame &frame, uint32_t baud) {
  ++counters.frames;
  // The sensors drive a half-duplex line while they answer: a request that
  // began before the last reply was out collides with it and is lost.
  if (!out.empty() || frame.firstByte < txEnd) {
    ++counters.collisions;
    return;
  }
  const std::vector<uint8_t> request(frame.bytes.begin(), frame.bytes.end() - 2);
  const uint8_t address = request[0], function = request[1];
  const auto bt = byteTime(baud);
  // The frame was on the wire for its length in characters; one that ends by
  // silence is recognised a silence later.
  auto end = std::max(frame.lastByte, frame.firstByte + bt * static_cast<long>(frame.bytes.size()));
  if (impliedRequestLength(frame.bytes) == kLengthBySilence) end += silenceTime(baud);
  const auto now = Clock::now();
  const RequestRange range = requestRange(request);

  bool heardAny = false;
  for (auto &s : slots) {
    Device &dev = s->device;
    if (dev.baud() != baud || dev.silent(now)) continue;
    if (address != dev.address() && !(address == 0 && broadcastable(function))) continue;
    heardAny = true;
    const auto fault =
        address == 0 ? std::nullopt : pickFault(s->faults, function, range, faultRng);
    s->log.push_back({end, function, range.start, range.count, baud,
                      fault ? std::optional(fault->kind) : std::nullopt});
    if (s->log.size() > kLogLimit) s->log.pop_front();
    ++s->counts[function];
    ++s->total;
    if (fault && fault->kind == FaultKind::Silence) continue;
    Device::Outcome outcome =
        fault && fault->kind == FaultKind::Exception
            ? Device::Outcome{dev.exceptionReply(request, fault->exceptionCode)}
            : dev.handle(request);
    if (address == 0) {  // a broadcast is obeyed without a reply
      if (outcome.lineChange) dev.applyLineChange();
      if (outcome.restart) dev.beginRestart(now + options.restartTime);
      continue;
    }
    sendReply(*s, std::move(outcome), fault, end, bt);
  }
  if (!heardAny) ++counters.unheard;
  heard.notify_all();
}

void Line::Impl::sendReply(Slot &slot, Device::Outcome outcome, const std::optional<Fault> &fault,
                           Clock::time_point frameEnd, std::chrono::nanoseconds bt) {
  if (outcome.reply.empty()) return;
  std::vector<uint8_t> reply = std::move(outcome.reply);
  seal(reply);
  ++counters.replies;
  auto start = frameEnd + options.reactionTime;
  if (!out.empty()) {
    const Burst &last = out.back();
    start = std::max(start, last.start + last.byteTime * static_cast<long>(last.bytes.size()));
  }
  for (Piece &p : applyFault(fault, std::move(reply))) {
    start += p.delay;
    const size_t n = p.bytes.size();
    out.push_back({start, bt, std::move(p.bytes)});
    start += bt * static_cast<long>(n);
  }
  Burst &last = out.back();  // there is always a piece, if only an empty one
  last.slot = &slot;
  last.lineChange = outcome.lineChange;
  last.restart = outcome.restart;
}

void Line::Impl::pump(Clock::time_point now) {
  while (!out.empty()) {
    Burst &b = out.front();
    if (now < b.start) return;
    const auto elapsed = now - b.start;
    const size_t due = std::min(b.bytes.size(), static_cast<size_t>(elapsed / b.byteTime));
    while (b.sent < due) {
      const ssize_t n = write(pty.master(), b.bytes.data() + b.sent, due - b.sent);
      if (n > 0) {
        b.sent += static_cast<size_t>(n);
      } else if (n < 0 && errno == EAGAIN) {
        // Nobody reads the port: what a real line would lose is dropped.
        pty.flushInput();
        if (write(pty.master(), b.bytes.data() + b.sent, due - b.sent) <= 0) b.sent = due;
      } else {
        b.sent = due;
      }
    }
    if (b.sent < b.bytes.size()) return;
    txEnd = now;
    if (b.slot) {
      if (b.lineChange) b.slot->device.applyLineChange();
      if (b.restart) b.slot->device.beginRestart(now + options.restartTime);
    }
    out.pop_front();
  }
}

std::optional<Clock::time_point> Line::Impl::nextWake(Clock::time_point now) const {
  std::optional<Clock::time_point> due = assembler.deadline(silenceTime(frameBaud));
  auto sooner = [&](Clock::time_point t) {
    if (!due || t < *due) due = t;
  };
  if (!out.empty()) {
    const Burst &b = out.front();
    sooner(std::max(b.start + b.byteTime * static_cast<long>(b.sent + 1), now + kPaceStep));
  }
  return due;
}

}  // namespace qvzsim
