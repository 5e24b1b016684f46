// Register map of a QVZ sensor: the register blocks as they sit in memory after
// the link library has swapped the bytes of every register, the coils, and the
// sensor-kind rule.
//
// Every sensor field is 32 bits over two registers, low 16 bits in the lower
// register. Once each register is in host (little-endian) order, the pair reads
// as one little-endian 32-bit value, so a block is a plain array of 32-bit
// fields. The structs below have no padding; the static_asserts pin each field
// to its register.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace device {

static_assert(std::endian::native == std::endian::little,
              "register blocks are read as little-endian 32-bit fields");

// Modbus function codes the device uses.
enum Function : uint32_t {
  kReadHolding = 3,
  kReadInput = 4,
  kWriteCoil = 5,
  kWriteRegisters = 16,
  kIdentify = 96,
};

// Action coils (function 5). Each is written ON, except the test-signal coil,
// which is written OFF to switch the signal off.
enum Coil : uint32_t {
  kCoilCommit = 0,
  kCoilCalibrateZ = 1,  // X is 2, Y is 3
  kCoilTestSignal = 4,
  kCoilRestart = 5,
  kCoilDacNormal = 8,
  kCoilDacMin = 9,
  kCoilDacMax = 10,
  kCoilTestModeOff = 16,
  kCoilTestModeOn = 17,
};

// Input block: function 4, registers 0-31, read on every poll.
struct InputBlock {
  float valueSZ;   // type 1: gap S, mm; types 2/3: velocity Z, mm/s
  float valueWX;   // type 1: displacement W, um; types 2/3: velocity X, mm/s
  float valueY;    // types 2/3: velocity Y, mm/s
  float auxS;      // "Пр.S"; negative means off
  float auxAlarm;  // "Авар"; negative means off
  float statusSZ;
  float statusWX;
  float statusY;
  float reserved16;
  float reserved18;
  float voltageUs;  // V
  float voltageUw;  // V
  float reserved24;
  float reserved26;
  float sensorType;  // 1.0, 2.0 or 3.0
  float auxW;        // "Пр.W"; negative means off
};

// Identification: function 96, nine bytes copied as they come.
struct IdentBlock {
  uint8_t firmwareMajor;
  uint8_t firmwareMinor;
  std::array<uint8_t, 7> reserved;
};

// Configuration block: function 3, holding registers 4-79.
struct ConfigBlock {
  float refZ;
  float coefZ;
  float refX;
  float coefX;
  float refY;
  float coefY;
  int32_t sensorNumber;
  float warn1;
  float alarm1;
  float warn2;
  float alarm2;
  float warn3;
  float alarm3;
  uint32_t channelFlags;  // bit 0 W/X, bit 1 Y, bit 2 S/Z
  float alarmSamples;
  float minValue;
  float maxValue;
  float dacMode1;  // 0 "4-20 мА", 1 "0-20 мА", 2 "0-24 мА"
  float dacMode2;
  float dac1Gain;
  float dac1Offset;
  float dac1OutMin;
  float dac1OutMax;
  float dac2Gain;
  float dac2Offset;
  float dac2OutMin;
  float dac2OutMax;
  float fullScaleValue;
  float testValue1;
  float testValue2;
  float testValue3;
  float averagingSamples;
  float adcMinVoltage;
  float adcMaxVoltage;
  float adcOverloadDelay;
  float maxRmsStep;
  float maxSpectrumLine;
  float startFrequencyIndex;
};

inline constexpr int kTableSize = 750;

// The last 36 floats of the table image; only the first nine are ever read.
struct TableTail {
  float tail0;
  float tail1;
  float ks2;
  float kw2;
  float tail4;
  float gapTableMinUs;  // Us of gapTable[0]
  float gapTableMaxUs;  // Us of gapTable[749]
  float kwTableMinUs;
  float kwTableMaxUs;
  std::array<float, 27> unread;  // zero from construction on
};

// Table image: holding registers 1024-4095, read for type-1 sensors only. Float
// for float also the content of a coefficient file.
struct TableImage {
  std::array<float, kTableSize> gapTable;  // S(Us), mm
  std::array<float, kTableSize> kwTable;   // Kw(Us)
  TableTail tableTail;
};

// Register numbers and counts of the blocks and fields written one by one.
namespace reg {
inline constexpr uint32_t kInputStart = 0;
inline constexpr uint32_t kInputCount = 32;
inline constexpr uint32_t kExchangeStart = 0;  // new baud rate, new address
inline constexpr uint32_t kExchangeCount = 4;
inline constexpr uint32_t kConfigStart = 4;
inline constexpr uint32_t kConfigCount = 76;
inline constexpr uint32_t kSensorNumber = 16;
inline constexpr uint32_t kSetpointsStart = 18;  // 18-59 in one request
inline constexpr uint32_t kSetpointsCount = 42;
inline constexpr uint32_t kChannelFlags = 30;
inline constexpr uint32_t kDacCalibrationStart = 42;
inline constexpr uint32_t kDacCalibrationCount = 16;
inline constexpr uint32_t kTestValueStart = 60;
inline constexpr uint32_t kAveragingSamples = 66;
inline constexpr uint32_t kAdditionalStart = 68;
inline constexpr uint32_t kAdditionalCount = 12;
inline constexpr uint32_t kGapTableStart = 1024;
inline constexpr uint32_t kKwTableStart = 2524;
inline constexpr uint32_t kTailStart = 4024;
inline constexpr uint32_t kTailReadCount = 18;  // tail floats 0-8
inline constexpr uint32_t kKs2 = 4028;
inline constexpr uint32_t kKw2 = 4030;
inline constexpr int kTableChunkFloats = 60;  // 120 registers, under the 125 limit
}  // namespace reg

// Register of a field at byte offset `offset` of a block that starts at `start`.
constexpr uint32_t registerAt(uint32_t start, std::size_t offset) {
  return start + static_cast<uint32_t>(offset / 2);
}

static_assert(sizeof(InputBlock) == 2 * reg::kInputCount);
static_assert(offsetof(InputBlock, statusSZ) == 2 * 10);
static_assert(offsetof(InputBlock, voltageUs) == 2 * 20);
static_assert(offsetof(InputBlock, sensorType) == 2 * 28);
static_assert(offsetof(InputBlock, auxW) == 2 * 30);

static_assert(sizeof(IdentBlock) == 9);

static_assert(sizeof(ConfigBlock) == 2 * reg::kConfigCount);
static_assert(registerAt(reg::kConfigStart, offsetof(ConfigBlock, refZ)) == 4);
static_assert(registerAt(reg::kConfigStart, offsetof(ConfigBlock, sensorNumber)) ==
              reg::kSensorNumber);
static_assert(registerAt(reg::kConfigStart, offsetof(ConfigBlock, warn1)) == reg::kSetpointsStart);
static_assert(registerAt(reg::kConfigStart, offsetof(ConfigBlock, channelFlags)) ==
              reg::kChannelFlags);
static_assert(registerAt(reg::kConfigStart, offsetof(ConfigBlock, dacMode2)) == 40);
static_assert(registerAt(reg::kConfigStart, offsetof(ConfigBlock, dac1Gain)) ==
              reg::kDacCalibrationStart);
static_assert(registerAt(reg::kConfigStart, offsetof(ConfigBlock, fullScaleValue)) == 58);
static_assert(registerAt(reg::kConfigStart, offsetof(ConfigBlock, testValue1)) ==
              reg::kTestValueStart);
static_assert(registerAt(reg::kConfigStart, offsetof(ConfigBlock, averagingSamples)) ==
              reg::kAveragingSamples);
static_assert(registerAt(reg::kConfigStart, offsetof(ConfigBlock, adcMinVoltage)) ==
              reg::kAdditionalStart);
static_assert(registerAt(reg::kConfigStart, offsetof(ConfigBlock, startFrequencyIndex)) == 78);

static_assert(sizeof(TableTail) == 36 * 4);
static_assert(sizeof(TableImage) == 6144);
static_assert(registerAt(reg::kGapTableStart, offsetof(TableImage, kwTable)) == reg::kKwTableStart);
static_assert(registerAt(reg::kGapTableStart, offsetof(TableImage, tableTail)) == reg::kTailStart);
static_assert(registerAt(reg::kTailStart, offsetof(TableTail, ks2)) == reg::kKs2);
static_assert(registerAt(reg::kTailStart, offsetof(TableTail, kw2)) == reg::kKw2);
static_assert(registerAt(reg::kTailStart, offsetof(TableTail, gapTableMinUs)) == 4034);
static_assert(registerAt(reg::kTailStart, offsetof(TableTail, kwTableMaxUs)) == 4040);
static_assert(offsetof(TableTail, unread) == 2 * reg::kTailReadCount);

// Sensor kind decoded from the input block's sensorType: 1 gap and vibration,
// 2 three-component, 3 three-component with its test signal on, 0 no sensor or
// no valid data. Every window uses this one rule.
constexpr int sensorKind(float sensorType) {
  if (sensorType == 1.0f) return 1;
  if (sensorType == 2.0f) return 2;
  if (sensorType == 3.0f) return 3;
  return 0;
}

}  // namespace device
