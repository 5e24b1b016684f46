#include "tests/support/line_faults.h"

#include <thread>

#include "platform/errors.h"
#include "platform/serial_testing.h"

namespace rktest {
namespace {

class FaultyPort final : public platform::SerialPort {
 public:
  FaultyPort(std::unique_ptr<platform::SerialPort> real, std::shared_ptr<LineFaults::State> state)
      : real_(std::move(real)), state_(std::move(state)) {
    state_->pending = 0;  // a port opened afresh has no error pending
  }

  uint32_t configure(uint32_t baud) override { return real_->configure(baud); }
  uint32_t purge() override { return aborted() ? abort() : real_->purge(); }
  uint32_t write(const uint8_t *data, size_t size) override {
    if (aborted()) return abort();
    const uint32_t rc = real_->write(data, size);
    spoilReply_ = rc == 0 && takeOne(state_->repliesToSpoil);
    return rc;
  }
  uint32_t status(platform::LineStatus &out) override {
    if (const int64_t ms = state_->stallMs.exchange(0); ms > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    const uint32_t rc = real_->status(out);
    if (rc != 0) return rc;
    if (takeOne(state_->pending) || (spoilReply_ && out.queued > 0)) {
      spoilReply_ = false;
      out.errors |= platform::kLineFrame;
      state_->fetched.fetch_add(1);
    }
    return rc;
  }
  uint32_t read(uint8_t *data, size_t size) override {
    return aborted() ? abort() : real_->read(data, size);
  }
  int handle() const override { return real_->handle(); }
  bool openedAlone() const override { return real_->openedAlone(); }

 private:
  static bool takeOne(std::atomic<int> &counter) {
    int v = counter.load();
    while (v > 0) {
      if (counter.compare_exchange_weak(v, v - 1)) return true;
    }
    return false;
  }
  bool aborted() const { return state_->pending.load() > 0; }
  uint32_t abort() {
    state_->aborted.fetch_add(1);
    return platform::kErrOperationAborted;
  }

  std::unique_ptr<platform::SerialPort> real_;
  std::shared_ptr<LineFaults::State> state_;
  bool spoilReply_ = false;  // the reply to the last write comes with an error
};

}  // namespace

LineFaults::LineFaults() {
  platform::setSerialOpenerForTests(
      [state = state_](const std::string &path, std::unique_ptr<platform::SerialPort> &out) {
        std::unique_ptr<platform::SerialPort> real;
        const uint32_t rc = platform::openRealSerialPort(path, real);
        if (rc == 0) out = std::make_unique<FaultyPort>(std::move(real), state);
        return rc;
      });
}

LineFaults::~LineFaults() {
  platform::setSerialOpenerForTests({});
}

void LineFaults::abortNow(int n) {
  state_->pending.fetch_add(n);
}

void LineFaults::errorOnNextReplies(int n) {
  state_->repliesToSpoil.fetch_add(n);
}

}  // namespace rktest
