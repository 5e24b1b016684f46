// Coefficient files: layout, atomic replacement, and the failure results.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "device/table_file.h"

namespace device {
namespace {

namespace fs = std::filesystem;

class TableFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("device_table_file_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::vector<char> read(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  // Every entry of the directory but the ones named.
  std::vector<std::string> strayFiles(const std::string &keep) const {
    std::vector<std::string> out;
    for (const auto &e : fs::directory_iterator(dir_)) {
      if (e.path().filename() != keep) out.push_back(e.path().filename().string());
    }
    return out;
  }
  static TableImage sampleImage() {
    TableImage image{};
    for (int i = 0; i < kTableSize; ++i) {
      image.gapTable[i] = 0.01f * static_cast<float>(i);
      image.kwTable[i] = 1.0f + 0.001f * static_cast<float>(i);
    }
    image.tableTail.ks2 = 1.25f;
    image.tableTail.kw2 = 0.75f;
    image.tableTail.gapTableMinUs = 2.0f;
    image.tableTail.gapTableMaxUs = 18.0f;
    return image;
  }

  fs::path dir_;
};

TEST_F(TableFile, LayoutIs1536LittleEndianFloats) {
  const fs::path path = dir_ / "0001_table.cf";
  const TableImage image = sampleImage();
  ASSERT_EQ(writeCoefficientFile(path.string(), image), 0);
  const std::vector<char> bytes = read(path);
  ASSERT_EQ(bytes.size(), 6144u);
  auto floatAt = [&](int i) {
    const auto *b = reinterpret_cast<const unsigned char *>(bytes.data() + 4 * i);
    return std::bit_cast<float>(static_cast<uint32_t>(b[0] | b[1] << 8 | b[2] << 16 | b[3] << 24));
  };
  EXPECT_EQ(floatAt(0), image.gapTable[0]);
  EXPECT_EQ(floatAt(749), image.gapTable[749]);
  EXPECT_EQ(floatAt(750), image.kwTable[0]);
  EXPECT_EQ(floatAt(1502), 1.25f);  // ks2
  EXPECT_EQ(floatAt(1503), 0.75f);  // kw2
  EXPECT_EQ(floatAt(1505), 2.0f);   // gapTableMinUs
  for (int i = 1509; i < 1536; ++i)
    EXPECT_EQ(floatAt(i), 0.0f) << i;
  EXPECT_TRUE(strayFiles("0001_table.cf").empty());
}

TEST_F(TableFile, ReplacesAnOldFileAndKeepsItsPermissions) {
  const fs::path path = dir_ / "t.cf";
  { std::ofstream(path) << "old content"; }
  ::chmod(path.c_str(), 0640);
  ASSERT_EQ(writeCoefficientFile(path.string(), sampleImage()), 0);
  EXPECT_EQ(fs::file_size(path), 6144u);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_TRUE(strayFiles("t.cf").empty());
}

TEST_F(TableFile, PathThatCannotBeCreated) {
  int error = -1;
  EXPECT_EQ(writeCoefficientFile((dir_ / "missing" / "t.cf").string(), sampleImage(), &error), -1);
  EXPECT_EQ(error, ENOENT);
  fs::create_directories(dir_ / "adir");
  EXPECT_EQ(writeCoefficientFile((dir_ / "adir").string(), sampleImage(), &error), -1);
  EXPECT_EQ(error, EISDIR);
  EXPECT_EQ(coefficientFileError("/d/adir", -1, EISDIR),
            "Не удалось создать файл коэффициентов /d/adir: системная ошибка 21 (Is a directory)");
  EXPECT_TRUE(fs::is_directory(dir_ / "adir"));
  EXPECT_TRUE(fs::is_empty(dir_ / "adir"));
  EXPECT_EQ(strayFiles("adir"), std::vector<std::string>{});
}

TEST_F(TableFile, ShortWriteLeavesTheOldFileWhole) {
  const fs::path path = dir_ / "t.cf";
  { std::ofstream(path) << "old content"; }
  // A file size limit makes the write stop part-way, as a full disk would; the
  // limit is set in a child so that this process keeps its own.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1000, 1000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    int error = 0;
    const int result = writeCoefficientFile(path.string(), sampleImage(), &error);
    ::_exit((result + 10) | (error == EFBIG ? 0x40 : 0));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ((WEXITSTATUS(status) & 0x3f) - 10, -2);
  EXPECT_TRUE(WEXITSTATUS(status) & 0x40) << "the reason: the file grew too large";
  EXPECT_EQ(coefficientFileError("t.cf", -2, ENOSPC),
            "Файл коэффициентов t.cf записан не полностью: недостаточно места на диске");
  EXPECT_EQ(coefficientFileError("t.cf", 0, 0), "");
  const std::vector<char> bytes = read(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "old content");
  EXPECT_TRUE(strayFiles("t.cf").empty());
}

}  // namespace
}  // namespace device
