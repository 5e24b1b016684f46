#include "device.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "bytes.h"

namespace qvzsim {
namespace {

bool knownSpeed(float f) {
  return std::find(kSpeeds.begin(), kSpeeds.end(), f) != kSpeeds.end() && f == std::floor(f);
}
bool validAddress(float f) {
  return f >= 1.0f && f <= 247.0f && f == std::floor(f);
}

// Registers a read or write of `count` from `start` may touch.
bool inHolding(unsigned start, unsigned count) {
  const unsigned end = start + count;
  return end <= regs::kHoldingCount ||
         (start >= regs::kTableFirst && end <= regs::kTableFirst + regs::kTableRegisters);
}

std::vector<uint8_t> echo(std::span<const uint8_t> rq, size_t n) {
  return {rq.begin(), rq.begin() + static_cast<long>(std::min(n, rq.size()))};
}

}  // namespace

Device::Device(const SensorOptions &o)
    : type_(o.type),
      address_(o.address),
      baud_(o.baud),
      stateFile_(o.stateFile),
      serialNumber_(o.serialNumber),
      spread_(makeSpread(o.seed)),
      rng_(o.seed) {}

std::optional<Device> Device::create(const SensorOptions &o, std::string &error) {
  if (o.type != kGapVibration && o.type != kThreeAxis) {
    error = "sensor type must be 1 or 2";
    return std::nullopt;
  }
  if (o.address < 1 || o.address > 247) {
    error = "sensor address must be 1..247";
    return std::nullopt;
  }
  if (!knownSpeed(static_cast<float>(o.baud))) {
    error = "unsupported speed " + std::to_string(o.baud);
    return std::nullopt;
  }
  Device d(o);
  d.factoryReset();
  if (!d.stateFile_.empty() && !d.load(error)) return std::nullopt;
  return d;
}

void Device::factoryReset() {
  holding_.fill(0);
  setHfloat(regs::kBaud, static_cast<float>(baud_));
  setHfloat(regs::kAddress, static_cast<float>(address_));
  for (uint16_t axis = 0; axis < 3; ++axis) {
    setHfloat(regs::kRefZ + 4 * axis, 10.0f);
    setHfloat(regs::kCoefZ + 4 * axis, 1.0f);
  }
  u32ToWords(static_cast<uint32_t>(serialNumber_), &holding_[regs::kSensorNumber]);
  const bool gap = type_ == kGapVibration;
  // Setpoints: type 1 S minimum, W, S maximum; type 2 Z, X, Y (mm/s).
  const float warn[3] = {gap ? 0.5f : 7.1f, gap ? 100.0f : 7.1f, gap ? 4.5f : 7.1f};
  const float alarm[3] = {gap ? 0.3f : 11.2f, gap ? 150.0f : 11.2f, gap ? 5.0f : 11.2f};
  for (uint16_t i = 0; i < 3; ++i) {
    setHfloat(regs::kWarn1 + 4 * i, warn[i]);
    setHfloat(regs::kAlarm1 + 4 * i, alarm[i]);
  }
  u32ToWords(regs::kFlagSZ | regs::kFlagWX | (gap ? 0 : regs::kFlagY),
             &holding_[regs::kChannelFlags]);
  setHfloat(regs::kAlarmSamples, 3.0f);
  setHfloat(regs::kMinValue, gap ? 0.1f : 0.0f);
  setHfloat(regs::kMaxValue, gap ? 5.8f : 50.0f);
  for (uint16_t ch = 0; ch < 2; ++ch) {
    const uint16_t base = regs::kDac1Gain + 8 * ch;
    setHfloat(base, 1.0f);
    setHfloat(base + 2, 0.0f);
    setHfloat(base + 4, 4.0f);
    setHfloat(base + 6, 20.0f);
  }
  setHfloat(regs::kFullScale, gap ? 250.0f : 20.0f);
  setHfloat(regs::kTestValue1, gap ? 2.0f : 5.0f);
  setHfloat(regs::kTestValue2, gap ? 50.0f : 5.0f);
  setHfloat(regs::kTestValue3, gap ? 0.0f : 5.0f);
  setHfloat(regs::kAveraging, 3.0f);
  setHfloat(regs::kAdcMinVoltage, 10.0f);
  setHfloat(regs::kAdcMaxVoltage, 600.0f);
  setHfloat(regs::kOverloadDelay, 500.0f);
  setHfloat(regs::kMaxRmsStep, 5.0f);
  setHfloat(regs::kMaxSpectrumLine, 100000.0f);
  setHfloat(regs::kStartFrequencyIndex, 2.0f);
  stored_ = holding_;
  table_ = factoryTable();
  files_.clear();
}

float Device::hfloat(uint16_t reg) const {
  return wordsToFloat(holding_[reg], holding_[reg + 1]);
}
void Device::setHfloat(uint16_t reg, float v) {
  floatToWords(v, &holding_[reg]);
}

int Device::reportedType() const {
  return type_ == kThreeAxis && testSignal_ ? 3 : type_;
}

std::vector<uint8_t> Device::exceptionReply(std::span<const uint8_t> rq, uint8_t code) const {
  return {rq[0], static_cast<uint8_t>(rq[1] | 0x80), code};
}

Device::Outcome Device::handle(std::span<const uint8_t> rq) {
  auto fail = [&](uint8_t code) { return Outcome{exceptionReply(rq, code)}; };
  switch (rq[1]) {
    case 1:
      return readBits(rq);
    case 3:
    case 4:
      return readRegisters(rq);
    case 5:
      return writeSingleCoil(rq);
    case 6:
      if (rq.size() != 6) return fail(regs::kIllegalValue);
      return writeRegisters(rq, be16(rq, 2), rq.subspan(4, 2));
    case 16: {
      if (rq.size() < 7) return fail(regs::kIllegalValue);
      const unsigned count = be16(rq, 4);
      if (count < 1 || count > 123 || rq[6] != 2 * count || rq.size() != 7 + 2 * count)
        return fail(regs::kIllegalValue);
      return writeRegisters(rq, be16(rq, 2), rq.subspan(7));
    }
    case 81:
      return setClock(rq);
    case 82:
      return getClock(rq);
    case 96:
      return identify(rq);
    case 98:
    case 99:
    case 100:
    case 101:
    case 102:
    case 103:
      return fileRequest(rq);
    default:
      return fail(regs::kIllegalFunction);
  }
}

Device::Outcome Device::readBits(std::span<const uint8_t> rq) {
  if (rq.size() != 6) return {exceptionReply(rq, regs::kIllegalValue)};
  const unsigned start = be16(rq, 2), count = be16(rq, 4);
  if (count < 1 || count > 2000) return {exceptionReply(rq, regs::kIllegalValue)};
  if (start + count > regs::kCoilCount) return {exceptionReply(rq, regs::kIllegalAddress)};
  // Coils read back the states they switch.
  auto state = [&](unsigned coil) {
    switch (coil) {
      case regs::kTestSignal:
        return testSignal_;
      case regs::kDacNormal:
        return dac_ == DacOutput::Normal;
      case regs::kDacMinimum:
        return dac_ == DacOutput::Minimum;
      case regs::kDacMaximum:
        return dac_ == DacOutput::Maximum;
      case regs::kTestModeOff:
        return !testMode_;
      case regs::kTestModeOn:
        return testMode_;
      default:
        return false;
    }
  };
  std::vector<uint8_t> out{rq[0], rq[1], static_cast<uint8_t>((count + 7) / 8)};
  for (unsigned i = 0; i < count; ++i) {
    if (i % 8 == 0) out.push_back(0);
    if (state(start + i)) out.back() |= static_cast<uint8_t>(1u << (i % 8));
  }
  return {out};
}

Device::Outcome Device::readRegisters(std::span<const uint8_t> rq) {
  if (rq.size() != 6) return {exceptionReply(rq, regs::kIllegalValue)};
  const unsigned start = be16(rq, 2), count = be16(rq, 4);
  if (count < 1 || count > 125) return {exceptionReply(rq, regs::kIllegalValue)};
  const bool inputs = rq[1] == 4;
  if (inputs ? start + count > regs::kInputCount : !inHolding(start, count))
    return {exceptionReply(rq, regs::kIllegalAddress)};
  if (inputs) lastInputs_ = measure();
  std::vector<uint8_t> out{rq[0], rq[1], static_cast<uint8_t>(2 * count)};
  for (unsigned r = start; r < start + count; ++r)
    putBe16(out, inputs ? lastInputs_[r] : *holding(static_cast<uint16_t>(r)));
  return {out};
}

std::optional<uint16_t> Device::holding(uint16_t reg) const {
  if (reg < regs::kHoldingCount) return holding_[reg];
  if (reg < regs::kTableFirst || reg >= regs::kTableFirst + regs::kTableRegisters)
    return std::nullopt;
  const unsigned off = reg - regs::kTableFirst;
  const uint32_t bits = std::bit_cast<uint32_t>(table_[off / 2]);
  return static_cast<uint16_t>(off % 2 ? bits >> 16 : bits);
}

bool Device::setHolding(uint16_t reg, uint16_t value) {
  if (reg < regs::kHoldingCount) {
    holding_[reg] = value;
    return true;
  }
  if (reg < regs::kTableFirst || reg >= regs::kTableFirst + regs::kTableRegisters) return false;
  const unsigned off = reg - regs::kTableFirst;
  uint32_t bits = std::bit_cast<uint32_t>(table_[off / 2]);
  bits = off % 2 ? (bits & 0xFFFFu) | (uint32_t{value} << 16) : (bits & 0xFFFF0000u) | value;
  table_[off / 2] = std::bit_cast<float>(bits);
  return true;
}

Device::Outcome Device::writeRegisters(std::span<const uint8_t> rq, uint16_t start,
                                       std::span<const uint8_t> values) {
  const unsigned count = static_cast<unsigned>(values.size() / 2);
  if (!inHolding(start, count)) return {exceptionReply(rq, regs::kIllegalAddress)};
  if (start < 4) {
    // Speed and address are checked as a whole before anything is taken.
    auto probe = holding_;
    for (unsigned i = 0; i < count && start + i < 4; ++i)
      probe[start + i] = be16(values, 2 * i);
    if (!knownSpeed(wordsToFloat(probe[0], probe[1])) ||
        !validAddress(wordsToFloat(probe[2], probe[3])))
      return {exceptionReply(rq, regs::kIllegalValue)};
  }
  for (unsigned i = 0; i < count; ++i)
    setHolding(static_cast<uint16_t>(start + i), be16(values, 2 * i));
  if (start >= regs::kTableFirst) save();  // the table image lives in non-volatile memory
  return {echo(rq, 6)};
}

Device::Outcome Device::writeSingleCoil(std::span<const uint8_t> rq) {
  if (rq.size() != 6) return {exceptionReply(rq, regs::kIllegalValue)};
  const uint16_t value = be16(rq, 4);
  if (value != 0xFF00 && value != 0x0000) return {exceptionReply(rq, regs::kIllegalValue)};
  const uint16_t coil = be16(rq, 2);
  const bool lineBefore = hfloat(regs::kBaud) != static_cast<float>(baud_) ||
                          hfloat(regs::kAddress) != static_cast<float>(address_);
  if (coil == regs::kRestart && value == 0xFF00) return {echo(rq, 6), false, true};
  if (const uint8_t code = writeCoil(coil, value == 0xFF00)) return {exceptionReply(rq, code)};
  Outcome out{echo(rq, 6)};
  out.lineChange = coil == regs::kCommit && value == 0xFF00 && lineBefore;
  return out;
}

uint8_t Device::writeCoil(uint16_t coil, bool on) {
  const bool axes = type_ == kThreeAxis;
  switch (coil) {
    case regs::kCommit:
      if (on) {
        stored_ = holding_;
        ++commits_;
        save();
      }
      return 0;
    case regs::kCalibrateZ:
    case regs::kCalibrateX:
    case regs::kCalibrateY: {
      if (!axes) return regs::kIllegalAddress;
      if (!on) return 0;
      // The tare coefficient that makes the present reading equal the stored reference.
      const int axis = coil - regs::kCalibrateZ;
      const uint16_t refReg = static_cast<uint16_t>(regs::kRefZ + 4 * axis);
      const double raw = bench.velocity[axis] * spread_.axisSensitivity[axis];
      const float ref = hfloat(refReg);
      if (!(raw > 0.01) || !(ref > 0.0f)) return regs::kDeviceFailure;
      setHfloat(refReg + 2, static_cast<float>(ref / raw));
      stored_ = holding_;
      save();
      return 0;
    }
    case regs::kTestSignal:
      if (!axes) return regs::kIllegalAddress;
      testSignal_ = on;
      return 0;
    case regs::kRestart:
      return 0;  // the line runs the restart after the reply
    case regs::kDacNormal:
    case regs::kDacMinimum:
    case regs::kDacMaximum:
      if (on)
        dac_ = coil == regs::kDacNormal    ? DacOutput::Normal
               : coil == regs::kDacMinimum ? DacOutput::Minimum
                                           : DacOutput::Maximum;
      return 0;
    case regs::kTestModeOff:
    case regs::kTestModeOn:
      if (on) testMode_ = coil == regs::kTestModeOn;
      return 0;
    default:
      return regs::kIllegalAddress;
  }
}

void Device::applyLineChange() {
  baud_ = static_cast<uint32_t>(hfloat(regs::kBaud));
  address_ = static_cast<uint8_t>(hfloat(regs::kAddress));
  save();
}

void Device::beginRestart(Clock::time_point until) {
  restartUntil_ = until;
  ++restarts_;
  holding_ = stored_;
  testSignal_ = testMode_ = false;
  dac_ = DacOutput::Normal;
  upload_.reset();
  download_.reset();
}

bool Device::silent(Clock::time_point now) {
  if (restartUntil_ && now >= *restartUntil_) restartUntil_.reset();
  return restartUntil_.has_value();
}

Device::Outcome Device::setClock(std::span<const uint8_t> rq) {
  if (rq.size() != 9) return {exceptionReply(rq, regs::kIllegalValue)};
  std::tm tm{};
  tm.tm_sec = rq[2];
  tm.tm_min = rq[3];
  tm.tm_hour = rq[4];
  tm.tm_mday = rq[5];
  tm.tm_mon = rq[6] - 1;
  tm.tm_year = le16(rq, 7) - 1900;
  tm.tm_isdst = -1;
  if (tm.tm_sec > 59 || tm.tm_min > 59 || tm.tm_hour > 23 || tm.tm_mday < 1 || tm.tm_mday > 31 ||
      tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_year < 70)
    return {exceptionReply(rq, regs::kIllegalValue)};
  const std::time_t t = std::mktime(&tm);
  if (t == static_cast<std::time_t>(-1)) return {exceptionReply(rq, regs::kIllegalValue)};
  clockOffset_ = static_cast<long long>(t) - static_cast<long long>(std::time(nullptr));
  return {echo(rq, 2)};
}

Device::Outcome Device::getClock(std::span<const uint8_t> rq) {
  const std::time_t t = static_cast<std::time_t>(std::time(nullptr) + clockOffset_);
  std::tm tm{};
  localtime_r(&t, &tm);
  std::vector<uint8_t> out{rq[0],
                           rq[1],
                           static_cast<uint8_t>(tm.tm_sec),
                           static_cast<uint8_t>(tm.tm_min),
                           static_cast<uint8_t>(tm.tm_hour),
                           static_cast<uint8_t>(tm.tm_mday),
                           static_cast<uint8_t>(tm.tm_mon + 1)};
  putLe16(out, static_cast<uint16_t>(tm.tm_year + 1900));
  return {out};
}

Device::Outcome Device::identify(std::span<const uint8_t> rq) {
  // Firmware 2.05, then the type and the sensor number (little-endian), two spare bytes.
  std::vector<uint8_t> out{rq[0], rq[1], 2, 5, static_cast<uint8_t>(reportedType())};
  putLe32(out, wordsToU32(holding_[regs::kSensorNumber], holding_[regs::kSensorNumber + 1]));
  out.push_back(0);
  out.push_back(0);
  return {out};
}

std::vector<uint8_t> Device::tableImage() const {
  std::vector<uint8_t> out;
  out.reserve(regs::kTableBytes);
  for (float f : table_)
    putLe32(out, std::bit_cast<uint32_t>(f));
  return out;
}

bool Device::setTableImage(std::span<const uint8_t> bytes) {
  if (bytes.size() != static_cast<size_t>(regs::kTableBytes)) return false;
  for (int i = 0; i < regs::kTableFloats; ++i)
    table_[i] = std::bit_cast<float>(le32(bytes, 4 * static_cast<size_t>(i)));
  save();
  return true;
}

SensorStatus Device::status() const {
  SensorStatus s;
  s.address = address_;
  s.baud = baud_;
  s.type = reportedType();
  s.testSignal = testSignal_;
  s.testMode = testMode_;
  s.dac = dac_;
  s.dacCurrentMa = lastDac_;
  s.restarting = restartUntil_.has_value();
  s.commits = commits_;
  s.restarts = restarts_;
  return s;
}

}  // namespace qvzsim
