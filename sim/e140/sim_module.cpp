#include "sim_module.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "e140sim.h"

namespace e140sim {
namespace {

// The module's converter clock: a rate is this clock divided by a whole
// number, which limits it to 244 Hz - 100 kHz.
constexpr double kClockKHz = 16000.0;
constexpr double kMinDivider = 160.0;
constexpr double kMaxDivider = 65535.0;

constexpr auto kControlPeriod = std::chrono::milliseconds(100);
// Samples the module buffers while no read is pending; older ones are lost.
constexpr double kBufferSeconds = 4.0;

std::atomic<uint64_t> openCount{0};
std::atomic<uint64_t> searchCount{0};
std::atomic<uint64_t> blockCount{0};

std::string environment(const char *name) {
  const char *value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::optional<std::string> readWhole(const std::string &path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string text;
  char buf[1024];
  ssize_t n = 0;
  while ((n = ::read(fd, buf, sizeof buf)) > 0)
    text.append(buf, static_cast<size_t>(n));
  ::close(fd);
  return text;
}

}  // namespace

SimModule::SimModule()
    : controlPath_(environment("SENTUNE_E140_CONTROL")),
      settings_(settingsFromEnvironment()),
      source_(settings_.seed) {
  // The control file counts from the start, before the program's first call.
  if (const std::optional<std::string> text = changedControlText()) applyControl(*text);
  clock_ = std::thread(&SimModule::run, this);
}

SimModule::~SimModule() = default;

bool SimModule::fail(std::string text) {
  lastError_ = std::move(text);
  return false;
}

bool SimModule::openDevice(uint16_t slot) {
  const std::lock_guard lock(mutex_);
  openCount.fetch_add(1, std::memory_order_relaxed);
  if (slot == 0) searchCount.fetch_add(1, std::memory_order_relaxed);
  if (!settings_.present || slot != settings_.slot) {
    return fail("модуль E-140 не отвечает в слоте " + std::to_string(slot));
  }
  opened_ = true;
  return true;
}

bool SimModule::closeDevice() {
  const std::lock_guard lock(mutex_);
  opened_ = configured_ = running_ = false;
  pending_ = nullptr;
  return true;
}

bool SimModule::release() {
  {
    const std::lock_guard lock(mutex_);
    quit_ = true;
    pending_ = nullptr;
  }
  wake_.notify_all();
  clock_.join();
  delete this;
  return true;
}

bool SimModule::cancelInput() {
  const std::lock_guard lock(mutex_);
  pending_ = nullptr;
  return true;
}

bool SimModule::lastError(char *text, size_t size) {
  if (text == nullptr || size == 0) return false;
  const std::lock_guard lock(mutex_);
  size_t n = std::min(lastError_.size(), size - 1);
  // Never cut a UTF-8 sequence in two.
  while (n > 0 && n < lastError_.size() && (static_cast<uint8_t>(lastError_[n]) & 0xC0) == 0x80) {
    --n;
  }
  std::memcpy(text, lastError_.data(), n);
  text[n] = '\0';
  return true;
}

bool SimModule::setParameters(adc::E140Parameters *parameters) {
  const std::lock_guard lock(mutex_);
  if (!opened_) return fail("модуль E-140 не открыт");
  if (settings_.failure == Failure::Parameters) {
    return fail("модуль E-140 отклонил параметры ввода (имитация сбоя)");
  }
  if (parameters == nullptr || parameters->channelCount == 0 ||
      parameters->channelCount > adc::kMaxChannels) {
    return fail("модуль E-140: недопустимое число каналов");
  }
  const double wanted = parameters->rateKHz;
  if (!std::isfinite(wanted) || wanted <= 0.0) {
    return fail("модуль E-140: недопустимая частота ввода");
  }
  const double divider = std::clamp(std::round(kClockKHz / wanted), kMinDivider, kMaxDivider);
  parameters->rateKHz = kClockKHz / divider;
  parameters->frameIntervalMs = parameters->channelCount / parameters->rateKHz;
  rateHz_ = parameters->rateKHz * 1000.0;
  channel_ = parameters->channels[0];
  configured_ = true;
  running_ = false;
  pending_ = nullptr;
  return true;
}

bool SimModule::startAcquisition() {
  {
    const std::lock_guard lock(mutex_);
    if (!opened_) return fail("модуль E-140 не открыт");
    if (settings_.failure == Failure::Start) {
      return fail("модуль E-140 не запустил ввод (имитация сбоя)");
    }
    if (!configured_) return fail("модуль E-140: параметры ввода не заданы");
    running_ = true;
    started_ = Clock::now();
    consumed_ = 0;
  }
  wake_.notify_all();
  return true;
}

bool SimModule::stopAcquisition() {
  const std::lock_guard lock(mutex_);
  running_ = false;
  pending_ = nullptr;
  return true;
}

bool SimModule::readBlock(adc::E140Request *request) {
  {
    const std::lock_guard lock(mutex_);
    if (!opened_ || !running_) return fail("модуль E-140: ввод не запущен");
    if (request == nullptr || request->buffer == nullptr || request->samples == 0) {
      return fail("модуль E-140: пустой запрос чтения");
    }
    if (pending_ != nullptr) return fail("модуль E-140: чтение уже запущено");
    request->transferred = 0;
    pending_ = request;
  }
  wake_.notify_all();
  return true;
}

bool SimModule::readDescription(uint8_t *description) {
  const std::lock_guard lock(mutex_);
  if (!opened_) return fail("модуль E-140 не открыт");
  if (settings_.failure == Failure::Description) {
    return fail("модуль E-140: описание не прочитано (имитация сбоя)");
  }
  std::memset(description, 0, adc::kDescriptionSize);
  static constexpr char kName[] = "E140 simulated";
  std::memcpy(description, kName, sizeof kName);
  for (int r = 0; r < kRanges; ++r) {
    std::memcpy(description + adc::kOffsetCorrectionAt + 8 * r, &kOffsetCorrection[r],
                sizeof(double));
    std::memcpy(description + adc::kScaleCorrectionAt + 8 * r, &kScaleCorrection[r],
                sizeof(double));
  }
  return true;
}

// The clock thread: reads the control file now and then and completes the
// pending read once the acquisition has run long enough to fill it.
void SimModule::run() {
  pthread_setname_np(pthread_self(), "e140sim");
  std::unique_lock lock(mutex_);
  Clock::time_point nextControl = Clock::now() + kControlPeriod;
  while (!quit_) {
    const Clock::time_point now = Clock::now();
    if (!controlPath_.empty() && now >= nextControl) {
      lock.unlock();
      const std::optional<std::string> text = changedControlText();
      lock.lock();
      if (text) applyControl(*text);
      nextControl = now + kControlPeriod;
      continue;
    }
    Clock::time_point wake = controlPath_.empty() ? Clock::time_point::max() : nextControl;
    if (pending_ != nullptr && running_) {
      const Clock::time_point due = blockDue();
      if (now >= due) {
        deliver();
        continue;
      }
      wake = std::min(wake, due);
    }
    if (wake == Clock::time_point::max()) {
      wake_.wait(lock);
    } else {
      wake_.wait_until(lock, wake);
    }
  }
}

std::optional<std::string> SimModule::changedControlText() {
  if (controlPath_.empty()) return std::nullopt;
  struct stat st {};
  Stamp stamp;
  if (::stat(controlPath_.c_str(), &st) == 0) {
    stamp = {st.st_ino, static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
             st.st_size};
  }
  if (stamp == controlStamp_) return std::nullopt;
  controlStamp_ = stamp;
  return readWhole(controlPath_);
}

void SimModule::applyControl(const std::string &text) {
  Settings next = settings_;
  applyControlText(next, text);
  if (settings_.present && !next.present) {
    // Unplugged: the device is gone with whatever it was doing.
    opened_ = configured_ = running_ = false;
    pending_ = nullptr;
    lastError_ = "нет связи с модулем E-140";
  }
  settings_ = next;
}

SimModule::Clock::time_point SimModule::blockDue() const {
  const double seconds = static_cast<double>(consumed_ + pending_->samples) / rateHz_;
  return started_ +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

void SimModule::deliver() {
  // A reader that falls far behind loses the oldest samples, as the module's
  // buffer overflows.
  const double produced = std::chrono::duration<double>(Clock::now() - started_).count() * rateHz_;
  const double backlog = produced - static_cast<double>(consumed_ + pending_->samples);
  if (backlog > kBufferSeconds * rateHz_) consumed_ += static_cast<uint64_t>(backlog);

  source_.generate(settings_, channel_, rateHz_, consumed_, pending_->buffer, pending_->samples);
  pending_->transferred = pending_->samples;
  consumed_ += pending_->samples;
  const int fd = pending_->completionFd;
  pending_ = nullptr;
  blockCount.fetch_add(1, std::memory_order_relaxed);
  const uint64_t one = 1;
  const ssize_t written = ::write(fd, &one, sizeof one);
  static_cast<void>(written);  // a full counter is signalled already
}

}  // namespace e140sim

extern "C" {

__attribute__((visibility("default"))) adc::E140Module *e140_create(const char *name) {
  if (name == nullptr || std::strcmp(name, "e140") != 0) return nullptr;
  try {
    return new e140sim::SimModule();
  } catch (...) {
    return nullptr;  // no exception crosses the library's boundary
  }
}

__attribute__((visibility("default"))) void e140sim_counters(E140SimCounters *counters) {
  if (counters == nullptr) return;
  counters->opens = e140sim::openCount.load();
  counters->searches = e140sim::searchCount.load();
  counters->blocks = e140sim::blockCount.load();
}
}
