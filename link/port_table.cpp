#include "link/port_table.h"

#include <algorithm>

#include "platform/process.h"

namespace rk {
namespace {

void removeAt(RkSharedPortEntry &entry, uint32_t i) {
  const uint32_t count = std::min(entry.Count, kMaxPortUsers);
  for (uint32_t j = i + 1; j < count; ++j)
    entry.Users[j - 1] = entry.Users[j];
  entry.Users[count - 1] = {};
  entry.Count = count - 1;
}

}  // namespace

void dropStaleUsers(RkSharedPortEntry &entry) {
  entry.Count = std::min(entry.Count, kMaxPortUsers);
  for (uint32_t i = 0; i < entry.Count;) {
    if (platform::processAlive(entry.Users[i].ProcessId)) {
      ++i;
    } else {
      removeAt(entry, i);
    }
  }
}

bool registerUser(RkSharedPortEntry &entry, uint32_t handle, uint32_t pid) {
  if (entry.Count >= kMaxPortUsers) return false;
  entry.Users[entry.Count] = {handle, pid};
  ++entry.Count;
  return true;
}

void unregisterUser(RkSharedPortEntry &entry, uint32_t handle, uint32_t pid) {
  const uint32_t count = std::min(entry.Count, kMaxPortUsers);
  for (uint32_t i = 0; i < count; ++i) {
    if (entry.Users[i].Handle == handle && entry.Users[i].ProcessId == pid) {
      removeAt(entry, i);
      return;
    }
  }
}

}  // namespace rk
