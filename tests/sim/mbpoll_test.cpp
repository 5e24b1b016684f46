// mbpoll, an independent Modbus master program, against the simulated sensor.
#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <map>
#include <sstream>

#include "qvzsim.h"
#include "tests/support/child_process.h"

namespace {

// "[n]: \tvalue" lines of mbpoll's output.
std::map<int, double> values(const std::string &out) {
  std::map<int, double> v;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    int reg;
    double value;
    if (std::sscanf(line.c_str(), "[%d]: %lf", &reg, &value) == 2) v[reg] = value;
  }
  return v;
}

class Mbpoll : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(line.start()) << line.error();
    sensor = line.addSensor({});
    ASSERT_TRUE(sensor);
    sensor->setNoise(0);
  }
  // mbpoll over the line: RTU 8N1, references from 0.
  rktest::RunResult mbpoll(std::vector<std::string> args, const std::string &baud = "57600",
                           const std::string &address = "1") {
    std::vector<std::string> argv{"-m", "rtu",   "-b", baud, "-P", "none",
                                  "-a", address, "-0", "-1", "-o", "2"};
    argv.insert(argv.end(), args.begin(), args.begin() + 2);
    argv.push_back(line.slavePath());
    argv.insert(argv.end(), args.begin() + 2, args.end());
    return rktest::run("mbpoll", argv);
  }

  qvzsim::Line line;
  std::optional<qvzsim::Sensor> sensor;
};

TEST_F(Mbpoll, ReadsTheInputBlockAsFloats) {
  sensor->setGap(3.2);
  const auto r = mbpoll({"-t", "3:float", "-r", "0", "-c", "16"});
  ASSERT_EQ(r.status, 0) << r.out;
  const auto v = values(r.out);
  ASSERT_EQ(v.size(), 16u) << r.out;
  const auto served = sensor->lastInputs();
  for (int reg = 0; reg < 32; reg += 2) {
    const float f = std::bit_cast<float>(uint32_t(served[reg]) | uint32_t(served[reg + 1]) << 16);
    EXPECT_NEAR(v.at(reg), f, 1e-5 * std::abs(f) + 1e-30) << reg;
  }
  EXPECT_EQ(v.at(28), 1.0);
  EXPECT_NEAR(v.at(0), 3.2, 0.15);
}

TEST_F(Mbpoll, WritesAFloatAndACoil) {
  auto r = mbpoll({"-t", "4:float", "-r", "18", "0.65"});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(sensor->holdingFloat(18), 0.65f);
  r = mbpoll({"-t", "0", "-r", "0", "1"});  // commit
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(sensor->status().commits, 1u);
  r = mbpoll({"-t", "4:float", "-r", "0", "-c", "2"});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(values(r.out), (std::map<int, double>{{0, 57600.0}, {2, 1.0}}));
}

TEST_F(Mbpoll, CalibratesAThreeAxisSensor) {
  qvzsim::SensorOptions o;
  o.type = qvzsim::kThreeAxis;
  o.address = 2;
  auto axes = line.addSensor(o);
  ASSERT_TRUE(axes);
  axes->setNoise(0);
  axes->setVelocity(qvzsim::Axis::Y, 4.5);
  auto r = mbpoll({"-t", "4:float", "-r", "12", "4.5"}, "57600", "2");  // reference Y
  ASSERT_EQ(r.status, 0) << r.out;
  r = mbpoll({"-t", "0", "-r", "3", "1"}, "57600", "2");  // calibrate Y
  ASSERT_EQ(r.status, 0) << r.out;
  r = mbpoll({"-t", "3:float", "-r", "0", "-c", "3"}, "57600", "2");
  ASSERT_EQ(r.status, 0) << r.out;
  const auto v = values(r.out);
  ASSERT_EQ(v.size(), 3u) << r.out;
  EXPECT_NEAR(v.at(4), 4.5, 1e-4);
  r = mbpoll({"-t", "3:float", "-r", "28"}, "57600", "2");
  EXPECT_EQ(values(r.out).at(28), 2.0) << r.out;
}

TEST_F(Mbpoll, GetsNoAnswerAtAnotherSpeed) {
  const auto r = mbpoll({"-t", "3", "-r", "0"}, "19200");
  EXPECT_NE(r.status, 0);
  EXPECT_TRUE(values(r.out).empty()) << r.out;
  EXPECT_EQ(sensor->requestCount(), 0u);
}

}  // namespace
