// Section SETTINGS of the INI file, as the device object reads and writes it.
#include <string>

#include "device_fixture.h"

namespace device::testing {
namespace {

bool contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

TEST_F(DeviceTest, WithoutIdStrNothingIsOpened) {
  qvzsim::Sensor s = startSensor(qvzsim::kThreeAxis);
  writeIni("[SETTINGS]\nDeviceId=1\n");
  TQVZ2 &dev = makeDevice();
  // Several polls go by without a word on the line and without a text.
  const auto until = std::chrono::steady_clock::now() + 500ms;
  while (std::chrono::steady_clock::now() < until) {
    const MeasurementRecord rec = dev.snapshot();
    EXPECT_EQ(rec.port, -1);
    EXPECT_EQ(rec.lastError, "");
    EXPECT_EQ(rec.portText, "");
    EXPECT_FALSE(rec.online);
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_EQ(s.requestCount(), 0u);
  EXPECT_EQ(line_->counters().frames, 0u);
}

TEST_F(DeviceTest, ReferenceGapsAreReadAndMissingOnesWrittenBack) {
  writeIni(
      "; bench 4\n"
      "[Other]\n"
      "Key=Value\n"
      "\n"
      "[settings]\n"
      "deviceid=300\n"
      "S1=0.05\n"
      "S2=  0.45mm\n"
      "S4=abc\n"
      "S5=\n"
      "; end of settings\n"
      "[E140]\n"
      "Gain=2\n");
  TQVZ2 &dev = makeDevice();
  const MeasurementRecord rec = dev.snapshot();
  EXPECT_EQ(rec.address, 44);  // 300 in 8 bits
  EXPECT_EQ(rec.port, -1);

  const auto &points = dev.calibration().gapPoints;
  EXPECT_FLOAT_EQ(points[0].ref, 0.05f);
  EXPECT_FLOAT_EQ(points[1].ref, 0.45f);  // the leading number
  EXPECT_FLOAT_EQ(points[2].ref, 0.9f);   // missing: default
  EXPECT_EQ(points[3].ref, 0.0f);         // not a number
  EXPECT_FLOAT_EQ(points[4].ref, 2.3f);   // empty: default
  EXPECT_FLOAT_EQ(points[9].ref, 6.05f);
  for (const auto &p : points) {
    EXPECT_EQ(p.u, -1.0);
    EXPECT_EQ(p.y, 1.0);
  }

  const std::string ini = readIni();
  EXPECT_TRUE(contains(ini, "S3=0.90")) << ini;
  EXPECT_TRUE(contains(ini, "S5=2.30")) << ini;
  EXPECT_TRUE(contains(ini, "S10=6.05")) << ini;
  EXPECT_TRUE(contains(ini, "S4=abc")) << ini;
  EXPECT_TRUE(contains(ini, "S2=  0.45mm") || contains(ini, "S2=0.45mm")) << ini;
  EXPECT_FALSE(contains(ini, "S1=0.00")) << ini;
  for (const char *kept : {"; bench 4\n", "[Other]\nKey=Value\n", "deviceid=300",
                           "; end of settings", "[E140]\nGain=2"}) {
    EXPECT_TRUE(contains(ini, kept)) << kept << "\n" << ini;
  }
}

TEST_F(DeviceTest, IdStrIsReadWithA200ByteBuffer) {
  writeIni("[SETTINGS]\nIdStr=" + std::string(250, 'x') + "\n");
  TQVZ2 &dev = makeDevice();
  const MeasurementRecord rec = dev.snapshot();
  EXPECT_EQ(rec.idStr, std::string(199, 'x'));
  EXPECT_EQ(rec.port, -1);
  EXPECT_EQ(rec.lastError, "ошибка в строке идентификации");
}

TEST_F(DeviceTest, CalibrationStartsEmpty) {
  writeIni("");
  TQVZ2 &dev = makeDevice();
  const CalibrationData &cal = dev.calibration();
  EXPECT_FALSE(isComputed(cal.gapComputed[0]));
  EXPECT_FALSE(isComputed(cal.kwComputed[0]));
  EXPECT_EQ(cal.gapComputedMaxUs, 0.0f);
  for (const auto &p : cal.kwPoints)
    EXPECT_EQ(p.ref, -1.0f);
  const MeasurementRecord rec = dev.snapshot();
  EXPECT_EQ(rec.address, 0);
  EXPECT_EQ(rec.idStr, "");
  EXPECT_GE(rec.minSZ, 1e38f);
  EXPECT_LE(rec.maxY, -1e38f);
}

}  // namespace
}  // namespace device::testing
