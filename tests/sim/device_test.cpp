// The simulated sensor without a line: register map, coils, physics, files
// and its state file, request by request.
#include <gtest/gtest.h>

#include <unistd.h>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "bytes.h"
#include "crc.h"
#include "device.h"

namespace qvzsim {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes floatWire(float f) {  // low word first, each word big-endian
  const uint32_t v = std::bit_cast<uint32_t>(f);
  return {uint8_t(v >> 8), uint8_t(v), uint8_t(v >> 24), uint8_t(v >> 16)};
}

Bytes writeFloats(uint16_t reg, std::initializer_list<float> values, uint8_t address = 1) {
  Bytes rq{address,
           16,
           uint8_t(reg >> 8),
           uint8_t(reg),
           0,
           uint8_t(values.size() * 2),
           uint8_t(values.size() * 4)};
  for (float f : values)
    for (uint8_t b : floatWire(f))
      rq.push_back(b);
  return rq;
}

Bytes readRq(uint8_t fn, uint16_t start, uint16_t count) {
  return {1, fn, uint8_t(start >> 8), uint8_t(start), uint8_t(count >> 8), uint8_t(count)};
}

Bytes coil(uint16_t n, bool on = true) {
  return {1, 5, uint8_t(n >> 8), uint8_t(n), uint8_t(on ? 0xFF : 0), 0};
}

class DeviceTest : public ::testing::Test {
 protected:
  Device make(int type, std::string state = {}) {
    SensorOptions o;
    o.type = type;
    o.stateFile = std::move(state);
    std::string error;
    auto d = Device::create(o, error);
    EXPECT_TRUE(d) << error;
    d->bench.noise = 0;
    return std::move(*d);
  }
  Device::Outcome call(Device &d, const Bytes &rq) { return d.handle(rq); }
  // Exception code of a reply, 0 for a normal one.
  int exception(Device &d, const Bytes &rq) {
    const auto r = call(d, rq).reply;
    return r.size() == 3 && (r[1] & 0x80) ? r[2] : 0;
  }
  float inputFloat(Device &d, uint16_t reg) {
    const auto w = d.measure();
    return wordsToFloat(w[reg], w[reg + 1]);
  }
  float holdingFloat(Device &d, uint16_t reg) {
    return wordsToFloat(*d.holding(reg), *d.holding(reg + 1));
  }
};

TEST_F(DeviceTest, RefusesWithTheProperException) {
  Device d = make(kGapVibration);
  struct Case {
    const char *what;
    Bytes rq;
    int code;
  } cases[] = {
      {"unknown function", {1, 7}, 1},
      {"function 97", {1, 97}, 1},
      {"holding past 79", readRq(3, 78, 4), 2},
      {"holding 80", readRq(3, 80, 1), 2},
      {"below the table", readRq(3, 1023, 2), 2},
      {"past the table", readRq(3, 4094, 4), 2},
      {"zero registers", readRq(3, 0, 0), 3},
      {"126 registers", readRq(3, 1024, 126), 3},
      {"input past 31", readRq(4, 30, 4), 2},
      {"coil value", {1, 5, 0, 0, 0x12, 0x34}, 3},
      {"unknown coil", coil(6), 2},
      {"calibrate on type 1", coil(1), 2},
      {"test signal on type 1", coil(4), 2},
      {"unsupported speed", writeFloats(0, {12345.0f, 1.0f}), 3},
      {"address 0", writeFloats(0, {9600.0f, 0.0f}), 3},
      {"address 248", writeFloats(2, {248.0f}), 3},
      {"byte count", {1, 16, 0, 18, 0, 2, 3, 0, 0, 0, 0}, 3},
      {"write past 79", writeFloats(78, {1.0f, 2.0f}), 2},
      {"coil read past 17", readRq(1, 16, 3), 2},
  };
  for (const auto &c : cases)
    EXPECT_EQ(exception(d, c.rq), c.code) << c.what;
  // Refused writes change nothing.
  EXPECT_EQ(holdingFloat(d, regs::kBaud), 57600.0f);
  EXPECT_EQ(holdingFloat(d, regs::kAddress), 1.0f);
}

TEST_F(DeviceTest, FieldsTravelLowWordFirst) {
  Device d = make(kGapVibration);
  auto r = call(d, readRq(3, regs::kSensorNumber, 2)).reply;
  EXPECT_EQ(r, (Bytes{1, 3, 4, 0x00, 0x01, 0x00, 0x00}));  // sensor number 1
  ASSERT_EQ(call(d, {1, 16, 0, 16, 0, 2, 4, 0, 0, 0, 1}).reply, (Bytes{1, 16, 0, 16, 0, 2}));
  EXPECT_EQ(*d.holding(16), 0);
  EXPECT_EQ(*d.holding(17), 1);  // 65536
  r = call(d, readRq(4, regs::kSensorType, 2)).reply;
  EXPECT_EQ(Bytes(r.begin() + 3, r.end()), floatWire(1.0f));
  r = call(d, readRq(3, regs::kBaud, 4)).reply;
  const Bytes speed = floatWire(57600.0f), one = floatWire(1.0f);
  EXPECT_EQ(Bytes(r.begin() + 3, r.begin() + 7), speed);
  EXPECT_EQ(Bytes(r.begin() + 7, r.end()), one);
}

TEST_F(DeviceTest, InputBlockAndTableImageRead) {
  Device d = make(kGapVibration);
  auto r = call(d, readRq(4, 0, 32)).reply;
  ASSERT_EQ(r.size(), 3u + 64);
  EXPECT_EQ(r[2], 64);
  EXPECT_EQ(d.lastInputs()[regs::kSensorType + 1], 0x3F80);  // what the read served
  // Table chunks as the master reads them: 120 registers each.
  r = call(d, readRq(3, 1024, 120)).reply;
  ASSERT_EQ(r.size(), 3u + 240);
  r = call(d, readRq(3, 4024, 18)).reply;  // tail floats 0-8
  auto tail = [&](int i) {
    return std::bit_cast<float>(uint32_t(r[3 + 4 * i + 2] << 24 | r[3 + 4 * i + 3] << 16 |
                                         r[3 + 4 * i] << 8 | r[3 + 4 * i + 1]));
  };
  EXPECT_EQ(tail(2), 1.0f);  // ks2
  EXPECT_EQ(tail(3), 1.0f);  // kw2
  EXPECT_EQ(tail(5), kGapTableMinUs);
  EXPECT_EQ(tail(6), kGapTableMaxUs);
  EXPECT_EQ(tail(7), kKwTableMinUs);
  EXPECT_EQ(tail(8), kKwTableMaxUs);
}

TEST_F(DeviceTest, CommitKeepsAndRestartRestoresTheStoredConfiguration) {
  Device d = make(kGapVibration);
  ASSERT_EQ(exception(d, writeFloats(regs::kWarn1, {0.7f})), 0);
  EXPECT_EQ(holdingFloat(d, regs::kWarn1), 0.7f);  // in force before the commit
  d.beginRestart(Clock::now());
  EXPECT_EQ(holdingFloat(d, regs::kWarn1), 0.5f);  // not committed: lost
  ASSERT_EQ(exception(d, writeFloats(regs::kWarn1, {0.7f})), 0);
  const auto commit = call(d, coil(regs::kCommit));
  EXPECT_EQ(commit.reply, coil(regs::kCommit));
  EXPECT_FALSE(commit.lineChange);
  d.beginRestart(Clock::now());
  EXPECT_EQ(holdingFloat(d, regs::kWarn1), 0.7f);
  EXPECT_EQ(d.status().commits, 1u);
  EXPECT_EQ(d.status().restarts, 2u);
}

TEST_F(DeviceTest, RestartIsSilentForItsTime) {
  Device d = make(kGapVibration);
  const auto outcome = call(d, coil(regs::kRestart));
  EXPECT_TRUE(outcome.restart);
  EXPECT_EQ(outcome.reply, coil(regs::kRestart));  // the reply goes out first
  const auto t = Clock::now();
  d.beginRestart(t + std::chrono::seconds(1));
  EXPECT_TRUE(d.silent(t));
  EXPECT_TRUE(d.silent(t + std::chrono::milliseconds(999)));
  EXPECT_FALSE(d.silent(t + std::chrono::seconds(1)));
}

TEST_F(DeviceTest, SpeedAndAddressChangeOnlyAfterTheCommit) {
  Device d = make(kGapVibration);
  ASSERT_EQ(exception(d, writeFloats(regs::kBaud, {9600.0f, 7.0f})), 0);
  EXPECT_EQ(d.baud(), 57600u);
  EXPECT_EQ(d.address(), 1);
  const auto commit = call(d, coil(regs::kCommit));
  EXPECT_TRUE(commit.lineChange);
  EXPECT_EQ(d.address(), 1);  // still answering the commit as address 1
  d.applyLineChange();
  EXPECT_EQ(d.baud(), 9600u);
  EXPECT_EQ(d.address(), 7);
  // Written but not committed, then restarted: the sensor keeps its line settings.
  ASSERT_EQ(exception(d, writeFloats(regs::kAddress, {9.0f})), 0);
  d.beginRestart(Clock::now());
  EXPECT_EQ(holdingFloat(d, regs::kAddress), 7.0f);
}

TEST_F(DeviceTest, FreshGapSensorReadsCloseToTheBench) {
  Device d = make(kGapVibration);
  for (double gap : {0.5, 1.5, 3.0, 4.0}) {
    d.bench.gapMm = gap;
    d.bench.vibrationUm = 80.0;
    EXPECT_NEAR(inputFloat(d, regs::kValueSZ), gap, 0.04 * gap + 0.02) << gap;
    EXPECT_NEAR(inputFloat(d, regs::kValueWX), 80.0, 80.0 * 0.08) << gap;
    const float us = inputFloat(d, regs::kVoltageUs);
    EXPECT_GT(us, 0.0f);
    EXPECT_LT(us, 2.5f);
  }
  // Us grows with the gap, and ever more slowly.
  d.bench.gapMm = 1.0;
  const float u1 = inputFloat(d, regs::kVoltageUs);
  d.bench.gapMm = 2.0;
  const float u2 = inputFloat(d, regs::kVoltageUs);
  d.bench.gapMm = 3.0;
  const float u3 = inputFloat(d, regs::kVoltageUs);
  EXPECT_GT(u2 - u1, u3 - u2);
  EXPECT_GT(u3, u2);
}

// Writes a table of 750 samples over [lo, hi] by linear interpolation through points.
void writeTable(Device &d, int first, int minIndex, double lo, double hi,
                const std::vector<std::pair<double, double>> &points) {
  auto image = d.tableImage();
  auto put = [&](int index, float v) {
    const uint32_t bits = std::bit_cast<uint32_t>(v);
    for (int b = 0; b < 4; ++b)
      image[4 * index + b] = uint8_t(bits >> (8 * b));
  };
  for (int i = 0; i < 750; ++i) {
    const double x = lo + i * (hi - lo) / 749;
    size_t k = 1;
    while (k + 1 < points.size() && points[k].first < x)
      ++k;
    const auto [x0, y0] = points[k - 1];
    const auto [x1, y1] = points[k];
    put(first + i, float(y0 + (y1 - y0) * (x - x0) / (x1 - x0)));
  }
  put(minIndex, float(lo));
  put(minIndex + 1, float(hi));
  ASSERT_TRUE(d.setTableImage(image));
}

TEST_F(DeviceTest, CalibrationBringsSAndWToTheBench) {
  Device d = make(kGapVibration);
  // Channel S: Us measured at known gaps becomes the S(Us) table.
  std::vector<std::pair<double, double>> gapPoints, kwPoints;
  for (int i = 0; i <= 40; ++i) {
    d.bench.gapMm = 0.15 * i;
    gapPoints.push_back({inputFloat(d, regs::kVoltageUs), d.bench.gapMm});
  }
  writeTable(d, regs::kGapTable, regs::kGapMinUs, gapPoints.front().first, gapPoints.back().first,
             gapPoints);
  // Channel W: at each gap the coefficient that turns the reading into the bench value.
  d.bench.vibrationUm = 100.0;
  for (int i = 1; i <= 40; ++i) {
    d.bench.gapMm = 0.15 * i;
    const double us = inputFloat(d, regs::kVoltageUs), w = inputFloat(d, regs::kValueWX);
    const auto t = d.tableImage();
    const double kwNow =
        interpolate({reinterpret_cast<const float *>(t.data()) + regs::kKwTable, 750},
                    holdingFloat(d, regs::kKwMinUs * 2 + regs::kTableFirst),
                    holdingFloat(d, regs::kKwMaxUs * 2 + regs::kTableFirst), us);
    kwPoints.push_back({us, kwNow * 100.0 / w});
  }
  writeTable(d, regs::kKwTable, regs::kKwMinUs, kwPoints.front().first, kwPoints.back().first,
             kwPoints);
  for (double gap : {0.4, 1.23, 2.5, 4.1}) {
    d.bench.gapMm = gap;
    d.bench.vibrationUm = 60.0;
    EXPECT_NEAR(inputFloat(d, regs::kValueSZ), gap, 0.005 * gap + 0.002) << gap;
    EXPECT_NEAR(inputFloat(d, regs::kValueWX), 60.0, 0.5) << gap;
  }
  // ks2 and kw2 scale the readings.
  ASSERT_EQ(exception(d, writeFloats(4028, {1.1f, 0.5f})), 0);
  EXPECT_NEAR(inputFloat(d, regs::kValueSZ), 4.1 * 1.1, 0.03);
  EXPECT_NEAR(inputFloat(d, regs::kValueWX), 30.0, 0.3);
}

TEST_F(DeviceTest, AxisCalibrationMakesTheReadingMatchTheReference) {
  Device d = make(kThreeAxis);
  d.bench.velocity = {4.0, 6.0, 9.0};
  for (int axis = 0; axis < 3; ++axis) {
    const uint16_t reading = uint16_t(regs::kValueSZ + 2 * axis);
    EXPECT_NEAR(inputFloat(d, reading), d.bench.velocity[axis], 0.05 * d.bench.velocity[axis]);
    const float ref = float(d.bench.velocity[axis]);
    ASSERT_EQ(exception(d, writeFloats(uint16_t(regs::kRefZ + 4 * axis), {ref})), 0);
    ASSERT_EQ(exception(d, coil(uint16_t(regs::kCalibrateZ + axis))), 0);
    EXPECT_NEAR(inputFloat(d, reading), ref, 1e-4 * ref) << axis;
  }
  // The tare coefficient scales the reading and survives a restart.
  const float coefX = holdingFloat(d, regs::kCoefX);
  d.beginRestart(Clock::now());
  EXPECT_EQ(holdingFloat(d, regs::kCoefX), coefX);
  ASSERT_EQ(exception(d, writeFloats(regs::kCoefX, {coefX * 2})), 0);
  EXPECT_NEAR(inputFloat(d, regs::kValueWX), 12.0, 1e-3);
  // Nothing to calibrate against: the sensor refuses.
  d.bench.velocity[2] = 0.0;
  EXPECT_EQ(exception(d, coil(regs::kCalibrateY)), regs::kDeviceFailure);
}

TEST_F(DeviceTest, StatusesFollowSetpointsRangeAndFlags) {
  struct Case {
    int type;
    float v1, v2, v3;
    uint32_t flags;
    float s1, s2, s3;
  } cases[] = {
      // type 1: S band 0.3 / 0.5 ... 4.5 / 5.0, range 0.1 ... 5.8; W 100 / 150
      {1, 2.0f, 50.0f, 0, 7, -1, -1, 0},
      {1, 0.4f, 120.0f, 0, 7, -2, -2, 0},
      {1, 0.2f, 150.0f, 0, 7, -107, -107, 0},
      {1, 4.7f, 10.0f, 0, 7, -2, -1, 0},
      {1, 5.5f, 10.0f, 0, 7, -107, -1, 0},
      {1, 0.05f, 10.0f, 0, 7, -105, -1, 0},
      {1, 6.0f, 10.0f, 0, 7, -106, -1, 0},
      {1, 2.0f, 500.0f, 0, 3, -103, -107, 0},
      {1, 2.0f, 500.0f, 0, 4, -1, -103, 0},
      // type 2: 7.1 / 11.2 on every axis, range 0 ... 50
      {2, 1.0f, 7.1f, 11.2f, 7, -1, -2, -107},
      {2, 60.0f, 1.0f, 1.0f, 7, -106, -1, -1},
      {2, 1.0f, 1.0f, 1.0f, 5, -1, -1, -103},
  };
  for (const auto &c : cases) {
    Device d = make(c.type);
    ASSERT_EQ(exception(d, writeFloats(regs::kTestValue1, {c.v1, c.v2, c.v3})), 0);
    Bytes flags{1, 16, 0, regs::kChannelFlags, 0, 2, 4, 0, uint8_t(c.flags), 0, 0};
    ASSERT_EQ(exception(d, flags), 0);
    ASSERT_EQ(exception(d, coil(regs::kTestModeOn)), 0);
    const std::string what = std::to_string(c.type) + ": " + std::to_string(c.v1) + " " +
                             std::to_string(c.v2) + " " + std::to_string(c.v3);
    EXPECT_EQ(inputFloat(d, regs::kValueSZ), c.v1) << what;
    EXPECT_EQ(inputFloat(d, regs::kStatusSZ), c.s1) << what;
    EXPECT_EQ(inputFloat(d, regs::kStatusWX), c.s2) << what;
    EXPECT_EQ(inputFloat(d, regs::kStatusY), c.s3) << what;
    // Relay outputs show the value that raised them, -1 otherwise.
    const bool raisedW = c.s2 == -2 || c.s2 == -107;
    EXPECT_EQ(inputFloat(d, regs::kAuxW), raisedW ? c.v2 : -1.0f) << what;
    ASSERT_EQ(exception(d, coil(regs::kTestModeOff)), 0);
    EXPECT_NE(inputFloat(d, regs::kValueSZ), c.v1) << what;  // back to the bench
  }
}

TEST_F(DeviceTest, TestSignalMakesTypeThree) {
  Device d = make(kThreeAxis);
  ASSERT_EQ(exception(d, coil(regs::kTestSignal, true)), 0);
  EXPECT_EQ(inputFloat(d, regs::kSensorType), 3.0f);
  EXPECT_EQ(call(d, {1, 96}).reply[4], 3);
  const auto bits = call(d, readRq(1, 0, 18)).reply;
  EXPECT_EQ(bits, (Bytes{1, 1, 3, 0x10, 0x01, 0x01}));  // coil 4, DAC normal (8), test off (16)
  ASSERT_EQ(exception(d, coil(regs::kTestSignal, false)), 0);
  EXPECT_EQ(inputFloat(d, regs::kSensorType), 2.0f);
}

TEST_F(DeviceTest, DacCalibrationCorrectsTheOutput) {
  Device d = make(kGapVibration);
  ASSERT_EQ(exception(d, coil(regs::kDacMinimum)), 0);
  d.measure();
  const float a = d.status().dacCurrentMa[1];
  ASSERT_EQ(exception(d, coil(regs::kDacMaximum)), 0);
  d.measure();
  const float b = d.status().dacCurrentMa[1];
  EXPECT_NEAR(a, 4.0, 0.5);
  EXPECT_NEAR(b, 20.0, 0.8);
  EXPECT_NE(a, 4.0f);  // an output that needs calibrating
  // What the calibration dialog computes for mode 4-20 mA.
  const float gain = 16.0f / (b - a), offset = (4.0f - a) / (b - a);
  ASSERT_EQ(exception(d, writeFloats(regs::kDac2Gain, {gain, offset, a, b})), 0);
  ASSERT_EQ(exception(d, coil(regs::kDacNormal)), 0);
  ASSERT_EQ(exception(d, writeFloats(regs::kTestValue2, {125.0f})), 0);  // half of full scale
  ASSERT_EQ(exception(d, coil(regs::kTestModeOn)), 0);
  EXPECT_NEAR(inputFloat(d, regs::kDac2Current), 12.0, 1e-3);
}

TEST_F(DeviceTest, ClockRoundTrip) {
  Device d = make(kGapVibration);
  ASSERT_EQ(call(d, {1, 81, 30, 15, 10, 24, 12, 0xE9, 0x07}).reply, (Bytes{1, 81}));
  const auto r = call(d, {1, 82}).reply;
  ASSERT_EQ(r.size(), 9u);
  EXPECT_EQ(Bytes(r.begin() + 4, r.end()), (Bytes{10, 24, 12, 0xE9, 0x07}));  // hour .. year
  EXPECT_EQ(r[3], 15);  // the minute, unless a minute passed in between
  EXPECT_EQ(exception(d, {1, 81, 61, 0, 0, 1, 1, 0xE9, 0x07}), 3);
}

// File requests, little-endian numbers, names with their closing zero.
Bytes named(uint8_t fn, const std::string &name, Bytes prefix = {}) {
  Bytes rq{1, fn};
  rq.insert(rq.end(), prefix.begin(), prefix.end());
  putLe16(rq, uint16_t(name.size() + 1));
  rq.insert(rq.end(), name.begin(), name.end());
  rq.push_back(0);
  return rq;
}
Bytes announce(const std::string &name, uint32_t length) {
  Bytes len;
  putLe32(len, length);
  return named(99, name, len);
}
Bytes block(uint32_t offset, const Bytes &data, size_t from, size_t n) {
  Bytes rq{1, 100};
  putLe32(rq, offset);
  putLe16(rq, uint16_t(n));
  rq.insert(rq.end(), data.begin() + long(from), data.begin() + long(from + n));
  return rq;
}

class FileTest : public DeviceTest {
 protected:
  // Sends a file in blocks of 512; the first exception met, 0 when all went.
  int send(Device &d, const std::string &name, const Bytes &data) {
    if (int e = exception(d, announce(name, uint32_t(data.size())))) return e;
    size_t at = 0;
    do {
      const size_t n = std::min<size_t>(512, data.size() - at);
      if (int e = exception(d, block(uint32_t(at), data, at, n))) return e;
      at += n;
    } while (at < data.size());
    return 0;
  }
  Bytes receive(Device &d, const std::string &name) {
    auto r = call(d, named(101, name)).reply;
    EXPECT_EQ(r.size(), 6u);
    if (r.size() != 6) return {};
    const uint32_t length = le32(r, 2);
    Bytes data;
    while (data.size() < length) {
      Bytes rq{1, 102};
      putLe32(rq, uint32_t(data.size()));
      r = call(d, rq).reply;
      const uint16_t n = le16(r, 6);
      EXPECT_EQ(r.size(), 8u + n);
      if (n == 0) break;
      data.insert(data.end(), r.begin() + 8, r.end());
    }
    return data;
  }
  static Bytes pattern(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
      b[i] = uint8_t(i * 7 + seed + (i >> 8));
    return b;
  }
};

TEST_F(FileTest, TableAndFirmwareRoundTrip) {
  Device d = make(kGapVibration);
  Bytes table = d.tableImage();
  const float ks2 = 1.25f;
  std::memcpy(&table[4 * regs::kKs2], &ks2, 4);
  ASSERT_EQ(send(d, "table.bin", table), 0);
  EXPECT_EQ(holdingFloat(d, 4028), 1.25f);  // the table image is the file
  EXPECT_EQ(receive(d, "table.bin"), table);

  const Bytes image = pattern(48 * 1024, 3);
  ASSERT_EQ(send(d, "file.bin", image), 0);
  EXPECT_EQ(d.file("file.bin"), image);
  EXPECT_EQ(receive(d, "file.bin"), image);
  const auto cs = call(d, named(103, "file.bin")).reply;
  ASSERT_EQ(cs.size(), 8u);
  EXPECT_EQ(le32(cs, 2), image.size());
  EXPECT_EQ(le16(cs, 6), crc16(image));

  // An empty file goes as one block of nothing; its checksum is the CRC's start.
  ASSERT_EQ(send(d, "empty.bin", {}), 0);
  EXPECT_EQ(le16(call(d, named(103, "empty.bin")).reply, 6), 0xFFFF);
  // Options after ';' are not part of the name.
  EXPECT_EQ(le32(call(d, named(103, "file.bin;abc")).reply, 2), image.size());

  EXPECT_EQ(call(d, named(98, "file.bin")).reply, (Bytes{1, 98}));
  EXPECT_FALSE(d.file("file.bin"));
}

TEST_F(FileTest, RefusalsWhereTheirConditionsHold) {
  Device d = make(kGapVibration);
  const Bytes data = pattern(1000, 1);
  EXPECT_EQ(exception(d, block(0, data, 0, 512)), 0x54);  // no announcement
  EXPECT_EQ(exception(d, announce("file.bin", 48 * 1024 + 1)), 0x62);
  EXPECT_EQ(exception(d, announce("table.bin", 6000)), 0x56);
  ASSERT_EQ(exception(d, announce("a.bin", 1000)), 0);
  EXPECT_EQ(exception(d, block(0, data, 0, 500)), 0x61);    // not 512, not the last
  EXPECT_EQ(exception(d, block(512, data, 0, 488)), 0x55);  // offset ahead of the data
  ASSERT_EQ(exception(d, block(0, data, 0, 512)), 0);
  EXPECT_EQ(exception(d, block(0, data, 0, 512)), 0x55);  // offset behind
  Bytes tooLong(600, 0);
  EXPECT_EQ(exception(d, block(512, tooLong, 0, 512)), 0x56);  // past the announced length
  ASSERT_EQ(exception(d, block(512, data, 512, 488)), 0);
  EXPECT_EQ(d.file("a.bin"), data);
  EXPECT_EQ(exception(d, block(1000, data, 0, 0)), 0x54);  // the upload is over

  EXPECT_EQ(exception(d, named(101, "missing.bin")), 0x52);
  EXPECT_EQ(exception(d, named(103, "missing.bin")), 0x52);
  EXPECT_EQ(exception(d, named(98, "missing.bin")), 0x52);
  EXPECT_EQ(exception(d, named(98, "table.bin")), 0x59);
  EXPECT_EQ(exception(d, Bytes{1, 102, 0, 0, 0, 0}), 0x54);  // no download asked for
  ASSERT_EQ(call(d, named(101, "a.bin")).reply.size(), 6u);
  EXPECT_EQ(exception(d, Bytes{1, 102, 0xE9, 3, 0, 0}), 0x55);  // 1001: past the end
  // A name length that disagrees with the frame.
  Bytes bad = named(103, "a.bin");
  bad[2] = 9;
  EXPECT_EQ(exception(d, bad), 3);
}

TEST_F(FileTest, StateFileKeepsSettingsAcrossRuns) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("qvzsim_state_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "sensor.state").string();
  const Bytes firmware = pattern(3000, 9);
  {
    Device d = make(kGapVibration, path);
    ASSERT_EQ(exception(d, writeFloats(regs::kWarn2, {123.0f})), 0);
    ASSERT_EQ(exception(d, writeFloats(regs::kBaud, {19200.0f, 5.0f})), 0);
    ASSERT_EQ(exception(d, coil(regs::kCommit)), 0);
    d.applyLineChange();
    ASSERT_EQ(exception(d, writeFloats(4030, {0.75f})), 0);         // kw2, no commit needed
    ASSERT_EQ(exception(d, writeFloats(regs::kWarn3, {4.0f})), 0);  // not committed
    ASSERT_EQ(send(d, "file.bin", firmware), 0);
  }
  Device again = make(kGapVibration, path);
  EXPECT_EQ(again.address(), 5);
  EXPECT_EQ(again.baud(), 19200u);
  EXPECT_EQ(holdingFloat(again, regs::kWarn2), 123.0f);
  EXPECT_EQ(holdingFloat(again, regs::kWarn3), 4.5f);
  EXPECT_EQ(holdingFloat(again, 4030), 0.75f);
  EXPECT_EQ(again.file("file.bin"), firmware);

  // A file that is not a state file is refused rather than overwritten.
  const std::string other = (dir / "other.txt").string();
  std::FILE *f = std::fopen(other.c_str(), "w");
  std::fputs("hello\n", f);
  std::fclose(f);
  SensorOptions o;
  o.stateFile = other;
  std::string error;
  EXPECT_FALSE(Device::create(o, error));
  EXPECT_NE(error.find("not a qvzsim state file"), std::string::npos);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace qvzsim
