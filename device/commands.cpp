// The commands that change the sensor. Each takes the device lock for its
// requests, passes every result through setLastError, and releases the lock
// (which publishes the record).
#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <initializer_list>

#include "link/rk.h"
#include "qvz2.h"
#include "speed_table.h"
#include "table_file.h"

namespace device {

namespace {

constexpr uint32_t field(float v) {
  return std::bit_cast<uint32_t>(v);
}
constexpr uint32_t field(int32_t v) {
  return static_cast<uint32_t>(v);
}

constexpr int kAxisValues = 6;  // refZ, coefZ, refX, coefX, refY, coefY
constexpr int kAxes = 3;
constexpr int kTestValues = 3;

}  // namespace

// Holds the device lock for the life of a command; failures in between are
// the command's.
class TQVZ2::Hold {
 public:
  explicit Hold(TQVZ2 &device) : device_(device) {
    device_.lock();
    device_.command_ = Command::Running;
  }
  ~Hold() {
    device_.command_ = Command::None;
    device_.unlock();
  }
  Hold(const Hold &) = delete;
  Hold &operator=(const Hold &) = delete;

 private:
  TQVZ2 &device_;
};

// ---- Request helpers; the lock is held ----

uint32_t TQVZ2::writeFields(uint32_t start, std::initializer_list<uint32_t> fields) {
  // 32-bit fields are two registers each, low word first: in host order they
  // are already the registers the library expects.
  std::array<uint32_t, reg::kSetpointsCount / 2> words{};  // the longest write
  assert(fields.size() <= words.size());
  std::copy(fields.begin(), fields.end(), words.begin());
  return exchange(kWriteRegisters, start, static_cast<uint32_t>(2 * fields.size()), words.data());
}

uint32_t TQVZ2::writeCoil(uint32_t coil, bool on) {
  uint8_t value = on ? 1 : 0;
  return exchange(kWriteCoil, coil, 1, &value);
}

uint32_t TQVZ2::writeAndCommit(uint32_t start, std::initializer_list<uint32_t> fields) {
  uint32_t r = setLastError(writeFields(start, fields));
  if (r == RK_OK) r = setLastError(writeCoil(kCoilCommit));
  return r;
}

// ---- Configuration writes ----

void TQVZ2::changeExchange(int speedRow, uint8_t newAddress) {
  if (speedRow < 0 || speedRow >= kSpeedRows) return;
  const SpeedRow &row = speedTable[speedRow];
  Hold hold(*this);
  const uint32_t r =
      setLastError(writeFields(reg::kExchangeStart, {field(static_cast<float>(row.baud)),
                                                     field(static_cast<float>(newAddress))}));
  if (r != RK_OK) return;
  setLastError(writeCoil(kCoilCommit));
  rec_.idStr = "rk.dll," + std::to_string(rec_.port + 1) + "," + std::to_string(row.baud) + "," +
               std::to_string(row.stepMs) + "," + std::to_string(row.timeoutMs);
  rec_.address = newAddress;
  saveSettings();
  reopen();
}

bool TQVZ2::writeSensorNumber(int32_t number) {
  Hold hold(*this);
  const uint32_t r = setLastError(writeFields(reg::kSensorNumber, {field(number)}));
  if (r != RK_OK) return false;
  setLastError(writeCoil(kCoilCommit));
  rec_.config.sensorNumber = number;
  return true;
}

bool TQVZ2::writeSetpoints(const Setpoints &v) {
  Hold hold(*this);
  const ConfigBlock &c = rec_.config;
  // Registers 18-59; the flag word and the DAC corrections go out as held.
  uint32_t r = setLastError(writeFields(
      reg::kSetpointsStart,
      {field(v.warn1),         field(v.alarm1),     field(v.warn2),      field(v.alarm2),
       field(v.warn3),         field(v.alarm3),     c.channelFlags,      field(v.alarmSamples),
       field(v.minValue),      field(v.maxValue),   field(v.dacMode1),   field(v.dacMode2),
       field(c.dac1Gain),      field(c.dac1Offset), field(c.dac1OutMin), field(c.dac1OutMax),
       field(c.dac2Gain),      field(c.dac2Offset), field(c.dac2OutMin), field(c.dac2OutMax),
       field(v.fullScaleValue)}));
  if (r == RK_OK)
    r = setLastError(writeFields(reg::kAveragingSamples, {field(v.averagingSamples)}));
  if (r == RK_OK) r = setLastError(writeCoil(kCoilCommit));
  rec_.online = false;
  return r == RK_OK;
}

void TQVZ2::setChannelFlags(uint32_t flags) {
  Hold hold(*this);
  rec_.config.channelFlags = flags;
}

void TQVZ2::writeChannelFlags() {
  Hold hold(*this);
  writeAndCommit(reg::kChannelFlags, {rec_.config.channelFlags});
  uint32_t flags = 0;
  if (setLastError(exchange(kReadHolding, reg::kChannelFlags, 2, &flags)) == RK_OK) {
    rec_.config.channelFlags = flags;
  }
}

bool TQVZ2::writeAdditional(const AdditionalSettings &v) {
  Hold hold(*this);
  const uint32_t r =
      writeAndCommit(reg::kAdditionalStart,
                     {field(v.adcMinVoltage), field(v.adcMaxVoltage), field(v.adcOverloadDelay),
                      field(v.maxRmsStep), field(v.maxSpectrumLine), field(v.startFrequencyIndex)});
  rec_.online = false;
  return r == RK_OK;
}

bool TQVZ2::writeDacCalibration(const DacCalibration &v) {
  Hold hold(*this);
  const uint32_t r = writeAndCommit(
      reg::kDacCalibrationStart,
      {field(v.dac1Gain), field(v.dac1Offset), field(v.dac1OutMin), field(v.dac1OutMax),
       field(v.dac2Gain), field(v.dac2Offset), field(v.dac2OutMin), field(v.dac2OutMax)});
  rec_.online = false;
  return r == RK_OK;
}

bool TQVZ2::writeConfigValue(uint32_t reg, float value) {
  Hold hold(*this);
  const uint32_t r = writeAndCommit(reg, {field(value)});
  setLastError(exchange(kReadHolding, reg::kConfigStart, reg::kConfigCount, &rec_.config));
  return r == RK_OK;
}

bool TQVZ2::writeAxisValue(float value, int index) {
  if (index < 0 || index >= kAxisValues) return false;
  return writeConfigValue(reg::kConfigStart + 2 * static_cast<uint32_t>(index), value);
}

bool TQVZ2::writeTestValue(float value, int index) {
  if (index < 0 || index >= kTestValues) return false;
  return writeConfigValue(reg::kTestValueStart + 2 * static_cast<uint32_t>(index), value);
}

bool TQVZ2::writeTailValue(uint32_t reg, float value) {
  Hold hold(*this);
  uint32_t r = setLastError(writeFields(reg, {field(value)}));
  if (r == RK_OK) {
    r = setLastError(
        exchange(kReadHolding, reg::kTailStart, reg::kTailReadCount, &rec_.tables.tableTail));
  }
  return r == RK_OK;
}

bool TQVZ2::writeKs2(float value) {
  return writeTailValue(reg::kKs2, value);
}
bool TQVZ2::writeKw2(float value) {
  return writeTailValue(reg::kKw2, value);
}

// ---- Action coils ----

uint32_t TQVZ2::coilCommand(uint32_t coil, bool on) {
  Hold hold(*this);
  return setLastError(writeCoil(coil, on));
}

void TQVZ2::calibrateAxis(int axis) {
  if (axis < 0 || axis >= kAxes) return;
  Hold hold(*this);
  setLastError(writeCoil(kCoilCalibrateZ + static_cast<uint32_t>(axis)));
  rec_.online = false;
}

uint32_t TQVZ2::dacOutputMin() {
  return coilCommand(kCoilDacMin);
}
uint32_t TQVZ2::dacOutputMax() {
  return coilCommand(kCoilDacMax);
}
uint32_t TQVZ2::dacOutputNormal() {
  return coilCommand(kCoilDacNormal);
}
uint32_t TQVZ2::restartSensor() {
  return coilCommand(kCoilRestart);
}
void TQVZ2::setTestSignal(bool on) {
  coilCommand(kCoilTestSignal, on);
}
void TQVZ2::setTestMode(bool on) {
  coilCommand(on ? kCoilTestModeOn : kCoilTestModeOff);
}

// ---- Files ----

int TQVZ2::writeTableFile(const std::string &path) {
  Hold hold(*this);
  TableImage image = rec_.tables;
  if (isComputed(cal_.gapComputed[0])) {
    image.gapTable = cal_.gapComputed;
    image.tableTail.gapTableMinUs = cal_.gapComputedMinUs;
    image.tableTail.gapTableMaxUs = cal_.gapComputedMaxUs;
  }
  if (isComputed(cal_.kwComputed[0])) {
    image.kwTable = cal_.kwComputed;
    image.tableTail.kwTableMinUs = cal_.kwComputedMinUs;
    image.tableTail.kwTableMaxUs = cal_.kwComputedMaxUs;
  }
  int error = 0;
  const int result = writeCoefficientFile(path, image, &error);
  // Once the file could be created, the computed tables stay in the record
  // until the next full read of the tables.
  if (result != -1) rec_.tables = image;
  // A file that was not written is this command's failure: the user learns
  // which file and why, while lastError keeps telling about the link.
  if (result != 0) noteCommandFailure(coefficientFileError(path, result, error));
  return result;
}

bool TQVZ2::sendFile(const std::string &remoteName, const std::string &localPath, void *owner) {
  Hold hold(*this);
  const bool sent = setLastError(RK_SendFile(static_cast<uint32_t>(rec_.port), rec_.address, owner,
                                             remoteName.c_str(), localPath.c_str())) == RK_OK;
  // The sensor now serves the file's tables: the next poll reads them, so
  // that the record (and a coefficient file saved from it) is not stale.
  if (sent && remoteName == kTableFileName) rec_.online = false;
  return sent;
}

}  // namespace device
