// TQVZ2: construction and destruction, settings, the link, the device lock,
// publication of the record, and the polling worker's loop.
#include "qvz2.h"

#include <pthread.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstring>
#include <span>
#include <system_error>

#include "format.h"
#include "link/rk.h"
#include "platform/cp1251.h"
#include "platform/ini.h"
#include "speed_table.h"

namespace device {

namespace {

constexpr const char *kSection = "SETTINGS";
constexpr size_t kIdStrCapacity = 200;  // bytes, terminator included
constexpr uint32_t kErrorTextCapacity = 2000;
constexpr auto kPollPause = std::chrono::milliseconds(100);
constexpr const char *kWorkerName = "qvz-poll";  // as top -H and debuggers show it

// Default reference gaps of the S calibration points S1..S10, mm.
constexpr float kDefaultGaps[kGapPoints] = {0.0f,  0.4f, 0.9f,  1.6f, 2.3f,
                                            3.05f, 3.8f, 4.55f, 5.3f, 6.05f};

// The leading decimal number of a text, 0.0 when it has none; the same in
// every locale.
float leadingNumber(const std::string &text) {
  const char *p = text.c_str();
  const char *end = p + text.size();
  while (p < end && (*p == ' ' || *p == '\t'))
    ++p;
  if (p < end && *p == '+') ++p;
  double value = 0.0;
  std::from_chars(p, end, value, std::chars_format::general);
  return static_cast<float>(value);
}

}  // namespace

TQVZ2::TQVZ2(std::string iniPath) : iniPath_(std::move(iniPath)) {
  resetCalibration(cal_);
  loadSettings();
  reopen();
  publish();
  state_.store(Free, std::memory_order_release);
  try {
    worker_ = std::thread(&TQVZ2::workerLoop, this);
  } catch (const std::system_error &) {
    // Without a worker the record stays as it is; commands still work.
    rec_.lastError = "не удалось запустить опрос датчика";
    publish();
  }
}

TQVZ2::~TQVZ2() {
  if (worker_.joinable()) {
    // A dialog may hold the lock: free it so the worker can end its cycle.
    if (state_.load(std::memory_order_acquire) == Held) deviceLock_.release();
    {
      std::lock_guard<std::mutex> guard(sleepMutex_);
      state_.store(StopRequested, std::memory_order_release);
    }
    sleepCv_.notify_all();
    worker_.join();  // the worker has set Stopped when it returns
  }
  close();
}

// ---- Settings ----

void TQVZ2::loadSettings() {
  rec_.idStr = platform::iniReadString(iniPath_, kSection, "IdStr", "");
  if (rec_.idStr.size() >= kIdStrCapacity) rec_.idStr.resize(kIdStrCapacity - 1);
  rec_.address = static_cast<uint8_t>(platform::iniReadInt(iniPath_, kSection, "DeviceId", 0));
  // Missing keys get their defaults written back, all in one rewrite of the
  // file: ten flushed rewrites cost a first start a tenth of a second.
  std::string keys[kGapPoints];
  std::string defaults[kGapPoints];
  platform::IniEntry missing[kGapPoints];
  size_t missingCount = 0;
  for (int i = 0; i < kGapPoints; ++i) {
    keys[i] = "S" + std::to_string(i + 1);
    const std::string value = platform::iniReadString(iniPath_, kSection, keys[i], "");
    if (!value.empty()) {
      cal_.gapPoints[i].ref = leadingNumber(value);
    } else {
      cal_.gapPoints[i].ref = kDefaultGaps[i];
      defaults[i] = formatFixed(kDefaultGaps[i], 3, 2);
      missing[missingCount++] = {keys[i], defaults[i]};
    }
  }
  platform::iniWriteStrings(iniPath_, kSection, std::span(missing, missingCount));
}

void TQVZ2::saveSettings() {
  platform::iniWriteString(iniPath_, kSection, "IdStr", rec_.idStr);
  platform::iniWriteString(iniPath_, kSection, "DeviceId", std::to_string(rec_.address));
}

// ---- Link ----

void TQVZ2::close() {
  if (rec_.port >= 0) {
    RK_Close(static_cast<uint32_t>(rec_.port));
    rec_.port = -1;
  }
  rec_.online = false;
}

void TQVZ2::reopen(const std::string &newIdStr, uint8_t newAddress) {
  close();
  rec_.idStr = newIdStr;
  rec_.address = newAddress;
  saveSettings();
  reopen();
}

void TQVZ2::reopen() {
  close();
  if (!rec_.idStr.empty()) {
    uint8_t port = 0;
    uint32_t r = RK_OpenIdStr(rec_.idStr.c_str(), &port);
    if (r == RK_OK) {
      rec_.port = port;
      rec_.portText = "COM" + std::to_string(port + 1);
      RkParamBlock block{};
      block.Size = sizeof block;
      r = RK_GetParamBlock(port, &block);
      rec_.speedIndex = speedRowOf(block.BaudRate);
      rec_.speedText = std::to_string(block.BaudRate);
      rec_.addressText = std::to_string(rec_.address);
    }
    setLastError(r);
  }
  if (rec_.port < 0) {
    rec_.portText.clear();
    rec_.speedText.clear();
    rec_.addressText.clear();
  }
}

uint32_t TQVZ2::setLastError(uint32_t code) {
  char text[kErrorTextCapacity];
  const uint32_t n = RK_GetErrorText(code, text, sizeof text);
  rec_.lastError =
      platform::cp1251ToUtf8(std::string_view(text, std::min(n, kErrorTextCapacity - 1)));
  rec_.lastResult = code;
  if (code != RK_OK) noteCommandFailure(rec_.lastError);
  return code;
}

void TQVZ2::noteCommandFailure(const std::string &text) {
  if (command_ != Command::Running) return;  // not in a command, or not its first failure
  command_ = Command::Failed;
  rec_.commandError = text;
  ++rec_.failedCommands;
}

void TQVZ2::resetStatistics() {
  int port;
  uint8_t address;
  {
    std::lock_guard<std::mutex> guard(snapMutex_);
    port = published_.port;
    address = published_.address;
  }
  RK_ResetStatistics(static_cast<uint32_t>(port), address);
}

void TQVZ2::resetMinMax() {
  std::lock_guard<std::mutex> guard(snapMutex_);
  device::resetMinMax(rec_);
  device::resetMinMax(published_);
}

// ---- Lock and publication ----

void TQVZ2::setClientState(WorkerState s) {
  // Never overwrite a stop request or the worker's Stopped.
  WorkerState cur = state_.load(std::memory_order_acquire);
  while ((cur == Held || cur == Free) &&
         !state_.compare_exchange_weak(cur, s, std::memory_order_acq_rel)) {
  }
}

void TQVZ2::lock() {
  deviceLock_.acquire();
  setClientState(Held);
}

void TQVZ2::unlock() {
  publish();
  deviceLock_.release();
  setClientState(Free);
}

void TQVZ2::publish() {
  std::lock_guard<std::mutex> guard(snapMutex_);
  published_ = rec_;
}

MeasurementRecord TQVZ2::snapshot() const {
  std::lock_guard<std::mutex> guard(snapMutex_);
  return published_;
}

void TQVZ2::snapshot(MeasurementRecord &out) const {
  std::lock_guard<std::mutex> guard(snapMutex_);
  out = published_;
}

// ---- Worker ----

void TQVZ2::workerLoop() {
  ::pthread_setname_np(::pthread_self(), kWorkerName);
  while (state_.load(std::memory_order_acquire) >= Held) {
    deviceLock_.acquire();
    poll();
    publish();
    deviceLock_.release();
    // The pause ends early when a stop is requested; the cycle is complete.
    std::unique_lock<std::mutex> guard(sleepMutex_);
    sleepCv_.wait_for(guard, kPollPause,
                      [this] { return state_.load(std::memory_order_acquire) < Held; });
  }
  state_.store(Stopped, std::memory_order_release);
}

}  // namespace device
