// The operating-system layer: code pages, port map, named objects, processes,
// temporary files and file replacement.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "platform/cp1251.h"
#include "platform/errors.h"
#include "platform/file_io.h"
#include "platform/ipc_name.h"
#include "platform/named_mutex.h"
#include "platform/port_map.h"
#include "platform/process.h"
#include "platform/shared_memory.h"
#include "platform/temp_file.h"
#include "tests/support/rk_test_env.h"

namespace {

std::string iconvToUtf8(const std::string &in) {
  iconv_t cd = iconv_open("UTF-8", "CP1251");
  std::string out(in.size() * 4, '\0');
  char *src = const_cast<char *>(in.data());
  char *dst = out.data();
  size_t srcLeft = in.size(), dstLeft = out.size();
  iconv(cd, &src, &srcLeft, &dst, &dstLeft);
  iconv_close(cd);
  out.resize(out.size() - dstLeft);
  return out;
}

std::string uniqueName(const std::string &what) {
  return platform::ipcName("rk-platform-test-" + what + "-" + std::to_string(::getpid()));
}

TEST(Cp1251, EveryByteAgreesWithIconv) {
  for (int b = 1; b < 256; ++b) {
    if (b == 0x98) continue;  // unassigned in the code page
    const std::string one(1, static_cast<char>(b));
    const std::string utf8 = platform::cp1251ToUtf8(one);
    EXPECT_EQ(utf8, iconvToUtf8(one)) << "byte " << b;
    EXPECT_EQ(platform::utf8ToCp1251(utf8), one) << "byte " << b;
  }
}

TEST(Cp1251, UnmappableAndBrokenInput) {
  EXPECT_EQ(platform::utf8ToCp1251("a\xE2\x82"), "a?") << "cut sequence";
  EXPECT_EQ(platform::utf8ToCp1251("\xFF"
                                   "b"),
            "?b");
  EXPECT_EQ(platform::utf8ToCp1251("日"), "?");
  EXPECT_EQ(platform::utf8ToCp1251("Ёж №1"),
            "\xA8\xE6 \xB9"
            "1");
}

TEST(PortMap, EnvironmentThenFileThenDefaults) {
  const std::string file = platform::tempDirectory() + "/rk-ports-" + std::to_string(::getpid());
  {
    std::ofstream out(file);
    out << "# bench ports\n\n  com7 = /dev/ttyBench7  \nCOM8=/dev/ttyBench8\nbroken line\n";
  }
  ::setenv("RK_PORTS", file.c_str(), 1);
  ::setenv("RK_COM8", "/dev/fromEnv", 1);
  ::unsetenv("RK_COM1");
  ::unsetenv("RK_COM7");
  ::unsetenv("RK_COM14");
  EXPECT_EQ(platform::comDevicePath(7), "/dev/ttyBench7");
  EXPECT_EQ(platform::comDevicePath(8), "/dev/fromEnv");
  EXPECT_EQ(platform::comDevicePath(1), "/dev/ttyS0");
  EXPECT_EQ(platform::comDevicePath(4), "/dev/ttyS3");
  EXPECT_EQ(platform::comDevicePath(5), "/dev/ttyUSB0");
  EXPECT_EQ(platform::comDevicePath(12), "/dev/ttyUSB7");
  EXPECT_EQ(platform::comDevicePath(14), "/dev/ttyACM1");
  EXPECT_EQ(platform::comDevicePath(17), "");
  ::unsetenv("RK_COM8");
  ::unsetenv("RK_PORTS");
  ::unlink(file.c_str());
}

TEST(IpcName, SuffixFromTheEnvironment) {
  EXPECT_EQ(platform::ipcName("RK_MUTEX_COM0"), "/RK_MUTEX_COM0" + rktest::ipcSuffix());
  EXPECT_FALSE(rktest::ipcSuffix().empty()) << "tests run with a private suffix";
}

TEST(SharedMemory, CreatorInitialisesOthersJoin) {
  const std::string name = uniqueName("shm");
  platform::SharedMemory a, b;
  bool created = false;
  ASSERT_EQ(a.openOrCreate(
                name, 64, [](void *p) { static_cast<char *>(p)[1] = 'x'; }, &created),
            0u);
  EXPECT_TRUE(created);
  EXPECT_EQ(static_cast<char *>(a.data())[0], 0) << "zero-filled";
  EXPECT_EQ(static_cast<char *>(a.data())[1], 'x');
  ASSERT_EQ(b.openOrCreate(
                name, 64, [](void *p) { static_cast<char *>(p)[1] = 'y'; }, &created),
            0u);
  EXPECT_FALSE(created);
  EXPECT_EQ(static_cast<char *>(b.data())[1], 'x') << "a joiner never initialises";
  platform::SharedMemory::unlink(name);
}

// Named objects outlive their processes: one left by a version with a smaller
// layout is replaced, not refused for ever.
TEST(SharedMemory, ObjectTooSmallForUsIsReplaced) {
  const std::string name = uniqueName("small");
  platform::SharedMemory old, current;
  ASSERT_EQ(old.openOrCreate(name, 40, [](void *p) { static_cast<char *>(p)[0] = 'o'; }), 0u);
  bool created = false;
  ASSERT_EQ(current.openOrCreate(
                name, 48, [](void *p) { static_cast<char *>(p)[0] = 'n'; }, &created),
            0u);
  EXPECT_TRUE(created);
  EXPECT_EQ(static_cast<char *>(current.data())[0], 'n');
  platform::SharedMemory joiner;
  ASSERT_EQ(joiner.openOrCreate(name, 48, nullptr, &created), 0u);
  EXPECT_FALSE(created) << "the replacement is the object later users join";
  EXPECT_EQ(static_cast<char *>(joiner.data())[0], 'n');
  platform::SharedMemory::unlink(name);
}

// Many processes create one named mutex at the same moment; each must get
// a working mutex (a half-made one would fail or deadlock).
TEST(NamedMutex, RaceFreeCreationAcrossProcesses) {
  const std::string name = uniqueName("race");
  const std::string counterName = uniqueName("counter");
  platform::SharedMemory counter;
  ASSERT_EQ(counter.openOrCreate(counterName, sizeof(int)), 0u);
  std::vector<pid_t> children;
  for (int i = 0; i < 6; ++i) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      platform::NamedMutex m;
      if (m.open(name) != 0) ::_exit(2);
      for (int k = 0; k < 200; ++k) {
        if (!platform::obtained(m.lock(platform::NamedMutex::kInfinite))) ::_exit(3);
        int *c = static_cast<int *>(counter.data());
        const int v = *c;
        *c = v + 1;
        m.unlock();
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(*static_cast<int *>(counter.data()), 6 * 200);
  platform::SharedMemory::unlink(name);
  platform::SharedMemory::unlink(counterName);
}

TEST(NamedMutex, RecursiveTimedAndAbandonedByAThread) {
  const std::string name = uniqueName("mutex");
  platform::NamedMutex m;
  ASSERT_EQ(m.open(name), 0u);
  EXPECT_EQ(m.lock(0), platform::LockResult::Acquired);
  EXPECT_EQ(m.lock(0), platform::LockResult::Acquired) << "the owner may take it again";
  m.unlock();
  std::thread other([&] {
    platform::NamedMutex same;
    ASSERT_EQ(same.open(name), 0u);
    EXPECT_EQ(same.lock(0), platform::LockResult::TimedOut);
    EXPECT_EQ(same.lock(30), platform::LockResult::TimedOut);
  });
  other.join();
  m.unlock();

  // A thread that ends while holding it abandons it.
  std::thread holder([&] { EXPECT_EQ(m.lock(0), platform::LockResult::Acquired); });
  holder.join();
  EXPECT_EQ(m.lock(1000), platform::LockResult::Abandoned);
  m.unlock();
  EXPECT_EQ(m.lock(0), platform::LockResult::Acquired) << "consistent again";
  m.unlock();
  platform::SharedMemory::unlink(name);
}

TEST(Process, AliveAndEnded) {
  EXPECT_TRUE(platform::processAlive(platform::currentProcessId()));
  EXPECT_TRUE(platform::processAlive(1));
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  // Not yet reaped: a zombie holds nothing and counts as ended.
  for (int i = 0; i < 1000 && platform::processAlive(static_cast<uint32_t>(child)); ++i) {
    ::usleep(10000);
  }
  EXPECT_FALSE(platform::processAlive(static_cast<uint32_t>(child)));
  ::waitpid(child, nullptr, 0);
  EXPECT_FALSE(platform::processAlive(static_cast<uint32_t>(child)));
  EXPECT_FALSE(platform::processAlive(0));
  EXPECT_NE(platform::executablePath().find("platform_test"), std::string::npos);
}

TEST(TempFile, UniqueExclusivePrivate) {
  std::string a, b;
  int fa = -1, fb = -1;
  ASSERT_EQ(platform::createTempFile("RK", a, fa), 0u);
  ASSERT_EQ(platform::createTempFile("RK", b, fb), 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(a.rfind(platform::tempDirectory() + "/RK", 0), 0u);
  struct stat st {};
  ASSERT_EQ(::fstat(fa, &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ::close(fa);
  ::close(fb);
  ::unlink(a.c_str());
  ::unlink(b.c_str());
}

TEST(TempFile, MissingDirectoryIsAnError) {
  ::setenv("TMPDIR", "/nonexistent-rk-dir", 1);
  std::string path;
  int fd = -1;
  EXPECT_EQ(platform::createTempFile("RK", path, fd), platform::kErrFileNotFound);
  ::unsetenv("TMPDIR");
}

std::string contents(const std::string &path) {
  std::ifstream in(path);
  std::string text;
  std::getline(in, text, '\0');
  return text;
}

TEST(ReplaceFile, SameAndOtherFileSystem) {
  const std::string dir = platform::tempDirectory();
  const std::string target = dir + "/rk-replace-" + std::to_string(::getpid());
  std::ofstream(target) << "old";
  // Same file system.
  const std::string fresh = target + ".new";
  std::ofstream(fresh) << "new";
  ASSERT_EQ(platform::replaceFile(fresh, target), 0u);
  EXPECT_EQ(contents(target), "new");
  EXPECT_NE(::access(fresh.c_str(), F_OK), 0);
  // From /dev/shm (a tmpfs of its own) the file is copied beside the target.
  const std::string far = "/dev/shm/rk-replace-" + std::to_string(::getpid());
  std::ofstream(far) << "far";
  ASSERT_EQ(platform::replaceFile(far, target), 0u);
  EXPECT_EQ(contents(target), "far");
  EXPECT_NE(::access(far.c_str(), F_OK), 0);
  // A target that cannot be written keeps the old file and removes the new.
  std::ofstream(fresh) << "lost";
  EXPECT_NE(platform::replaceFile(fresh, "/nonexistent-rk-dir/x"), 0u);
  EXPECT_NE(::access(fresh.c_str(), F_OK), 0);
  ::unlink(target.c_str());
}

TEST(Errors, TranslationAndTexts) {
  struct Case {
    int err;
    uint32_t code;
  } cases[] = {{ENOENT, 2},      {ENODEV, 2},    {EBUSY, 5},
               {EWOULDBLOCK, 5}, {EACCES, 1314}, {EPERM, 1314},
               {EIO, 1117},      {ENOSPC, 112},  {0, 0}};
  for (const Case &c : cases) {
    EXPECT_EQ(platform::codeFromErrno(c.err), c.code) << c.err;
    if (c.code != 0) {
      EXPECT_FALSE(platform::systemErrorText(c.code).empty()) << c.code;
    }
  }
  const uint32_t odd = platform::codeFromErrno(EXDEV);
  EXPECT_EQ(odd, platform::kErrnoBase + EXDEV);
  EXPECT_NE(platform::systemErrorText(odd).find("системная ошибка"), std::string::npos);
  EXPECT_EQ(platform::systemErrorText(4242), "");
}

}  // namespace
