// The simulated line on a real pseudo-terminal: speeds, addresses, pacing,
// commit and restart, faults and the request log.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>

#include <atomic>
#include <bit>
#include <filesystem>
#include <thread>

#include "qvzsim.h"
#include "raw_port.h"

namespace {

using namespace simtest;
using qvzsim::Fault;
using qvzsim::FaultKind;

float fieldAt(const Bytes &reply, int reg) {  // register data after address, function, count
  const size_t at = 3 + 2 * size_t(reg);
  return std::bit_cast<float>(
      uint32_t(reply[at + 2] << 24 | reply[at + 3] << 16 | reply[at] << 8 | reply[at + 1]));
}

Bytes writeFloat(uint8_t address, uint16_t reg, std::initializer_list<float> values) {
  Bytes rq{address,
           16,
           uint8_t(reg >> 8),
           uint8_t(reg),
           0,
           uint8_t(2 * values.size()),
           uint8_t(4 * values.size())};
  for (float f : values) {
    const uint32_t v = std::bit_cast<uint32_t>(f);
    for (uint8_t b : {uint8_t(v >> 8), uint8_t(v), uint8_t(v >> 24), uint8_t(v >> 16)})
      rq.push_back(b);
  }
  return rq;
}

class LineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("qvzsim_line_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    line.stop();
    std::filesystem::remove_all(dir_);
  }
  void start(qvzsim::LineOptions o = {}) {
    if (o.linkPath.empty()) o.linkPath = (dir_ / "tty").string();
    ASSERT_TRUE(line.start(o)) << line.error();
  }
  qvzsim::Sensor add(int type, uint8_t address, uint32_t baud = 57600, std::string state = {}) {
    qvzsim::SensorOptions o;
    o.type = type;
    o.address = address;
    o.baud = baud;
    o.stateFile = std::move(state);
    auto s = line.addSensor(o);
    EXPECT_TRUE(s) << line.error();
    s->setNoise(0);
    return *s;
  }

  std::filesystem::path dir_;
  qvzsim::Line line;
};

TEST_F(LineTest, ServesTheInputBlockThroughTheLink) {
  start();
  auto s = add(1, 1);
  s.setGap(2.0);
  RawPort port(line.linkPath(), 57600);
  ASSERT_TRUE(port.isOpen());
  const Bytes r = port.transact(readRequest(1, 4, 0, 32), 69);
  ASSERT_EQ(r.size(), 69u);
  EXPECT_TRUE(crcOk(r));
  EXPECT_EQ(fieldAt(r, 28), 1.0f);
  EXPECT_NEAR(fieldAt(r, 0), 2.0, 0.1);
  const auto last = s.lastInputs();
  for (int i = 0; i < 32; ++i)
    EXPECT_EQ(last[i], uint16_t(r[3 + 2 * i] << 8 | r[4 + 2 * i]));
  EXPECT_EQ(s.requestCount(4), 1u);
  EXPECT_EQ(s.requestCount(), 1u);
  const auto log = s.requests();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].function, 4);
  EXPECT_EQ(log[0].start, 0);
  EXPECT_EQ(log[0].count, 32);
  EXPECT_EQ(log[0].baud, 57600u);
  // Identification ends by silence on the master's side: 13 bytes.
  const Bytes id = port.transact({1, 96}, 13);
  ASSERT_EQ(id.size(), 13u);
  EXPECT_TRUE(crcOk(id));
  EXPECT_EQ(id[2], 2);  // firmware 2.05
  EXPECT_EQ(id[3], 5);
}

TEST_F(LineTest, SensorHearsOnlyAtItsSpeedAndAddress) {
  start();
  auto slow = add(1, 1, 9600);
  auto fast = add(2, 1, 57600);
  auto other = add(2, 2, 57600);
  qvzsim::SensorOptions dup;
  dup.address = 2;
  EXPECT_FALSE(line.addSensor(dup));  // that address answers at that speed already
  RawPort port(line.linkPath(), 57600);
  Bytes r = port.transact(readRequest(1, 4, 28, 2), 9);
  ASSERT_EQ(r.size(), 9u);
  EXPECT_EQ(fieldAt(r, 0), 2.0f);
  port.setBaud(9600);
  r = port.transact(readRequest(1, 4, 28, 2), 9);
  ASSERT_EQ(r.size(), 9u);
  EXPECT_EQ(fieldAt(r, 0), 1.0f);
  port.setBaud(19200);
  EXPECT_TRUE(port.transact(readRequest(1, 4, 28, 2), 9, 300ms).empty());
  port.setBaud(57600);
  EXPECT_TRUE(port.transact(readRequest(3, 4, 28, 2), 9, 300ms).empty());
  EXPECT_EQ(slow.requestCount(), 1u);
  EXPECT_EQ(fast.requestCount(), 1u);
  EXPECT_EQ(other.requestCount(), 0u);
  const auto c = line.counters();
  EXPECT_EQ(c.frames, 4u);
  EXPECT_EQ(c.unheard, 2u);
  EXPECT_EQ(c.replies, 2u);
}

TEST_F(LineTest, RepliesTakeTheirLineTime) {
  start();
  add(1, 1, 9600);
  RawPort port(line.linkPath(), 9600);
  const Bytes r = port.transact(readRequest(1, 4, 0, 32), 69);
  ASSERT_EQ(r.size(), 69u);
  // 8 request and 69 reply characters of 10 bits at 9600 bit/s: at least 80 ms.
  EXPECT_GE(port.arrivals.back().first - port.sentAt(), 80ms);
  EXPECT_GT(port.arrivals.size(), 3u);  // paced, not in one lump
}

TEST_F(LineTest, CommitMovesTheSensorAfterItsReply) {
  start();
  auto s = add(1, 1);
  RawPort port(line.linkPath(), 57600);
  ASSERT_EQ(port.transact(writeFloat(1, 0, {9600.0f, 5.0f}), 8).size(), 8u);
  const Bytes commit = port.transact(coilRequest(1, 0, true), 8);
  EXPECT_EQ(commit, withCrc(coilRequest(1, 0, true)));  // answered as before
  EXPECT_TRUE(port.transact(readRequest(5, 4, 0, 2), 9, 300ms).empty());
  port.setBaud(9600);
  EXPECT_EQ(port.transact(readRequest(5, 4, 0, 2), 9).size(), 9u);
  EXPECT_EQ(s.status().address, 5);
  EXPECT_EQ(s.status().baud, 9600u);
}

TEST_F(LineTest, RestartSilencesTheSensorThenRestoresItsConfiguration) {
  qvzsim::LineOptions o;
  o.restartTime = 1500ms;
  start(o);
  auto s = add(1, 1);
  RawPort port(line.linkPath(), 57600);
  ASSERT_EQ(port.transact(writeFloat(1, 18, {0.9f}), 8).size(), 8u);  // not committed
  EXPECT_EQ(port.transact(coilRequest(1, 5, true), 8).size(), 8u);
  EXPECT_TRUE(port.transact(readRequest(1, 3, 18, 2), 9, 300ms).empty());
  EXPECT_TRUE(s.status().restarting);
  Bytes r;
  const auto until = Clock::now() + 10s;
  while (r.empty() && Clock::now() < until)
    r = port.transact(readRequest(1, 3, 18, 2), 9, 200ms);
  ASSERT_EQ(r.size(), 9u);
  EXPECT_EQ(fieldAt(r, 0), 0.5f);
  EXPECT_EQ(s.status().restarts, 1u);
  EXPECT_FALSE(s.status().restarting);
}

TEST_F(LineTest, CoilsFromOutsideActAsAMastersWould) {
  start();
  auto s = add(1, 1);
  ASSERT_TRUE(s.setHoldingFloat(0, 9600.0f));
  ASSERT_TRUE(s.setHoldingFloat(2, 6.0f));
  EXPECT_TRUE(s.writeCoil(0, true));  // commit: the sensor moves
  EXPECT_EQ(s.status().baud, 9600u);
  EXPECT_EQ(s.status().address, 6);
  EXPECT_TRUE(s.writeCoil(9, true));
  EXPECT_EQ(s.status().dac, qvzsim::DacOutput::Minimum);
  EXPECT_FALSE(s.writeCoil(1, true));  // a gap sensor has no axis to calibrate
  EXPECT_FALSE(s.writeCoil(4, true));
  EXPECT_TRUE(s.writeCoil(5, true));
  EXPECT_TRUE(s.status().restarting);
  EXPECT_EQ(s.status().restarts, 1u);
  EXPECT_EQ(s.requestCount(), 0u);  // nothing came over the line
}

TEST_F(LineTest, BroadcastWritesReachEverySensorWithoutReply) {
  start();
  auto a = add(1, 1);
  auto b = add(1, 2);
  RawPort port(line.linkPath(), 57600);
  EXPECT_TRUE(port.transact(writeFloat(0, 18, {0.8f}), 8, 300ms).empty());
  EXPECT_EQ(a.holdingFloat(18), 0.8f);
  EXPECT_EQ(b.holdingFloat(18), 0.8f);
}

struct FaultCase {
  const char *name;
  Fault fault;
  size_t expected;                 // bytes to wait for
  std::chrono::milliseconds wait;  // at most; it ends sooner once they are in
  void (*check)(const Bytes &reply, const RawPort &port);
};

class FaultTest : public LineTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultTest, HitsTheNextRequestOnly) {
  const FaultCase &c = GetParam();
  start();
  auto s = add(1, 1);
  RawPort port(line.linkPath(), 57600);
  s.addFault(c.fault);
  const Bytes faulted = port.transact(readRequest(1, 3, 18, 2), c.expected, c.wait);
  c.check(faulted, port);
  const Bytes next = port.transact(readRequest(1, 3, 18, 2), 9);
  EXPECT_EQ(next.size(), 9u);
  EXPECT_TRUE(crcOk(next));
  ASSERT_EQ(s.requests().size(), 2u);
  EXPECT_EQ(s.requests()[0].fault, c.fault.kind);
  EXPECT_FALSE(s.requests()[1].fault);
}

// A fault for the next request, with one of its parameters set.
Fault once(FaultKind kind, int Fault::*parameter = nullptr, int value = 0) {
  Fault f;
  f.kind = kind;
  f.count = 1;
  if (parameter) f.*parameter = value;
  return f;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FaultTest,
    ::testing::Values(FaultCase{"silence", once(FaultKind::Silence), 9, 400ms,
                                [](const Bytes &r, const RawPort &) { EXPECT_TRUE(r.empty()); }},
                      FaultCase{"crc", once(FaultKind::CorruptCrc), 9, 3s,
                                [](const Bytes &r, const RawPort &) {
                                  ASSERT_EQ(r.size(), 9u);
                                  EXPECT_FALSE(crcOk(r));
                                  EXPECT_EQ(r[0], 1);
                                }},
                      FaultCase{"truncate", once(FaultKind::Truncate, &Fault::keepBytes, 4), 9,
                                400ms,
                                [](const Bytes &r, const RawPort &) { EXPECT_EQ(r.size(), 4u); }},
                      FaultCase{"pieces", once(FaultKind::Pieces, &Fault::gapMs, 300), 9, 3s,
                                [](const Bytes &r, const RawPort &p) {
                                  ASSERT_EQ(r.size(), 9u);
                                  EXPECT_TRUE(crcOk(r));
                                  // The second piece cannot start before the gap has passed, and a
                                  // reader that keeps up sees the pieces apart.
                                  EXPECT_GE(p.arrivals.back().first - p.sentAt(), 300ms);
                                  EXPECT_GE(p.arrivals.size(), 2u);
                                }},
                      FaultCase{"address", once(FaultKind::WrongAddress, &Fault::otherAddress, 9),
                                9, 3s,
                                [](const Bytes &r, const RawPort &) {
                                  ASSERT_EQ(r.size(), 9u);
                                  EXPECT_TRUE(crcOk(r));
                                  EXPECT_EQ(r[0], 9);
                                }},
                      FaultCase{"exception", once(FaultKind::Exception), 5, 3s,
                                [](const Bytes &r, const RawPort &) {
                                  EXPECT_EQ(r, withCrc({1, 0x83, 4}));
                                }},
                      FaultCase{"late", once(FaultKind::Late, &Fault::delayMs, 400), 9, 3s,
                                [](const Bytes &r, const RawPort &p) {
                                  ASSERT_EQ(r.size(), 9u);
                                  EXPECT_GE(p.arrivals.back().first - p.sentAt(), 400ms);
                                }}),
    [](const auto &test) { return std::string(test.param.name); });

TEST_F(LineTest, FaultsSelectByFunctionRangeCountAndProbability) {
  start();
  auto s = add(1, 1);
  RawPort port(line.linkPath(), 57600);
  Fault chunk;  // table chunk 5 of the S table is never answered
  chunk.kind = FaultKind::Silence;
  chunk.function = 3;
  chunk.firstRegister = 1624;
  chunk.lastRegister = 1743;
  s.addFault(chunk);
  Fault never;
  never.kind = FaultKind::CorruptCrc;
  never.probability = 0.0;
  s.addFault(never);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(port.transact(readRequest(1, 3, 1024 + 120 * 4, 120), 245).size(), 245u);
    EXPECT_TRUE(port.transact(readRequest(1, 3, 1024 + 120 * 5, 120), 245, 300ms).empty());
    EXPECT_TRUE(crcOk(port.transact(readRequest(1, 4, 0, 32), 69)));
  }
  s.clearFaults();
  Fault twice = once(FaultKind::Exception);
  twice.count = 2;
  s.addFault(twice);
  for (size_t expected : {5u, 5u, 245u})
    EXPECT_EQ(port.transact(readRequest(1, 3, 1024 + 120 * 5, 120), expected).size(), expected);
  EXPECT_EQ(s.requestCount(3), 9u);
  EXPECT_EQ(s.requestCount(4), 3u);
}

TEST_F(LineTest, RequestDuringAReplyCollidesAndIsLost) {
  start();
  auto s = add(1, 1);
  Fault late = once(FaultKind::Late);
  late.delayMs = 1000;  // room for a slow machine to send the second request in time
  s.addFault(late);
  RawPort port(line.linkPath(), 57600);
  port.send(readRequest(1, 3, 0, 2));
  EXPECT_TRUE(port.read(9, 100ms).empty());
  // The master gives up and asks again while the sensor is about to answer.
  const Bytes r = port.transact(readRequest(1, 3, 18, 2), 18, 2s);
  ASSERT_EQ(r.size(), 9u);  // one reply only: to the first request
  EXPECT_EQ(fieldAt(r, 0), 57600.0f);
  EXPECT_EQ(s.requestCount(), 1u);
  EXPECT_EQ(line.counters().collisions, 1u);
}

TEST_F(LineTest, StateFileCarriesTheSensorToTheNextRun) {
  const std::string state = (dir_ / "s.state").string();
  start();
  add(1, 1, 57600, state);
  {
    RawPort port(line.linkPath(), 57600);
    ASSERT_EQ(port.transact(writeFloat(1, 2, {3.0f}), 8).size(), 8u);
    ASSERT_EQ(port.transact(coilRequest(1, 0, true), 8).size(), 8u);
  }
  line.stop();
  qvzsim::Line next;  // the simulator run again
  ASSERT_TRUE(next.start());
  qvzsim::SensorOptions o;
  o.stateFile = state;
  auto s = next.addSensor(o);
  ASSERT_TRUE(s) << next.error();
  EXPECT_EQ(s->status().address, 3);
  RawPort port(next.slavePath(), 57600);
  EXPECT_EQ(port.transact(readRequest(3, 4, 0, 2), 9).size(), 9u);
}

TEST_F(LineTest, LinkGoesWithTheLine) {
  start();
  const std::string link = line.linkPath();
  struct stat st {};
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  line.stop();
  EXPECT_NE(lstat(link.c_str(), &st), 0);
  // A regular file in the way is not replaced.
  std::FILE *f = std::fopen(link.c_str(), "w");
  std::fclose(f);
  qvzsim::LineOptions o;
  o.linkPath = link;
  EXPECT_FALSE(line.start(o));
  EXPECT_NE(line.error().find(link), std::string::npos);
}

TEST_F(LineTest, IdleLineCostsNoCpu) {
  start();
  add(1, 1);
  auto cpu = [] {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
  };
  const auto before = cpu();
  std::this_thread::sleep_for(500ms);
  EXPECT_LT(cpu() - before, 100ms);  // a polling loop would burn the whole half second
  EXPECT_FALSE(line.sensors()[0].waitForRequests(-1, 1, 50ms));
}

TEST_F(LineTest, ControlFromOtherThreadsWhileServing) {
  start();
  auto s = add(2, 1);
  std::atomic<bool> done{false};
  std::thread meddler([&] {
    double v = 1.0;
    while (!done) {
      s.setVelocity(qvzsim::Axis::Z, v += 0.1);
      (void)s.status();
      (void)s.requests();
      (void)s.holdingFloat(4);
      s.setHoldingFloat(60, float(v));
    }
  });
  RawPort port(line.linkPath(), 57600);
  int good = 0;
  for (int i = 0; i < 50; ++i)
    good += crcOk(port.transact(readRequest(1, 4, 0, 32), 69));
  done = true;
  meddler.join();
  EXPECT_EQ(good, 50);
  EXPECT_TRUE(s.waitForRequests(4, 50, 1s));
}

}  // namespace
