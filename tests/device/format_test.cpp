// Status and value texts, the sensor-kind rule, the speed table, the
// extremes and the CP1251 conversion.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cmath>
#include <limits>
#include <string>

#include "device/cp1251.h"
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

// glibc's converter is the independent oracle for every byte of the code page.
std::string iconvToUtf8(const std::string &in) {
  iconv_t cd = iconv_open("UTF-8", "CP1251");
  if (cd == reinterpret_cast<iconv_t>(-1)) return "<no iconv>";
  std::string out(in.size() * 4, '\0');
  char *src = const_cast<char *>(in.data());
  size_t srcLeft = in.size();
  char *dst = out.data();
  size_t dstLeft = out.size();
  const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1)) return "<unconvertible>";
  out.resize(out.size() - dstLeft);
  return out;
}

TEST(Cp1251, EveryByteAsTheSystemConverterHasIt) {
  for (int b = 1; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    if (b == 0x98) {
      EXPECT_EQ(cp1251ToUtf8(one), "\xEF\xBF\xBD");  // unassigned in the code page
      continue;
    }
    EXPECT_EQ(cp1251ToUtf8(one), iconvToUtf8(one)) << "byte " << b;
  }
}

TEST(Cp1251, LibraryText) {
  // "нет ответа от датчика" as the link library returns it.
  const std::string cp =
      "\xED\xE5\xF2 \xEE\xF2\xE2\xE5\xF2\xE0 \xEE\xF2 \xE4\xE0\xF2\xF7\xE8\xEA\xE0";
  EXPECT_EQ(cp1251ToUtf8(cp), "нет ответа от датчика");
  EXPECT_EQ(cp1251ToUtf8(""), "");
}

}  // namespace
}  // namespace device
