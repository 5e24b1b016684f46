#include "adc/te140.h"

#include <pthread.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>
#include <system_error>

#include "adc/block.h"

namespace {

constexpr int kSlotCount = 1000;
constexpr int kSearchPauseMs = 500;

constexpr char kNotFound[] = "модуль E-140 не найден";
// Our own texts for failures the module library leaves without one.
constexpr char kDescriptionFailed[] = "модуль E-140: описание модуля не прочитано";
constexpr char kParametersFailed[] = "модуль E-140: параметры ввода не приняты";
constexpr char kStartFailed[] = "модуль E-140: ввод не запущен";
constexpr char kNoBlock[] = "модуль E-140: блок данных не получен вовремя";
constexpr char kNoWorker[] = "модуль E-140: не удалось запустить поток ввода";

int32_t truncatedCode(double correction) {
  if (!std::isfinite(correction)) return 0;
  // Only the low 16 bits matter to the 16-bit sample arithmetic.
  return static_cast<int32_t>(std::fmod(std::trunc(correction), 65536.0));
}

}  // namespace

TE140::TE140(const std::string &iniPath) : TE140(adc::readE140Settings(iniPath)) {}

TE140::TE140(const adc::E140Settings &settings)
    : NM(settings.nm),
      K0(settings.k0),
      K1(settings.k1),
      LogChan(settings.logChan),
      Rate(settings.rate),
      pointsUsed(static_cast<int32_t>(settings.nm)) {
  adcInterface = library_.create("e140");
  if (adcInterface == nullptr) return;
  try {
    worker_ = std::thread(&TE140::worker, this);
  } catch (const std::system_error &) {
    publishStatus(kNoWorker);
  }
}

TE140::~TE140() {
  if (adcInterface == nullptr) return;
  adcInterface->stopAcquisition();
  adcInterface->cancelInput();
  // Also a worker that has not reached state 2 yet sees the request: it only
  // moves from 1 to 2 by an exchange, and the join waits for it either way.
  runState.store(0);
  stopEvent_.signal();
  if (worker_.joinable()) worker_.join();
  adcInterface->release();
  adcInterface = nullptr;
}

bool TE140::GetReference(double &value) const {
  const std::lock_guard lock(publishedMutex_);
  if (!statusText.empty()) return false;
  value = referenceValue;
  return true;
}

bool TE140::GetStatusText(std::string &text) const {
  const std::lock_guard lock(publishedMutex_);
  if (!statusText.empty()) {
    text = statusText;
    return false;
  }
  char line[160];
  if (pointsUsed == static_cast<int32_t>(NM)) {
    std::snprintf(line, sizeof line, "ввод на частоте %.0f Гц, усреднение по %d точкам", Rate,
                  static_cast<int>(NM));
  } else {
    std::snprintf(line, sizeof line, "ввод на частоте %.0f Гц, усреднение по %d (%d) точкам", Rate,
                  static_cast<int>(NM), static_cast<int>(pointsUsed));
  }
  text = line;
  return true;
}

void TE140::worker() {
  pthread_setname_np(pthread_self(), "te140");
  {
    const int waitMs = adc::blockWaitMs(NM, Rate);  // Rate is still the configured one
    const adc::Event blockEvent;
    if (!blockEvent.valid() || !stopEvent_.valid()) {
      publishStatus(kNoWorker);
      return;  // runState stays 1; the destructor joins all the same
    }
    int32_t created = 1;
    if (runState.compare_exchange_strong(created, 2)) {
      adc::E140Request request{sampleBuffer, NM, 0, blockEvent.fd()};
      while (runState.load() > 0) {
        if (moduleSlot < 0) findAndStartModule(request);
        if (moduleSlot >= 0) awaitBlock(blockEvent, request, waitMs);
        if (moduleSlot < 0 && runState.load() > 0) {
          {
            const std::lock_guard lock(publishedMutex_);
            referenceValue = kNoValue;
          }
          adc::waitFor(nullptr, stopEvent_, kSearchPauseMs);
        }
      }
    }
    // The module must be done with the request before its event goes.
    closeModule();
  }
  runState.store(-1);
}

void TE140::findAndStartModule(adc::E140Request &request) {
  int slot = 0;
  while (slot < kSlotCount && !adcInterface->openDevice(static_cast<uint16_t>(slot))) {
    if (runState.load() <= 0) return;
    ++slot;
  }
  if (slot == kSlotCount) {
    report(false, kNotFound, nullptr);
    return;
  }
  moduleSlot = static_cast<int16_t>(slot);

  adc::E140Parameters parameters{};
  parameters.channelCount = 1;
  parameters.channels[0] = LogChan;
  {
    const std::lock_guard lock(publishedMutex_);
    parameters.rateKHz = Rate / 1000.0;
  }
  parameters.frameIntervalMs = 1.0 / parameters.rateKHz;

  bool ok = adcInterface->readDescription(moduleDescription);
  report(ok, nullptr, kDescriptionFailed);
  if (ok) {
    ok = adcInterface->setParameters(&parameters);
    report(ok, nullptr, kParametersFailed);
  }
  if (ok) {
    ok = adcInterface->startAcquisition();
    report(ok, nullptr, kStartFailed);
  }
  if (!ok) {
    closeModule();
    return;
  }
  {
    const std::lock_guard lock(publishedMutex_);
    Rate = parameters.rateKHz * 1000.0;
  }
  applyCorrectionPair();
  adcInterface->readBlock(&request);
}

void TE140::awaitBlock(const adc::Event &blockEvent, adc::E140Request &request, int waitMs) {
  switch (adc::waitFor(&blockEvent, stopEvent_, waitMs)) {
    case adc::Wake::Stopped:
      return;  // the loop ends and closes the device
    case adc::Wake::Signalled:
      if (runState.load() > 0) {
        const adc::BlockResult r =
            adc::processBlock(std::span(sampleBuffer, NM), K0 + offsetCode, K1 * scale);
        {
          const std::lock_guard lock(publishedMutex_);
          referenceValue = r.reference;
          pointsUsed = r.pointsUsed;
        }
        adcInterface->readBlock(&request);
      }
      return;
    case adc::Wake::TimedOut:
    case adc::Wake::Failed:
      report(false, nullptr, kNoBlock);
      closeModule();
      return;
  }
}

void TE140::closeModule() {
  adcInterface->closeDevice();
  moduleSlot = -1;
}

void TE140::applyCorrectionPair() {
  const int range = (LogChan >> 6) & 3;
  double offset = 0.0;
  std::memcpy(&offset, moduleDescription + adc::kOffsetCorrectionAt + 8 * range, sizeof offset);
  std::memcpy(&scale, moduleDescription + adc::kScaleCorrectionAt + 8 * range, sizeof scale);
  offsetCode = truncatedCode(offset);
  if (!std::isfinite(scale)) scale = 1.0;
}

void TE140::report(bool ok, const char *message, const char *fallback) {
  if (message != nullptr) {
    publishStatus(message);
  } else if (ok) {
    publishStatus("");
  } else {
    char text[adc::kErrorTextSize] = {};
    adcInterface->lastError(text, sizeof text);
    text[sizeof text - 1] = '\0';
    publishStatus(text[0] != '\0' ? text : fallback);
  }
}

void TE140::publishStatus(const char *text) {
  const std::lock_guard lock(publishedMutex_);
  statusText = text;
}
