// Result 995 (a port operation aborted after a line error) re-opens the link,
// at most three times in a row. A pseudo-terminal cannot produce line errors,
// so the serial port of the link library is wrapped in one that aborts the
// writes a test asks it to.
#include <mutex>
#include <string>
#include <vector>

#include "device_fixture.h"
#include "platform/serial_port.h"
#include "platform/serial_testing.h"

namespace device::testing {
namespace {

// What the link did to the port, in order: 'O' opened, 'A' a write aborted
// with 995, 'W' a write that went out.
class PortLog {
 public:
  void add(char event) {
    std::lock_guard<std::mutex> guard(m_);
    events_ += event;
  }
  std::string events() const {
    std::lock_guard<std::mutex> guard(m_);
    return events_;
  }
  // Aborts the next n writes.
  void abortWrites(int n) {
    std::lock_guard<std::mutex> guard(m_);
    aborts_ = n;
  }
  bool takeAbort() {
    std::lock_guard<std::mutex> guard(m_);
    if (aborts_ == 0) return false;
    --aborts_;
    return true;
  }

 private:
  mutable std::mutex m_;
  std::string events_;
  int aborts_ = 0;
};

class AbortingPort : public platform::SerialPort {
 public:
  AbortingPort(std::unique_ptr<platform::SerialPort> real, PortLog &log)
      : real_(std::move(real)), log_(log) {}
  uint32_t configure(uint32_t baud) override { return real_->configure(baud); }
  uint32_t purge() override { return real_->purge(); }
  uint32_t write(const uint8_t *data, size_t size) override {
    if (log_.takeAbort()) {
      log_.add('A');
      return RK_SYS_OPERATION_ABORTED;
    }
    log_.add('W');
    return real_->write(data, size);
  }
  uint32_t status(platform::LineStatus &out) override { return real_->status(out); }
  uint32_t read(uint8_t *data, size_t size) override { return real_->read(data, size); }
  int handle() const override { return real_->handle(); }
  bool openedAlone() const override { return real_->openedAlone(); }

 private:
  std::unique_ptr<platform::SerialPort> real_;
  PortLog &log_;
};

class Reopen995 : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    platform::setSerialOpenerForTests(
        [this](const std::string &path, std::unique_ptr<platform::SerialPort> &out) {
          std::unique_ptr<platform::SerialPort> real;
          const uint32_t r = platform::openRealSerialPort(path, real);
          if (r == 0) {
            log_.add('O');
            out = std::make_unique<AbortingPort>(std::move(real), log_);
          }
          return r;
        });
  }
  void TearDown() override {
    DeviceTest::TearDown();
    platform::setSerialOpenerForTests({});
  }

  PortLog log_;
};

TEST_F(Reopen995, ThreeReopensThenNoneThenAgain) {
  startSensor(qvzsim::kThreeAxis);
  TQVZ2 &dev = makeDevice(1);
  ASSERT_TRUE(waitOnline());
  const size_t start = log_.events().size();

  // Five polls in a row end in 995: re-opens after the first three, none
  // after the fourth, one after the fifth; the sixth poll succeeds.
  log_.abortWrites(5);
  ASSERT_TRUE(waitUntil([&] {
    return log_.events().find("AOAOAOAAOW", start) != std::string::npos;
  })) << log_.events().substr(start);
  ASSERT_TRUE(waitOnline());
  EXPECT_EQ(dev.snapshot().reopenCount, 0);
}

TEST_F(Reopen995, AnyOtherResultResetsTheCount) {
  startSensor(qvzsim::kThreeAxis);
  makeDevice(1);
  ASSERT_TRUE(waitOnline());
  const size_t start = log_.events().size();

  // Two re-opens, then a poll that succeeds in every request ...
  log_.abortWrites(2);
  ASSERT_TRUE(waitUntil([&] { return log_.events().find("AOAOW", start) != std::string::npos; }));
  ASSERT_TRUE(waitOnline());
  // ... so that four more polls in 995 get three re-opens again.
  log_.abortWrites(4);
  ASSERT_TRUE(waitUntil([&] { return log_.events().find("AOAOAOAW", start) != std::string::npos; }))
      << log_.events().substr(start);
}

}  // namespace
}  // namespace device::testing
