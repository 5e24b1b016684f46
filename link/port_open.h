// Opening and closing a process's connection to a port, shared with other
// processes through the port table.
#pragma once

#include <cstdint>

#include "link/connection.h"

namespace rk {

// Opens (or joins) the port with the connection's stored parameter block.
uint32_t openConnection(Library &lib, Connection &conn, uint32_t port);

// 0, RK_ERR_NOT_OPEN or RK_ERR_NO_SHARED_MEMORY.
uint32_t closeConnection(Library &lib, Connection &conn);

}  // namespace rk
