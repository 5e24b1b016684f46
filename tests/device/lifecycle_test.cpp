// The device lock, the worker's life and readers of the record on other
// threads (this test also runs under ThreadSanitizer).
#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "device_fixture.h"

namespace device::testing {
namespace {

// Destroys the device on another thread and reports whether that ended in time.
bool destroyedInTime(std::unique_ptr<TQVZ2> &dev) {
  auto done = std::async(std::launch::async, [&] { dev.reset(); });
  if (done.wait_for(30s) == std::future_status::ready) return true;
  ADD_FAILURE() << "the destructor did not return";
  std::_Exit(1);  // the device is still in use on a stuck thread
}

TEST_F(DeviceTest, LockHoldsTheWorkerAndUnlockLetsItGo) {
  qvzsim::Sensor s = startSensor(qvzsim::kThreeAxis);
  TQVZ2 &dev = makeDevice(1);
  ASSERT_TRUE(waitOnline());
  EXPECT_EQ(dev.workerState(), TQVZ2::Free);

  dev.lock();
  EXPECT_EQ(dev.workerState(), TQVZ2::Held);
  const uint64_t polls = s.requestCount(4);
  std::this_thread::sleep_for(400ms);  // several cycles' worth
  EXPECT_EQ(s.requestCount(4), polls);
  dev.unlock();
  EXPECT_EQ(dev.workerState(), TQVZ2::Free);
  EXPECT_TRUE(s.waitForRequests(4, polls + 2, 10s));
}

TEST_F(DeviceTest, SearchPatternReopensWithTheChosenLink) {
  startSensor(qvzsim::kThreeAxis, 9);
  writeIni("[SETTINGS]\nIdStr=" + idStr() + "\nDeviceId=4\n");  // wrong address
  TQVZ2 &dev = makeDevice();
  ASSERT_TRUE(waitUntil([&] { return dev.snapshot().lastError == "нет ответа от датчика"; }));

  dev.lock();
  dev.close();
  EXPECT_EQ(dev.snapshot().port, kCom - 1);  // published on unlock only
  dev.reopen(idStr(), 9);
  dev.unlock();
  ASSERT_TRUE(waitOnline());
  const MeasurementRecord rec = dev.snapshot();
  EXPECT_EQ(rec.address, 9);
  EXPECT_EQ(rec.addressText, "9");
  EXPECT_NE(readIni().find("DeviceId=9"), std::string::npos);
}

TEST_F(DeviceTest, DestroyingWhileADialogHoldsTheLock) {
  startSensor(qvzsim::kThreeAxis);
  makeDevice(1);
  ASSERT_TRUE(waitOnline());
  dev_->lock();  // as the search dialog or the About box would
  ASSERT_TRUE(destroyedInTime(dev_));
}

TEST_F(DeviceTest, DestroyingWithoutALink) {
  writeIni("");
  makeDevice();
  dev_->lock();
  ASSERT_TRUE(destroyedInTime(dev_));
  makeDevice();
  ASSERT_TRUE(destroyedInTime(dev_));
}

TEST_F(DeviceTest, DestroyingDuringAPoll) {
  qvzsim::Sensor s = startSensor(qvzsim::kGapVibration);
  makeDevice(1);
  // The configuration read of a type-1 sensor takes many requests.
  ASSERT_TRUE(s.waitForRequests(3, 3, 10s));
  ASSERT_TRUE(destroyedInTime(dev_));
  // The link is closed: the line goes quiet.
  const uint64_t heard = s.requestCount();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(s.requestCount(), heard);
}

TEST_F(DeviceTest, ReadersSeeWholeRecordsWhileTheWorkerAndCommandsRun) {
  qvzsim::Sensor s = startSensor(qvzsim::kThreeAxis);
  TQVZ2 &dev = makeDevice(1);
  ASSERT_TRUE(waitOnline());
  // Some input reads fail in every attempt, so the texts keep changing.
  qvzsim::Fault corrupt = fault(qvzsim::FaultKind::CorruptCrc, 4);
  corrupt.probability = 0.6;
  s.addFault(corrupt);

  std::atomic<bool> stop{false};
  std::atomic<int> snapshots{0};
  std::vector<std::thread> readers;
  for (int i = 0; i < 3; ++i) {
    readers.emplace_back([&] {
      MeasurementRecord rec;
      while (!stop.load()) {
        std::this_thread::sleep_for(1ms);
        if (dev.workerState() != TQVZ2::Free) continue;
        dev.snapshot(rec);
        // Each publication is one moment of the record.
        EXPECT_EQ(rec.port >= 0, !rec.portText.empty());
        EXPECT_EQ(rec.speedText, rec.port >= 0 ? "57600" : "");
        if (!rec.online) {
          EXPECT_EQ(rec.inputs.sensorType, 0.0f);
        }
        EXPECT_TRUE(rec.lastError.empty() || rec.lastError == "ошибочный ответ от датчика" ||
                    rec.lastError == "нет ответа от датчика")
            << rec.lastError;
        snapshots.fetch_add(1);
      }
    });
  }
  for (int i = 0; i < 10; ++i) {
    dev.writeSensorNumber(100 + i);
    dev.resetMinMax();
    dev.resetStatistics();
    dev.setChannelFlags(static_cast<uint32_t>(i & 7));
    std::this_thread::sleep_for(30ms);
  }
  ASSERT_TRUE(s.waitForRequests(4, s.requestCount(4) + 5, 20s));
  stop = true;
  for (auto &t : readers)
    t.join();
  EXPECT_GT(snapshots.load(), 0);
}

}  // namespace
}  // namespace device::testing
