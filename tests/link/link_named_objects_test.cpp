// rk's named objects (port table, port mutexes, transfer mutex) go with the
// last process that uses them. The processes here are rk_port_helper
// (librk.so) under a suffix of their own, which this test process never
// opens, so they are the only users.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/pty_device.h"
#include "tests/support/rk_test_env.h"

namespace {

using rktest::ChildProcess;

class NamedObjects : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    suffix_ = rktest::ipcSuffix() + ".helpers." + info->name();
    rktest::mapComPort(3, dev.path());
    dev.setHandler(std::ref(registers));
  }
  // Whatever a failure left behind.
  void TearDown() override {
    if (spawned_ > 0) ::kill(spawned_, SIGKILL);
    for (const std::string &name : objects())
      std::filesystem::remove("/dev/shm/" + name);
  }

  // A helper that loads the library with the helpers' suffix.
  std::unique_ptr<ChildProcess> helper() {
    ::setenv("RK_IPC_SUFFIX", suffix_.c_str(), 1);
    auto child = std::make_unique<ChildProcess>(rktest::executableDirectory() + "/rk_port_helper",
                                                std::vector<std::string>{});
    ::setenv("RK_IPC_SUFFIX", base_.c_str(), 1);
    return child;
  }

  // The names in /dev/shm that end with the helpers' suffix.
  std::vector<std::string> objects() const {
    std::vector<std::string> names;
    for (const auto &e : std::filesystem::directory_iterator("/dev/shm")) {
      const std::string name = e.path().filename().string();
      if (name.size() > suffix_.size() && name.ends_with(suffix_)) names.push_back(name);
    }
    return names;
  }

  static constexpr const char *kOpen = "open 2 57600 5 200";  // COM3
  static constexpr const char *kRead = "read 2 1";

  // Waits at most 10 s for the helpers' objects to be gone.
  bool objectsGone() const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!objects().empty() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return objects().empty();
  }

  const std::string base_ = rktest::ipcSuffix();
  pid_t spawned_ = 0;  // a helper's forked child, not ours to reap
  std::string suffix_;
  rktest::RegisterDevice registers{1};
  rktest::PtyDevice dev;
};

TEST_F(NamedObjects, GoWithTheLastUser) {
  auto a = helper();
  auto b = helper();
  ASSERT_EQ(a->ask(kOpen), "0");
  ASSERT_EQ(b->ask(kOpen), "0");
  ASSERT_EQ(a->ask(kRead), "0");
  EXPECT_EQ(objects().size(), 3u) << "table, transfer mutex, mutex of COM3";

  a->send("exit");
  ASSERT_EQ(a->wait(), 0);
  EXPECT_EQ(objects().size(), 3u) << "b still uses them";
  EXPECT_EQ(b->ask(kRead), "0");

  b->send("exit");
  ASSERT_EQ(b->wait(), 0);
  EXPECT_TRUE(objects().empty());
}

TEST_F(NamedObjects, KilledUserLeavesThemToTheNextLastUser) {
  auto a = helper();
  ASSERT_EQ(a->ask(kOpen), "0");
  a->kill();
  EXPECT_EQ(objects().size(), 3u) << "a killed process removes nothing";

  auto c = helper();
  ASSERT_EQ(c->ask(kOpen), "0") << "the dead user's pair is dropped";
  ASSERT_EQ(c->ask(kRead), "0");
  c->send("exit");
  ASSERT_EQ(c->wait(), 0);
  EXPECT_TRUE(objects().empty());
}

// A child forked from a user shares its lock on the table; its exit must not
// take the objects from under its parent.
TEST_F(NamedObjects, ForkedChildRemovesNothing) {
  auto a = helper();
  ASSERT_EQ(a->ask(kOpen), "0");
  ASSERT_EQ(a->ask("fork"), "0");
  EXPECT_EQ(objects().size(), 3u);
  EXPECT_EQ(a->ask(kRead), "0");
  a->send("exit");
  ASSERT_EQ(a->wait(), 0);
  EXPECT_TRUE(objects().empty());
}

// A child forked from a user that outlives its parent (a program that puts
// itself in the background) is a user of its own: the parent leaving does
// not take the objects from under it, nor keep newcomers out, and the child
// leaving last takes them with it.
TEST_F(NamedObjects, ForkedChildOutlivingItsParentKeepsThem) {
  auto a = helper();
  ASSERT_EQ(a->ask(kOpen), "0");
  spawned_ = std::stoi(a->ask("spawn"));
  a->send("exit");
  ASSERT_EQ(a->wait(), 0);
  EXPECT_EQ(objects().size(), 3u) << "the child still has them";

  auto b = helper();
  ASSERT_EQ(b->ask(kOpen), "0") << "a newcomer loads and opens";
  ASSERT_EQ(b->ask(kRead), "0");
  b->send("exit");
  ASSERT_EQ(b->wait(), 0);
  EXPECT_EQ(objects().size(), 3u) << "the child still has them";

  ASSERT_EQ(::kill(spawned_, SIGTERM), 0);
  spawned_ = 0;
  EXPECT_TRUE(objectsGone()) << "the child was the last user";
}

// A process that loads the library while the last user is leaving gets a
// working table: the old one, or a new one once the old is gone.
TEST_F(NamedObjects, ArrivalDuringRemovalGetsAWorkingTable) {
  auto previous = helper();
  ASSERT_EQ(previous->ask(kOpen), "0");
  for (int round = 0; round < 10; ++round) {
    previous->send("exit");
    auto next = helper();
    ASSERT_EQ(previous->wait(), 0);
    ASSERT_EQ(next->ask(kOpen), "0") << "round " << round;
    ASSERT_EQ(next->ask(kRead), "0") << "round " << round;
    previous = std::move(next);
  }
  previous->send("exit");
  ASSERT_EQ(previous->wait(), 0);
  EXPECT_TRUE(objects().empty());
}

}  // namespace
