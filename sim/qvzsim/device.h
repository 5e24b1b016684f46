// One simulated sensor: its registers, coils, files and physics, and how it
// answers a request. Not thread-safe: the line serialises all access.
#ifndef QVZSIM_DEVICE_H
#define QVZSIM_DEVICE_H

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "framing.h"
#include "model.h"
#include "qvzsim.h"
#include "register_map.h"

namespace qvzsim {

struct Bench {
  double gapMm = 1.5;
  double vibrationUm = 50.0;
  std::array<double, 3> velocity{4.0, 3.0, 2.0};  // Z, X, Y, mm/s
  double noise = 0.002;                           // relative standard deviation
};

class Device {
 public:
  // Builds a sensor from its options and, when there is one, its state file.
  static std::optional<Device> create(const SensorOptions &options, std::string &error);

  struct Outcome {
    std::vector<uint8_t> reply;  // address first, CRC not yet added; empty: no reply
    bool lineChange = false;     // the committed speed or address takes effect after the reply
    bool restart = false;        // the restart begins after the reply
  };
  // A request (CRC already checked and removed) addressed to this sensor or broadcast.
  Outcome handle(std::span<const uint8_t> request);
  // The reply bytes of an exception to a request.
  std::vector<uint8_t> exceptionReply(std::span<const uint8_t> request, uint8_t code) const;

  // After the reply of an outcome: the new line settings, or the start of a restart.
  void applyLineChange();
  void beginRestart(Clock::time_point until);
  // Silent while restarting; ends a restart whose time is up.
  bool silent(Clock::time_point now);

  uint8_t address() const { return address_; }
  uint32_t baud() const { return baud_; }
  int reportedType() const;

  Bench bench;

  std::array<uint16_t, regs::kInputCount> measure();  // a fresh reading, noise included
  const std::array<uint16_t, regs::kInputCount> &lastInputs() const { return lastInputs_; }

  std::optional<uint16_t> holding(uint16_t reg) const;
  bool setHolding(uint16_t reg, uint16_t value);  // as a write from outside would, unchecked
  std::vector<uint8_t> tableImage() const;
  bool setTableImage(std::span<const uint8_t> bytes);
  std::optional<std::vector<uint8_t>> file(const std::string &name) const;
  void setFile(const std::string &name, std::vector<uint8_t> bytes);
  bool removeFile(const std::string &name);
  std::vector<std::string> fileNames() const;
  // A coil action; the exception code it meets, 0 on success.
  uint8_t writeCoil(uint16_t coil, bool on);
  SensorStatus status() const;

 private:
  explicit Device(const SensorOptions &options);
  void factoryReset();
  bool load(std::string &error);
  void save() const;

  float hfloat(uint16_t reg) const;
  void setHfloat(uint16_t reg, float v);
  float dacCurrent(int channel, float value) const;
  double noisy(double value, double scale = 1.0);

  Outcome readBits(std::span<const uint8_t> rq);
  Outcome readRegisters(std::span<const uint8_t> rq);  // functions 3 and 4
  Outcome writeSingleCoil(std::span<const uint8_t> rq);
  Outcome writeRegisters(std::span<const uint8_t> rq, uint16_t start,
                         std::span<const uint8_t> values);
  Outcome setClock(std::span<const uint8_t> rq);
  Outcome getClock(std::span<const uint8_t> rq);
  Outcome identify(std::span<const uint8_t> rq);
  Outcome fileRequest(std::span<const uint8_t> rq);

  int type_;
  uint8_t address_;
  uint32_t baud_;
  std::string stateFile_;
  int32_t serialNumber_;
  Spread spread_;
  std::mt19937 rng_;

  std::array<uint16_t, regs::kHoldingCount> holding_{};  // working configuration
  std::array<uint16_t, regs::kHoldingCount> stored_{};   // committed configuration
  std::array<float, regs::kTableFloats> table_{};
  std::map<std::string, std::vector<uint8_t>> files_;
  std::array<uint16_t, regs::kInputCount> lastInputs_{};

  bool testSignal_ = false;
  bool testMode_ = false;
  DacOutput dac_ = DacOutput::Normal;
  std::optional<Clock::time_point> restartUntil_;
  unsigned commits_ = 0, restarts_ = 0;
  long long clockOffset_ = 0;  // seconds the sensor's clock is ahead of the host's
  std::array<float, 2> lastDac_{};

  struct Upload {
    std::string name;
    uint32_t length = 0;
    std::vector<uint8_t> data;
  };
  std::optional<Upload> upload_;
  std::optional<std::vector<uint8_t>> download_;
};

}  // namespace qvzsim

#endif
