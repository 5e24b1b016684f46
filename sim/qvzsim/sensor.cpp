// Sensor handles: every call takes the line's lock.
#include "bytes.h"
#include "line_impl.h"

namespace qvzsim {

namespace {

// A sensor's slot with the line's lock held.
struct Locked {
  Locked(Line::Impl &impl, int index) : d(impl), lock(impl.mu), s(*impl.slot(index)) {}
  Line::Impl &d;
  std::lock_guard<std::mutex> lock;
  Slot &s;
};

}  // namespace

void Sensor::setGap(double mm) {
  Locked l(*line_->impl_, index_);
  l.s.device.bench.gapMm = mm;
}
void Sensor::setVibration(double um) {
  Locked l(*line_->impl_, index_);
  l.s.device.bench.vibrationUm = um;
}
void Sensor::setVelocity(Axis axis, double mmPerS) {
  Locked l(*line_->impl_, index_);
  l.s.device.bench.velocity[static_cast<size_t>(axis)] = mmPerS;
}
void Sensor::setNoise(double relative) {
  Locked l(*line_->impl_, index_);
  l.s.device.bench.noise = relative;
}

std::optional<uint16_t> Sensor::holding(uint16_t reg) const {
  Locked l(*line_->impl_, index_);
  return l.s.device.holding(reg);
}
bool Sensor::setHolding(uint16_t reg, uint16_t value) {
  Locked l(*line_->impl_, index_);
  return l.s.device.setHolding(reg, value);
}
std::optional<uint32_t> Sensor::holdingU32(uint16_t reg) const {
  Locked l(*line_->impl_, index_);
  const auto lo = l.s.device.holding(reg), hi = l.s.device.holding(static_cast<uint16_t>(reg + 1));
  if (!lo || !hi) return std::nullopt;
  return wordsToU32(*lo, *hi);
}
bool Sensor::setHoldingU32(uint16_t reg, uint32_t value) {
  Locked l(*line_->impl_, index_);
  const auto next = static_cast<uint16_t>(reg + 1);
  if (!l.s.device.holding(reg) || !l.s.device.holding(next)) return false;
  l.s.device.setHolding(reg, static_cast<uint16_t>(value));
  l.s.device.setHolding(next, static_cast<uint16_t>(value >> 16));
  return true;
}
std::optional<float> Sensor::holdingFloat(uint16_t reg) const {
  const auto v = holdingU32(reg);
  if (!v) return std::nullopt;
  return std::bit_cast<float>(*v);
}
bool Sensor::setHoldingFloat(uint16_t reg, float value) {
  return setHoldingU32(reg, std::bit_cast<uint32_t>(value));
}

std::array<uint16_t, 32> Sensor::measure() const {
  Locked l(*line_->impl_, index_);
  return l.s.device.measure();
}
std::array<uint16_t, 32> Sensor::lastInputs() const {
  Locked l(*line_->impl_, index_);
  return l.s.device.lastInputs();
}

std::vector<uint8_t> Sensor::tableImage() const {
  Locked l(*line_->impl_, index_);
  return l.s.device.tableImage();
}
bool Sensor::setTableImage(const std::vector<uint8_t> &bytes) {
  Locked l(*line_->impl_, index_);
  return l.s.device.setTableImage(bytes);
}
std::optional<std::vector<uint8_t>> Sensor::file(const std::string &name) const {
  Locked l(*line_->impl_, index_);
  return l.s.device.file(name);
}
void Sensor::setFile(const std::string &name, std::vector<uint8_t> bytes) {
  Locked l(*line_->impl_, index_);
  l.s.device.setFile(name, std::move(bytes));
}
bool Sensor::removeFile(const std::string &name) {
  Locked l(*line_->impl_, index_);
  return l.s.device.removeFile(name);
}
std::vector<std::string> Sensor::fileNames() const {
  Locked l(*line_->impl_, index_);
  return l.s.device.fileNames();
}

bool Sensor::writeCoil(uint16_t coil, bool on) {
  Locked l(*line_->impl_, index_);
  Device &dev = l.s.device;
  // The request a master would send; what waits for its reply happens at once.
  const uint8_t request[6] = {dev.address(),
                              5,
                              static_cast<uint8_t>(coil >> 8),
                              static_cast<uint8_t>(coil),
                              static_cast<uint8_t>(on ? 0xFF : 0x00),
                              0};
  const Device::Outcome outcome = dev.handle(request);
  if (outcome.reply.size() < 2 || (outcome.reply[1] & 0x80) != 0) return false;
  if (outcome.lineChange) dev.applyLineChange();
  if (outcome.restart) dev.beginRestart(Clock::now() + l.d.options.restartTime);
  return true;
}

SensorStatus Sensor::status() const {
  Locked l(*line_->impl_, index_);
  l.s.device.silent(Clock::now());
  l.s.device.measure();  // brings the output currents up to date
  return l.s.device.status();
}

std::vector<Request> Sensor::requests() const {
  Locked l(*line_->impl_, index_);
  return {l.s.log.begin(), l.s.log.end()};
}
uint64_t Sensor::requestCount(int function) const {
  Locked l(*line_->impl_, index_);
  return function < 0 ? l.s.total : l.s.counts[static_cast<uint8_t>(function)];
}
void Sensor::clearRequests() {
  Locked l(*line_->impl_, index_);
  l.s.log.clear();
  l.s.counts.fill(0);
  l.s.total = 0;
}
bool Sensor::waitForRequests(int function, uint64_t n, std::chrono::milliseconds timeout) const {
  Line::Impl &d = *line_->impl_;
  std::unique_lock lock(d.mu);
  const Slot &s = *d.slot(index_);
  return d.heard.wait_for(lock, timeout, [&] {
    return (function < 0 ? s.total : s.counts[static_cast<uint8_t>(function)]) >= n;
  });
}

void Sensor::addFault(const Fault &fault) {
  Locked l(*line_->impl_, index_);
  l.s.faults.push_back(fault);
}
void Sensor::clearFaults() {
  Locked l(*line_->impl_, index_);
  l.s.faults.clear();
}

}  // namespace qvzsim
