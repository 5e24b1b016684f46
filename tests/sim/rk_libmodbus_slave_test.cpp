// rk against an independent slave: a libmodbus RTU server on a pseudo-terminal
// answers functions 1, 2, 3, 4, 5, 6, 15 and 16 from RK_Exchange; the data are
// checked in the caller's buffer and in the server's tables.
#include <gtest/gtest.h>
#include <modbus/modbus.h>

#include <atomic>
#include <cerrno>
#include <mutex>

#include "link/rk.h"
#include "pty_bridge.h"
#include "rk_env.h"

namespace {

class RkWithLibmodbusSlave : public ::testing::Test {
 protected:
  void SetUp() override {
    map = modbus_mapping_new(100, 100, 100, 100);
    ctx = modbus_new_rtu(bridge.path(0).c_str(), 57600, 'N', 8, 1);
    ASSERT_TRUE(map && ctx);
    modbus_set_slave(ctx, 1);
    ASSERT_EQ(modbus_connect(ctx), 0) << modbus_strerror(errno);
    modbus_set_indication_timeout(ctx, 0, 100000);  // to look at `stop` now and then
    server = std::thread([this] { serve(); });
    port = simtest::openCom(2, bridge.path(1), 57600, 2, 300, 3);
    ASSERT_GE(port, 0);
  }
  void TearDown() override {
    if (port >= 0) RK_Close(uint32_t(port));
    stop = true;
    if (server.joinable()) server.join();
    if (ctx) {
      modbus_close(ctx);
      modbus_free(ctx);
    }
    if (map) modbus_mapping_free(map);
  }
  void serve() {
    uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    while (!stop) {
      const int n = modbus_receive(ctx, query);
      if (n <= 0) continue;
      std::lock_guard lock(tables);
      modbus_reply(ctx, query, n, map);
    }
  }
  uint32_t exchange(uint32_t fn, uint32_t start, uint32_t count, void *data) {
    return RK_Exchange(uint32_t(port), 1, fn, start, count, data);
  }

  simtest::PtyBridge bridge;
  modbus_mapping_t *map = nullptr;
  modbus_t *ctx = nullptr;
  std::mutex tables;  // the server's tables, between its thread and the test's
  std::atomic<bool> stop{false};
  std::thread server;
  int port = -1;
};

TEST_F(RkWithLibmodbusSlave, ReadsBitsAndRegisters) {
  {
    std::lock_guard lock(tables);
    for (int i = 0; i < 100; ++i) {
      map->tab_bits[i] = (i % 3 == 0);
      map->tab_input_bits[i] = (i % 5 == 1);
      map->tab_registers[i] = uint16_t(0x1000 + 257 * i);
      map->tab_input_registers[i] = uint16_t(0xF000 - 3 * i);
    }
  }
  struct {
    uint32_t fn;
    const uint8_t *table;
  } bitReads[] = {{1, map->tab_bits}, {2, map->tab_input_bits}};
  for (const auto &r : bitReads) {
    uint8_t packed[3] = {0xEE, 0xEE, 0xEE};
    ASSERT_EQ(exchange(r.fn, 10, 19, packed), 0u) << r.fn;
    for (int i = 0; i < 19; ++i)
      EXPECT_EQ((packed[i / 8] >> (i % 8)) & 1, r.table[10 + i]) << r.fn << " bit " << i;
    EXPECT_EQ(packed[2] >> 3, 0) << "padding of the last byte";
  }
  uint16_t regs[40];
  ASSERT_EQ(exchange(3, 50, 40, regs), 0u);
  for (int i = 0; i < 40; ++i)
    EXPECT_EQ(regs[i], map->tab_registers[50 + i]);
  ASSERT_EQ(exchange(4, 0, 32, regs), 0u);
  for (int i = 0; i < 32; ++i)
    EXPECT_EQ(regs[i], map->tab_input_registers[i]);
  EXPECT_EQ(exchange(3, 99, 2, regs), RK_ERR_ILLEGAL_ADDRESS);
}

TEST_F(RkWithLibmodbusSlave, WritesReachTheServersTables) {
  const uint8_t on = 1, off = 0;
  ASSERT_EQ(exchange(5, 7, 0, const_cast<uint8_t *>(&on)), 0u);
  ASSERT_EQ(exchange(5, 8, 0, const_cast<uint8_t *>(&off)), 0u);
  uint16_t one = 0xBEEF;
  ASSERT_EQ(exchange(6, 3, 0, &one), 0u);
  uint8_t coils[2] = {0xA5, 0x0C};  // 12 coils from 20
  ASSERT_EQ(exchange(15, 20, 12, coils), 0u);
  uint16_t values[10];
  for (int i = 0; i < 10; ++i)
    values[i] = uint16_t(0x0102 * (i + 1));
  ASSERT_EQ(exchange(16, 40, 10, values), 0u);

  std::lock_guard lock(tables);
  EXPECT_EQ(map->tab_bits[7], 1);
  EXPECT_EQ(map->tab_bits[8], 0);
  EXPECT_EQ(map->tab_registers[3], 0xBEEF);
  for (int i = 0; i < 12; ++i)
    EXPECT_EQ(map->tab_bits[20 + i], (coils[i / 8] >> (i % 8)) & 1) << i;
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(map->tab_registers[40 + i], values[i]) << i;
}

}  // namespace
