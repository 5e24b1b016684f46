// libmodbus, an independent Modbus master, against the simulated sensors.
#include <gtest/gtest.h>
#include <modbus/modbus.h>

#include <bit>
#include <cerrno>
#include <filesystem>

#include "qvzsim.h"

namespace {

using namespace std::chrono_literals;

class LibmodbusMaster : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(line.start()) << line.error();
    qvzsim::SensorOptions one, two;
    one.address = 1;
    two.type = qvzsim::kThreeAxis;
    two.address = 2;
    gap = line.addSensor(one);
    axes = line.addSensor(two);
    ASSERT_TRUE(gap && axes) << line.error();
    gap->setNoise(0);
    axes->setNoise(0);
    ctx = connect(57600);
    ASSERT_NE(ctx, nullptr);
  }
  void TearDown() override {
    if (ctx) {
      modbus_close(ctx);
      modbus_free(ctx);
    }
  }
  modbus_t *connect(int baud) {
    modbus_t *c = modbus_new_rtu(line.slavePath().c_str(), baud, 'N', 8, 1);
    if (!c) return nullptr;
    modbus_set_response_timeout(c, 1, 0);
    if (modbus_connect(c) != 0) {
      modbus_free(c);
      return nullptr;
    }
    return c;
  }
  // A sensor field: low word in the lower register.
  static float field(const uint16_t *regs) {
    return std::bit_cast<float>(uint32_t(regs[0]) | uint32_t(regs[1]) << 16);
  }

  qvzsim::Line line;
  std::optional<qvzsim::Sensor> gap, axes;
  modbus_t *ctx = nullptr;
};

TEST_F(LibmodbusMaster, ReadsWhatTheSensorMeasures) {
  gap->setGap(2.5);
  gap->setVibration(70.0);
  modbus_set_slave(ctx, 1);
  uint16_t in[32];
  ASSERT_EQ(modbus_read_input_registers(ctx, 0, 32, in), 32) << modbus_strerror(errno);
  const auto served = gap->lastInputs();
  for (int i = 0; i < 32; ++i)
    EXPECT_EQ(in[i], served[i]) << i;
  // libmodbus's plain float pair keeps the low word first, as the sensor does.
  EXPECT_EQ(modbus_get_float(&in[28]), 1.0f);
  EXPECT_EQ(field(&in[28]), 1.0f);
  EXPECT_NEAR(field(&in[0]), 2.5, 0.1);
  EXPECT_NEAR(field(&in[2]), 70.0, 4.0);

  uint16_t hold[80];
  ASSERT_EQ(modbus_read_registers(ctx, 0, 80, hold), 80);
  for (uint16_t r = 0; r < 80; ++r)
    EXPECT_EQ(hold[r], *gap->holding(r)) << r;
  EXPECT_EQ(field(&hold[0]), 57600.0f);
  EXPECT_EQ(field(&hold[2]), 1.0f);
  uint16_t table[120];
  ASSERT_EQ(modbus_read_registers(ctx, 2524, 120, table), 120);
  for (uint16_t r = 0; r < 120; ++r)
    EXPECT_EQ(table[r], *gap->holding(uint16_t(2524 + r)));
}

TEST_F(LibmodbusMaster, WritesRegistersAndCoils) {
  modbus_set_slave(ctx, 1);
  uint16_t values[6];
  const float setpoints[3] = {0.6f, 0.35f, 110.0f};
  // (modbus_set_float_cdab of libmodbus 3.1.6 also swaps the bytes of each word.)
  for (int i = 0; i < 3; ++i)
    modbus_set_float(setpoints[i], &values[2 * i]);
  ASSERT_EQ(modbus_write_registers(ctx, 18, 6, values), 6);
  ASSERT_EQ(modbus_write_bit(ctx, 0, TRUE), 1);  // commit
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(*gap->holdingFloat(uint16_t(18 + 2 * i)), setpoints[i]);
  EXPECT_EQ(gap->status().commits, 1u);
  ASSERT_EQ(modbus_write_register(ctx, 16, 1234), 1);  // function 6
  EXPECT_EQ(*gap->holdingU32(16), 1234u);

  ASSERT_EQ(modbus_write_bit(ctx, 17, TRUE), 1);  // test mode on
  ASSERT_EQ(modbus_write_bit(ctx, 9, TRUE), 1);   // output to its minimum
  uint8_t bits[18];
  ASSERT_EQ(modbus_read_bits(ctx, 0, 18, bits), 18);
  EXPECT_EQ(bits[9], 1);
  EXPECT_EQ(bits[8], 0);
  EXPECT_EQ(bits[17], 1);
  EXPECT_TRUE(gap->status().testMode);
  EXPECT_EQ(gap->status().dac, qvzsim::DacOutput::Minimum);

  // The three-axis sensor: reference, calibrate, and X reads the reference.
  modbus_set_slave(ctx, 2);
  axes->setVelocity(qvzsim::Axis::X, 7.0);
  modbus_set_float(7.0f, values);
  ASSERT_EQ(modbus_write_registers(ctx, 8, 2, values), 2);
  ASSERT_EQ(modbus_write_bit(ctx, 2, TRUE), 1);
  uint16_t in[6];
  ASSERT_EQ(modbus_read_input_registers(ctx, 0, 6, in), 6);
  EXPECT_NEAR(field(&in[2]), 7.0, 1e-4);
  ASSERT_EQ(modbus_write_bit(ctx, 4, TRUE), 1);  // test signal: type 3
  ASSERT_EQ(modbus_read_input_registers(ctx, 28, 2, in), 2);
  EXPECT_EQ(field(in), 3.0f);
}

TEST_F(LibmodbusMaster, SeesExceptionsAndFaults) {
  modbus_set_slave(ctx, 1);
  uint16_t r[4];
  EXPECT_EQ(modbus_read_registers(ctx, 80, 2, r), -1);
  EXPECT_EQ(errno, EMBXILADD);
  EXPECT_EQ(modbus_write_bit(ctx, 6, TRUE), -1);
  EXPECT_EQ(errno, EMBXILADD);

  qvzsim::Fault f;
  f.count = 1;
  f.kind = qvzsim::FaultKind::CorruptCrc;
  gap->addFault(f);
  EXPECT_EQ(modbus_read_registers(ctx, 0, 4, r), -1);
  EXPECT_EQ(errno, EMBBADCRC);
  modbus_flush(ctx);
  f.kind = qvzsim::FaultKind::Exception;
  gap->addFault(f);
  EXPECT_EQ(modbus_read_registers(ctx, 0, 4, r), -1);
  EXPECT_EQ(errno, EMBXSFAIL);
  f.kind = qvzsim::FaultKind::Silence;
  gap->addFault(f);
  EXPECT_EQ(modbus_read_registers(ctx, 0, 4, r), -1);
  EXPECT_EQ(errno, ETIMEDOUT);
  EXPECT_EQ(modbus_read_registers(ctx, 0, 4, r), 4);
}

TEST_F(LibmodbusMaster, WrongSpeedGetsNoAnswer) {
  modbus_t *slow = connect(9600);
  ASSERT_NE(slow, nullptr);
  modbus_set_response_timeout(slow, 0, 300000);
  modbus_set_slave(slow, 1);
  uint16_t r[2];
  EXPECT_EQ(modbus_read_registers(slow, 0, 2, r), -1);
  EXPECT_EQ(errno, ETIMEDOUT);
  modbus_close(slow);
  modbus_free(slow);
  EXPECT_EQ(gap->requestCount(), 0u);
}

}  // namespace
