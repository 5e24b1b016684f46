// File transfer against a scripted device: exact request frames, replies
// that break the rules, names too long, and the system-wide transfer mutex
// between threads and processes.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/errors.h"
#include "rk.h"
#include "tests/link/transfer_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/pty_device.h"
#include "tests/support/rk_blocks.h"
#include "tests/support/rk_test_env.h"

namespace {

using namespace std::chrono_literals;
using rktest::Bytes;
using rktest::FileBytes;
using rktest::Reply;

constexpr uint32_t kPort = 3;  // COM4

using rktest::le16;
using rktest::le32;

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes &p : parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}
Bytes nameField(const std::string &name) {
  Bytes b = le16(static_cast<uint32_t>(name.size() + 1));
  for (const char c : name)
    b.push_back(static_cast<uint8_t>(c));
  b.push_back(0);
  return b;
}

class TransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rktest::mapComPort(4, dev.path());
    RkParamBlock b = rktest::defaultBlock();
    b.PollInterval = 10;
    b.ReplyTimeout = 300;
    b.FileReplyTimeout = 300;
    b.FileBlockAttempts = 3;  // silent blocks need not be retried 12 times
    ASSERT_EQ(RK_Open(kPort, &b), RK_OK);
  }
  void TearDown() override { RK_Close(kPort); }

  Bytes request(size_t i) const {
    const std::vector<Bytes> all = dev.requests();
    if (i >= all.size()) return {};
    return Bytes(all[i].begin(), all[i].end() - 2);
  }

  rktest::TempDir tmp;
  rktest::PtyDevice dev;
};

TEST_F(TransferTest, SendFramesOfAThousandByteFile) {
  const FileBytes bytes = rktest::randomBytes(1000);
  const std::string local = tmp.file("local.bin");
  rktest::writeFile(local, bytes);
  dev.setHandler([](const Bytes &q) { return rktest::fileDeviceReply(q, {}); });
  ASSERT_EQ(RK_SendFile(kPort, 1, nullptr, "data.bin", local.c_str()), RK_OK);
  ASSERT_EQ(dev.requestCount(), 3u);
  EXPECT_EQ(request(0), cat({{1, 99}, le32(1000), nameField("data.bin")}));
  EXPECT_EQ(request(1),
            cat({{1, 100}, le32(0), le16(512), Bytes(bytes.begin(), bytes.begin() + 512)}));
  EXPECT_EQ(request(2),
            cat({{1, 100}, le32(512), le16(488), Bytes(bytes.begin() + 512, bytes.end())}));
}

TEST_F(TransferTest, ReceiveFramesAndTheTemporaryFile) {
  const FileBytes served = rktest::randomBytes(700, 2);
  std::mutex seenLock;  // the device thread looks, the test reads
  std::vector<std::string> tempsDuringTransfer;
  dev.setHandler([&, served](const Bytes &q) {
    if (q[1] == 102) {
      std::lock_guard lock(seenLock);
      tempsDuringTransfer = tmp.entries("RK");
    }
    return rktest::fileDeviceReply(q, served);
  });
  const std::string local = tmp.file("local.bin");
  rktest::writeFile(local, {9, 9, 9});
  ASSERT_EQ(RK_ReceiveFile(kPort, 1, nullptr, "log.txt", local.c_str()), RK_OK);
  EXPECT_EQ(rktest::readFile(local), served);
  EXPECT_EQ(request(0), cat({{1, 101}, nameField("log.txt")}));
  EXPECT_EQ(request(1), cat({{1, 102}, le32(0)}));
  EXPECT_EQ(request(2), cat({{1, 102}, le32(512)}));
  std::lock_guard lock(seenLock);
  EXPECT_EQ(tempsDuringTransfer.size(), 1u) << "one RK... file in $TMPDIR while receiving";
  EXPECT_TRUE(tmp.entries("RK").empty()) << "moved into place at the end";
}

TEST_F(TransferTest, ChecksumAndDeleteFrames) {
  const FileBytes served = rktest::randomBytes(1000, 6);
  dev.setHandler([served](const Bytes &q) { return rktest::fileDeviceReply(q, served); });
  uint32_t length = 0;
  uint16_t sum = 0;
  ASSERT_EQ(RK_ReceiveFileCS(kPort, 1, "a;b", &length, &sum), RK_OK);
  EXPECT_EQ(length, 1000u);
  EXPECT_EQ(sum, rktest::modbusCrc(served.data(), served.size()));
  ASSERT_EQ(RK_ReceiveFileCS(kPort, 1, "a;b", nullptr, nullptr), RK_OK);
  ASSERT_EQ(RK_DeleteFile(kPort, 1, nullptr, "a;b"), RK_OK);
  EXPECT_EQ(request(0), cat({{1, 103}, nameField("a;b")}));
  EXPECT_EQ(request(2), cat({{1, 98}, nameField("a;b")}));
}

// Every way a receive can fail leaves the old local file as it was and no
// temporary file behind.
TEST_F(TransferTest, FailedReceivesKeepTheOldFile) {
  struct Case {
    const char *what;
    std::vector<Reply> script;
    uint32_t expected;
  } cases[] = {
      {"more bytes than announced",
       {Reply::frame(cat({{1, 101}, le32(10)})),
        Reply::frame(cat({{1, 102}, le32(0), le16(20), Bytes(20, 7)}))},
       RK_ERR_FILE_LENGTH},
      {"no bytes while bytes are missing",
       {Reply::frame(cat({{1, 101}, le32(10)})), Reply::frame(cat({{1, 102}, le32(0), le16(0)}))},
       RK_ERR_BAD_REPLY},
      {"a count larger than the bytes carried",
       {Reply::frame(cat({{1, 101}, le32(10)})),
        Reply::frame(cat({{1, 102}, le32(0), le16(10), Bytes(4, 7)}))},
       RK_ERR_BAD_REPLY},
      {"a block reply too short for its header",
       {Reply::frame(cat({{1, 101}, le32(10)})), Reply::frame({1, 102, 0, 0})},
       RK_ERR_BAD_REPLY},
      {"a length reply without the length", {Reply::frame({1, 101, 5})}, RK_ERR_BAD_REPLY},
      {"an exception on the block",
       {Reply::frame(cat({{1, 101}, le32(10)})), Reply::exception(1, 102, 0x53)},
       RK_ERR_REMOTE_IO},
      {"silence on the block", {Reply::frame(cat({{1, 101}, le32(10)}))}, RK_ERR_NO_REPLY},
  };
  const std::string local = tmp.file("local.bin");
  for (const Case &c : cases) {
    rktest::writeFile(local, {1, 2, 3});
    dev.script(c.script);
    EXPECT_EQ(RK_ReceiveFile(kPort, 1, nullptr, "f", local.c_str()), c.expected) << c.what;
    EXPECT_EQ(rktest::readFile(local), (FileBytes{1, 2, 3})) << c.what;
    EXPECT_TRUE(tmp.entries("RK").empty()) << c.what;
    RkTransferInfo info{};
    info.Size = sizeof info;
    RK_GetTransferInfo(kPort, &info);
    EXPECT_EQ(info.Operation, 0u) << c.what;
  }
}

TEST_F(TransferTest, ReceiveWithoutATemporaryDirectoryFails) {
  dev.setHandler([](const Bytes &q) { return rktest::fileDeviceReply(q, {1, 2}); });
  ::setenv("TMPDIR", "/nonexistent-rk-dir", 1);
  const std::string local = tmp.file("local.bin");
  EXPECT_EQ(RK_ReceiveFile(kPort, 1, nullptr, "f", local.c_str()), platform::kErrFileNotFound);
  EXPECT_FALSE(rktest::fileExists(local));
  ::setenv("TMPDIR", tmp.path().c_str(), 1);
}

TEST_F(TransferTest, SendOfAMissingFileIsTheSystemError) {
  EXPECT_EQ(RK_SendFile(kPort, 1, nullptr, "f", tmp.file("missing").c_str()),
            RK_SYS_FILE_NOT_FOUND);
  EXPECT_EQ(dev.requestCount(), 0u);
}

TEST_F(TransferTest, RefusalsBeforeAnythingIsSent) {
  const std::string local = tmp.file("local.bin");
  rktest::writeFile(local, {1});
  const std::string longName(3493, 'n');  // 4 + 3494 bytes: one more than a request holds
  EXPECT_EQ(RK_SendFile(kPort, 1, nullptr, longName.c_str(), local.c_str()),
            RK_ERR_REQUEST_TOO_LONG);
  EXPECT_EQ(RK_ReceiveFile(kPort, 1, nullptr, longName.c_str(), local.c_str()),
            RK_ERR_REQUEST_TOO_LONG);
  EXPECT_EQ(RK_ReceiveFileCS(kPort, 1, longName.c_str(), nullptr, nullptr),
            RK_ERR_REQUEST_TOO_LONG);
  EXPECT_EQ(RK_DeleteFile(kPort, 1, nullptr, longName.c_str()), RK_ERR_REQUEST_TOO_LONG);
  EXPECT_EQ(RK_SendFile(kPort, 255, nullptr, "f", local.c_str()), RK_ERR_BAD_DEVICE);
  EXPECT_EQ(RK_ReceiveFile(kPort, 255, nullptr, "f", local.c_str()), RK_ERR_BAD_DEVICE);
  EXPECT_EQ(RK_ReceiveFileCS(kPort, 255, "f", nullptr, nullptr), RK_ERR_BAD_DEVICE);
  EXPECT_EQ(RK_DeleteFile(kPort, 255, nullptr, "f"), RK_ERR_BAD_DEVICE);
  EXPECT_EQ(RK_SendFile(kPort, 1, nullptr, nullptr, local.c_str()), platform::kErrInvalidParameter);
  EXPECT_EQ(RK_SendFile(kPort, 1, nullptr, "f", nullptr), platform::kErrInvalidParameter);
  EXPECT_EQ(RK_ReceiveFile(kPort, 1, nullptr, "f", nullptr), platform::kErrInvalidParameter);
  EXPECT_EQ(dev.requestCount(), 0u);
  EXPECT_EQ(tmp.entries("RK").size(), 0u);
}

// Each file request has its own time-out (ReplyTimeout or FileReplyTimeout)
// and number of attempts (Attempts or FileBlockAttempts).
TEST_F(TransferTest, TimeOutsAndAttemptsOfEachRequest) {
  const std::string local = tmp.file("local.bin");
  rktest::writeFile(local, rktest::randomBytes(100));
  const std::string got = tmp.file("got.bin");
  const auto send = [&] { return RK_SendFile(kPort, 1, nullptr, "f", local.c_str()); };
  const auto receive = [&] { return RK_ReceiveFile(kPort, 1, nullptr, "f", got.c_str()); };
  const auto checksum = [] { return RK_ReceiveFileCS(kPort, 1, "f", nullptr, nullptr); };
  const auto erase = [] { return RK_DeleteFile(kPort, 1, nullptr, "f"); };
  struct Case {
    uint8_t function;
    std::function<uint32_t()> call;
    uint32_t whenLate;  // its reply comes after 100 ms
    size_t whenSilent;  // requests of its kind sent to a device silent to them
  } cases[] = {
      {98, erase, RK_OK, 2},
      {99, send, RK_OK, 2},
      {100, send, RK_OK, 4},
      {101, receive, RK_ERR_NO_REPLY, 2},
      {102, receive, RK_ERR_NO_REPLY, 4},
      {103, checksum, RK_OK, 2},
  };
  const auto openWith = [](uint32_t fileReplyTimeout, uint16_t attempts, uint16_t blockAttempts) {
    RkParamBlock b = rktest::defaultBlock();
    b.PollInterval = 10;
    b.ReplyTimeout = 10;  // 2 polls
    b.FileReplyTimeout = fileReplyTimeout;
    b.Attempts = attempts;
    b.FileBlockAttempts = blockAttempts;
    return RK_Open(kPort, &b);
  };
  const auto count = [this](uint8_t function) {
    size_t n = 0;
    for (const Bytes &q : dev.requests())
      n += q[1] == function ? 1 : 0;
    return n;
  };
  for (const Case &c : cases) {
    // A late reply: only a request with FileReplyTimeout (31 polls) waits for it.
    ASSERT_EQ(openWith(300, 1, 1), RK_OK);
    dev.setHandler([&c](const Bytes &q) {
      return rktest::fileDeviceReply(q, FileBytes(100, 1), q[1] == c.function ? 100ms : 0ms);
    });
    EXPECT_EQ(c.call(), c.whenLate) << int(c.function);
    if (c.whenLate != RK_OK) std::this_thread::sleep_for(200ms);  // it lands before the next purge

    ASSERT_EQ(openWith(10, 2, 4), RK_OK);
    dev.clearRequests();
    dev.setHandler([&c](const Bytes &q) {
      return q[1] == c.function ? Reply::silence() : rktest::fileDeviceReply(q, FileBytes(100, 1));
    });
    EXPECT_EQ(c.call(), RK_ERR_NO_REPLY) << int(c.function);
    EXPECT_EQ(count(c.function), c.whenSilent) << int(c.function);
  }
}

// The blocks of a send must fit a request (8 bytes besides the data):
// otherwise the device never hears of the file.
TEST_F(TransferTest, BlocksTooLongForARequestAreRefusedBeforeTheAnnouncement) {
  RkParamBlock b = rktest::defaultBlock();
  b.PollInterval = 10;
  b.FileBlockSize = 3490;
  ASSERT_EQ(RK_Open(kPort, &b), RK_OK);
  dev.setHandler([](const Bytes &q) { return rktest::fileDeviceReply(q, {}); });
  const std::string local = tmp.file("local.bin");
  rktest::writeFile(local, rktest::randomBytes(3490));
  EXPECT_EQ(RK_SendFile(kPort, 1, nullptr, "f", local.c_str()), RK_ERR_REQUEST_TOO_LONG);
  EXPECT_EQ(dev.requestCount(), 0u);
  rktest::writeFile(local, rktest::randomBytes(3489));
  ASSERT_EQ(RK_SendFile(kPort, 1, nullptr, "f", local.c_str()), RK_OK) << "a short file fits";
  ASSERT_EQ(dev.requestCount(), 2u);
  EXPECT_EQ(request(1).size(), 3497u);
}

TEST_F(TransferTest, ADirectoryIsNoLocalFile) {
  EXPECT_NE(RK_SendFile(kPort, 1, nullptr, "f", tmp.path().c_str()), RK_OK);
  EXPECT_EQ(dev.requestCount(), 0u) << "the device never hears of it";
  uint32_t length = 5;
  uint16_t sum = 5;
  EXPECT_EQ(RK_CountFileCS(tmp.path().c_str(), &length, &sum), RK_SYS_FILE_NOT_FOUND);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(sum, 0u);
}

// A process killed in the middle of a transfer leaves the transfer mutex
// abandoned: the next file operation of the machine takes it over.
TEST_F(TransferTest, TransferMutexOfAKilledProcessIsTakenOver) {
  const std::string local = tmp.file("local.bin");
  rktest::writeFile(local, rktest::randomBytes(40 * 512));
  dev.setHandler([](const Bytes &q) {
    Reply r = rktest::fileDeviceReply(q, {});
    if (q[1] == 100) r.pieces[0].delay = 150ms;
    return r;
  });
  rktest::ChildProcess other(rktest::executableDirectory() + "/rk_port_helper", {});
  ASSERT_EQ(other.ask("open 3 57600 10 300"), "0");
  other.send("send 3 1 big.bin " + local);
  ASSERT_TRUE(dev.waitForRequests(2)) << "the child's send is under way";
  EXPECT_EQ(RK_DeleteFile(kPort, 1, nullptr, "x"), RK_ERR_TRANSFER_BUSY);
  other.kill();
  EXPECT_EQ(RK_DeleteFile(kPort, 1, nullptr, "x"), RK_OK);
  EXPECT_EQ(RK_DeleteFile(kPort, 1, nullptr, "x"), RK_OK) << "and given back after use";
}

TEST(CountFileCS, LocalChecksums) {
  rktest::TempDir tmp;
  uint32_t length = 5;
  uint16_t sum = 5;
  EXPECT_EQ(RK_CountFileCS(tmp.file("missing").c_str(), &length, &sum), RK_SYS_FILE_NOT_FOUND);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(sum, 0u);
  EXPECT_EQ(RK_CountFileCS(nullptr, &length, &sum), RK_SYS_FILE_NOT_FOUND);
  rktest::writeFile(tmp.file("empty"), {});
  EXPECT_EQ(RK_CountFileCS(tmp.file("empty").c_str(), &length, &sum), RK_OK);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(sum, 0xFFFF);
  const std::string digits = "123456789";
  rktest::writeFile(tmp.file("digits"), FileBytes(digits.begin(), digits.end()));
  EXPECT_EQ(RK_CountFileCS(tmp.file("digits").c_str(), &length, &sum), RK_OK);
  EXPECT_EQ(length, 9u);
  EXPECT_EQ(sum, 0x4B37);
  const FileBytes big = rktest::randomBytes(1000, 4);  // spans several 256-byte chunks
  rktest::writeFile(tmp.file("big"), big);
  EXPECT_EQ(RK_CountFileCS(tmp.file("big").c_str(), nullptr, &sum), RK_OK);
  EXPECT_EQ(sum, rktest::modbusCrc(big.data(), big.size()));
}

// While one thread sends, every other send, receive or delete of the
// machine is refused at once; checksum queries and exchanges go on.
TEST_F(TransferTest, OneTransferAtATimeOnTheWholeMachine) {
  const std::string local = tmp.file("local.bin");
  // 40 slow blocks keep the send going for seconds, until the test lets it finish.
  rktest::writeFile(local, rktest::randomBytes(40 * 512));
  std::atomic<bool> slow{true};
  dev.setHandler([&](const Bytes &q) {
    Reply r = rktest::fileDeviceReply(q, {});
    if (q[1] == 100 && slow) r.pieces[0].delay = 150ms;
    return r;
  });
  // The other process is ready before the send starts.
  rktest::ChildProcess other(rktest::executableDirectory() + "/rk_port_helper", {});
  ASSERT_EQ(other.ask("open 3 57600 10 300"), "0");
  uint32_t senderResult = 1;
  std::thread sender(
      [&] { senderResult = RK_SendFile(kPort, 1, nullptr, "big.bin", local.c_str()); });
  ASSERT_TRUE(dev.waitForRequests(2)) << "the send is under way";

  EXPECT_EQ(RK_SendFile(kPort, 1, nullptr, "x", local.c_str()), RK_ERR_TRANSFER_BUSY);
  EXPECT_EQ(RK_ReceiveFile(kPort, 1, nullptr, "x", tmp.file("r").c_str()), RK_ERR_TRANSFER_BUSY);
  EXPECT_EQ(RK_DeleteFile(kPort, 1, nullptr, "x"), RK_ERR_TRANSFER_BUSY);
  EXPECT_EQ(other.ask("delete 3 1 x"), std::to_string(RK_ERR_TRANSFER_BUSY))
      << "another process is refused too";

  uint32_t length = 0;
  EXPECT_EQ(RK_ReceiveFileCS(kPort, 1, "big.bin", &length, nullptr), RK_OK) << "allowed meanwhile";
  RkTransferInfo info{};
  info.Size = sizeof info;
  ASSERT_EQ(RK_GetTransferInfo(kPort, &info), RK_OK);
  EXPECT_EQ(info.Operation, 1u);
  EXPECT_EQ(info.BytesTotal, 40u * 512);
  EXPECT_STREQ(info.RemoteName, "big.bin");

  slow = false;
  sender.join();
  EXPECT_EQ(senderResult, RK_OK);
  EXPECT_EQ(other.ask("delete 3 1 x"), "0") << "free again";
  EXPECT_EQ(RK_DeleteFile(kPort, 1, nullptr, "x"), RK_OK);
}

}  // namespace
