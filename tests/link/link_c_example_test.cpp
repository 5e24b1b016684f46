// The C example program: only rk.h and librk.so, a port named by RK_COM<n>.
#include <gtest/gtest.h>

#include "platform/cp1251.h"
#include "tests/support/child_process.h"
#include "tests/support/pty_device.h"
#include "tests/support/rk_test_env.h"

namespace {

TEST(CExample, ReadsAndWritesRegistersAndPrintsTexts) {
  rktest::RegisterDevice registers(7);
  rktest::PtyDevice dev;
  registers.setReg(11, 0xBEEF);
  dev.setHandler(std::ref(registers));
  rktest::mapComPort(9, dev.path());

  rktest::ChildProcess example(RK_EXAMPLE_PATH, {"9", "7"});
  std::vector<std::string> lines;
  for (std::string line = example.readLine(); !line.empty(); line = example.readLine()) {
    lines.push_back(line);
  }
  ASSERT_EQ(example.wait(), 0);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "open: 00000000 ");
  EXPECT_EQ(lines[1], "write: 00000000 ");
  EXPECT_EQ(lines[2], "read: 00000000 ");
  EXPECT_EQ(lines[3], "registers: 1234 BEEF");
  EXPECT_EQ(lines[4], "good 2 bad 0 failed 0");
  EXPECT_EQ(registers.reg(10), 0x1234);
}

TEST(CExample, PrintsTheRussianTextOfAFailure) {
  rktest::PtyDevice silent;
  rktest::mapComPort(10, silent.path());
  rktest::ChildProcess example(RK_EXAMPLE_PATH, {"10", "7"});
  std::string write;
  example.readLine();
  write = example.readLine();
  example.wait();
  EXPECT_EQ(platform::cp1251ToUtf8(write), "write: E0E00004 нет ответа от датчика");
}

}  // namespace
