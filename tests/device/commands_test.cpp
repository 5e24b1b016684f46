// Every command against a simulated sensor: what reaches its registers and
// coils, what the record shows afterwards, and what lastError says.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device_fixture.h"

namespace device::testing {
namespace {

constexpr const char *kBadPortText = "недопустимый номер COM-порта";
constexpr const char *kIllegalAddressText = "недопустимый номер канала";

// True when lastError reads `text` in a snapshot taken right after
// `command`. The worker's next poll may replace the text at once, so the
// command is run again a few times before giving up.
bool textRightAfter(TQVZ2 &dev, const std::function<void()> &command, const std::string &text) {
  for (int i = 0; i < 20; ++i) {
    command();
    if (dev.snapshot().lastError == text) return true;
  }
  return false;
}

bool sentRequest(const qvzsim::Sensor &s, int function, int start) {
  for (const auto &r : s.requests()) {
    if (r.function == function && r.start == start) return true;
  }
  return false;
}

struct CommandCase {
  const char *name;
  std::function<bool(TQVZ2 &)> run;  // the command's result, true where it has none
  std::function<void(qvzsim::Sensor &, TQVZ2 &)> check;
  unsigned commits;  // commit coils the sensor receives
  bool rereads;      // the next poll reads the configuration again
};

const std::vector<CommandCase> &commandCases() {
  static const std::vector<CommandCase> cases = {
      {"writeSensorNumber", [](TQVZ2 &d) { return d.writeSensorNumber(4321); },
       [](qvzsim::Sensor &s, TQVZ2 &d) {
         EXPECT_EQ(s.holdingU32(16), 4321u);
         EXPECT_EQ(d.snapshot().config.sensorNumber, 4321);
       },
       1, false},
      {"setChannelFlags+writeChannelFlags",
       [](TQVZ2 &d) {
         d.setChannelFlags(5);
         d.writeChannelFlags();
         return true;
       },
       [](qvzsim::Sensor &s, TQVZ2 &d) {
         EXPECT_EQ(s.holdingU32(30), 5u);
         EXPECT_EQ(d.snapshot().config.channelFlags, 5u);
       },
       1, false},
      {"writeSetpoints with flags changed but not written",
       [](TQVZ2 &d) {
         d.setChannelFlags(3);
         return d.writeSetpoints(
             {1.5f, 2.5f, 3.5f, 4.5f, 5.5f, 6.5f, 7.0f, 0.5f, 99.5f, 250.0f, 1.0f, 2.0f, 16.0f});
       },
       [](qvzsim::Sensor &s, TQVZ2 &d) {
         const float expected[] = {1.5f, 2.5f, 3.5f, 4.5f, 5.5f, 6.5f};
         for (int i = 0; i < 6; ++i)
           EXPECT_EQ(s.holdingFloat(18 + 2 * i), expected[i]) << i;
         EXPECT_EQ(s.holdingU32(30), 3u);
         EXPECT_EQ(s.holdingFloat(32), 7.0f);
         EXPECT_EQ(s.holdingFloat(34), 0.5f);
         EXPECT_EQ(s.holdingFloat(36), 99.5f);
         EXPECT_EQ(s.holdingFloat(38), 1.0f);
         EXPECT_EQ(s.holdingFloat(40), 2.0f);
         EXPECT_EQ(s.holdingFloat(58), 250.0f);
         EXPECT_EQ(s.holdingFloat(66), 16.0f);
         const MeasurementRecord rec = d.snapshot();
         EXPECT_EQ(rec.config.warn1, 1.5f);
         EXPECT_EQ(rec.config.averagingSamples, 16.0f);
         EXPECT_EQ(rec.config.channelFlags, 3u);
       },
       1, true},
      {"writeAdditional",
       [](TQVZ2 &d) {
         return d.writeAdditional({10.5f, 600.0f, 250.0f, 12.5f, 5000.0f, 7.0f});
       },
       [](qvzsim::Sensor &s, TQVZ2 &d) {
         const float expected[] = {10.5f, 600.0f, 250.0f, 12.5f, 5000.0f, 7.0f};
         for (int i = 0; i < 6; ++i)
           EXPECT_EQ(s.holdingFloat(68 + 2 * i), expected[i]) << i;
         EXPECT_EQ(d.snapshot().config.startFrequencyIndex, 7.0f);
       },
       1, true},
      {"writeAxisValue", [](TQVZ2 &d) { return d.writeAxisValue(1.25f, 3); },
       [](qvzsim::Sensor &s, TQVZ2 &d) {
         EXPECT_EQ(s.holdingFloat(10), 1.25f);
         EXPECT_EQ(d.snapshot().config.coefX, 1.25f);  // read back by the command itself
       },
       1, false},
      {"calibrateAxis",
       [](TQVZ2 &d) {
         d.calibrateAxis(1);
         return true;
       },
       [](qvzsim::Sensor &s, TQVZ2 &d) {
         EXPECT_TRUE(sentRequest(s, 5, 2));
         EXPECT_EQ(d.snapshot().config.coefX, s.holdingFloat(10));
       },
       0, true},
      {"writeDacCalibration",
       [](TQVZ2 &d) {
         return d.writeDacCalibration({1.01f, -0.02f, 3.98f, 20.05f, 0.99f, 0.03f, 4.01f, 19.97f});
       },
       [](qvzsim::Sensor &s, TQVZ2 &d) {
         const float expected[] = {1.01f, -0.02f, 3.98f, 20.05f, 0.99f, 0.03f, 4.01f, 19.97f};
         for (int i = 0; i < 8; ++i)
           EXPECT_EQ(s.holdingFloat(42 + 2 * i), expected[i]) << i;
         EXPECT_EQ(d.snapshot().config.dac2OutMax, 19.97f);
       },
       1, true},
      {"dacOutputMin", [](TQVZ2 &d) { return d.dacOutputMin() == RK_OK; },
       [](qvzsim::Sensor &s, TQVZ2 &) { EXPECT_EQ(s.status().dac, qvzsim::DacOutput::Minimum); }, 0,
       false},
      {"dacOutputMax", [](TQVZ2 &d) { return d.dacOutputMax() == RK_OK; },
       [](qvzsim::Sensor &s, TQVZ2 &) { EXPECT_EQ(s.status().dac, qvzsim::DacOutput::Maximum); }, 0,
       false},
      {"dacOutputNormal", [](TQVZ2 &d) { return d.dacOutputNormal() == RK_OK; },
       [](qvzsim::Sensor &s, TQVZ2 &) { EXPECT_EQ(s.status().dac, qvzsim::DacOutput::Normal); }, 0,
       false},
      {"setTestSignal on",
       [](TQVZ2 &d) {
         d.setTestSignal(true);
         return true;
       },
       [](qvzsim::Sensor &s, TQVZ2 &d) {
         EXPECT_TRUE(s.status().testSignal);
         EXPECT_TRUE(waitUntil([&] { return d.snapshot().sensorKind() == 3; }));
       },
       0, false},
      {"setTestSignal off",
       [](TQVZ2 &d) {
         d.setTestSignal(false);
         return true;
       },
       [](qvzsim::Sensor &s, TQVZ2 &d) {
         EXPECT_FALSE(s.status().testSignal);
         EXPECT_TRUE(waitUntil([&] { return d.snapshot().sensorKind() == 2; }));
       },
       0, false},
      {"setTestMode on",
       [](TQVZ2 &d) {
         d.setTestMode(true);
         return true;
       },
       [](qvzsim::Sensor &s, TQVZ2 &) { EXPECT_TRUE(s.status().testMode); }, 0, false},
      {"setTestMode off",
       [](TQVZ2 &d) {
         d.setTestMode(false);
         return true;
       },
       [](qvzsim::Sensor &s, TQVZ2 &) { EXPECT_FALSE(s.status().testMode); }, 0, false},
      {"writeTestValue", [](TQVZ2 &d) { return d.writeTestValue(4.5f, 2); },
       [](qvzsim::Sensor &s, TQVZ2 &d) {
         EXPECT_EQ(s.holdingFloat(64), 4.5f);
         EXPECT_EQ(d.snapshot().config.testValue3, 4.5f);
       },
       1, false},
      {"writeKs2", [](TQVZ2 &d) { return d.writeKs2(1.05f); },
       [](qvzsim::Sensor &s, TQVZ2 &d) {
         EXPECT_EQ(s.holdingFloat(4028), 1.05f);
         EXPECT_EQ(d.snapshot().tables.tableTail.ks2, 1.05f);
       },
       0, false},
      {"writeKw2", [](TQVZ2 &d) { return d.writeKw2(0.95f); },
       [](qvzsim::Sensor &s, TQVZ2 &d) {
         EXPECT_EQ(s.holdingFloat(4030), 0.95f);
         EXPECT_EQ(d.snapshot().tables.tableTail.kw2, 0.95f);
       },
       0, false},
  };
  return cases;
}

TEST_F(DeviceTest, EveryCommandReachesTheSensor) {
  qvzsim::Sensor s = startSensor(qvzsim::kThreeAxis);
  TQVZ2 &dev = makeDevice(1);
  ASSERT_TRUE(waitOnline());
  for (const CommandCase &c : commandCases()) {
    SCOPED_TRACE(c.name);
    const unsigned commits = s.status().commits;
    const uint64_t idents = s.requestCount(96);
    EXPECT_TRUE(c.run(dev));
    // Success texts are empty, and so is every poll's: no race here.
    EXPECT_EQ(dev.snapshot().lastError, "");
    EXPECT_EQ(s.status().commits - commits, c.commits);
    if (c.rereads) {
      EXPECT_TRUE(s.waitForRequests(96, idents + 1, 10s));
      EXPECT_TRUE(waitOnline());
    } else {
      EXPECT_TRUE(s.waitForRequests(4, s.requestCount(4) + 2, 10s));
      EXPECT_EQ(s.requestCount(96), idents);
    }
    c.check(s, dev);
  }
}

TEST_F(DeviceTest, RestartSensorComesBackOnline) {
  qvzsim::Sensor s = startSensor(qvzsim::kThreeAxis);
  TQVZ2 &dev = makeDevice(1);
  ASSERT_TRUE(waitOnline());
  const uint64_t idents = s.requestCount(96);
  EXPECT_EQ(dev.restartSensor(), RK_OK);
  EXPECT_EQ(s.status().restarts, 1u);
  // Silent while it restarts: a poll fails, so the next good one reads the
  // identification and the configuration afresh.
  ASSERT_TRUE(s.waitForRequests(96, idents + 1, 30s));
  ASSERT_TRUE(waitOnline());
  EXPECT_EQ(dev.snapshot().sensorKind(), 2);
}

TEST_F(DeviceTest, FailedWriteSkipsTheCommitAndKeepsTheRecord) {
  qvzsim::Sensor s = startSensor(qvzsim::kThreeAxis);
  TQVZ2 &dev = makeDevice(1);
  ASSERT_TRUE(waitOnline());
  const int32_t number = dev.snapshot().config.sensorNumber;
  const auto held = s.holdingU32(16);
  s.addFault(exceptionOn(16, 2));

  EXPECT_TRUE(textRightAfter(
      dev, [&] { EXPECT_FALSE(dev.writeSensorNumber(number + 1)); }, kIllegalAddressText));
  EXPECT_TRUE(textRightAfter(
      dev,
      [&] {
        EXPECT_FALSE(dev.writeSetpoints({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0, 3}));
      },
      kIllegalAddressText));
  EXPECT_TRUE(textRightAfter(
      dev, [&] { EXPECT_FALSE(dev.writeKs2(1.5f)); }, kIllegalAddressText));
  EXPECT_EQ(s.status().commits, 0u);
  EXPECT_EQ(s.holdingU32(16), held);
  EXPECT_EQ(dev.snapshot().config.sensorNumber, number);
  // Only the first of the setpoint writes went out, and a table tail that
  // was not written is not read back.
  EXPECT_FALSE(sentRequest(s, 16, 66));
  EXPECT_FALSE(sentRequest(s, 3, 4024));
}

TEST_F(DeviceTest, ACommandKeepsItsFirstFailureAfterTheNextGoodPoll) {
  qvzsim::Sensor s = startSensor(qvzsim::kThreeAxis);
  TQVZ2 &dev = makeDevice(1);
  ASSERT_TRUE(waitOnline());
  const uint32_t before = dev.snapshot().failedCommands;
  // The commit is refused; the read-back that follows succeeds.
  s.addFault(exceptionOn(5, 2));
  dev.writeChannelFlags();
  MeasurementRecord rec = dev.snapshot();
  EXPECT_EQ(rec.failedCommands, before + 1) << "one command, one failure counted";
  EXPECT_EQ(rec.commandError, kIllegalAddressText);
  EXPECT_EQ(rec.lastResult, RK_OK) << "the read-back was the last result";
  // Polls succeed and wipe lastError; the command's failure stays.
  ASSERT_TRUE(waitUntil([&] { return dev.snapshot().stats.GoodReplies > rec.stats.GoodReplies; }));
  rec = dev.snapshot();
  EXPECT_TRUE(rec.lastError.empty()) << rec.lastError;
  EXPECT_EQ(rec.commandError, kIllegalAddressText);

  // A command that succeeds is no failure; one that fails in its first
  // step is counted with that step's text.
  s.clearFaults();
  EXPECT_TRUE(dev.writeSensorNumber(4321));
  EXPECT_EQ(dev.snapshot().failedCommands, before + 1);
  s.addFault(exceptionOn(16, 3));
  EXPECT_FALSE(dev.writeSensorNumber(4322));
  rec = dev.snapshot();
  EXPECT_EQ(rec.failedCommands, before + 2);
  EXPECT_NE(rec.commandError, kIllegalAddressText) << "the new failure's own text";
  EXPECT_FALSE(rec.commandError.empty());
}

TEST_F(DeviceTest, SensorNumberIsKeptWhenOnlyTheCommitFails) {
  qvzsim::Sensor s = startSensor(qvzsim::kThreeAxis);
  TQVZ2 &dev = makeDevice(1);
  ASSERT_TRUE(waitOnline());
  s.addFault(exceptionOn(5, 2));
  EXPECT_TRUE(textRightAfter(
      dev, [&] { EXPECT_TRUE(dev.writeSensorNumber(777)); }, kIllegalAddressText));
  EXPECT_EQ(s.holdingU32(16), 777u);
  EXPECT_EQ(dev.snapshot().config.sensorNumber, 777);
}

// The holding-register writes and reads a sensor heard, a retry of the same
// request (a reply cut short on a loaded machine) counted once.
std::vector<std::pair<uint8_t, uint16_t>> writesAndReads(const qvzsim::Sensor &s) {
  std::vector<std::pair<uint8_t, uint16_t>> out;
  for (const auto &r : s.requests()) {
    if (r.function == 4 || r.function == 96) continue;
    const std::pair<uint8_t, uint16_t> request{r.function, r.start};
    if (out.empty() || out.back() != request) out.push_back(request);
  }
  return out;
}

TEST_F(DeviceTest, SetpointsGoOutWithTheHeldFlagsAndDacCorrections) {
  qvzsim::Sensor s = startSensor(qvzsim::kThreeAxis);
  // Corrections of this sensor's own, unlike any default.
  const float dac[8] = {1.03f, -0.01f, 4.02f, 19.9f, 0.98f, 0.02f, 3.97f, 20.1f};
  for (int i = 0; i < 8; ++i)
    ASSERT_TRUE(s.setHoldingFloat(static_cast<uint16_t>(42 + 2 * i), dac[i]));
  TQVZ2 &dev = makeDevice(1);
  ASSERT_TRUE(waitOnline());
  dev.setChannelFlags(2);
  s.clearRequests();
  ASSERT_TRUE(dev.writeSetpoints(
      {0.5f, 0.3f, 90.0f, 140.0f, 4.4f, 4.9f, 5.0f, 0.2f, 5.5f, 300.0f, 2.0f, 1.0f, 8.0f}));
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(s.holdingFloat(static_cast<uint16_t>(42 + 2 * i)), dac[i]) << i;
  EXPECT_EQ(s.holdingU32(30), 2u);
  EXPECT_EQ(s.holdingFloat(58), 300.0f);
  EXPECT_EQ(s.holdingFloat(66), 8.0f);
  // Registers 18-59, then 66, then the commit; the next poll reads the
  // configuration again.
  ASSERT_TRUE(s.waitForRequests(3, 1, 10s));
  const std::vector<std::pair<uint8_t, uint16_t>> expected{{16, 18}, {16, 66}, {5, 0}, {3, 4}};
  EXPECT_EQ(writesAndReads(s), expected);
  ASSERT_TRUE(waitOnline());
  EXPECT_EQ(dev.snapshot().config.dac2OutMax, 20.1f);
}

// Commands that read back what they wrote do so also when the write fails,
// so the record shows the sensor's values, not the ones that were meant.
TEST_F(DeviceTest, FailedWritesAreStillReadBack) {
  qvzsim::Sensor s = startSensor(qvzsim::kThreeAxis);
  TQVZ2 &dev = makeDevice(1);
  ASSERT_TRUE(waitOnline());
  s.addFault(exceptionOn(16, 2));
  const struct {
    const char *name;
    std::function<void()> behindTheBack;  // a change the record does not know of yet
    std::function<bool()> run;
    uint16_t written, readStart;
    std::function<void(const MeasurementRecord &)> check;
  } cases[] = {
      {"writeAxisValue", [&] { s.setHoldingFloat(10, 2.5f); },
       [&] { return dev.writeAxisValue(1.25f, 3); }, 10, 4,
       [](const MeasurementRecord &rec) { EXPECT_EQ(rec.config.coefX, 2.5f); }},
      {"writeTestValue", [&] { s.setHoldingFloat(64, 7.5f); },
       [&] { return dev.writeTestValue(4.5f, 2); }, 64, 4,
       [](const MeasurementRecord &rec) { EXPECT_EQ(rec.config.testValue3, 7.5f); }},
      {"writeChannelFlags",
       [&] {
         s.setHoldingU32(30, 6);
         dev.setChannelFlags(1);
       },
       [&] {
         dev.writeChannelFlags();
         return false;
       },
       30, 30, [](const MeasurementRecord &rec) { EXPECT_EQ(rec.config.channelFlags, 6u); }},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    c.behindTheBack();
    s.clearRequests();
    EXPECT_FALSE(c.run());
    const std::vector<std::pair<uint8_t, uint16_t>> expected{{16, c.written}, {3, c.readStart}};
    EXPECT_EQ(writesAndReads(s), expected);
    c.check(dev.snapshot());
  }
  EXPECT_EQ(s.status().commits, 0u);
}

TEST_F(DeviceTest, CoilCommandsReturnTheLinkResult) {
  qvzsim::Sensor s = startSensor(qvzsim::kThreeAxis);
  TQVZ2 &dev = makeDevice(1);
  ASSERT_TRUE(waitOnline());
  s.addFault(exceptionOn(5, 2));
  EXPECT_TRUE(textRightAfter(
      dev, [&] { EXPECT_EQ(dev.dacOutputMax(), RK_ERR_ILLEGAL_ADDRESS); }, kIllegalAddressText));
  EXPECT_EQ(dev.restartSensor(), RK_ERR_ILLEGAL_ADDRESS);
  EXPECT_EQ(s.status().dac, qvzsim::DacOutput::Normal);
  EXPECT_EQ(s.status().restarts, 0u);
}

TEST_F(DeviceTest, CommandsOnAClosedLinkSendNothing) {
  qvzsim::Sensor s = startSensor(qvzsim::kThreeAxis);
  writeIni("[SETTINGS]\nDeviceId=1\n");  // no IdStr: the link stays closed
  TQVZ2 &dev = makeDevice();
  const std::vector<std::function<void()>> commands = {
      [&] { EXPECT_FALSE(dev.writeSensorNumber(1)); },
      [&] { EXPECT_FALSE(dev.writeSetpoints({})); },
      [&] { dev.writeChannelFlags(); },
      [&] { EXPECT_FALSE(dev.writeAdditional({})); },
      [&] { EXPECT_FALSE(dev.writeAxisValue(1.0f, 0)); },
      [&] { dev.calibrateAxis(0); },
      [&] { EXPECT_FALSE(dev.writeDacCalibration({})); },
      [&] { EXPECT_EQ(dev.dacOutputMin(), RK_ERR_BAD_PORT); },
      [&] { EXPECT_EQ(dev.restartSensor(), RK_ERR_BAD_PORT); },
      [&] { dev.setTestSignal(true); },
      [&] { dev.setTestMode(true); },
      [&] { EXPECT_FALSE(dev.writeTestValue(1.0f, 0)); },
      [&] { EXPECT_FALSE(dev.writeKs2(1.0f)); },
      [&] { EXPECT_FALSE(dev.sendFile("file.bin", iniPath_)); },
  };
  for (size_t i = 0; i < commands.size(); ++i) {
    EXPECT_TRUE(textRightAfter(dev, commands[i], kBadPortText)) << "command " << i;
  }
  EXPECT_EQ(s.requestCount(), 0u);
  EXPECT_EQ(line_->counters().frames, 0u);
}

TEST_F(DeviceTest, IndexOutsideItsRangeSendsNothing) {
  qvzsim::Sensor s = startSensor(qvzsim::kThreeAxis);
  TQVZ2 &dev = makeDevice(1);
  ASSERT_TRUE(waitOnline());
  s.clearRequests();
  EXPECT_FALSE(dev.writeAxisValue(1.0f, 6));  // register 16 would be the sensor number
  EXPECT_FALSE(dev.writeAxisValue(1.0f, -1));
  EXPECT_FALSE(dev.writeTestValue(1.0f, 3));
  dev.calibrateAxis(3);  // coil 4 would switch the test signal
  dev.changeExchange(-1, 7);
  dev.changeExchange(7, 7);
  EXPECT_TRUE(s.waitForRequests(4, 2, 10s));
  for (const auto &r : s.requests())
    EXPECT_EQ(r.function, 4);
  EXPECT_EQ(s.status().commits, 0u);
}

}  // namespace
}  // namespace device::testing
