// A bench for tests that run sentune's start-up: a private directory that
// stands for the program's own (INI file, Data directory), a simulated sensor
// on a pseudo-terminal that rk knows as COM<n>. One bench at a time per test
// process. Link rk_test_support with it: rk's shared objects then have a name
// space of the test run's own (tests/support/rk_test_env.h).
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

#include "qvzsim.h"

namespace testsupport {

class SimBench {
 public:
  struct Options {
    int type = qvzsim::kGapVibration;
    uint8_t address = 1;
    uint32_t baud = 57600;
    int32_t sensorNumber = 1234;
    int com = 1;           // the sensor answers on COM<com>
    int pollMs = 10;       // poll interval of the identification string
    int timeoutMs = 100;   // reply time-out of the identification string
    int restartMs = 1000;  // the sensor's silence after the restart coil
  };

  explicit SimBench(const Options &o) : options_(o) {
    static int count = 0;
    if (std::getenv("RK_IPC_SUFFIX") == nullptr) {
      throw std::runtime_error("SimBench: no RK_IPC_SUFFIX; link rk_test_support");
    }
    dir_ = std::filesystem::temp_directory_path() /
           ("sentune_bench_" + std::to_string(::getpid()) + "_" + std::to_string(count++));
    std::filesystem::create_directories(dir_);
    qvzsim::LineOptions line;
    line.linkPath = (dir_ / "ttyQVZ").string();
    line.restartTime = std::chrono::milliseconds(o.restartMs);
    if (!line_.start(line)) {
      throw std::runtime_error("qvzsim: " + line_.error());
    }
    ::setenv(("RK_COM" + std::to_string(o.com)).c_str(), line_.linkPath().c_str(), 1);
    qvzsim::SensorOptions sensor;
    sensor.type = o.type;
    sensor.address = o.address;
    sensor.baud = o.baud;
    sensor.serialNumber = o.sensorNumber;
    sensor_ = line_.addSensor(sensor);
    if (!sensor_) throw std::runtime_error("qvzsim: " + line_.error());
    writeIni(idStr(), o.address);
  }

  ~SimBench() {
    line_.stop();
    ::unsetenv(("RK_COM" + std::to_string(options_.com)).c_str());
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  SimBench(const SimBench &) = delete;
  SimBench &operator=(const SimBench &) = delete;

  // The identification string of the simulated sensor's line.
  std::string idStr() const {
    return "rk.dll," + std::to_string(options_.com) + "," + std::to_string(options_.baud) + "," +
           std::to_string(options_.pollMs) + "," + std::to_string(options_.timeoutMs);
  }

  // Replaces the INI file: section SETTINGS with IdStr (none when empty) and DeviceId.
  void writeIni(const std::string &id, int address) const {
    std::ofstream ini(iniPath(), std::ios::trunc);
    ini << "[SETTINGS]\n";
    if (!id.empty()) ini << "IdStr=" << id << "\n";
    ini << "DeviceId=" << address << "\n";
  }

  std::string dir() const { return dir_.string(); }
  // The path the program would have: its INI file and Data directory lie beside it.
  std::string exePath() const { return (dir_ / "sentune").string(); }
  std::string iniPath() const { return (dir_ / "sentune.ini").string(); }
  qvzsim::Line &line() { return line_; }
  qvzsim::Sensor &sensor() { return *sensor_; }

 private:
  Options options_;
  std::filesystem::path dir_;
  qvzsim::Line line_;
  std::optional<qvzsim::Sensor> sensor_;
};

}  // namespace testsupport
