// rk, the system's link library, talking to simulated sensors: registers,
// coils, exceptions, line faults and the file requests.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "link/rk.h"
#include "qvzsim.h"
#include "rk_env.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

float field(const uint16_t *regs) {
  return std::bit_cast<float>(uint32_t(regs[0]) | uint32_t(regs[1]) << 16);
}
void setField(uint16_t *regs, float f) {
  const uint32_t v = std::bit_cast<uint32_t>(f);
  regs[0] = uint16_t(v);
  regs[1] = uint16_t(v >> 16);
}

class RkWithQvzsim : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("qvzsim_rk_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    ASSERT_TRUE(line.start()) << line.error();
    qvzsim::SensorOptions a, b;
    b.type = qvzsim::kThreeAxis;
    b.address = 2;
    gap = line.addSensor(a);
    axes = line.addSensor(b);
    ASSERT_TRUE(gap && axes);
    gap->setNoise(0);
    axes->setNoise(0);
    port = simtest::openCom(1, line.slavePath(), 57600, 5, 100, 3);
    ASSERT_GE(port, 0);
    RK_ResetStatistics(uint32_t(port), 1);  // counters live as long as the process
  }
  // Files move on a fast line to a sensor of its own (address 5), so that a
  // 48K image goes back and forth in about a second of line time.
  void useFastSensor(uint32_t fileBlockSize = 512) {
    if (!fast) {
      qvzsim::SensorOptions o;
      o.address = 5;
      o.baud = 921600;
      fast = line.addSensor(o);
      ASSERT_TRUE(fast) << line.error();
    }
    RkParamBlock block{};
    block.Size = sizeof block;
    ASSERT_EQ(RK_GetParamBlock(uint32_t(port), &block), 0u);
    RK_Close(uint32_t(port));
    block.BaudRate = 921600;
    block.FileBlockSize = fileBlockSize;
    ASSERT_EQ(RK_Open(uint32_t(port), &block), 0u);
  }
  void TearDown() override {
    if (port >= 0) RK_Close(uint32_t(port));
    line.stop();
    std::filesystem::remove_all(dir_);
  }
  uint32_t exchange(uint32_t address, uint32_t fn, uint32_t start, uint32_t count, void *data) {
    return RK_Exchange(uint32_t(port), address, fn, start, count, data);
  }
  RkStatistics stats(uint32_t address) {
    RkStatistics s{};
    s.Size = sizeof s;
    RK_GetStatistics(uint32_t(port), address, &s);
    return s;
  }
  std::string local(const std::string &name, const Bytes &content) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(content.data()), long(content.size()));
    return path;
  }
  static Bytes readFile(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
  }

  std::filesystem::path dir_;
  qvzsim::Line line;
  std::optional<qvzsim::Sensor> gap, axes, fast;
  int port = -1;
};

TEST_F(RkWithQvzsim, ReadsAndWritesBothSensorTypes) {
  gap->setGap(1.8);
  uint16_t in[32];
  ASSERT_EQ(exchange(1, 4, 0, 32, in), 0u);
  EXPECT_EQ(field(&in[28]), 1.0f);
  EXPECT_NEAR(field(&in[0]), 1.8, 0.08);
  const auto served = gap->lastInputs();
  EXPECT_EQ(std::memcmp(in, served.data(), sizeof in), 0);

  uint8_t ident[9];
  ASSERT_EQ(exchange(1, 96, 0, 0, ident), 0u);
  EXPECT_EQ(ident[0], 2);
  EXPECT_EQ(ident[1], 5);

  uint16_t setpoints[4];
  setField(&setpoints[0], 0.65f);
  setField(&setpoints[2], 0.4f);
  ASSERT_EQ(exchange(1, 16, 18, 4, setpoints), 0u);
  const uint8_t on = 1;
  ASSERT_EQ(exchange(1, 5, 0, 0, const_cast<uint8_t *>(&on)), 0u);
  EXPECT_EQ(gap->holdingFloat(18), 0.65f);
  EXPECT_EQ(gap->holdingFloat(20), 0.4f);
  EXPECT_EQ(gap->status().commits, 1u);

  // Three-axis sensor: reference 6 mm/s on Z, calibrate, Z reads 6.
  axes->setVelocity(qvzsim::Axis::Z, 6.0);
  uint16_t ref[2];
  setField(ref, 6.0f);
  ASSERT_EQ(exchange(2, 16, 4, 2, ref), 0u);
  ASSERT_EQ(exchange(2, 5, 1, 0, const_cast<uint8_t *>(&on)), 0u);
  uint16_t z[2];
  ASSERT_EQ(exchange(2, 4, 0, 2, z), 0u);
  EXPECT_NEAR(field(z), 6.0, 1e-4);
  uint16_t cfg[76];
  ASSERT_EQ(exchange(2, 3, 4, 76, cfg), 0u);
  EXPECT_EQ(field(&cfg[2]), *axes->holdingFloat(6));  // the new tare coefficient

  // Table chunks as the device model reads them.
  uint16_t chunk[120];
  ASSERT_EQ(exchange(1, 3, 1024 + 120 * 12, 120, chunk), 0u);
  for (uint16_t r = 0; r < 120; ++r)
    EXPECT_EQ(chunk[r], *gap->holding(uint16_t(1024 + 120 * 12 + r)));
  EXPECT_EQ(gap->requestCount(3), 1u);
  EXPECT_EQ(gap->requestCount(4), 1u);
}

TEST_F(RkWithQvzsim, ExceptionsAndFaultsReachTheCaller) {
  uint16_t r[2];
  EXPECT_EQ(exchange(1, 3, 80, 2, r), RK_ERR_ILLEGAL_ADDRESS);
  EXPECT_EQ(stats(1).GoodReplies, 1u);
  EXPECT_EQ(stats(1).FailedExchanges, 1u);

  qvzsim::Fault f;
  f.kind = qvzsim::FaultKind::Silence;  // every attempt goes unheard
  gap->addFault(f);
  gap->clearRequests();
  EXPECT_EQ(exchange(1, 3, 0, 2, r), RK_ERR_NO_REPLY);
  EXPECT_EQ(gap->requestCount(3), 3u);  // three attempts on the wire
  EXPECT_EQ(stats(1).BadAttempts, 3u);
  gap->clearFaults();

  f.kind = qvzsim::FaultKind::CorruptCrc;
  gap->addFault(f);
  EXPECT_EQ(exchange(1, 3, 0, 2, r), RK_ERR_BAD_REPLY);
  gap->clearFaults();

  f.kind = qvzsim::FaultKind::WrongAddress;
  f.count = 1;
  gap->addFault(f);
  gap->clearRequests();
  EXPECT_EQ(exchange(1, 3, 0, 2, r), RK_ERR_BAD_REPLY);
  EXPECT_EQ(gap->requestCount(), 1u);  // a valid reply is never retried

  f.kind = qvzsim::FaultKind::Exception;
  f.exceptionCode = 0x59;
  gap->addFault(f);
  EXPECT_EQ(exchange(1, 3, 0, 2, r), RK_ERR_ACCESS_LEVEL);

  f.kind = qvzsim::FaultKind::Truncate;  // the retry gets the whole reply
  gap->addFault(f);
  EXPECT_EQ(exchange(1, 3, 0, 2, r), 0u);
  EXPECT_EQ(field(r), 57600.0f);

  // A sensor at another speed is not there for this port.
  qvzsim::SensorOptions slow;
  slow.address = 3;
  slow.baud = 9600;
  ASSERT_TRUE(line.addSensor(slow));
  EXPECT_EQ(exchange(3, 3, 0, 2, r), RK_ERR_NO_REPLY);
}

TEST_F(RkWithQvzsim, FileRequestsRoundTrip) {
  useFastSensor();
  // A table file as the program writes it: ks2 1.5 in float 1502.
  Bytes table = fast->tableImage();
  const float ks2 = 1.5f;
  std::memcpy(&table[4 * 1502], &ks2, 4);
  const std::string tablePath = local("coeff.cf", table);
  ASSERT_EQ(RK_SendFile(uint32_t(port), 5, nullptr, "table.bin", tablePath.c_str()), 0u);
  EXPECT_EQ(fast->tableImage(), table);
  EXPECT_EQ(fast->holdingFloat(4028), 1.5f);

  Bytes image(48 * 1024);
  for (size_t i = 0; i < image.size(); ++i)
    image[i] = uint8_t(i * 31 + (i >> 9));
  const std::string imagePath = local("firmware.bin", image);
  ASSERT_EQ(RK_SendFile(uint32_t(port), 5, nullptr, "file.bin", imagePath.c_str()), 0u);
  EXPECT_EQ(fast->file("file.bin"), image);
  EXPECT_EQ(fast->requestCount(100), 12u + 96u);  // blocks of 512

  const std::string back = (dir_ / "back.bin").string();
  ASSERT_EQ(RK_ReceiveFile(uint32_t(port), 5, nullptr, "file.bin", back.c_str()), 0u);
  EXPECT_EQ(readFile(back), image);
  ASSERT_EQ(RK_ReceiveFile(uint32_t(port), 5, nullptr, "table.bin", back.c_str()), 0u);
  EXPECT_EQ(readFile(back), table);

  uint32_t remoteLength = 0, localLength = 0;
  uint16_t remoteSum = 0, localSum = 0;
  ASSERT_EQ(RK_ReceiveFileCS(uint32_t(port), 5, "file.bin", &remoteLength, &remoteSum), 0u);
  ASSERT_EQ(RK_CountFileCS(imagePath.c_str(), &localLength, &localSum), 0u);
  EXPECT_EQ(remoteLength, localLength);
  EXPECT_EQ(remoteSum, localSum);

  ASSERT_EQ(RK_DeleteFile(uint32_t(port), 5, nullptr, "file.bin"), 0u);
  EXPECT_FALSE(fast->file("file.bin"));
  EXPECT_EQ(RK_ReceiveFileCS(uint32_t(port), 5, "file.bin", &remoteLength, &remoteSum),
            RK_ERR_REMOTE_OPEN);
  EXPECT_EQ(RK_DeleteFile(uint32_t(port), 5, nullptr, "table.bin"), RK_ERR_ACCESS_LEVEL);
}

TEST_F(RkWithQvzsim, FileRefusalsReachTheCaller) {
  useFastSensor();
  const std::string big = local("big.bin", Bytes(48 * 1024 + 1, 7));
  EXPECT_EQ(RK_SendFile(uint32_t(port), 5, nullptr, "file.bin", big.c_str()), RK_ERR_FILE_TOO_BIG);
  const std::string shortTable = local("short.cf", Bytes(6000, 1));
  EXPECT_EQ(RK_SendFile(uint32_t(port), 5, nullptr, "table.bin", shortTable.c_str()),
            RK_ERR_REMOTE_LENGTH);
  const std::string back = (dir_ / "none.bin").string();
  EXPECT_EQ(RK_ReceiveFile(uint32_t(port), 5, nullptr, "missing.bin", back.c_str()),
            RK_ERR_REMOTE_OPEN);
  EXPECT_FALSE(std::filesystem::exists(back));
  // A block size the sensor does not take.
  useFastSensor(256);
  const std::string small = local("small.bin", Bytes(1000, 3));
  EXPECT_EQ(RK_SendFile(uint32_t(port), 5, nullptr, "file.bin", small.c_str()), RK_ERR_BLOCK_SIZE);
  EXPECT_FALSE(fast->file("file.bin"));
}

}  // namespace
