// Changing the sensor's speed and address, and moving coefficient files.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "device/speed_table.h"
#include "device/table_file.h"
#include "device_fixture.h"

namespace device::testing {
namespace {

TEST_F(DeviceTest, ChangeExchangeBringsTheLinkBackAtTheNewSpeedAndAddress) {
  qvzsim::Sensor s = startSensor(qvzsim::kThreeAxis, 1, 57600);
  writeIni("[SETTINGS]\nIdStr=" + idStr() + "\nDeviceId=1\nS1=0.10\n");
  TQVZ2 &dev = makeDevice();
  ASSERT_TRUE(waitOnline());

  const int row = speedRowOf(19200);
  dev.changeExchange(row, 7);
  EXPECT_TRUE(waitUntil([&] { return s.status().baud == 19200u && s.status().address == 7; }));
  EXPECT_EQ(s.holdingFloat(0), 19200.0f);
  EXPECT_EQ(s.holdingFloat(2), 7.0f);

  ASSERT_TRUE(waitOnline());
  const MeasurementRecord rec = dev.snapshot();
  EXPECT_EQ(rec.idStr, "rk.dll,3,19200,100,300");
  EXPECT_EQ(rec.address, 7);
  EXPECT_EQ(rec.speedIndex, row);
  EXPECT_EQ(rec.speedText, "19200");
  EXPECT_EQ(rec.addressText, "7");
  EXPECT_EQ(rec.portText, "COM3");
  const std::string ini = readIni();
  EXPECT_NE(ini.find("IdStr=rk.dll,3,19200,100,300"), std::string::npos) << ini;
  EXPECT_NE(ini.find("DeviceId=7"), std::string::npos) << ini;
  EXPECT_NE(ini.find("S1=0.10"), std::string::npos) << ini;
}

TEST_F(DeviceTest, ChangeExchangeThatFailsChangesNothing) {
  qvzsim::Sensor s = startSensor(qvzsim::kThreeAxis);
  writeIni("[SETTINGS]\nIdStr=" + idStr() + "\nDeviceId=1\n");
  TQVZ2 &dev = makeDevice();
  ASSERT_TRUE(waitOnline());
  const std::string before = readIni();
  s.addFault(exceptionOn(16, 3));
  dev.changeExchange(speedRowOf(9600), 9);
  EXPECT_EQ(s.status().baud, 57600u);
  EXPECT_EQ(s.status().commits, 0u);
  EXPECT_EQ(readIni(), before);
  const MeasurementRecord rec = dev.snapshot();
  EXPECT_EQ(rec.idStr, idStr());
  EXPECT_EQ(rec.address, 1);
  EXPECT_EQ(rec.port, kCom - 1);
}

std::vector<uint8_t> readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(DeviceTest, ComputedTablesGoIntoTheFileThatTheSensorThenServes) {
  qvzsim::Sensor s = startSensor(qvzsim::kGapVibration);
  TQVZ2 &dev = makeDevice(1);
  ASSERT_TRUE(waitOnline());
  const MeasurementRecord before = dev.snapshot();

  // A computed S(Us) table; Kw(Us) stays the sensor's.
  CalibrationData &cal = dev.calibration();
  for (int i = 0; i < kTableSize; ++i)
    cal.gapComputed[i] = 0.008f * static_cast<float>(i);
  cal.gapComputedMinUs = 1.5f;
  cal.gapComputedMaxUs = 17.5f;

  const std::string path = (dir_ / "0001_table.cf").string();
  ASSERT_EQ(dev.writeTableFile(path), 0);
  EXPECT_EQ(dev.snapshot().lastError, "");
  const std::vector<uint8_t> file = readFile(path);
  ASSERT_EQ(file.size(), 6144u);
  TableImage written;
  std::memcpy(&written, file.data(), sizeof written);
  EXPECT_EQ(written.gapTable, cal.gapComputed);
  EXPECT_EQ(written.tableTail.gapTableMinUs, 1.5f);
  EXPECT_EQ(written.tableTail.gapTableMaxUs, 17.5f);
  EXPECT_EQ(written.kwTable, before.tables.kwTable);
  EXPECT_EQ(written.tableTail.ks2, before.tables.tableTail.ks2);
  EXPECT_EQ(written.tableTail.kwTableMaxUs, before.tables.tableTail.kwTableMaxUs);
  // The computed table stays in the record.
  EXPECT_EQ(dev.snapshot().tables.gapTable, cal.gapComputed);

  ASSERT_TRUE(dev.sendFile("table.bin", path));
  EXPECT_EQ(dev.snapshot().lastError, "");
  EXPECT_EQ(s.tableImage(), file);

  // After a restart the poll reads the tables afresh: the record shows the
  // sensor's, a last entry changed behind the program's back included.
  ASSERT_TRUE(s.setHoldingFloat(1024 + 2 * 749, 9.5f));
  const uint64_t idents = s.requestCount(96);
  ASSERT_EQ(dev.restartSensor(), RK_OK);
  ASSERT_TRUE(s.waitForRequests(96, idents + 1, 30s));
  ASSERT_TRUE(waitOnline());
  const MeasurementRecord after = dev.snapshot();
  EXPECT_TRUE(std::equal(cal.gapComputed.begin(), cal.gapComputed.end() - 1,
                         after.tables.gapTable.begin()));
  EXPECT_EQ(after.tables.gapTable[749], 9.5f);
  EXPECT_EQ(after.tables.tableTail.gapTableMinUs, 1.5f);
}

TEST_F(DeviceTest, TableFileThatCannotBeWrittenLeavesTheRecord) {
  startSensor(qvzsim::kGapVibration);
  TQVZ2 &dev = makeDevice(1);
  ASSERT_TRUE(waitOnline());
  CalibrationData &cal = dev.calibration();
  cal.gapComputed.fill(2.0f);
  const MeasurementRecord before = dev.snapshot();
  const std::string path = (dir_ / "missing" / "t.cf").string();
  EXPECT_EQ(dev.writeTableFile(path), -1);
  const MeasurementRecord after = dev.snapshot();
  EXPECT_EQ(after.tables.gapTable, before.tables.gapTable);
  // The failure is the command's, with the file and the reason; the link's
  // last result stays as it was.
  EXPECT_EQ(after.failedCommands, before.failedCommands + 1);
  EXPECT_EQ(after.commandError, "Не удалось создать файл коэффициентов " + path +
                                    ": не удается найти указанный файл или устройство");
  EXPECT_EQ(after.lastResult, before.lastResult);

  // The next good write is a command without failure.
  EXPECT_EQ(dev.writeTableFile((dir_ / "t.cf").string()), 0);
  EXPECT_EQ(dev.snapshot().failedCommands, after.failedCommands);
}

}  // namespace
}  // namespace device::testing
