// TE140: the reference ADC. It owns the E-140 module, samples one input
// channel continuously on a worker thread and publishes, for every block of
// samples, the RMS value of the signal's alternating part in volts.
//
// Create one from the program's INI file (section "E140": LogChan, NM, Rate,
// K0, K1); call GetReference and GetStatusText from any thread, as often as
// the display wants; delete it to stop the worker and release the module.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "adc/e140_module.h"
#include "adc/e140_settings.h"
#include "adc/event.h"
#include "adc/module_library.h"

class TE140 {
 public:
  // Reads the settings, loads the module library (see adc/module_library.h)
  // and, when it gives a module interface, starts the acquisition worker.
  explicit TE140(const std::string &iniPath);
  // Stops acquisition and the worker, then releases the module.
  virtual ~TE140();
  TE140(const TE140 &) = delete;
  TE140 &operator=(const TE140 &) = delete;

  // The reference value in volts and true while no error is pending; -32768.0
  // means there is no measurement yet. False (value untouched) while an error
  // text stands.
  bool GetReference(double &value) const;

  // True with "ввод на частоте … Гц, усреднение по … точкам" (UTF-8) while
  // all is well; false with the error text otherwise.
  bool GetStatusText(std::string &text) const;

  static constexpr double kNoValue = -32768.0;

 private:
  explicit TE140(const adc::E140Settings &settings);

  void worker();
  void findAndStartModule(adc::E140Request &request);
  void awaitBlock(const adc::Event &blockEvent, adc::E140Request &request, int waitMs);
  void closeModule();
  void applyCorrectionPair();
  void report(bool ok, const char *message, const char *fallback);
  void publishStatus(const char *text);

  adc::ModuleLibrary library_;  // first in, last out: it holds the module's code

  const uint32_t NM;
  const int16_t K0;
  const double K1;
  const uint16_t LogChan;

  adc::E140Module *adcInterface = nullptr;
  alignas(8) uint8_t moduleDescription[adc::kDescriptionSize] = {};
  int32_t offsetCode = 0;  // correction pair of the input range in use
  double scale = 1.0;

  // 1 created, 2 worker running, 0 stop requested, -1 worker finished.
  std::atomic<int32_t> runState{1};
  int16_t moduleSlot = -1;  // worker only
  adc::Event stopEvent_;    // set once, by the destructor, to cut every wait short

  // What the worker publishes, read by any thread as one consistent set.
  mutable std::mutex publishedMutex_;
  double Rate;
  double referenceValue = kNoValue;
  int32_t pointsUsed;
  std::string statusText;

  alignas(64) int16_t sampleBuffer[adc::kMaxBlockSamples];

  std::thread worker_;
};
