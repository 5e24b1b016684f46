#include "adc/e140_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

TEST(E140Settings, BlockSizeIsRaisedToAMultipleOf32WithinTheBuffer) {
  struct Case {
    int configured;
    uint32_t expected;
  } cases[] = {{100, 128},     {15008, 15008}, {15009, 15040},   {1, 32}, {32, 32}, {32768, 32768},
               {32769, 32768}, {40000, 32768}, {INT_MAX, 32768}, {0, 32}, {-5, 32}, {-100, 32768}};
  for (const Case &c : cases) {
    EXPECT_EQ(adc::blockSamples(c.configured), c.expected) << c.configured;
  }
}

TEST(E140Settings, BlockWaitIsOneAndAHalfBlocks) {
  struct Case {
    uint32_t nm;
    double rate;
    int expected;
  } cases[] = {{15008, 30000, 750}, {128, 30000, 6},      {32768, 1000, 49152},
               {15008, 0, INT_MAX}, {15008, -1, INT_MAX}, {32768, 1e-9, INT_MAX}};
  for (const Case &c : cases) {
    EXPECT_EQ(adc::blockWaitMs(c.nm, c.rate), c.expected) << c.nm << " @ " << c.rate;
  }
}

TEST(E140Settings, DecimalTextsReadTheirLeadingNumber) {
  struct Case {
    const char *text;
    double expected;
  } cases[] = {{"30000", 30000}, {"0.00125", 0.00125}, {"2.5e4", 25000}, {" 12.5 Hz", 12.5},
               {"+7", 7},        {"-0.5", -0.5},       {".5", 0.5},      {"abc", 0},
               {"", 0},          {"inf", 0},           {"nan", 0},       {"1,5", 1}};
  for (const Case &c : cases) {
    EXPECT_DOUBLE_EQ(adc::parseDecimal(c.text), c.expected) << '"' << c.text << '"';
  }
}

class E140SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (fs::temp_directory_path() / ("e140_settings_" + std::to_string(::getpid()) + ".ini"))
                .string();
  }
  void TearDown() override { fs::remove(path_); }
  std::string path_;
};

TEST_F(E140SettingsFile, MissingFileGivesDefaults) {
  const adc::E140Settings s = adc::readE140Settings(path_);
  EXPECT_EQ(s.logChan, 0);
  EXPECT_EQ(s.nm, 15008u);
  EXPECT_DOUBLE_EQ(s.rate, 30000);
  EXPECT_EQ(s.k0, 0);
  EXPECT_DOUBLE_EQ(s.k1, 0.00125);
  EXPECT_FALSE(fs::exists(path_)) << "settings are never written";
}

TEST_F(E140SettingsFile, ValuesComeFromSectionE140) {
  std::ofstream(path_) << "[SETTINGS]\nNM=64\n[e140]\nlogchan=65600\nNM=100\nRate=25000.5\n"
                          "K0=70000\nK1=0.0003125\n";
  const adc::E140Settings s = adc::readE140Settings(path_);
  EXPECT_EQ(s.logChan, 64) << "low 16 bits";
  EXPECT_EQ(s.nm, 128u);
  EXPECT_DOUBLE_EQ(s.rate, 25000.5);
  EXPECT_EQ(s.k0, 4464) << "low 16 bits";
  EXPECT_DOUBLE_EQ(s.k1, 0.0003125);
}

}  // namespace
