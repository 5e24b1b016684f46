// A simulated E-140 module behind the module interface of adc/e140_module.h:
// it answers on one device slot, takes acquisition parameters, and delivers
// blocks of a simulated reference signal in real time on a clock thread of
// its own, signalling each request's completion event.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "adc/e140_module.h"
#include "settings.h"
#include "signal.h"

namespace e140sim {

class SimModule final : public adc::E140Module {
 public:
  SimModule();  // may throw std::system_error when no thread can be started

  bool openDevice(uint16_t slot) override;
  bool closeDevice() override;
  bool release() override;
  bool cancelInput() override;
  bool lastError(char *text, size_t size) override;
  bool setParameters(adc::E140Parameters *parameters) override;
  bool startAcquisition() override;
  bool stopAcquisition() override;
  bool readBlock(adc::E140Request *request) override;
  bool readDescription(uint8_t *description) override;

 private:
  using Clock = std::chrono::steady_clock;

  // Identifies one version of the control file.
  struct Stamp {
    ino_t inode = 0;
    int64_t modifiedNs = -1;
    off_t size = -1;
    bool operator==(const Stamp &) const = default;
  };

  ~SimModule();
  void run();
  std::optional<std::string> changedControlText();
  void applyControl(const std::string &text);
  Clock::time_point blockDue() const;
  void deliver();
  bool fail(std::string text);

  const std::string controlPath_;
  Stamp controlStamp_;  // clock thread and constructor only

  std::mutex mutex_;
  std::condition_variable wake_;
  Settings settings_;
  bool quit_ = false;
  bool opened_ = false;
  bool configured_ = false;
  bool running_ = false;
  double rateHz_ = 0.0;
  uint16_t channel_ = 0;
  Clock::time_point started_;
  uint64_t consumed_ = 0;  // samples of this acquisition already delivered
  adc::E140Request *pending_ = nullptr;
  std::string lastError_;
  SignalSource source_;

  std::thread clock_;
};

}  // namespace e140sim
