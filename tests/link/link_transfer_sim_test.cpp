// File transfer round trips against the simulated sensor (qvzsim).
#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "qvzsim.h"
#include "rk.h"
#include "tests/link/transfer_fixture.h"
#include "tests/support/rk_blocks.h"
#include "tests/support/rk_test_env.h"

namespace {

using rktest::FileBytes;
using rktest::readFile;
using rktest::writeFile;

constexpr uint32_t kPort = 2;  // COM3

class SimTransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(line.start()) << line.error();
    qvzsim::SensorOptions options;
    options.baud = 115200;
    auto s = line.addSensor(options);
    ASSERT_TRUE(s.has_value()) << line.error();
    sensor = s;
    rktest::mapComPort(3, line.slavePath());
    RkParamBlock b = rktest::defaultBlock();
    b.BaudRate = 115200;
    b.PollInterval = 20;  // replies are paced at line rate; a loaded machine adds gaps
    b.ReplyTimeout = 500;
    b.FileReplyTimeout = 500;  // a silenced request need not be awaited for 5 s
    ASSERT_EQ(RK_Open(kPort, &b), RK_OK);
  }
  void TearDown() override { RK_Close(kPort); }

  static qvzsim::Fault fault(qvzsim::FaultKind kind, int function, int count, uint8_t code = 4) {
    qvzsim::Fault f;
    f.kind = kind;
    f.function = function;
    f.count = count;
    f.exceptionCode = code;
    return f;
  }

  std::vector<int> functions() const {
    std::vector<int> f;
    for (const qvzsim::Request &r : sensor->requests())
      f.push_back(r.function);
    return f;
  }

  // Sends bytes as deviceName, fetches the file back and compares both
  // checksum calls.
  void roundTrip(const std::string &deviceName, const FileBytes &bytes) {
    const std::string out = tmp.file("out.bin");
    const std::string back = tmp.file("back.bin");
    writeFile(out, bytes);
    ASSERT_EQ(RK_SendFile(kPort, 1, nullptr, deviceName.c_str(), out.c_str()), RK_OK);
    ASSERT_EQ(RK_ReceiveFile(kPort, 1, nullptr, deviceName.c_str(), back.c_str()), RK_OK);
    EXPECT_EQ(readFile(back), bytes);
    uint32_t devLength = 1, localLength = 2;
    uint16_t devSum = 1, localSum = 2;
    ASSERT_EQ(RK_ReceiveFileCS(kPort, 1, deviceName.c_str(), &devLength, &devSum), RK_OK);
    ASSERT_EQ(RK_CountFileCS(back.c_str(), &localLength, &localSum), RK_OK);
    EXPECT_EQ(devLength, bytes.size());
    EXPECT_EQ(localLength, bytes.size());
    EXPECT_EQ(devSum, localSum);
    EXPECT_TRUE(tmp.entries("RK").empty()) << "no temporary file left behind";
  }

  rktest::TempDir tmp;
  qvzsim::Line line;
  std::optional<qvzsim::Sensor> sensor;
};

TEST_F(SimTransferTest, ThousandBytesInBlocksOf512And488) {
  const FileBytes bytes = rktest::randomBytes(1000);
  roundTrip("data.bin", bytes);
  EXPECT_EQ(sensor->file("data.bin"), bytes);
  const std::vector<int> f = functions();
  ASSERT_GE(f.size(), 3u);
  EXPECT_EQ(std::vector<int>(f.begin(), f.begin() + 3), (std::vector<int>{99, 100, 100}));
}

TEST_F(SimTransferTest, EmptyFileIsOneEmptyBlock) {
  roundTrip("empty.bin", {});
  EXPECT_EQ(sensor->file("empty.bin"), FileBytes{});
  const std::vector<int> f = functions();
  ASSERT_GE(f.size(), 4u);
  EXPECT_EQ(std::vector<int>(f.begin(), f.begin() + 4), (std::vector<int>{99, 100, 101, 102}))
      << "one block each way, also for 0 bytes";
  uint32_t length = 1;
  uint16_t sum = 0;
  EXPECT_EQ(RK_CountFileCS(tmp.file("back.bin").c_str(), &length, &sum), RK_OK);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(sum, 0xFFFF);
}

TEST_F(SimTransferTest, TableBinBecomesTheSensorTable) {
  FileBytes table = sensor->tableImage();
  ASSERT_EQ(table.size(), 6144u);
  for (size_t i = 0; i < table.size(); i += 4)
    table[i] ^= 0x5A;
  roundTrip("table.bin", table);
  EXPECT_EQ(sensor->tableImage(), table);
}

// Fetching 48K back would take seconds of paced line time; the sensor's
// copy and its checksum show that it arrived whole.
TEST_F(SimTransferTest, Image48K) {
  const FileBytes image = rktest::randomBytes(48 * 1024, 3);
  const std::string out = tmp.file("image.bin");
  writeFile(out, image);
  ASSERT_EQ(RK_SendFile(kPort, 1, nullptr, "firmware.img", out.c_str()), RK_OK);
  EXPECT_EQ(sensor->file("firmware.img"), image);
  uint32_t devLength = 0, localLength = 1;
  uint16_t devSum = 0, localSum = 1;
  ASSERT_EQ(RK_ReceiveFileCS(kPort, 1, "firmware.img", &devLength, &devSum), RK_OK);
  ASSERT_EQ(RK_CountFileCS(out.c_str(), &localLength, &localSum), RK_OK);
  EXPECT_EQ(devLength, 49152u);
  EXPECT_EQ(localLength, 49152u);
  EXPECT_EQ(devSum, localSum);
  EXPECT_EQ(sensor->requestCount(100), 96u);
}

TEST_F(SimTransferTest, NameWithOptionsTravelsWhole) {
  const std::string out = tmp.file("opt.bin");
  writeFile(out, rktest::randomBytes(1000, 5));
  ASSERT_EQ(RK_SendFile(kPort, 1, nullptr, "notes.txt;v=2", out.c_str()), RK_OK);
  EXPECT_TRUE(sensor->file("notes.txt").has_value()) << "the sensor reads the part before ';'";
  RkTransferInfo info{};
  info.Size = sizeof info;
  ASSERT_EQ(RK_GetTransferInfo(kPort, &info), RK_OK);
  EXPECT_EQ(info.Size, sizeof info);
  EXPECT_EQ(info.Operation, 0u);
  EXPECT_EQ(info.BytesDone, 1000u);
  EXPECT_EQ(info.BytesTotal, 1000u);
  EXPECT_EQ(info.Address, 1u);
  EXPECT_STREQ(info.RemoteName, "notes.txt");
  EXPECT_EQ(std::string(info.LocalName), out);
}

TEST_F(SimTransferTest, DeviceExceptionsEndTheOperation) {
  const std::string local = tmp.file("keep.bin");
  writeFile(local, {1, 2, 3});
  EXPECT_EQ(RK_ReceiveFile(kPort, 1, nullptr, "missing.bin", local.c_str()), RK_ERR_REMOTE_OPEN);
  EXPECT_EQ(readFile(local), (FileBytes{1, 2, 3})) << "the old file is untouched";
  EXPECT_TRUE(tmp.entries("RK").empty()) << "no temporary file was made";

  uint32_t length = 7;
  uint16_t sum = 7;
  EXPECT_EQ(RK_ReceiveFileCS(kPort, 1, "missing.bin", &length, &sum), RK_ERR_REMOTE_OPEN);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(sum, 0u);

  // The sensor refuses a table of the wrong length.
  EXPECT_EQ(RK_SendFile(kPort, 1, nullptr, "table.bin", local.c_str()), RK_ERR_REMOTE_LENGTH);
  // A block the sensor rejects ends a send.
  sensor->addFault(fault(qvzsim::FaultKind::Exception, 100, 1, 0x53));
  writeFile(local, rktest::randomBytes(1000));
  EXPECT_EQ(RK_SendFile(kPort, 1, nullptr, "x.bin", local.c_str()), RK_ERR_REMOTE_IO);
  RkTransferInfo info{};
  info.Size = sizeof info;
  RK_GetTransferInfo(kPort, &info);
  EXPECT_EQ(info.Operation, 0u);
  EXPECT_EQ(info.BytesDone, 512u) << "the failed block counts as moved";
}

TEST_F(SimTransferTest, DeleteFile) {
  sensor->setFile("old.log", {1, 2, 3});
  EXPECT_EQ(RK_DeleteFile(kPort, 1, nullptr, "old.log"), RK_OK);
  EXPECT_FALSE(sensor->file("old.log").has_value());
  EXPECT_EQ(RK_DeleteFile(kPort, 1, nullptr, "old.log"), RK_ERR_REMOTE_OPEN);
  RkTransferInfo info{};
  info.Size = sizeof info;
  RK_GetTransferInfo(kPort, &info);
  EXPECT_EQ(info.Operation, 0u);
  EXPECT_EQ(info.BytesTotal, 0u);
  EXPECT_STREQ(info.RemoteName, "old.log");
  EXPECT_STREQ(info.LocalName, "");
}

TEST_F(SimTransferTest, RetriedBlocksStillArriveWhole) {
  sensor->addFault(fault(qvzsim::FaultKind::CorruptCrc, 102, 2));
  sensor->addFault(fault(qvzsim::FaultKind::Silence, 100, 1));
  roundTrip("retry.bin", rktest::randomBytes(1500, 9));
  RkStatistics st{sizeof st, 0, 0, 0};
  RK_GetStatistics(kPort, 1, &st);
  EXPECT_GE(st.BadAttempts, 3u);
}

}  // namespace
