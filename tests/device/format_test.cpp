// Status and value texts, the sensor-kind rule, the speed table and the
// extremes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "device/format.h"
#include "device/record.h"
#include "device/speed_table.h"

namespace device {
namespace {

TEST(FormatStatus, KnownCodesAndOthers) {
  const struct {
    float code;
    const char *text;
  } cases[] = {
      {0.0f, ""},
      {-1.0f, "уровень в норме"},
      {-2.0f, "предупр.уровень"},
      {-107.0f, "аварийный уровень"},
      {-105.0f, "ниже минимума"},
      {-106.0f, "выше максимума"},
      {-103.0f, "канал замаскирован"},
      {-3.0f, "статус=   -3.00"},
      {-1.5f, "статус=   -1.50"},
      {12345.678f, "статус=12345.68"},
      {-104.0f, "статус= -104.00"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(formatStatus(c.code), c.text) << c.code;
}

TEST(FormatValueOrOff, NegativeIsOff) {
  EXPECT_EQ(formatValueOrOff(-0.5f), "выкл");
  EXPECT_EQ(formatValueOrOff(-1e-30f), "выкл");
  EXPECT_EQ(formatValueOrOff(0.0f), "    0.00");
  EXPECT_EQ(formatValueOrOff(3.14159f), "    3.14");
  EXPECT_EQ(formatValueOrOff(std::numeric_limits<float>::quiet_NaN()), "     nan");
}

TEST(FormatFixed, PrintfFixedNotation) {
  const struct {
    double value;
    int width, precision;
    const char *text;
  } cases[] = {
      {0.4, 3, 2, "0.40"},    {6.05, 3, 2, "6.05"},    {-2.5, 8, 2, "   -2.50"},
      {1e6, 3, 0, "1000000"}, {0.005, 6, 2, "  0.01"}, {-0.0, 5, 1, " -0.0"},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(formatFixed(c.value, c.width, c.precision), c.text) << c.value;
  }
}

TEST(SensorKind, ExactValuesOnly) {
  const struct {
    float type;
    int kind;
  } cases[] = {{1.0f, 1},  {2.0f, 2},       {3.0f, 3},
               {0.0f, 0},  {2.5f, 0},       {4.0f, 0},
               {-1.0f, 0}, {1.0000001f, 0}, {std::numeric_limits<float>::quiet_NaN(), 0}};
  for (const auto &c : cases)
    EXPECT_EQ(sensorKind(c.type), c.kind) << c.type;
}

TEST(SpeedTable, RowsAndLookup) {
  EXPECT_EQ(speedTable[0].baud, 1200u);
  EXPECT_EQ(speedTable[0].stepMs, 500u);
  EXPECT_EQ(speedTable[0].timeoutMs, 1000u);
  EXPECT_EQ(speedTable[kSpeedRows - 1].baud, 57600u);
  EXPECT_EQ(speedTable[kSpeedRows].baud, 0u);
  EXPECT_EQ(speedRowOf(9600), 3);
  EXPECT_EQ(speedRowOf(57600), 6);
  EXPECT_EQ(speedRowOf(115200), -1);
  EXPECT_EQ(speedRowOf(0), -1);
}

TEST(Extremes, FirstReadingSetsBothAndNaNNeverEnters) {
  MeasurementRecord rec;
  EXPECT_GE(rec.minSZ, 1e38f);
  EXPECT_LE(rec.maxSZ, -1e38f);
  rec.inputs.valueSZ = 1.5f;
  rec.inputs.valueWX = -2.0f;
  rec.inputs.valueY = std::numeric_limits<float>::quiet_NaN();
  updateMinMax(rec);
  EXPECT_EQ(rec.minSZ, 1.5f);
  EXPECT_EQ(rec.maxSZ, 1.5f);
  EXPECT_EQ(rec.minWX, -2.0f);
  EXPECT_EQ(rec.maxWX, -2.0f);
  EXPECT_GE(rec.minY, 1e38f);  // NaN compares false both ways
  EXPECT_LE(rec.maxY, -1e38f);

  rec.inputs.valueSZ = 0.5f;
  rec.inputs.valueWX = 7.0f;
  updateMinMax(rec);
  EXPECT_EQ(rec.minSZ, 0.5f);
  EXPECT_EQ(rec.maxSZ, 1.5f);
  EXPECT_EQ(rec.minWX, -2.0f);
  EXPECT_EQ(rec.maxWX, 7.0f);

  resetMinMax(rec);
  EXPECT_EQ(rec.minSZ, 2.0e38f);
  EXPECT_EQ(std::bit_cast<uint32_t>(rec.minWX), 0x7F167699u);
  EXPECT_EQ(rec.maxY, -2.0e38f);
}

}  // namespace
}  // namespace device
