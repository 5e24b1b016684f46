#include "platform/ini.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using platform::iniReadInt;
using platform::iniReadString;
using platform::iniWriteString;

namespace {

class IniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "ini_test.XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    path_ = (dir_ / "sentune.ini").string();
  }
  void TearDown() override {
    ::chmod(dir_.c_str(), 0700);
    fs::remove_all(dir_);
  }

  void put(const std::string &text) const { std::ofstream(path_, std::ios::binary) << text; }
  std::string get() const {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir_))
      names.push_back(e.path().filename());
    return names;
  }

  fs::path dir_;
  std::string path_;
};

TEST_F(IniTest, MissingFileReadsDefaultsAndFirstWriteCreatesIt) {
  EXPECT_EQ(iniReadString(path_, "E140", "Rate", "30000"), "30000");
  EXPECT_EQ(iniReadInt(path_, "E140", "NM", 15008), 15008);
  EXPECT_FALSE(fs::exists(path_));

  ASSERT_TRUE(iniWriteString(path_, "SETTINGS", "IdStr", "rk.dll,1,9600,20,100"));
  EXPECT_EQ(get(), "[SETTINGS]\nIdStr=rk.dll,1,9600,20,100\n");
  EXPECT_EQ(iniReadString(path_, "SETTINGS", "IdStr", ""), "rk.dll,1,9600,20,100");
}

TEST_F(IniTest, SectionsAndKeysMatchWithoutRegardToCase) {
  put("[Settings]\nDeviceId=300\n");
  EXPECT_EQ(iniReadString(path_, "SETTINGS", "deviceid", ""), "300");
  EXPECT_EQ(iniReadInt(path_, "settings", "DEVICEID", 0), 300);

  ASSERT_TRUE(iniWriteString(path_, "sEtTiNgS", "DEVICEID", "44"));
  EXPECT_EQ(get(), "[Settings]\nDeviceId=44\n") << "the file keeps its own spelling";
}

TEST_F(IniTest, ReadsValuesByThePrivateProfileRules) {
  put("top=outside any section\n"
      "[A]\n"
      "  spaced   =   value with inner  blanks  \t\n"
      "eq=a=b\n"
      ";hidden=comment\n"
      "#also=comment\n"
      "dup=first\n"
      "no equals sign\n"
      "dup=second\n"
      "empty=\n"
      "quoted=\"  kept blanks  \"\n"
      "single='x'\n"
      "half=\"x\n"
      "[ B ]\n"
      "k=b1\n"
      "[a]\n"
      "late=from the second A\n");
  struct Case {
    const char *section, *key, *expected;
  } cases[] = {
      {"A", "spaced", "value with inner  blanks"},
      {"A", "eq", "a=b"},
      {"A", ";hidden", "-"},
      {"A", "#also", "-"},
      {"A", "hidden", "-"},
      {"A", "dup", "first"},
      {"A", "no equals sign", "-"},
      {"A", "empty", ""},
      {"A", "quoted", "  kept blanks  "},
      {"A", "single", "x"},
      {"A", "half", "\"x"},
      {"A", "top", "-"},
      {"", "top", "-"},
      {"B", "k", "b1"},
      {" b ", " K ", "b1"},
      {"A", "late", "from the second A"},
      {"C", "k", "-"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(iniReadString(path_, c.section, c.key, "-"), c.expected)
        << "[" << c.section << "] " << c.key;
  }
}

TEST_F(IniTest, IntegersFollowTheLeadingDigits) {
  struct Case {
    const char *value;
    int expected;
  } cases[] = {
      {"12", 12},
      {"  -7  ", -7},
      {"+5", 5},
      {"15008abc", 15008},
      {"abc", 0},
      {"-", 0},
      {"0x10", 0},
      {"3.9", 3},
      {"", 77},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
      {"4294967295", -1},
      {"99999999999", 1215752191},
  };
  for (const Case &c : cases) {
    put(std::string("[E140]\nNM=") + c.value + "\n");
    EXPECT_EQ(iniReadInt(path_, "E140", "NM", 77), c.expected) << '"' << c.value << '"';
  }
  EXPECT_EQ(iniReadInt(path_, "E140", "absent", -3), -3);
}

TEST_F(IniTest, WritesChangeOnlyTheirLine) {
  const std::string before =
      "; sentune settings\n"
      "\n"
      "[SETTINGS]\n"
      "IdStr = rk.dll,3,19200,20,100\n"
      "S1=0.1\n"
      "; trailing comment of SETTINGS\n"
      "\n"
      "[Unknown]\n"
      "x=1\n"
      "\n"
      "[E140]\n"
      "NM=15008\n";
  put(before);

  ASSERT_TRUE(iniWriteString(path_, "SETTINGS", "IdStr", "rk.dll,4,9600,20,100"));
  std::string expected = before;
  expected.replace(expected.find("rk.dll,3,19200"), 21, "rk.dll,4,9600,20,100");
  EXPECT_EQ(get(), expected) << "spacing around '=' stays";

  ASSERT_TRUE(iniWriteString(path_, "SETTINGS", "S2", "0.2"));
  expected.insert(expected.find("S1=0.1\n") + 7, "S2=0.2\n");
  EXPECT_EQ(get(), expected) << "a new key follows the section's last key";

  ASSERT_TRUE(iniWriteString(path_, "Extra", "k", "v"));
  expected += "\n[Extra]\nk=v\n";
  EXPECT_EQ(get(), expected) << "a new section goes to the end";

  ASSERT_TRUE(iniWriteString(path_, "Empty", "k", "v"));
  expected += "\n[Empty]\nk=v\n";
  EXPECT_EQ(get(), expected);
}

TEST_F(IniTest, KeepsLineEndsByteOrderMarkAndUtf8) {
  put("\xEF\xBB\xBF[A]\r\nname=Датчик\r\nlast=no line end");
  EXPECT_EQ(iniReadString(path_, "A", "name", ""), "Датчик");
  EXPECT_EQ(iniReadString(path_, "A", "last", ""), "no line end");

  ASSERT_TRUE(iniWriteString(path_, "A", "name", "вибрация"));
  EXPECT_EQ(get(), "\xEF\xBB\xBF[A]\r\nname=вибрация\r\nlast=no line end");

  ASSERT_TRUE(iniWriteString(path_, "A", "added", "1"));
  EXPECT_EQ(get(), "\xEF\xBB\xBF[A]\r\nname=вибрация\r\nlast=no line end\r\nadded=1\r\n");
}

TEST_F(IniTest, RoundTripsTextsWithEverythingAValueCanHold) {
  const std::vector<std::string> values = {
      "0.90", "", "a=b=c", "; not a comment here", "[not a section]", "Гц \t tab", "x\x01y"};
  for (size_t i = 0; i < values.size(); ++i) {
    const std::string key = "K" + std::to_string(i);
    ASSERT_TRUE(iniWriteString(path_, "S", key, values[i])) << key;
  }
  for (size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(iniReadString(path_, "S", "K" + std::to_string(i), "-"), values[i]);
  }
}

TEST_F(IniTest, RefusesWhatWouldBreakTheFile) {
  put("[A]\nk=1\n");
  struct Case {
    const char *section, *key, *value;
  } cases[] = {
      {"A", "k", "two\nlines"}, {"A", "k", "cr\r"}, {"A", "", "v"},
      {"A", "a=b", "v"},        {"", "k", "v"},     {"A]", "k", "v"},
      {"A", "[k", "v"},         {"A", ";k", "v"},   {"A\nB", "k", "v"},
  };
  for (const Case &c : cases) {
    EXPECT_FALSE(iniWriteString(path_, c.section, c.key, c.value)) << c.section << "/" << c.key;
  }
  EXPECT_EQ(get(), "[A]\nk=1\n");
}

TEST_F(IniTest, KeepsModeAndSymbolicLink) {
  put("[A]\nk=1\n");
  ASSERT_EQ(::chmod(path_.c_str(), 0640), 0);
  const std::string link = (dir_ / "link.ini").string();
  fs::create_symlink(path_, link);

  ASSERT_TRUE(iniWriteString(link, "A", "k", "2"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(get(), "[A]\nk=2\n");
  struct stat st {};
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(entries().size(), 2u) << "no temporary file is left";
}

// Runs a write as an ordinary user in a child process: root may read and
// write anything, so permission tests give up root first. Returns the
// write's result, or nullopt when the child could not run it.
std::optional<bool> writeAsOrdinaryUser(const std::string &path, const std::string &value) {
  const pid_t child = ::fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    if (::geteuid() == 0) {
      const passwd *nobody = ::getpwnam("nobody");
      if (nobody == nullptr || ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) {
        ::_exit(3);
      }
    }
    ::_exit(iniWriteString(path, "SETTINGS", "IdStr", value) ? 1 : 0);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) > 1) {
    return std::nullopt;
  }
  return WEXITSTATUS(status) == 1;
}

TEST_F(IniTest, PermissionFailuresKeepTheOldFile) {
  struct Case {
    const char *what;
    mode_t dirMode, fileMode;
  } cases[] = {{"read-only directory", 0555, 0666}, {"unreadable file", 0777, 0222}};
  const std::string before = "[SETTINGS]\nIdStr=rk.dll,1,9600,20,100\nS1=0.1\n";
  for (const Case &c : cases) {
    put(before);
    ASSERT_EQ(::chmod(path_.c_str(), c.fileMode), 0);
    ASSERT_EQ(::chmod(dir_.c_str(), c.dirMode), 0);
    EXPECT_EQ(writeAsOrdinaryUser(path_, "changed"), std::optional<bool>(false)) << c.what;
    ASSERT_EQ(::chmod(dir_.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(path_.c_str(), 0600), 0);
    EXPECT_EQ(get(), before) << c.what;
    EXPECT_EQ(entries().size(), 1u) << c.what;
  }
}

TEST_F(IniTest, RelativePathIsWrittenBesideItsFile) {
  const fs::path home = fs::current_path();
  fs::current_path(dir_);
  const bool written = iniWriteString("sentune.ini", "A", "k", "v");
  const std::string read = iniReadString("sentune.ini", "A", "k", "");
  fs::current_path(home);
  EXPECT_TRUE(written);
  EXPECT_EQ(read, "v");
  EXPECT_EQ(get(), "[A]\nk=v\n");
  EXPECT_EQ(entries(), std::vector<std::string>{"sentune.ini"});
}

TEST_F(IniTest, WriteOverADirectoryFailsWithoutLeftovers) {
  fs::create_directory(path_);
  EXPECT_FALSE(iniWriteString(path_, "A", "k", "v"));
  EXPECT_EQ(iniReadString(path_, "A", "k", "def"), "def");
  EXPECT_EQ(entries().size(), 1u);
}

TEST_F(IniTest, SeveralKeysInOneWriteGiveWhatSeparateWritesGive) {
  const std::string before = "[Other]\nk=1\n\n[SETTINGS]\nS1=0.05\nS5=\n; end\n[E140]\nNM=64";
  const platform::IniEntry entries[] = {
      {"S2", "0.40"}, {"s5", "2.30"}, {"S10", "6.05"}, {"S2", "0.41"}};
  const std::string separate = (dir_ / "separate.ini").string();
  std::ofstream(separate, std::ios::binary) << before;
  for (const platform::IniEntry &e : entries)
    ASSERT_TRUE(iniWriteString(separate, "SETTINGS", e.key, e.value));
  put(before);
  ASSERT_TRUE(platform::iniWriteStrings(path_, "SETTINGS", entries));
  std::ifstream in(separate, std::ios::binary);
  std::ostringstream expected;
  expected << in.rdbuf();
  EXPECT_EQ(get(), expected.str());

  const platform::IniEntry bad[] = {{"S3", "0.90"}, {"a=b", "v"}};
  EXPECT_FALSE(platform::iniWriteStrings(path_, "SETTINGS", bad));
  EXPECT_EQ(get(), expected.str()) << "one bad key writes nothing";

  const std::string none = (dir_ / "none.ini").string();
  EXPECT_TRUE(platform::iniWriteStrings(none, "SETTINGS", {}));
  EXPECT_FALSE(fs::exists(none)) << "no keys, no file";
}

TEST_F(IniTest, ConcurrentWritersOfOneFileLoseNothing) {
  put("[A]\n");
  constexpr int kThreads = 4;
  constexpr int kKeys = 25;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t] {
      for (int k = 0; k < kKeys; ++k) {
        const std::string key = "t" + std::to_string(t) + "k" + std::to_string(k);
        EXPECT_TRUE(iniWriteString(path_, "A", key, std::to_string(t * 1000 + k)));
      }
    });
  }
  for (std::thread &th : threads)
    th.join();
  for (int t = 0; t < kThreads; ++t) {
    for (int k = 0; k < kKeys; ++k) {
      const std::string key = "t" + std::to_string(t) + "k" + std::to_string(k);
      EXPECT_EQ(iniReadInt(path_, "A", key, -1), t * 1000 + k) << key;
    }
  }
}

}  // namespace
