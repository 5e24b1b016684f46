// The bench of the search tests: simulated sensors on three pseudo-terminals
// that rk knows as COM1, COM2 and COM4. COM1 is the SimBench's (its INI file
// names it: the program's link before a search); COM4 is held by another
// program with an exclusive lock, as a terminal program would hold it; COM3
// and COM5-COM16 lead to no device at all.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "qvzsim.h"
#include "tests/support/child_process.h"
#include "tests/support/rk_test_env.h"
#include "tests/support/sim_bench.h"

namespace searchtest {

struct SensorAt {
  int com;
  int type;
  uint8_t address;
  uint32_t baud;
  int32_t number;
};

inline constexpr SensorAt kOnCom1{1, qvzsim::kThreeAxis, 1, 57600, 1111};
inline constexpr SensorAt kOnCom2{2, qvzsim::kThreeAxis, 7, 19200, 2222};
inline constexpr SensorAt kOnCom4{4, qvzsim::kGapVibration, 3, 9600, 4444};

class SearchBench {
 public:
  SearchBench()
      : sim_({.type = kOnCom1.type,
              .address = kOnCom1.address,
              .baud = kOnCom1.baud,
              .sensorNumber = kOnCom1.number,
              .com = kOnCom1.com}) {
    addLine(line2_, kOnCom2);
    addLine(line4_, kOnCom4);
    for (int com = 3; com <= 16; ++com) {
      if (com != kOnCom4.com) rktest::mapComPort(com, sim_.dir() + "/absent");
    }
    // flock(1) takes the lock, then runs cat, which answers our line once the
    // lock is held; killing flock frees it.
    holder_ = std::make_unique<rktest::ChildProcess>(
        "flock", std::vector<std::string>{"-x", "-n", "-o", linkPath(kOnCom4.com), "cat"});
    if (holder_->ask("held") != "held") throw std::runtime_error("COM4 could not be locked");
  }

  ~SearchBench() {
    holder_.reset();
    line2_.stop();
    line4_.stop();
    for (int com = 2; com <= 16; ++com)
      ::unsetenv(("RK_COM" + std::to_string(com)).c_str());
  }
  SearchBench(const SearchBench &) = delete;
  SearchBench &operator=(const SearchBench &) = delete;

  testsupport::SimBench &sim() { return sim_; }
  qvzsim::Line &line(int com) { return com == 1 ? sim_.line() : com == 2 ? line2_ : line4_; }
  qvzsim::Sensor sensor(int com) { return line(com).sensors().front(); }
  // The path rk opens for COM<com>.
  std::string linkPath(int com) {
    return com == 1 ? sim_.line().linkPath() : sim_.dir() + "/ttyCOM" + std::to_string(com);
  }

 private:
  void addLine(qvzsim::Line &line, const SensorAt &s) {
    qvzsim::LineOptions options;
    options.linkPath = linkPath(s.com);
    if (!line.start(options)) throw std::runtime_error("qvzsim: " + line.error());
    qvzsim::SensorOptions sensor;
    sensor.type = s.type;
    sensor.address = s.address;
    sensor.baud = s.baud;
    sensor.serialNumber = s.number;
    if (!line.addSensor(sensor)) throw std::runtime_error("qvzsim: " + line.error());
    rktest::mapComPort(s.com, line.linkPath());
  }

  testsupport::SimBench sim_;
  qvzsim::Line line2_;
  qvzsim::Line line4_;
  std::unique_ptr<rktest::ChildProcess> holder_;
};

}  // namespace searchtest
