// Port sharing between processes: each child is a real process that loads
// librk.so (rk_port_helper) and is driven over its standard input.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <atomic>
#include <future>
#include <memory>
#include <thread>

#include "link/connection.h"
#include "platform/ipc_name.h"
#include "platform/named_mutex.h"
#include "platform/process.h"
#include "rk.h"
#include "tests/support/child_process.h"
#include "tests/support/pty_device.h"
#include "tests/support/rk_blocks.h"
#include "tests/support/rk_test_env.h"

namespace {

using namespace std::chrono_literals;
using rktest::ChildProcess;
using rktest::Reply;

constexpr uint32_t kPort = 1;  // COM2

class SharingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rktest::mapComPort(2, dev.path());
    dev.setHandler(std::ref(registers));
    registers.setReg(0, 0x4242);
  }
  void TearDown() override { RK_Close(kPort); }

  static std::unique_ptr<ChildProcess> helper() {
    return std::make_unique<ChildProcess>(rktest::executableDirectory() + "/rk_port_helper",
                                          std::vector<std::string>{});
  }
  static std::string openCmd(uint32_t baud, uint32_t poll = 10, uint32_t timeout = 400) {
    return "open " + std::to_string(kPort) + " " + std::to_string(baud) + " " +
           std::to_string(poll) + " " + std::to_string(timeout);
  }
  static std::string code(uint32_t rc) { return std::to_string(rc); }

  static uint32_t openHere(uint32_t baud, uint32_t poll = 10, uint32_t timeout = 400) {
    RkParamBlock b = rktest::defaultBlock();
    b.BaudRate = baud;
    b.PollInterval = poll;
    b.ReplyTimeout = timeout;
    return RK_Open(kPort, &b);
  }
  static uint32_t readHere() {
    uint16_t v = 0;
    return RK_Exchange(kPort, 1, 3, 0, 1, &v);
  }
  // The port's entry of the shared table (read without its mutex: the test
  // looks only while nobody changes it).
  static rk::RkSharedPortEntry entry() { return rk::library().sharedTable()->Ports[kPort]; }
  static bool registered(const rk::RkSharedPortEntry &e, uint32_t pid) {
    for (uint32_t i = 0; i < e.Count && i < rk::kMaxPortUsers; ++i) {
      if (e.Users[i].ProcessId == pid) return true;
    }
    return false;
  }

  rktest::RegisterDevice registers{1};  // outlives the device thread that serves it
  rktest::PtyDevice dev;
};

TEST_F(SharingTest, FirstOpenerSetsTheLine) {
  ASSERT_EQ(openHere(9600), RK_OK);
  auto b = helper();
  ASSERT_EQ(b->ask(openCmd(57600)), code(RK_OK));
  EXPECT_EQ(dev.lineBaud(), 9600u);
  EXPECT_EQ(b->ask("baud 1"), "57600") << "B keeps the block it asked for";
  EXPECT_EQ(entry().Count, 2u);
  EXPECT_TRUE(registered(entry(), platform::currentProcessId()));
  EXPECT_TRUE(registered(entry(), static_cast<uint32_t>(b->pid())));
  EXPECT_EQ(b->ask("read 1 1"), code(RK_OK));
  EXPECT_EQ(readHere(), RK_OK);
}

TEST_F(SharingTest, CloseLeavesTheOthersWorkingAndReopenJoins) {
  ASSERT_EQ(openHere(9600), RK_OK);
  auto b = helper();
  ASSERT_EQ(b->ask(openCmd(57600)), code(RK_OK));
  ASSERT_EQ(RK_Close(kPort), RK_OK);
  EXPECT_EQ(RK_Close(kPort), RK_ERR_NOT_OPEN);
  EXPECT_EQ(entry().Count, 1u);
  EXPECT_EQ(b->ask("read 1 1"), code(RK_OK));
  auto c = helper();
  ASSERT_EQ(c->ask(openCmd(19200)), code(RK_OK));
  EXPECT_EQ(c->ask("read 1 1"), code(RK_OK));
  EXPECT_EQ(dev.lineBaud(), 9600u) << "the line keeps the first opener's speed";
  EXPECT_EQ(b->ask("close 1"), code(RK_OK));
  EXPECT_EQ(c->ask("close 1"), code(RK_OK));
  EXPECT_EQ(entry().Count, 0u);
}

TEST_F(SharingTest, SoleUserReopeningGetsItsNewSpeed) {
  ASSERT_EQ(openHere(9600), RK_OK);
  EXPECT_EQ(dev.lineBaud(), 9600u);
  ASSERT_EQ(openHere(19200), RK_OK);
  EXPECT_EQ(dev.lineBaud(), 19200u);
  EXPECT_EQ(entry().Count, 1u);
  EXPECT_EQ(readHere(), RK_OK);
}

TEST_F(SharingTest, UserOfAnotherDeviceUnderTheSameNumberLeavesTheLineToUs) {
  // Port maps are per user: a process whose COM2 is another device is
  // registered on COM2 too, yet this device is still ours alone to set.
  rktest::PtyDevice other;
  rktest::mapComPort(2, other.path());
  auto b = helper();
  ASSERT_EQ(b->ask(openCmd(9600)), code(RK_OK));
  rktest::mapComPort(2, dev.path());
  ASSERT_EQ(openHere(19200), RK_OK);
  EXPECT_EQ(entry().Count, 2u);
  EXPECT_EQ(dev.lineBaud(), 19200u);
  EXPECT_EQ(other.lineBaud(), 9600u);
  EXPECT_EQ(readHere(), RK_OK);
}

TEST_F(SharingTest, EightUsersAndARefusedNinth) {
  ASSERT_EQ(openHere(57600), RK_OK);
  std::vector<std::unique_ptr<ChildProcess>> users;
  for (int i = 0; i < 7; ++i) {
    users.push_back(helper());
    ASSERT_EQ(users.back()->ask(openCmd(57600)), code(RK_OK)) << "user " << i + 2;
  }
  EXPECT_EQ(entry().Count, 8u);
  auto ninth = helper();
  EXPECT_EQ(ninth->ask(openCmd(57600)), code(RK_ERR_TOO_MANY_USERS));
  EXPECT_EQ(ninth->ask("read 1 1"), code(RK_ERR_NOT_OPEN));
  EXPECT_EQ(entry().Count, 8u);
  EXPECT_FALSE(registered(entry(), static_cast<uint32_t>(ninth->pid())));
  for (auto &u : users)
    EXPECT_EQ(u->ask("read 1 1"), code(RK_OK));
  EXPECT_EQ(readHere(), RK_OK);
}

TEST_F(SharingTest, HolderKilledWhileOwningThePortMutex) {
  ASSERT_EQ(openHere(57600), RK_OK);
  // The child's exchange meets a silent device and would hold the port
  // mutex for about 20 s.
  dev.setHandler({});
  auto b = helper();
  ASSERT_EQ(b->ask(openCmd(57600, 50, 20000)), code(RK_OK));
  b->send("read 1 1");
  ASSERT_TRUE(dev.waitForRequests(1)) << "the child is inside its transaction";
  b->kill();
  dev.setHandler(std::ref(registers));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(readHere(), RK_OK) << "the abandoned mutex is taken over";
  EXPECT_LT(std::chrono::steady_clock::now() - start, 9s) << "not a port-mutex time-out";
}

// A holder killed while it waits for its reply: the device answers it late,
// within the dead holder's reply window, after the next user has taken the
// port over. That answer must not be taken for the reply to the next user's
// request (same address, function and length).
TEST_F(SharingTest, LateReplyToAKilledHolderIsNotTheNextUsersReply) {
  registers.setReg(20, 0x2020);
  std::promise<void> killed;
  std::shared_future<void> holderDead = killed.get_future().share();
  // The device takes 50 ms over each request, and answers the first
  // holder's (register 10) only once that holder is dead.
  dev.setHandler([holderDead, this](const rktest::Bytes &q) {
    if (q.size() >= 4 && q[3] == 10) {
      holderDead.wait_for(10s);
      return Reply::frame({1, 3, 2, 0x10, 0x10}, 50ms);
    }
    Reply r = registers(q);
    for (Reply::Piece &p : r.pieces)
      p.delay += 50ms;
    return r;
  });
  platform::NamedMutex portMutex;
  ASSERT_EQ(portMutex.open(platform::ipcName("RK_MUTEX_COM" + std::to_string(kPort))), 0u);

  auto a = helper();
  ASSERT_EQ(a->ask(openCmd(57600, 50, 5000)), code(RK_OK));
  auto b = helper();
  ASSERT_EQ(b->ask(openCmd(57600, 10, 400)), code(RK_OK));
  a->send("get 1 1 10");
  ASSERT_TRUE(dev.waitForRequests(1)) << "the holder's request is out";
  const uint32_t waitingBefore = portMutex.waiting();
  b->send("get 1 1 20");
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (portMutex.waiting() == waitingBefore && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(1ms);
  ASSERT_EQ(portMutex.waiting(), waitingBefore + 1) << "the second user waits for the port";
  a->kill();
  killed.set_value();

  EXPECT_EQ(b->readLine(), code(RK_OK) + " " + std::to_string(0x2020));
  EXPECT_EQ(b->ask("get 1 1 20"), code(RK_OK) + " " + std::to_string(0x2020));
  EXPECT_EQ(dev.requestCount(), 3u);
}

TEST_F(SharingTest, DeadProcessPairIsDropped) {
  auto b = helper();
  ASSERT_EQ(b->ask(openCmd(57600)), code(RK_OK));
  const auto deadPid = static_cast<uint32_t>(b->pid());
  b->kill();  // ends without closing: its pair stays in the table
  EXPECT_TRUE(registered(entry(), deadPid));
  EXPECT_FALSE(platform::processAlive(deadPid));
  ASSERT_EQ(openHere(9600), RK_OK);
  EXPECT_FALSE(registered(entry(), deadPid));
  EXPECT_EQ(entry().Count, 1u);
  EXPECT_EQ(dev.lineBaud(), 9600u) << "with the dead user gone this process is the first";
  EXPECT_EQ(readHere(), RK_OK);
}

TEST_F(SharingTest, UnloadingClosesTheProcessConnections) {
  auto b = helper();
  ASSERT_EQ(b->ask(openCmd(57600)), code(RK_OK));
  EXPECT_EQ(entry().Count, 1u);
  b->send("exit");
  EXPECT_EQ(b->wait(), 0);
  EXPECT_EQ(entry().Count, 0u) << "the library closed the port when the process ended";
}

// A process whose shared table cannot be had (here: a name the system
// refuses) keeps the library loaded; its opens and closes say so.
TEST_F(SharingTest, WithoutTheSharedTable) {
  const std::string suffix = rktest::ipcSuffix();
  ::setenv("RK_IPC_SUFFIX", std::string(300, 'x').c_str(), 1);
  auto b = helper();
  ::setenv("RK_IPC_SUFFIX", suffix.c_str(), 1);
  EXPECT_EQ(b->ask(openCmd(57600)), code(RK_ERR_NO_SHARED_MEMORY));
  EXPECT_EQ(b->ask("read 1 1"), code(RK_ERR_NOT_OPEN));
  EXPECT_EQ(b->ask("close 1"), code(RK_ERR_NO_SHARED_MEMORY));
  EXPECT_EQ(b->ask("baud 1"), "57600") << "the block of the failed open is kept";
  EXPECT_EQ(dev.requestCount(), 0u);
}

TEST_F(SharingTest, ForeignProgramHoldingTheDeviceKeepsUsOut) {
  const int foreign = ::open(dev.path().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(foreign, 0);
  ASSERT_EQ(::flock(foreign, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(openHere(57600), RK_SYS_ACCESS_DENIED);
  EXPECT_EQ(entry().Count, 0u);
  ::close(foreign);
  ASSERT_EQ(openHere(57600), RK_OK);
  // And the other way round: our users keep a foreign exclusive lock out.
  const int late = ::open(dev.path().c_str(), O_RDWR | O_NOCTTY);
  EXPECT_NE(::flock(late, LOCK_EX | LOCK_NB), 0);
  ::close(late);
}

TEST_F(SharingTest, ThreadsOfOneProcessNeverInterleaveOnTheLine) {
  ASSERT_EQ(openHere(57600, 5, 400), RK_OK);
  auto b = helper();
  ASSERT_EQ(b->ask(openCmd(57600, 5, 400)), code(RK_OK));
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 10; ++i) {
        if (readHere() != RK_OK) ++failures;
      }
    });
  }
  int childFailures = 0;
  for (int i = 0; i < 10; ++i) {
    if (b->ask("read 1 1") != code(RK_OK)) ++childFailures;
  }
  for (auto &t : threads)
    t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(childFailures, 0);
  for (const rktest::Bytes &q : dev.requests())
    EXPECT_TRUE(rktest::crcValid(q));
  EXPECT_EQ(dev.requestCount(), 40u) << "every request arrived whole, one at a time";
}

// A thread that closes and reopens the port pulls it from under another
// thread's exchanges: they end with RK_ERR_NOT_OPEN or run on the new
// connection, never on a closed device.
TEST_F(SharingTest, ClosingAndReopeningUnderAnotherThreadsExchanges) {
  ASSERT_EQ(openHere(57600, 2, 100), RK_OK);
  std::atomic<bool> stop{false};
  std::atomic<int> ok{0}, notOpen{0}, other{0};
  std::thread exchanger([&] {
    while (!stop) {
      const uint32_t rc = readHere();
      ++(rc == RK_OK ? ok : rc == RK_ERR_NOT_OPEN ? notOpen : other);
    }
  });
  const auto waitForMore = [](const std::atomic<int> &counter) {
    const int before = counter;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (counter == before && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(1ms);
    return counter > before;
  };
  for (int round = 0; round < 20; ++round) {
    ASSERT_TRUE(waitForMore(ok)) << "round " << round;
    ASSERT_EQ(RK_Close(kPort), RK_OK);
    ASSERT_TRUE(waitForMore(notOpen)) << "round " << round;
    ASSERT_EQ(openHere(57600, 2, 100), RK_OK);
  }
  stop = true;
  exchanger.join();
  EXPECT_EQ(other.load(), 0);
  EXPECT_EQ(entry().Count, 1u) << "one pair for this process, whatever the rounds";
}

// A thread that sends request after request (as a file transfer does) lets
// a waiting thread in between two of its requests.
TEST_F(SharingTest, WaitingThreadGetsTheLineBetweenTwoRequests) {
  ASSERT_EQ(openHere(57600, 5, 400), RK_OK);
  constexpr int kBurst = 200;
  std::atomic<int> done{0};
  std::thread busy([&] {
    for (int i = 0; i < kBurst; ++i) {
      readHere();
      ++done;
    }
  });
  while (done < 2)
    std::this_thread::sleep_for(1ms);
  EXPECT_EQ(readHere(), RK_OK);
  const int doneWhenServed = done;
  busy.join();
  EXPECT_LT(doneWhenServed, kBurst / 2) << "not starved until the burst ended";
}

}  // namespace
