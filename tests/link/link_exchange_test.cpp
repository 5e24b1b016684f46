// RK_Exchange and RK_CheckExchange against a scripted device on a
// pseudo-terminal: request frames, reply handling, retries, statistics and
// line errors.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/errors.h"
#include "rk.h"
#include "tests/support/line_faults.h"
#include "tests/support/pty_device.h"
#include "tests/support/rk_blocks.h"
#include "tests/support/rk_test_env.h"

namespace {

using namespace std::chrono_literals;
using rktest::Bytes;
using rktest::Reply;

constexpr uint32_t kPort = 0;  // COM1

class ExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rktest::mapComPort(1, dev.path());
    ASSERT_EQ(open(10, 400), RK_OK);
    for (uint32_t a : {0u, 1u, 2u})
      RK_ResetStatistics(kPort, a);
  }
  void TearDown() override { RK_Close(kPort); }

  static uint32_t open(uint32_t pollInterval, uint32_t replyTimeout, uint16_t attempts = 3) {
    RkParamBlock b = rktest::defaultBlock();
    b.PollInterval = pollInterval;
    b.ReplyTimeout = replyTimeout;
    b.Attempts = attempts;
    return RK_Open(kPort, &b);
  }
  // A device that never answers need not be waited for long.
  static void openForSilence() { ASSERT_EQ(open(10, 20), RK_OK); }

  static RkStatistics stats(uint32_t address = 1) {
    RkStatistics s{sizeof(RkStatistics), 0, 0, 0};
    RK_GetStatistics(kPort, address, &s);
    return s;
  }

  // The request without its CRC, checking the CRC on the way.
  Bytes request(size_t i) const {
    const std::vector<Bytes> all = dev.requests();
    EXPECT_LT(i, all.size());
    if (i >= all.size()) return {};
    const Bytes &r = all[i];
    EXPECT_TRUE(rktest::crcValid(r));
    if (r.size() < 2) return {};
    return Bytes(r.begin(), r.end() - 2);
  }

  rktest::PtyDevice dev;
};

TEST_F(ExchangeTest, ReadRegistersSwapsEachRegister) {
  dev.script({Reply::frame({1, 3, 4, 0x12, 0x34, 0x56, 0x78})});
  std::array<uint8_t, 6> buf{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  ASSERT_EQ(RK_Exchange(kPort, 1, 3, 4, 2, buf.data()), RK_OK);
  EXPECT_EQ(request(0), (Bytes{1, 3, 0, 4, 0, 2}));
  EXPECT_EQ(dev.requests()[0], rktest::withCrc({1, 3, 0, 4, 0, 2}));
  EXPECT_EQ(buf, (std::array<uint8_t, 6>{0x34, 0x12, 0x78, 0x56, 0xEE, 0xEE}));
  const RkStatistics s = stats();
  EXPECT_EQ(s.GoodReplies, 1u);
  EXPECT_EQ(s.BadAttempts, 0u);
  EXPECT_EQ(s.FailedExchanges, 0u);
}

TEST_F(ExchangeTest, RequestFramesOfEveryWriteFunction) {
  // Each device echoes the first six request bytes, as Modbus writes do.
  dev.setHandler([](const Bytes &q) { return Reply::frame(Bytes(q.begin(), q.begin() + 6)); });
  const uint8_t on = 1, off = 0;
  const uint16_t value = 0xBEEF;
  const uint8_t coils[2] = {0xA5, 0x01};
  const uint16_t regs[2] = {0x1234, 0xABCD};
  struct Case {
    uint32_t function, start, count;
    const void *data;
    Bytes expected;
  } cases[] = {
      {5, 0x0102, 0, &on, {1, 5, 1, 2, 0xFF, 0}},
      {5, 7, 0, &off, {1, 5, 0, 7, 0, 0}},
      {6, 0x0010, 99, &value, {1, 6, 0, 0x10, 0xBE, 0xEF}},
      {15, 3, 10, coils, {1, 15, 0, 3, 0, 10, 2, 0xA5, 0x01}},
      {16, 18, 2, regs, {1, 16, 0, 18, 0, 2, 4, 0x12, 0x34, 0xAB, 0xCD}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case &c = cases[i];
    EXPECT_EQ(RK_Exchange(kPort, 1, c.function, c.start, c.count, const_cast<void *>(c.data)),
              RK_OK)
        << "function " << c.function;
    EXPECT_EQ(request(i), c.expected) << "function " << c.function;
  }
}

TEST_F(ExchangeTest, ReadBitsCopiesAtMostWhatWasAsked) {
  // Asked for 10 coils (2 bytes); the device sends 4 bytes.
  dev.script({Reply::frame({1, 1, 4, 0x11, 0x22, 0x33, 0x44})});
  std::array<uint8_t, 4> buf{0, 0, 0xEE, 0xEE};
  ASSERT_EQ(RK_Exchange(kPort, 1, 1, 0, 10, buf.data()), RK_OK);
  EXPECT_EQ(request(0), (Bytes{1, 1, 0, 0, 0, 10}));
  EXPECT_EQ(buf, (std::array<uint8_t, 4>{0x11, 0x22, 0xEE, 0xEE}));
}

TEST_F(ExchangeTest, ReadRegistersCopiesAtMostWhatWasAsked) {
  dev.script({Reply::frame({1, 4, 6, 1, 2, 3, 4, 5, 6})});
  std::array<uint8_t, 4> buf{0xEE, 0xEE, 0xEE, 0xEE};
  ASSERT_EQ(RK_Exchange(kPort, 1, 4, 0, 1, buf.data()), RK_OK);
  EXPECT_EQ(buf, (std::array<uint8_t, 4>{2, 1, 0xEE, 0xEE}));
}

TEST_F(ExchangeTest, SixteenRegistersLimit) {
  dev.setHandler([](const Bytes &q) { return Reply::frame(Bytes(q.begin(), q.begin() + 6)); });
  std::vector<uint16_t> regs(128, 0x0102);
  EXPECT_EQ(RK_Exchange(kPort, 1, 16, 0, 128, regs.data()), RK_ERR_REQUEST_TOO_LONG);
  EXPECT_EQ(RK_Exchange(kPort, 1, 15, 0, 2033, regs.data()), RK_ERR_REQUEST_TOO_LONG);
  EXPECT_EQ(dev.requestCount(), 0u);
  ASSERT_EQ(RK_Exchange(kPort, 1, 16, 0, 127, regs.data()), RK_OK);
  EXPECT_EQ(dev.requests()[0].size(), 261u + 2);
  EXPECT_EQ(stats().FailedExchanges, 0u) << "refusals before sending do not count";
}

TEST_F(ExchangeTest, UnsupportedFunctionsTouchNothing) {
  uint8_t buf[16] = {};
  for (uint32_t fn : {0u, 7u, 8u, 17u, 98u, 103u, 0x103u}) {
    EXPECT_EQ(RK_Exchange(kPort, 1, fn, 0, 1, buf), RK_ERR_ILLEGAL_FUNCTION) << fn;
  }
  EXPECT_EQ(dev.requestCount(), 0u);
}

TEST_F(ExchangeTest, DateAndTimeFunctions) {
  RkDateTime t{2024, 12, 0xAAAA, 31, 23, 59, 58, 0xBBBB};
  dev.script({Reply::frame({1, 81})});
  ASSERT_EQ(RK_Exchange(kPort, 1, 81, 0, 0, &t), RK_OK);
  EXPECT_EQ(request(0), (Bytes{1, 81, 58, 59, 23, 31, 12, 0xE8, 0x07}));

  RkDateTime got{0, 0, 0x1111, 0, 0, 0, 0, 0x2222};
  dev.script({Reply::frame({1, 82, 1, 2, 3, 4, 5, 0xE9, 0x07})});
  ASSERT_EQ(RK_Exchange(kPort, 1, 82, 0, 0, &got), RK_OK);
  EXPECT_EQ(request(1), (Bytes{1, 82}));
  EXPECT_EQ(got.Second, 1);
  EXPECT_EQ(got.Minute, 2);
  EXPECT_EQ(got.Hour, 3);
  EXPECT_EQ(got.Day, 4);
  EXPECT_EQ(got.Month, 5);
  EXPECT_EQ(got.Year, 2025);
  EXPECT_EQ(got.Reserved1, 0x1111);
  EXPECT_EQ(got.Reserved2, 0x2222);
}

TEST_F(ExchangeTest, RepliesTooShortForTheRecordAreBadAndCopyNothing) {
  RkDateTime t{7, 7, 7, 7, 7, 7, 7, 7};
  dev.script({Reply::frame({1, 82, 1, 2, 3})});
  EXPECT_EQ(RK_Exchange(kPort, 1, 82, 0, 0, &t), RK_ERR_BAD_REPLY);
  EXPECT_EQ(t.Second, 7);

  std::array<uint8_t, 9> id{};
  id.fill(0xEE);
  dev.script({Reply::frame({1, 96, 1, 2, 3, 4})});
  EXPECT_EQ(RK_Exchange(kPort, 1, 96, 0, 0, id.data()), RK_ERR_BAD_REPLY);
  EXPECT_EQ(id[0], 0xEE);
  EXPECT_EQ(stats().FailedExchanges, 2u);

  dev.script({Reply::frame({1, 96, 9, 8, 7, 6, 5, 4, 3, 2, 1})});
  ASSERT_EQ(RK_Exchange(kPort, 1, 96, 0, 0, id.data()), RK_OK);
  EXPECT_EQ(id, (std::array<uint8_t, 9>{9, 8, 7, 6, 5, 4, 3, 2, 1}));
}

// Replies with a valid CRC, from the right address and for the right
// function, that carry less than the request asked for: stale data under a
// result of 0 would pass for fresh. Those that carry at least what was asked
// keep working, the byte-count byte not compared.
TEST_F(ExchangeTest, RepliesShorterThanTheRequestAskedFor) {
  using Buffer = std::array<uint8_t, 8>;
  constexpr uint8_t kUntouched = 0xEE;
  struct Case {
    const char *what;
    uint32_t function, count;
    Reply reply;
    uint32_t result;
    Buffer after;  // the caller's buffer afterwards
  };
  const Buffer untouched{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  const Case cases[] = {
      {"4 registers asked, byte count 4 and 2 sent", 3, 4, Reply::frame({1, 3, 4, 1, 2, 3, 4}),
       RK_ERR_BAD_REPLY, untouched},
      {"2 input registers asked, 3 bytes sent", 4, 2, Reply::frame({1, 4, 4, 1, 2, 3}),
       RK_ERR_BAD_REPLY, untouched},
      {"a register asked, only the byte count sent", 3, 1, Reply::frame({1, 3, 2}),
       RK_ERR_BAD_REPLY, untouched},
      {"a register asked, not even the byte count", 3, 1, Reply::frame({1, 3}), RK_ERR_BAD_REPLY,
       untouched},
      {"10 coils asked (2 bytes), 1 sent", 1, 10, Reply::frame({1, 1, 2, 0x55}), RK_ERR_BAD_REPLY,
       untouched},
      {"8 inputs asked, no data byte", 2, 8, Reply::frame({1, 2, 1}), RK_ERR_BAD_REPLY, untouched},
      {"coil write echoed without its value", 5, 0, Reply::frame({1, 5, 0, 0}), RK_ERR_BAD_REPLY,
       untouched},
      {"register write echoed as address and function only", 6, 0, Reply::frame({1, 6}),
       RK_ERR_BAD_REPLY, untouched},
      {"coils write echoed without its count", 15, 8, Reply::frame({1, 15, 0, 0, 0}),
       RK_ERR_BAD_REPLY, untouched},
      {"registers write echoed without its count", 16, 2, Reply::frame({1, 16, 0, 0}),
       RK_ERR_BAD_REPLY, untouched},
      {"exception without its code", 3, 1, Reply::frame({1, 0x83}), RK_ERR_BAD_REPLY, untouched},
      {"exception to a write without its code", 16, 2, Reply::frame({1, 0x90}), RK_ERR_BAD_REPLY,
       untouched},
      // At least what was asked: as before.
      {"byte count 2 but 2 registers sent",
       3,
       2,
       Reply::frame({1, 3, 2, 1, 2, 3, 4}),
       RK_OK,
       {2, 1, 4, 3, 0xEE, 0xEE, 0xEE, 0xEE}},
      {"10 coils asked, 2 bytes sent, byte count 0",
       1,
       10,
       Reply::frame({1, 1, 0, 0x0F, 0x03}),
       RK_OK,
       {0x0F, 0x03, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}},
      {"a register asked, 3 sent",
       4,
       1,
       Reply::frame({1, 4, 6, 1, 2, 3, 4, 5, 6}),
       RK_OK,
       {2, 1, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}},
      {"registers write echoed with more", 16, 2, Reply::frame({1, 16, 0, 0, 0, 2, 9}), RK_OK,
       untouched},
      {"exception with a byte after its code", 3, 1, Reply::frame({1, 0x83, 3, 9}),
       RK_ERR_ILLEGAL_VALUE, untouched},
      {"device function without a defined reply", 97, 0, Reply::frame({1, 97}), RK_OK, untouched},
      {"identification longer than 9 bytes",
       96,
       0,
       Reply::frame({1, 96, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}),
       RK_OK,
       {1, 2, 3, 4, 5, 6, 7, 8}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    RK_ResetStatistics(kPort, 1);
    dev.clearRequests();
    dev.script({c.reply});
    // The 9 bytes of function 96 need room beyond the 8 compared.
    uint8_t buffer[16];
    std::memset(buffer, kUntouched, sizeof buffer);
    EXPECT_EQ(RK_Exchange(kPort, 1, c.function, 0, c.count, buffer), c.result);
    Buffer after;
    std::memcpy(after.data(), buffer, after.size());
    EXPECT_EQ(after, c.after);
    const RkStatistics s = stats();
    EXPECT_EQ(s.GoodReplies, 1u);
    EXPECT_EQ(s.BadAttempts, 0u);
    EXPECT_EQ(s.FailedExchanges, c.result == RK_OK ? 0u : 1u);
    EXPECT_EQ(dev.requestCount(), 1u) << "a reply with a valid CRC is never retried";
  }
}

TEST_F(ExchangeTest, ExceptionReply) {
  dev.script({Reply::exception(1, 3, 2)});
  uint16_t v = 0;
  EXPECT_EQ(RK_Exchange(kPort, 1, 3, 0, 1, &v), RK_ERR_ILLEGAL_ADDRESS);
  const RkStatistics s = stats();
  EXPECT_EQ(s.GoodReplies, 1u);
  EXPECT_EQ(s.FailedExchanges, 1u);
  EXPECT_EQ(dev.requestCount(), 1u) << "a valid reply is never retried";
}

TEST_F(ExchangeTest, ReplyFromAnotherAddressOrFunctionEndsAtOnce) {
  uint16_t v = 0x5555;
  dev.script({Reply::frame({2, 3, 2, 0, 1})});
  EXPECT_EQ(RK_Exchange(kPort, 1, 3, 0, 1, &v), RK_ERR_BAD_REPLY);
  dev.script({Reply::frame({1, 4, 2, 0, 1})});
  EXPECT_EQ(RK_Exchange(kPort, 1, 3, 0, 1, &v), RK_ERR_BAD_REPLY);
  EXPECT_EQ(v, 0x5555);
  EXPECT_EQ(dev.requestCount(), 2u);
  const RkStatistics s = stats();
  EXPECT_EQ(s.GoodReplies, 2u);
  EXPECT_EQ(s.FailedExchanges, 2u);
}

TEST_F(ExchangeTest, SilentDevice) {
  openForSilence();
  uint16_t v = 0;
  EXPECT_EQ(RK_Exchange(kPort, 1, 3, 0, 1, &v), RK_ERR_NO_REPLY);
  EXPECT_EQ(dev.requestCount(), 3u);
  const RkStatistics s = stats();
  EXPECT_EQ(s.GoodReplies, 0u);
  EXPECT_EQ(s.BadAttempts, 3u);
  EXPECT_EQ(s.FailedExchanges, 1u);
  ASSERT_EQ(open(10, 20, 0), RK_OK);
  EXPECT_EQ(RK_Exchange(kPort, 1, 3, 0, 1, &v), RK_ERR_NO_REPLY);
  EXPECT_EQ(dev.requestCount(), 4u) << "0 attempts behave like 1";
}

TEST_F(ExchangeTest, GarbageAndSilenceDecideByTheLastAttempt) {
  openForSilence();
  uint16_t v = 0;
  const Bytes garbage{1, 3, 2, 0, 1, 0x00, 0x00};
  dev.script({Reply::raw(garbage), Reply::raw(garbage), Reply::raw(garbage)});
  EXPECT_EQ(RK_Exchange(kPort, 1, 3, 0, 1, &v), RK_ERR_BAD_REPLY);
  dev.script({Reply::raw(garbage), Reply::raw(garbage), Reply::silence()});
  EXPECT_EQ(RK_Exchange(kPort, 1, 3, 0, 1, &v), RK_ERR_NO_REPLY);
  dev.script({Reply::raw(garbage), Reply::frame({1, 3, 2, 0xAB, 0xCD})});
  EXPECT_EQ(RK_Exchange(kPort, 1, 3, 0, 1, &v), RK_OK);
  EXPECT_EQ(v, 0xABCD);
  const RkStatistics s = stats();
  EXPECT_EQ(s.BadAttempts, 7u);
  EXPECT_EQ(s.GoodReplies, 1u);
  EXPECT_EQ(s.FailedExchanges, 2u);
}

TEST_F(ExchangeTest, ReplyInPiecesWithinOneIntervalIsOneReply) {
  ASSERT_EQ(open(100, 400), RK_OK);
  const Bytes full = rktest::withCrc({1, 3, 4, 1, 2, 3, 4});
  dev.script({Reply{{{Bytes(full.begin(), full.begin() + 3), 0ms},
                     {Bytes(full.begin() + 3, full.begin() + 6), 5ms},
                     {Bytes(full.begin() + 6, full.end()), 5ms}}}});
  std::array<uint16_t, 2> regs{};
  ASSERT_EQ(RK_Exchange(kPort, 1, 3, 0, 2, regs.data()), RK_OK);
  EXPECT_EQ(regs, (std::array<uint16_t, 2>{0x0102, 0x0304}));
  EXPECT_EQ(dev.requestCount(), 1u);
}

// Functions 1-6, 15 and 16 stop polling once their reply length is queued:
// bytes that follow the reply are not taken for a part of it.
TEST_F(ExchangeTest, ReplyEndsAtItsExpectedLength) {
  ASSERT_EQ(open(300, 300, 1), RK_OK);
  const Bytes full = rktest::withCrc({1, 3, 2, 0x12, 0x34});
  dev.script({Reply{{{full, 0ms}, {Bytes{0x55, 0x55}, 450ms}}}});
  uint16_t v = 0;
  EXPECT_EQ(RK_Exchange(kPort, 1, 3, 0, 1, &v), RK_OK);
  EXPECT_EQ(v, 0x1234);
}

TEST_F(ExchangeTest, GapOfAnIntervalEndsTheReply) {
  // Function 97 has no expected length: only silence ends its reply.
  ASSERT_EQ(open(10, 100, 1), RK_OK);
  const Bytes full = rktest::withCrc({1, 97, 0x10, 0x20});
  dev.script({Reply{{{Bytes(full.begin(), full.begin() + 2), 0ms},
                     {Bytes(full.begin() + 2, full.end()), 100ms}}}});
  EXPECT_EQ(RK_Exchange(kPort, 1, 97, 0, 0, nullptr), RK_ERR_BAD_REPLY) << "a cut frame";
  // The late rest is queued now; the next request's purge discards it.
  std::this_thread::sleep_for(200ms);
  dev.script({Reply::frame({1, 97})});
  EXPECT_EQ(RK_Exchange(kPort, 1, 97, 0, 0, nullptr), RK_OK);
  EXPECT_EQ(stats().BadAttempts, 1u);
  EXPECT_EQ(stats().GoodReplies, 1u);
}

TEST_F(ExchangeTest, MoreThanAFrameQueuedIsTooLong) {
  ASSERT_EQ(open(10, 100, 2), RK_OK);
  const Bytes flood(3600, 0x55);
  dev.script({Reply::raw(flood), Reply::raw(flood)});
  EXPECT_EQ(RK_Exchange(kPort, 1, 97, 0, 0, nullptr), RK_ERR_REPLY_TOO_LONG);
  EXPECT_EQ(stats().BadAttempts, 2u);
  EXPECT_EQ(stats().FailedExchanges, 1u);
}

TEST_F(ExchangeTest, AddressZeroWaitsForAReplyAnd255IsRefused) {
  dev.script({Reply::frame({0, 3, 2, 0, 9})});
  uint16_t v = 0;
  EXPECT_EQ(RK_Exchange(kPort, 0, 3, 0, 1, &v), RK_OK);
  EXPECT_EQ(v, 9);
  EXPECT_EQ(RK_Exchange(kPort, 255, 3, 0, 1, &v), RK_ERR_BAD_DEVICE);
  EXPECT_EQ(RK_Exchange(kPort, 0x1FF, 3, 0, 1, &v), RK_ERR_BAD_DEVICE);
  EXPECT_EQ(RK_Exchange(kPort, 1, 3, 0, 1, nullptr), platform::kErrInvalidParameter);
  EXPECT_EQ(dev.requestCount(), 1u);
}

TEST_F(ExchangeTest, CheckExchange) {
  EXPECT_EQ(RK_CheckExchange(kPort, 0), RK_OK) << "silence";
  EXPECT_EQ(RK_CheckExchange(kPort, 30), RK_OK);

  // Bytes queued before the check are discarded by it.
  dev.inject({1, 2, 3});
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(RK_CheckExchange(kPort, 10), RK_OK);

  // Something keeps talking on the line while we listen.
  std::atomic<bool> stop{false};
  std::thread talker([&] {
    while (!stop) {
      dev.inject({0x55});
      std::this_thread::sleep_for(5ms);
    }
  });
  EXPECT_EQ(RK_CheckExchange(kPort, 5000), RK_CHECK_BYTES_ARRIVED);
  ASSERT_EQ(open(200, 400), RK_OK);
  EXPECT_EQ(RK_CheckExchange(kPort, 0), RK_CHECK_BYTES_ARRIVED) << "duration 0 still polls once";
  stop = true;
  talker.join();
  EXPECT_EQ(dev.requestCount(), 0u) << "a check sends nothing";
}

TEST_F(ExchangeTest, StatisticsResetAndPersistAcrossReopen) {
  dev.script({Reply::frame({2, 3, 2, 0, 1})});
  uint16_t v = 0;
  ASSERT_EQ(RK_Exchange(kPort, 2, 3, 0, 1, &v), RK_OK);
  ASSERT_EQ(RK_Close(kPort), RK_OK);
  EXPECT_EQ(RK_Close(kPort), RK_ERR_NOT_OPEN);
  EXPECT_EQ(stats(2).GoodReplies, 1u) << "closing keeps the counters";
  ASSERT_EQ(open(10, 400), RK_OK);
  EXPECT_EQ(stats(2).GoodReplies, 1u);
  EXPECT_EQ(RK_ResetStatistics(kPort, 2), RK_OK);
  EXPECT_EQ(stats(2).GoodReplies, 0u);
}

TEST_F(ExchangeTest, OpenRefusesUnusableBlocks) {
  RkParamBlock b = rktest::defaultBlock();
  b.PollInterval = 0;
  EXPECT_EQ(RK_Open(kPort, &b), platform::kErrInvalidParameter);
  uint16_t v = 0;
  EXPECT_EQ(RK_Exchange(kPort, 1, 3, 0, 1, &v), RK_ERR_NOT_OPEN)
      << "a failed open leaves it closed";
  b.PollInterval = 50;
  b.BaudRate = 12345;
  EXPECT_EQ(RK_Open(kPort, &b), platform::kErrBaudRate);
  RkParamBlock got{};
  got.Size = sizeof got;
  ASSERT_EQ(RK_GetParamBlock(kPort, &got), RK_OK);
  EXPECT_EQ(got.BaudRate, 12345u) << "the block of the last open, even a failed one";
}

TEST_F(ExchangeTest, ShortBlockKeepsTheOtherFields) {
  RkParamBlock b{};
  b.Size = 8;
  b.BaudRate = 9600;
  ASSERT_EQ(RK_Open(kPort, &b), RK_OK);
  RkParamBlock got{};
  got.Size = sizeof got;
  ASSERT_EQ(RK_GetParamBlock(kPort, &got), RK_OK);
  EXPECT_EQ(got.BaudRate, 9600u);
  EXPECT_EQ(got.PollInterval, 10u) << "kept from the previous open";
  EXPECT_EQ(got.ReplyTimeout, 400u);
  EXPECT_EQ(dev.lineBaud(), 9600u);
}

TEST_F(ExchangeTest, OpenIdStrOpensWithItsParameters) {
  uint8_t port = 0;
  rktest::mapComPort(3, dev.path());
  ASSERT_EQ(RK_OpenIdStr("RK.DLL,3,9600,100,300", &port), RK_OK);
  EXPECT_EQ(port, 2);
  RkParamBlock got{};
  got.Size = sizeof got;
  ASSERT_EQ(RK_GetParamBlock(2, &got), RK_OK);
  EXPECT_EQ(got.BaudRate, 9600u);
  EXPECT_EQ(got.PollInterval, 100u);
  EXPECT_EQ(got.ReplyTimeout, 300u);
  EXPECT_EQ(got.FileReplyTimeout, 5000u);
  EXPECT_EQ(got.Attempts, 3u);
  EXPECT_EQ(RK_Close(2), RK_OK);
}

TEST_F(ExchangeTest, MissingPortIsCode2) {
  rktest::mapComPort(5, "/dev/nonexistent-rk-port");
  RkParamBlock b = rktest::defaultBlock();
  EXPECT_EQ(RK_Open(4, &b), RK_SYS_FILE_NOT_FOUND);
  EXPECT_EQ(RK_Close(4), RK_ERR_NOT_OPEN);
}

class LineErrorTest : public ExchangeTest {
 protected:
  void SetUp() override {
    faults = std::make_unique<rktest::LineFaults>();
    ExchangeTest::SetUp();
  }
  void TearDown() override {
    ExchangeTest::TearDown();
    faults.reset();
  }
  std::unique_ptr<rktest::LineFaults> faults;
};

TEST_F(LineErrorTest, AbortedPortFailsWith995UntilReopened) {
  dev.setHandler([](const Bytes &) { return Reply::frame({1, 3, 2, 0, 5}); });
  faults->abortNow();
  uint16_t v = 0;
  EXPECT_EQ(RK_Exchange(kPort, 1, 3, 0, 1, &v), RK_SYS_OPERATION_ABORTED);
  EXPECT_EQ(RK_Exchange(kPort, 1, 3, 0, 1, &v), RK_SYS_OPERATION_ABORTED);
  EXPECT_EQ(dev.requestCount(), 0u);
  EXPECT_EQ(stats().FailedExchanges, 2u);
  ASSERT_EQ(open(10, 400), RK_OK);
  EXPECT_EQ(RK_Exchange(kPort, 1, 3, 0, 1, &v), RK_OK);
  EXPECT_EQ(v, 5);
}

TEST_F(LineErrorTest, StatusQueryFetchesTheError) {
  faults->abortNow();
  EXPECT_EQ(RK_CheckExchange(kPort, 0), RK_SYS_OPERATION_ABORTED) << "its purge meets the error";
  EXPECT_EQ(faults->fetchedErrors(), 0);
}

TEST_F(LineErrorTest, ReplyWithALineErrorIsNotReadAndRetried) {
  dev.setHandler([](const Bytes &) { return Reply::frame({1, 3, 2, 0, 5}); });
  faults->errorOnNextReplies(1);
  uint16_t v = 0;
  EXPECT_EQ(RK_Exchange(kPort, 1, 3, 0, 1, &v), RK_OK);
  EXPECT_EQ(dev.requestCount(), 2u);
  EXPECT_EQ(stats().BadAttempts, 1u);
  EXPECT_EQ(faults->fetchedErrors(), 1);

  faults->errorOnNextReplies(3);
  EXPECT_EQ(RK_Exchange(kPort, 1, 3, 0, 1, &v), RK_ERR_NO_REPLY);
  EXPECT_EQ(stats().BadAttempts, 4u);
}

// A poll that comes late must not be followed at once by the next: the
// reply still arriving would seem to have ended, cut short.
TEST_F(LineErrorTest, LatePollStillWaitsAnIntervalForMoreBytes) {
  ASSERT_EQ(open(200, 1000, 1), RK_OK);
  // 30 registers: 65 bytes in 13 pieces, one every 40 ms (480 ms in all).
  Bytes regs{1, 3, 60};
  for (uint8_t i = 0; i < 60; ++i)
    regs.push_back(i);
  const Bytes full = rktest::withCrc(regs);
  Reply reply;
  for (size_t at = 0; at < full.size(); at += 5)
    reply.pieces.push_back({Bytes(full.begin() + at, full.begin() + at + 5), at == 0 ? 0ms : 40ms});
  dev.script({reply});
  // The first poll (due at 200 ms) looks only at about 450 ms, with most of
  // the reply queued and its last piece still to come.
  faults->stallNextStatusQuery(250ms);
  std::array<uint16_t, 30> got{};
  ASSERT_EQ(RK_Exchange(kPort, 1, 3, 0, 30, got.data()), RK_OK);
  EXPECT_EQ(got[29], 0x3A3B);
  EXPECT_EQ(stats().BadAttempts, 0u);
}

}  // namespace
