// The sensor's register map, coils and status codes, as the sensor holds them.
#ifndef QVZSIM_REGISTER_MAP_H
#define QVZSIM_REGISTER_MAP_H

#include <cstdint>

namespace qvzsim::regs {

// Input registers (function 4), one 32-bit field per two registers.
inline constexpr uint16_t kValueSZ = 0, kValueWX = 2, kValueY = 4, kAuxS = 6, kAuxAlarm = 8,
                          kStatusSZ = 10, kStatusWX = 12, kStatusY = 14, kTemperature = 16,
                          kSupply = 18, kVoltageUs = 20, kVoltageUw = 22, kDac1Current = 24,
                          kDac2Current = 26, kSensorType = 28, kAuxW = 30;
inline constexpr uint16_t kInputCount = 32;

// Holding registers 0-79 (function 3, 6, 16).
inline constexpr uint16_t kBaud = 0, kAddress = 2, kRefZ = 4, kCoefZ = 6, kRefX = 8, kCoefX = 10,
                          kRefY = 12, kCoefY = 14, kSensorNumber = 16, kWarn1 = 18, kAlarm1 = 20,
                          kWarn2 = 22, kAlarm2 = 24, kWarn3 = 26, kAlarm3 = 28, kChannelFlags = 30,
                          kAlarmSamples = 32, kMinValue = 34, kMaxValue = 36, kDacMode1 = 38,
                          kDacMode2 = 40, kDac1Gain = 42, kDac1Offset = 44, kDac1OutMin = 46,
                          kDac1OutMax = 48, kDac2Gain = 50, kDac2Offset = 52, kDac2OutMin = 54,
                          kDac2OutMax = 56, kFullScale = 58, kTestValue1 = 60, kTestValue2 = 62,
                          kTestValue3 = 64, kAveraging = 66, kAdcMinVoltage = 68,
                          kAdcMaxVoltage = 70, kOverloadDelay = 72, kMaxRmsStep = 74,
                          kMaxSpectrumLine = 76, kStartFrequencyIndex = 78;
inline constexpr uint16_t kHoldingCount = 80;

// Table image: holding registers 1024-4095, 1536 floats.
inline constexpr uint16_t kTableFirst = 1024;
inline constexpr uint16_t kTableRegisters = 3072;
inline constexpr int kTableFloats = 1536;
inline constexpr int kTableBytes = kTableFloats * 4;
inline constexpr int kTableSamples = 750;
inline constexpr int kGapTable = 0, kKwTable = 750, kTail = 1500;
inline constexpr int kKs2 = kTail + 2, kKw2 = kTail + 3, kGapMinUs = kTail + 5,
                     kGapMaxUs = kTail + 6, kKwMinUs = kTail + 7, kKwMaxUs = kTail + 8;

// Coils (function 5): actions.
inline constexpr uint16_t kCommit = 0, kCalibrateZ = 1, kCalibrateX = 2, kCalibrateY = 3,
                          kTestSignal = 4, kRestart = 5, kDacNormal = 8, kDacMinimum = 9,
                          kDacMaximum = 10, kTestModeOff = 16, kTestModeOn = 17;
inline constexpr uint16_t kCoilCount = 18;

// Channel flags (register 30): a set bit enables the channel; a clear one masks it.
inline constexpr uint32_t kFlagWX = 1, kFlagY = 2, kFlagSZ = 4;

// Channel status codes.
inline constexpr float kStatusNormal = -1.0f, kStatusWarning = -2.0f, kStatusAlarm = -107.0f,
                       kStatusBelowMin = -105.0f, kStatusAboveMax = -106.0f,
                       kStatusMasked = -103.0f;

// Files of the file requests.
inline constexpr const char *kTableFile = "table.bin";
inline constexpr const char *kFirmwareFile = "file.bin";
inline constexpr uint32_t kMaxFileSize = 48 * 1024;
inline constexpr uint16_t kFileBlock = 512;

// Exception codes.
inline constexpr uint8_t kIllegalFunction = 1, kIllegalAddress = 2, kIllegalValue = 3,
                         kDeviceFailure = 4, kRemoteOpen = 0x52, kNoFileRequest = 0x54,
                         kFilePosition = 0x55, kRemoteLength = 0x56, kAccessLevel = 0x59,
                         kBlockSize = 0x61, kFileTooBig = 0x62;

}  // namespace qvzsim::regs

#endif
