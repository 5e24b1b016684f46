// Exports that open, close and describe ports.
#include <strings.h>
#include <cstdio>
#include <mutex>

#include "link/connection.h"
#include "link/param_block.h"
#include "link/port_open.h"
#include "link/rk.h"
#include "platform/errors.h"

namespace rk {

RkParamBlock defaultParamBlock() {
  RkParamBlock b{};
  b.Size = sizeof(RkParamBlock);
  b.BaudRate = 57600;
  b.PollInterval = 50;
  b.ReplyTimeout = 100;
  b.FileReplyTimeout = 5000;
  b.FileBlockSize = 512;
  b.Attempts = 3;
  b.FileBlockAttempts = 12;
  return b;
}

}  // namespace rk

using rk::kPortCount;
using rk::kStatisticsEntries;
using rk::library;

extern "C" {

RK_API void RK_GetDefaultParamBlock(RkParamBlock *block) {
  if (block != nullptr) rk::writeSized(*block, rk::defaultParamBlock());
}

RK_API uint32_t RK_Open(uint32_t port, const RkParamBlock *block) {
  port &= 0xFF;
  if (port >= kPortCount) return RK_ERR_BAD_PORT;
  rk::Library &lib = library();
  rk::Connection &conn = lib.connection(port);
  std::lock_guard lock(conn.openCloseLock());
  rk::closeConnection(lib, conn);
  if (block == nullptr) return platform::kErrInvalidParameter;
  conn.storeParamBlock(*block);
  return rk::openConnection(lib, conn, port);
}

RK_API uint32_t RK_OpenIdStr(const char *idStr, uint8_t *port) {
  if (idStr == nullptr || port == nullptr) return platform::kErrInvalidParameter;
  RkParamBlock block = rk::defaultParamBlock();
  char name[260] = {};
  int com = 0;
  const int fields = std::sscanf(idStr, "%259[^,],%d,%u,%u,%u", name, &com, &block.BaudRate,
                                 &block.PollInterval, &block.ReplyTimeout);
  if (fields < 5 || strcasecmp(name, "rk.dll") != 0) return RK_ERR_BAD_ID_STRING;
  // COM 0 gives 255; the subtraction is unsigned so that no number overflows.
  *port = static_cast<uint8_t>(static_cast<uint32_t>(com) - 1u);
  return RK_Open(*port, &block);
}

RK_API uint32_t RK_Close(uint32_t port) {
  port &= 0xFF;
  if (port >= kPortCount) return RK_ERR_BAD_PORT;
  rk::Library &lib = library();
  rk::Connection &conn = lib.connection(port);
  std::lock_guard lock(conn.openCloseLock());
  return rk::closeConnection(lib, conn);
}

RK_API uint32_t RK_GetParamBlock(uint32_t port, RkParamBlock *block) {
  port &= 0xFF;
  if (port >= kPortCount) return RK_ERR_BAD_PORT;
  if (block == nullptr) return platform::kErrInvalidParameter;
  rk::writeSized(*block, library().connection(port).paramBlock());
  return RK_OK;
}

RK_API uint32_t RK_GetStatistics(uint32_t port, uint32_t address, RkStatistics *stats) {
  port &= 0xFF;
  address &= 0xFF;
  if (port >= kPortCount) return RK_ERR_BAD_PORT;
  if (address >= kStatisticsEntries) return RK_ERR_BAD_DEVICE;
  if (stats == nullptr) return platform::kErrInvalidParameter;
  library().connection(port).readStatistics(address, *stats);
  return RK_OK;
}

RK_API uint32_t RK_ResetStatistics(uint32_t port, uint32_t address) {
  port &= 0xFF;
  address &= 0xFF;
  if (port >= kPortCount) return RK_ERR_BAD_PORT;
  if (address >= kStatisticsEntries) return RK_ERR_BAD_DEVICE;
  library().connection(port).resetStatistics(address);
  return RK_OK;
}

RK_API uint32_t RK_GetTransferInfo(uint32_t port, RkTransferInfo *info) {
  port &= 0xFF;
  if (port >= kPortCount) return RK_ERR_BAD_PORT;
  if (info == nullptr) return platform::kErrInvalidParameter;
  rk::writeSized(*info, library().connection(port).transferInfo());
  return RK_OK;
}

}  // extern "C"
