// The qvzsim program: options, the printed path, control on standard input
// and on its socket.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <filesystem>
#include <thread>

#include "raw_port.h"
#include "tests/support/child_process.h"

namespace {

using rktest::ChildProcess;
using namespace std::chrono_literals;

const std::string kProgram = QVZSIM_PROGRAM;

// Lines of one answer: up to and including "ok" or a line that starts with "error".
std::vector<std::string> answer(ChildProcess &sim) {
  std::vector<std::string> lines;
  for (;;) {
    std::string l = sim.readLine(std::chrono::seconds(10));
    lines.push_back(l);
    if (l.empty() || l == "ok" || l.rfind("error", 0) == 0) return lines;
  }
}

std::string tempPath(const std::string &name) {
  return (std::filesystem::temp_directory_path() /
          ("qvzsim_prog_" + std::to_string(::getpid()) + "_" + name))
      .string();
}

TEST(Program, HelpDocumentsOptionsAndCommands) {
  const auto r = rktest::run(kProgram, {"--help"});
  EXPECT_EQ(r.status, 0);
  for (const char *word : {"--link", "--sensor", "type=1|2", "address=N", "baud=N", "state=FILE",
                           "--reaction-us", "--restart-ms", "--control", "--no-stdin", "fault KIND",
                           "silence crc truncate pieces address", "velocity", "savefile"})
    EXPECT_NE(r.out.find(word), std::string::npos) << word;
  const auto bad = rktest::run(kProgram, {"--sensor", "type=5"});
  EXPECT_NE(bad.status, 0);
  EXPECT_NE(rktest::run(kProgram, {"--bogus"}).status, 0);
}

TEST(Program, ServesSensorsAndTakesCommandsOnStandardInput) {
  const std::string link = tempPath("tty");
  ChildProcess sim(kProgram, {"--link", link, "--sensor", "type=1,address=3", "--sensor",
                              "type=2,address=4,baud=9600"});
  const std::string slave = sim.readLine(std::chrono::seconds(10));
  EXPECT_EQ(slave.rfind("/dev/pts/", 0), 0u) << slave;
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), slave);

  sim.send("sensors");
  auto a = answer(sim);
  ASSERT_EQ(a.size(), 3u);
  EXPECT_NE(a[0].find("gap-vibration address 3 baud 57600"), std::string::npos) << a[0];
  EXPECT_NE(a[1].find("three-axis address 4 baud 9600"), std::string::npos) << a[1];

  sim.send("noise 0\ngap 2.75\nfault exception code=6 count=1");
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(answer(sim).back(), "ok");
  simtest::RawPort port(link, 57600);
  EXPECT_EQ(port.transact(simtest::readRequest(3, 4, 0, 2), 5), simtest::withCrc({3, 0x84, 6}));
  const auto r = port.transact(simtest::readRequest(3, 4, 0, 2), 9);
  ASSERT_EQ(r.size(), 9u);

  sim.send("requests 2");
  a = answer(sim);
  EXPECT_EQ(a[0], "total 2");
  EXPECT_EQ(a[1], "function 4 2");
  EXPECT_EQ(a[2], "fn 4 start 0 count 2 baud 57600 fault exception");
  EXPECT_EQ(a[3], "fn 4 start 0 count 2 baud 57600");

  sim.send("setfloat 18 0.75\nfloat 18\nholding 2 2\nbogus\nuse 1\nstatus");
  EXPECT_EQ(answer(sim).back(), "ok");
  EXPECT_EQ(answer(sim), (std::vector<std::string>{"0.75", "ok"}));
  EXPECT_EQ(answer(sim), (std::vector<std::string>{"2 0x0000 0", "3 0x4040 16448", "ok"}));
  EXPECT_EQ(answer(sim).back().rfind("error: unknown command", 0), 0u);
  EXPECT_EQ(answer(sim).back(), "ok");
  a = answer(sim);
  EXPECT_EQ(a[0], "type 2");
  EXPECT_EQ(a[1], "address 4");

  sim.send("quit");
  EXPECT_EQ(answer(sim).back(), "ok");
  EXPECT_EQ(sim.wait(), 0);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(Program, ControlSocketAndSignal) {
  const std::string socketPath = tempPath("ctl");
  ChildProcess sim(kProgram, {"--no-stdin", "--control", socketPath});
  ASSERT_FALSE(sim.readLine(std::chrono::seconds(10)).empty());
  // The socket is made after the path is printed.
  const auto until = std::chrono::steady_clock::now() + 10s;
  while (!std::filesystem::exists(socketPath) && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(10ms);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", socketPath.c_str());
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
  const std::string cmd = "counters\n";
  ASSERT_EQ(write(fd, cmd.data(), cmd.size()), ssize_t(cmd.size()));
  std::string got;
  char buf[256];
  while (got.find("ok\n") == std::string::npos) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    got.append(buf, size_t(n));
  }
  EXPECT_EQ(got, "frames 0\nbad 0\nunheard 0\ncollisions 0\nreplies 0\nok\n");
  close(fd);
  EXPECT_EQ(sim.terminate(), 0);  // ends cleanly on SIGTERM, socket removed
  EXPECT_FALSE(std::filesystem::exists(socketPath));
}

}  // namespace
