// The table that ties the connections of different processes on one port
// together: a named shared-memory area of 16 entries, one per port, each
// listing the processes that have the port open. An entry is read and
// changed only while its port mutex is held.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rk {

inline constexpr uint32_t kPortCount = 16;
inline constexpr uint32_t kMaxPortUsers = 8;

#pragma pack(push, 1)
struct RkSharedPortUser {
  uint32_t Handle;     // the port descriptor in the registering process
  uint32_t ProcessId;  // the registering process
};

struct RkSharedPortEntry {
  uint32_t Count;  // registered users, packed at the front of Users
  RkSharedPortUser Users[kMaxPortUsers];
};

struct RkSharedPortTable {
  RkSharedPortEntry Ports[kPortCount];
};
#pragma pack(pop)

static_assert(sizeof(RkSharedPortEntry) == 68);
static_assert(offsetof(RkSharedPortEntry, Users) == 4);
static_assert(sizeof(RkSharedPortTable) == 1088);

// Drops the pairs of processes that no longer exist.
void dropStaleUsers(RkSharedPortEntry &entry);

// Adds the pair; false when the entry already has kMaxPortUsers.
bool registerUser(RkSharedPortEntry &entry, uint32_t handle, uint32_t pid);

// Removes the first pair equal to (handle, pid), moving later pairs forward.
void unregisterUser(RkSharedPortEntry &entry, uint32_t handle, uint32_t pid);

}  // namespace rk
