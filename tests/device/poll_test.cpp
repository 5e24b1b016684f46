// The polling worker against a simulated sensor: what it asks for, when, and
// what the record shows.
#include <cstring>
#include <utility>
#include <vector>

#include "device/speed_table.h"
#include "device_fixture.h"

namespace device::testing {
namespace {

using Read = std::pair<uint16_t, uint16_t>;  // start, count

// The holding-register reads the sensor heard, a retry of the same request
// (a reply cut short on a loaded machine) counted once: no two consecutive
// reads of a configuration read are alike.
std::vector<Read> holdingReads(const qvzsim::Sensor &s) {
  std::vector<Read> out;
  for (const auto &r : s.requests()) {
    if (r.function != 3) continue;
    if (out.empty() || out.back() != Read{r.start, r.count}) out.emplace_back(r.start, r.count);
  }
  return out;
}

// Requests heard, consecutive repeats of one identification or holding read
// collapsed as above; input reads are kept, since polls repeat them anyway.
std::vector<qvzsim::Request> distinctRequests(const qvzsim::Sensor &s) {
  std::vector<qvzsim::Request> out;
  for (const auto &r : s.requests()) {
    if (!out.empty() && r.function != 4 && out.back().function == r.function &&
        out.back().start == r.start && out.back().count == r.count) {
      continue;
    }
    out.push_back(r);
  }
  return out;
}

// The configuration read of a type-1 sensor: the block, 13 + 13 table chunks
// of 60 floats (the last 30), and the tail.
std::vector<Read> type1ConfigurationReads() {
  std::vector<Read> reads{{4, 76}};
  for (uint16_t base : {uint16_t{1024}, uint16_t{2524}}) {
    for (int i = 0; i < 750; i += 60) {
      reads.emplace_back(static_cast<uint16_t>(base + 2 * i), i + 60 <= 750 ? 120 : 60);
    }
  }
  reads.emplace_back(4024, 18);
  return reads;
}

TEST_F(DeviceTest, Type1ReadsIdentificationConfigurationAndTablesOnce) {
  qvzsim::Sensor s = startSensor(qvzsim::kGapVibration);
  ASSERT_TRUE(s.setHoldingU32(16, 4711));
  TQVZ2 &dev = makeDevice(1);
  ASSERT_TRUE(waitOnline());
  const uint64_t polls = s.requestCount(4);
  ASSERT_TRUE(s.waitForRequests(4, polls + 3, 10s));

  // One identification, the configuration and 27 table requests, then one
  // input read per cycle.
  EXPECT_EQ(holdingReads(s), type1ConfigurationReads());
  const auto requests = distinctRequests(s);
  ASSERT_GE(requests.size(), 33u);
  EXPECT_EQ(requests[0].function, 4);
  EXPECT_EQ(requests[1].function, 96);
  for (size_t i = 2; i < 30; ++i)
    EXPECT_EQ(requests[i].function, 3) << i;
  for (size_t i = 30; i < requests.size(); ++i)
    EXPECT_EQ(requests[i].function, 4) << i;

  const MeasurementRecord rec = dev.snapshot();
  EXPECT_TRUE(rec.online);
  EXPECT_EQ(rec.sensorKind(), 1);
  EXPECT_EQ(rec.port, kCom - 1);
  EXPECT_EQ(rec.portText, "COM3");
  EXPECT_EQ(rec.speedText, "57600");
  EXPECT_EQ(rec.addressText, "1");
  EXPECT_EQ(rec.speedIndex, speedRowOf(57600));
  EXPECT_EQ(rec.lastError, "");
  EXPECT_EQ(rec.config.sensorNumber, 4711);
  EXPECT_GE(rec.stats.GoodReplies, 32u);
  EXPECT_EQ(rec.stats.Size, sizeof(RkStatistics));

  const std::vector<uint8_t> image = s.tableImage();
  ASSERT_EQ(image.size(), sizeof(TableImage));
  // Floats 0-1508 were read; the rest of the image stays zero in memory.
  EXPECT_EQ(std::memcmp(&rec.tables, image.data(), 1509 * 4), 0);
  for (float f : rec.tables.tableTail.unread)
    EXPECT_EQ(f, 0.0f);

  // Without noise every reading is the same: the extremes are that reading.
  const auto inputs = s.lastInputs();
  EXPECT_EQ(std::memcmp(&rec.inputs, inputs.data(), sizeof rec.inputs), 0);
  EXPECT_EQ(rec.minSZ, rec.inputs.valueSZ);
  EXPECT_EQ(rec.maxSZ, rec.inputs.valueSZ);
  EXPECT_EQ(rec.minWX, rec.inputs.valueWX);
}

TEST_F(DeviceTest, Type2NeverReadsTheTables) {
  qvzsim::Sensor s = startSensor(qvzsim::kThreeAxis, 5);
  TQVZ2 &dev = makeDevice(5);
  ASSERT_TRUE(waitOnline());
  ASSERT_TRUE(s.waitForRequests(4, s.requestCount(4) + 3, 10s));
  EXPECT_EQ(holdingReads(s), (std::vector<Read>{{4, 76}}));
  for (const auto &r : s.requests())
    EXPECT_TRUE(r.function == 4 || r.function == 96 || r.start == 4);
  const MeasurementRecord rec = dev.snapshot();
  EXPECT_EQ(rec.sensorKind(), 2);
  EXPECT_EQ(rec.addressText, "5");
  for (float f : rec.tables.gapTable)
    ASSERT_EQ(f, 0.0f);
}

TEST_F(DeviceTest, TableChunkTimeoutRestartsTheConfigurationRead) {
  qvzsim::Sensor s = startSensor(qvzsim::kGapVibration);
  // Chunk 5 of the S table (floats 300-359) never answers.
  constexpr int kChunk5 = 1024 + 2 * 300;
  s.addFault(fault(qvzsim::FaultKind::Silence, 3, kChunk5, kChunk5 + 119));
  TQVZ2 &dev = makeDevice(1);
  // Two configuration reads have begun: the second after the first failed.
  ASSERT_TRUE(s.waitForRequests(96, 2, 30s));

  const MeasurementRecord rec = dev.snapshot();
  EXPECT_FALSE(rec.online);
  EXPECT_EQ(rec.inputs.sensorType, 0.0f);
  EXPECT_EQ(rec.sensorKind(), 0);
  EXPECT_EQ(rec.lastError, "нет ответа от датчика");

  // The failed chunk was tried three times and then the next cycle began
  // with the input block and the identification; chunk 6 was never asked for.
  const auto requests = s.requests();
  size_t i = 0;
  while (i < requests.size() && requests[i].start != kChunk5)
    ++i;
  for (int attempt = 0; attempt < 3; ++attempt, ++i) {
    ASSERT_LT(i, requests.size());
    EXPECT_EQ(requests[i].start, kChunk5);
  }
  ASSERT_LT(i + 1, requests.size());
  EXPECT_EQ(requests[i].function, 4);
  EXPECT_EQ(requests[i + 1].function, 96);
  for (const auto &r : requests)
    EXPECT_NE(r.start, kChunk5 + 120);

  s.clearFaults();
  ASSERT_TRUE(waitOnline());
  EXPECT_EQ(dev.snapshot().sensorKind(), 1);
}

TEST_F(DeviceTest, ResetMinMaxStartsTheExtremesAfresh) {
  qvzsim::Sensor s = startSensor(qvzsim::kThreeAxis);
  s.setVelocity(qvzsim::Axis::Z, 8.0);
  TQVZ2 &dev = makeDevice(1);
  ASSERT_TRUE(waitUntil([&] { return dev.snapshot().maxSZ > 7.0f; }));
  s.setVelocity(qvzsim::Axis::Z, 2.0);
  ASSERT_TRUE(waitUntil([&] { return dev.snapshot().minSZ < 3.0f; }));
  EXPECT_GT(dev.snapshot().maxSZ, 7.0f);

  dev.resetMinMax();
  ASSERT_TRUE(waitUntil([&] { return dev.snapshot().maxSZ > -1e38f; }));
  const MeasurementRecord rec = dev.snapshot();
  EXPECT_LT(rec.maxSZ, 3.0f);
  EXPECT_GT(rec.minSZ, 1.0f);
}

TEST_F(DeviceTest, FailedOpenLeavesTheLinkClosedWithItsText) {
  // COM3 names a device that does not exist.
  ::setenv("RK_COM3", (dir_ / "no-such-tty").c_str(), 1);
  TQVZ2 &dev = makeDevice(1);
  const MeasurementRecord first = dev.snapshot();
  EXPECT_EQ(first.port, -1);
  EXPECT_EQ(first.portText, "");
  EXPECT_EQ(first.speedText, "");
  EXPECT_EQ(first.addressText, "");
  EXPECT_NE(first.lastError, "");
  // Polls of a closed link touch nothing and keep the text of the failed open.
  const auto until = std::chrono::steady_clock::now() + 400ms;
  while (std::chrono::steady_clock::now() < until) {
    const MeasurementRecord rec = dev.snapshot();
    EXPECT_EQ(rec.port, -1);
    EXPECT_EQ(rec.lastError, first.lastError);
    std::this_thread::sleep_for(20ms);
  }
}

}  // namespace
}  // namespace device::testing
