// CRC and request framing of the simulated sensor.
#include <gtest/gtest.h>

#include <string_view>

#include "crc.h"
#include "framing.h"

namespace qvzsim {
namespace {

using namespace std::chrono_literals;

std::vector<uint8_t> sealed(std::vector<uint8_t> f) {
  const uint16_t crc = crc16(f);
  f.push_back(static_cast<uint8_t>(crc));
  f.push_back(static_cast<uint8_t>(crc >> 8));
  return f;
}

TEST(Crc, KnownValues) {
  constexpr std::string_view digits = "123456789";
  EXPECT_EQ(crc16({reinterpret_cast<const uint8_t *>(digits.data()), digits.size()}), 0x4B37);
  EXPECT_EQ(sealed({1, 3, 0, 0, 0, 1}), (std::vector<uint8_t>{1, 3, 0, 0, 0, 1, 0x84, 0x0A}));
  EXPECT_EQ(crc16({}), 0xFFFF);
  // Continued over chunks it equals the CRC of the whole.
  const std::vector<uint8_t> a{1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(crc16(std::span(a).subspan(3), crc16(std::span(a).first(3))), crc16(a));
}

TEST(Crc, ValidFrame) {
  auto f = sealed({1, 3, 0, 0, 0, 1});
  EXPECT_TRUE(crcValid(f));
  f[6] ^= 1;
  EXPECT_FALSE(crcValid(f));
  EXPECT_FALSE(crcValid(std::vector<uint8_t>{0xFF, 0xFF}));
}

TEST(Framing, CharacterAndSilenceTimes) {
  EXPECT_EQ(byteTime(9600), std::chrono::nanoseconds(1'041'666));
  EXPECT_EQ(silenceTime(9600), byteTime(9600) * 7 / 2);
  EXPECT_EQ(silenceTime(57600), 1750us);  // floor of fast lines
  EXPECT_EQ(silenceTime(1200), byteTime(1200) * 7 / 2);
}

TEST(Framing, ImpliedLengths) {
  struct Case {
    std::vector<uint8_t> head;
    long length;
  } cases[] = {
      {{1}, kLengthNeedsMore},
      {{1, 3}, 8},
      {{1, 5}, 8},
      {{1, 16, 0, 4, 0, 2}, kLengthNeedsMore},
      {{1, 16, 0, 4, 0, 2, 4}, 13},
      {{1, 15, 0, 0, 0, 10, 2}, 11},
      {{1, 96}, 4},
      {{1, 81}, 11},
      {{1, 98, 10, 0}, 16},  // name length 10, little-endian
      {{1, 99, 0, 24, 0, 0, 10, 0}, 20},
      {{1, 100, 0, 0, 0, 0, 0, 2}, 522},  // 512 bytes of data
      {{1, 102}, 8},
      {{1, 43}, kLengthBySilence},
  };
  for (const auto &c : cases)
    EXPECT_EQ(impliedRequestLength(c.head), c.length) << int(c.head[1]);
}

class AssemblerTest : public ::testing::Test {
 protected:
  void push(const std::vector<uint8_t> &bytes, Clock::duration at) {
    asm_.push(bytes, t0 + at, silence, frames, bad);
  }
  void expire(Clock::duration at) { asm_.expire(t0 + at, silence, frames, bad); }

  FrameAssembler asm_;
  std::vector<FrameAssembler::Frame> frames;
  uint64_t bad = 0;
  Clock::time_point t0 = Clock::now();
  std::chrono::nanoseconds silence = silenceTime(57600);
};

TEST_F(AssemblerTest, FrameEndsAtItsImpliedLength) {
  const auto rq = sealed({1, 3, 0, 0, 0, 2});
  push({rq.begin(), rq.begin() + 3}, 0ms);
  EXPECT_TRUE(frames.empty());
  push({rq.begin() + 3, rq.end()}, 1ms);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].bytes, rq);
  EXPECT_EQ(frames[0].firstByte, t0);
  EXPECT_TRUE(asm_.idle());
}

TEST_F(AssemblerTest, BackToBackFramesSplit) {
  auto a = sealed({1, 4, 0, 0, 0, 32}), b = sealed({2, 96});
  a.insert(a.end(), b.begin(), b.end());
  push(a, 0ms);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[1].bytes, b);
}

TEST_F(AssemblerTest, UnknownFunctionEndsBySilence) {
  const auto rq = sealed({1, 43, 14, 1, 0});
  push(rq, 0ms);
  EXPECT_TRUE(frames.empty());
  ASSERT_TRUE(asm_.deadline(silence));
  EXPECT_EQ(*asm_.deadline(silence), t0 + silence);
  expire(1ms);  // too early
  EXPECT_TRUE(frames.empty());
  expire(2ms);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].bytes, rq);
}

TEST_F(AssemblerTest, BadCrcDropsEverythingUntilSilence) {
  auto rq = sealed({1, 3, 0, 0, 0, 2});
  rq[7] ^= 0xFF;
  push(rq, 0ms);
  // A valid frame glued to the garbage is lost with it, as on a real line.
  push(sealed({1, 3, 0, 0, 0, 2}), 1ms);
  EXPECT_TRUE(frames.empty());
  expire(5ms);
  EXPECT_EQ(bad, 1u);
  EXPECT_TRUE(asm_.idle());
  push(sealed({1, 3, 0, 0, 0, 2}), 6ms);
  EXPECT_EQ(frames.size(), 1u);
}

TEST_F(AssemblerTest, SilenceSeparatesAFragmentFromTheNextFrame) {
  push({1, 3, 0}, 0ms);  // a fragment, then the line goes quiet
  push(sealed({1, 3, 0, 0, 0, 2}), 10ms);
  EXPECT_EQ(bad, 1u);
  ASSERT_EQ(frames.size(), 1u);
}

}  // namespace
}  // namespace qvzsim
