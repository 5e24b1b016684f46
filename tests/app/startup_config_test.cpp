// Start-up rules: switches, INI path, Data directory, coefficient file names.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "app/coefficient_file.h"
#include "app/startup_config.h"

namespace {

TEST(Switches, AreSubstringsOfTheCommandLine) {
  struct Case {
    const char *line;
    bool nd, send, calibr, test;
  } cases[] = {
      {"", false, false, false, false},
      {"x/ndy", true, false, false, false},
      {"/ND", false, false, false, false},  // case-sensitive
      {"/send/test", false, true, false, true},
      {"/calibr /nd", true, false, true, false},
      {"--calibrate /testing", false, false, false, true},  // inside longer words too
      {"/sen /tes /cal", false, false, false, false},
  };
  for (const Case &c : cases) {
    const app::Switches s = app::parseSwitches(c.line);
    EXPECT_EQ(s.nd, c.nd) << c.line;
    EXPECT_EQ(s.send, c.send) << c.line;
    EXPECT_EQ(s.calibr, c.calibr) << c.line;
    EXPECT_EQ(s.test, c.test) << c.line;
  }
  const char *argv[] = {"sentune", "/send", "x/ndy"};
  EXPECT_EQ(app::commandLineText(3, argv), "/send x/ndy");
  EXPECT_EQ(app::commandLineText(1, argv), "");
}

TEST(Paths, IniAndDataBesideTheExecutable) {
  struct Case {
    const char *exe, *ini, *data;
  } cases[] = {
      {"/opt/qvz/sentune", "/opt/qvz/sentune.ini", "/opt/qvz/Data/"},
      {"/opt/qvz/sentune.exe", "/opt/qvz/sentune.ini", "/opt/qvz/Data/"},
      {"/opt/q.v/sentune", "/opt/q.v/sentune.ini", "/opt/q.v/Data/"},  // a dot in a directory
      {"/opt/qvz/sentune.x", "/opt/qvz/sentune.x.ini", "/opt/qvz/Data/"},
      {"/opt/qvz/.hidden", "/opt/qvz/.hidden.ini", "/opt/qvz/Data/"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(app::iniPathBeside(c.exe), c.ini) << c.exe;
    EXPECT_EQ(app::dataDirBeside(c.exe), c.data) << c.exe;
  }
}

TEST(Paths, AnUnwritableDirectoryMovesThemToTheUsersDirectories) {
  const std::string tmp = testing::TempDir() + "/paths_" + std::to_string(::getpid());
  std::filesystem::create_directories(tmp + "/ro");
  std::filesystem::create_directories(tmp + "/rw");
  ::chmod((tmp + "/ro").c_str(), 0555);
  ::setenv("XDG_CONFIG_HOME", (tmp + "/config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (tmp + "/data").c_str(), 1);

  const app::Paths rw = app::choosePaths(tmp + "/rw/sentune");
  EXPECT_EQ(rw.iniPath, tmp + "/rw/sentune.ini");
  EXPECT_EQ(rw.dataDir, tmp + "/rw/Data/");
  if (::access((tmp + "/ro").c_str(), W_OK) != 0) {  // root may write anywhere
    const app::Paths ro = app::choosePaths(tmp + "/ro/sentune");
    EXPECT_EQ(ro.iniPath, tmp + "/config/sentune/sentune.ini");
    EXPECT_EQ(ro.dataDir, tmp + "/data/sentune/Data/");
  }
  const app::Paths missing = app::choosePaths(tmp + "/none/sentune");
  EXPECT_EQ(missing.iniPath, tmp + "/config/sentune/sentune.ini");
  // An installed program keeps them in the user's directories even where it
  // could write beside itself (root and /usr/bin, a user and ~/.local/bin).
  std::filesystem::create_directories(tmp + "/usr/bin");
  const app::Paths installed = app::choosePaths(tmp + "/usr/bin/sentune");
  EXPECT_EQ(installed.iniPath, tmp + "/config/sentune/sentune.ini");
  EXPECT_EQ(installed.dataDir, tmp + "/data/sentune/Data/");
  ::chmod((tmp + "/ro").c_str(), 0755);
  std::filesystem::remove_all(tmp);
}

TEST(Paths, BinDirectories) {
  for (const char *dir : {"/usr/bin/", "/usr/local/bin/", "/home/u/.local/bin/", "bin/"})
    EXPECT_TRUE(app::isBinDirectory(dir)) << dir;
  for (const char *dir :
       {"/opt/sentune/", "/home/u/cabinet/", "/srv/sbin/", "/q/bin.old/", "", "/usr/bin/sentune/"})
    EXPECT_FALSE(app::isBinDirectory(dir)) << dir;
}

TEST(CoefficientFile, NamedAfterSensorAndMinute) {
  std::tm t{};
  t.tm_mday = 9;
  t.tm_mon = 11;  // December
  t.tm_year = 2026 - 1900;
  t.tm_hour = 14;
  t.tm_min = 5;
  const app::CoefficientFileName n = app::coefficientFileName("/q/Data/", 1234, t);
  EXPECT_EQ(n.dir, "/q/Data/1234");
  EXPECT_EQ(n.path, "/q/Data/1234/09122026_1405.cf");
  EXPECT_EQ(app::coefficientFileName("/q/Data/", 0, t).dir, "/q/Data/0");
  EXPECT_EQ(app::coefficientFileName("/q/Data/", -7, t).dir, "/q/Data/-7");
  t.tm_sec = 59;  // two proposals within one minute get the same name
  EXPECT_EQ(app::coefficientFileName("/q/Data/", 1234, t).path, n.path);
}

}  // namespace
