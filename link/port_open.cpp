#include "link/port_open.h"

#include <string>

#include "platform/errors.h"
#include "platform/ipc_name.h"
#include "platform/port_map.h"
#include "platform/process.h"

namespace rk {
namespace {

// Every process opens the device itself (descriptors cannot pass between
// processes); only the first user sets the line, the others join it as it
// is. The first user is the first registered one, or one that finds the
// device held by nobody else whatever the table says.
uint32_t openDevice(OpenPort &op, bool firstRegistered) {
  const std::string path = platform::comDevicePath(static_cast<int>(op.port) + 1);
  uint32_t rc = platform::openSerialPort(path, op.serial);
  if (rc == 0 && (firstRegistered || op.serial->openedAlone())) {
    rc = op.serial->configure(op.block.BaudRate);
  }
  if (rc != 0) op.serial.reset();
  return rc;
}

uint32_t checkParamBlock(const RkParamBlock &block) {
  if (block.PollInterval == 0) return platform::kErrInvalidParameter;
  if (!platform::isSupportedBaud(block.BaudRate)) return platform::kErrBaudRate;
  return 0;
}

}  // namespace

uint32_t openConnection(Library &lib, Connection &conn, uint32_t port) {
  RkSharedPortTable *table = lib.sharedTable();
  if (table == nullptr) return RK_ERR_NO_SHARED_MEMORY;
  auto op = std::make_shared<OpenPort>();
  op->port = port;
  op->block = conn.paramBlock();
  if (uint32_t rc = checkParamBlock(op->block); rc != 0) return rc;
  if (uint32_t rc = op->mutex.open(platform::ipcName("RK_MUTEX_COM" + std::to_string(port)));
      rc != 0) {
    return rc;
  }
  if (!lockPort(*op, platform::NamedMutex::kInfinite)) {
    return platform::kErrInvalidHandle;
  }
  RkSharedPortEntry &entry = table->Ports[port];
  dropStaleUsers(entry);
  uint32_t rc = openDevice(*op, entry.Count == 0);
  if (rc == 0 && !registerUser(entry, static_cast<uint32_t>(op->serial->handle()),
                               platform::currentProcessId())) {
    op->serial.reset();
    rc = RK_ERR_TOO_MANY_USERS;
  }
  if (rc == 0) conn.setCurrent(op);
  op->mutex.unlock();
  return rc;
}

uint32_t closeConnection(Library &lib, Connection &conn) {
  RkSharedPortTable *table = lib.sharedTable();
  if (table == nullptr) return RK_ERR_NO_SHARED_MEMORY;
  std::shared_ptr<OpenPort> op = conn.current();
  if (!op) return RK_ERR_NOT_OPEN;
  const bool locked = lockPort(*op, platform::NamedMutex::kInfinite);
  unregisterUser(table->Ports[op->port], static_cast<uint32_t>(op->serial->handle()),
                 platform::currentProcessId());
  op->serial.reset();
  op->closed = true;
  conn.setCurrent(nullptr);
  if (locked) op->mutex.unlock();
  return 0;
}

}  // namespace rk
