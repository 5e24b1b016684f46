#include "link/transaction.h"

#include "link/crc.h"
#include "link/progress.h"
#include "platform/sleep.h"

namespace rk {
namespace {

thread_local PollObserver *pollObserver = nullptr;

bool crcValid(const Frame &f) {
  if (f.length <= 2) return false;
  const uint32_t n = f.length - 2;
  const uint16_t crc = crc16(f.bytes, static_cast<uint16_t>(n));
  return f.bytes[n] == (crc & 0xFF) && f.bytes[n + 1] == (crc >> 8);
}

// Holds the port mutex for the life of a transaction.
class PortLock {
 public:
  explicit PortLock(OpenPort &op) : op_(op) { locked_ = lockPort(op_, kPortMutexWaitMs); }
  ~PortLock() {
    if (locked_) op_.mutex.unlock();
  }
  PortLock(const PortLock &) = delete;
  PortLock &operator=(const PortLock &) = delete;
  bool locked() const { return locked_; }

 private:
  OpenPort &op_;
  bool locked_ = false;
};

enum class Attempt { Accepted, Rejected, Cancelled, PortFailed };

struct AttemptResult {
  Attempt outcome = Attempt::Rejected;
  uint32_t systemError = 0;
  uint32_t lastQueued = 0;
};

// One attempt: send the request and collect what arrives, one poll interval
// at a time. The polls keep a fixed schedule counted from the end of the
// write, so that the small delays of waking up do not add up. A poll that
// comes late (the thread was held up, or the progress window took long)
// starts the schedule anew from its status query: the next look must still
// come about an interval later, or a reply that is arriving would seem to
// have ended.
AttemptResult attempt(Connection &conn, OpenPort &op, uint32_t replyTimeoutMs, const Frame &request,
                      uint32_t expected, Frame &reply) {
  platform::SerialPort &port = *op.serial;
  const uint32_t interval = op.block.PollInterval;
  const int64_t intervalNs = static_cast<int64_t>(interval) * 1000000;
  AttemptResult r;
  reply.length = 0;
  reply.bytes[0] = 0;
  if ((r.systemError = port.purge()) != 0 ||
      (r.systemError = port.write(request.bytes, request.length)) != 0) {
    r.outcome = Attempt::PortFailed;
    return r;
  }
  int64_t budget = replyTimeoutMs / interval + 1;
  platform::LineStatus status;
  int64_t nextPoll = platform::monotonicNs() + intervalNs;
  for (;;) {
    platform::sleepUntilNs(nextPoll);
    --budget;
    if ((r.systemError = port.status(status)) != 0) {
      r.outcome = Attempt::PortFailed;
      return r;
    }
    const int64_t looked = platform::monotonicNs();
    nextPoll += intervalNs;
    if (nextPoll - looked < intervalNs / 2) nextPoll = looked + intervalNs;
    if (status.queued != r.lastQueued) {
      r.lastQueued = status.queued;
      budget = 1;
    }
    if (PollObserver *observer = pollObserver; observer != nullptr && !observer->onPoll(conn)) {
      r.outcome = Attempt::Cancelled;
      return r;
    }
    if (budget <= 0 || (expected != 0 && r.lastQueued >= expected)) break;
  }
  // Bytes that came with a line error, and more than a frame holds, are not read.
  if (status.errors == 0 && r.lastQueued <= kFrameCapacity) {
    if ((r.systemError = port.read(reply.bytes, r.lastQueued)) != 0) {
      r.outcome = Attempt::PortFailed;
      return r;
    }
    reply.length = r.lastQueued;
  }
  r.outcome = crcValid(reply) ? Attempt::Accepted : Attempt::Rejected;
  return r;
}

}  // namespace

PollObserver *threadPollObserver() {
  return pollObserver;
}
void setThreadPollObserver(PollObserver *observer) {
  pollObserver = observer;
}

uint32_t expectedReplyLength(const Frame &request) {
  const uint32_t count = static_cast<uint32_t>(request.bytes[4]) << 8 | request.bytes[5];
  switch (request.bytes[1]) {
    case 1:
    case 2:
      return (count + 7) / 8 + 5;
    case 3:
    case 4:
      return 2 * count + 5;
    case 5:
    case 6:
    case 15:
    case 16:
      return 8;
    default:
      return 0;
  }
}

uint32_t transact(Connection &conn, const std::shared_ptr<OpenPort> &op, uint32_t replyTimeoutMs,
                  uint16_t attempts, Frame &request, Frame &reply) {
  if (!op) return RK_ERR_NOT_OPEN;
  if (request.length > kMaxRequest) return RK_ERR_REQUEST_TOO_LONG;
  PortLock lock(*op);
  if (!lock.locked()) return RK_ERR_PORT_TIMEOUT;
  if (op->closed) return RK_ERR_NOT_OPEN;

  const uint32_t address = request.bytes[0];
  const uint16_t crc = crc16(request.bytes, static_cast<uint16_t>(request.length));
  request.put16le(crc);
  const uint32_t expected = request.length >= 6 ? expectedReplyLength(request) : 0;

  AttemptResult last;
  const uint16_t tries = attempts == 0 ? 1 : attempts;
  for (uint16_t i = 0; i < tries; ++i) {
    last = attempt(conn, *op, replyTimeoutMs, request, expected, reply);
    if (last.outcome == Attempt::Cancelled) {
      platform::sleepMs(kCancelPolls * op->block.PollInterval);
      return RK_ERR_CANCELLED;
    }
    if (last.outcome == Attempt::PortFailed) {
      conn.countFailed(address);
      return last.systemError;
    }
    if (last.outcome == Attempt::Accepted) {
      conn.countGood(address);
      break;
    }
    conn.countBad(address);
  }

  if (reply.length == 0) {
    conn.countFailed(address);
    return last.lastQueued > kFrameCapacity ? RK_ERR_REPLY_TOO_LONG : RK_ERR_NO_REPLY;
  }
  const uint8_t function = request.bytes[1];
  if (last.outcome == Attempt::Accepted && reply.length >= 4 && reply.bytes[0] == address &&
      (reply.bytes[1] & 0x7F) == function) {
    reply.length -= 2;
    const bool exception = (reply.bytes[1] & 0x80) != 0;
    // A frame that ends before its exception code, or before the data the
    // request asked for, would leave the caller with stale values under a
    // result that claims fresh ones.
    if (exception && reply.length >= 3) {
      conn.countFailed(address);
      return RK_ERR_EXCEPTION_BASE + reply.bytes[2];
    }
    if (!exception && reply.length + 2 >= expected) return RK_OK;
  }
  conn.countFailed(address);
  return RK_ERR_BAD_REPLY;
}

}  // namespace rk
