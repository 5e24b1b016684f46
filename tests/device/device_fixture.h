// A TQVZ2 on a simulated sensor: a qvzsim line on a pseudo-terminal, mapped
// to COM3 through RK_COM3, an INI file of the test's own, and waits with
// generous deadlines. The executable links rk_test_support, which gives it
// a port table of its own (RK_IPC_SUFFIX) before the link library loads.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "device/qvz2.h"
#include "qvzsim.h"
#include "tests/support/rk_test_env.h"

namespace device::testing {

using namespace std::chrono_literals;

// Waits until pred() holds; false after `timeout`.
inline bool waitUntil(const std::function<bool()> &pred,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

// A fault on requests of one function (-1 any) touching registers first..last
// (-1 any), for every such request.
inline qvzsim::Fault fault(qvzsim::FaultKind kind, int function, int first = -1, int last = -1) {
  qvzsim::Fault f;
  f.kind = kind;
  f.function = function;
  f.firstRegister = first;
  f.lastRegister = last;
  return f;
}

inline qvzsim::Fault exceptionOn(int function, uint8_t code) {
  qvzsim::Fault f = fault(qvzsim::FaultKind::Exception, function);
  f.exceptionCode = code;
  return f;
}

class DeviceTest : public ::testing::Test {
 protected:
  static constexpr int kCom = 3;

  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("device_test_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    iniPath_ = (dir_ / "sentune.ini").string();
  }

  void TearDown() override {
    dev_.reset();
    line_.reset();
    ::unsetenv("RK_COM3");
    std::filesystem::remove_all(dir_);
  }

  // Starts a line with one sensor and maps COM3 to it.
  qvzsim::Sensor startSensor(int type, uint8_t address = 1, uint32_t baud = 57600) {
    line_ = std::make_unique<qvzsim::Line>();
    EXPECT_TRUE(line_->start()) << line_->error();
    qvzsim::SensorOptions options;
    options.type = type;
    options.address = address;
    options.baud = baud;
    auto sensor = line_->addSensor(options);
    EXPECT_TRUE(sensor.has_value()) << line_->error();
    rktest::mapComPort(kCom, line_->slavePath());
    sensor->setNoise(0.0);
    return *sensor;
  }

  // An identification string for COM3 with the link library's default poll
  // interval, shorter than the program's 100 ms so that the tests spend less
  // time waiting, yet long enough that a loaded machine does not cut replies.
  static std::string idStr(uint32_t baud = 57600) {
    return "rk.dll," + std::to_string(kCom) + "," + std::to_string(baud) + ",50,200";
  }

  void writeIni(const std::string &content) { std::ofstream(iniPath_) << content; }
  std::string readIni() const {
    std::ifstream in(iniPath_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  TQVZ2 &makeDevice() {
    dev_ = std::make_unique<TQVZ2>(iniPath_);
    return *dev_;
  }
  TQVZ2 &makeDevice(uint8_t address, uint32_t baud = 57600) {
    writeIni("[SETTINGS]\nIdStr=" + idStr(baud) + "\nDeviceId=" + std::to_string(address) + "\n");
    return makeDevice();
  }

  // Waits for a poll that succeeded in every request; on failure says what
  // the link reported last.
  ::testing::AssertionResult waitOnline() {
    if (waitUntil([&] { return dev_->snapshot().online; })) return ::testing::AssertionSuccess();
    const MeasurementRecord rec = dev_->snapshot();
    return ::testing::AssertionFailure()
           << "not online: port " << rec.port << ", lastError \"" << rec.lastError << "\", good "
           << rec.stats.GoodReplies << ", bad attempts " << rec.stats.BadAttempts << ", failed "
           << rec.stats.FailedExchanges;
  }

  std::filesystem::path dir_;
  std::string iniPath_;
  std::unique_ptr<qvzsim::Line> line_;
  std::unique_ptr<TQVZ2> dev_;
};

}  // namespace device::testing
