#include "search/prober.h"

#include "rk.h"

namespace search {

namespace {

constexpr uint32_t kReadHolding = 3;
constexpr uint32_t kProbeRegisters = 8;

}  // namespace

uint32_t RkProber::tryOpen(int index) {
  RkParamBlock block{};
  block.Size = sizeof block;
  RK_GetDefaultParamBlock(&block);
  const auto port = static_cast<uint32_t>(index);
  const uint32_t result = RK_Open(port, &block);
  RK_Close(port);  // whatever the open gave: nothing is left open
  return result;
}

bool RkProber::probe(const std::string &idStr, uint8_t address) {
  uint8_t port = 0;
  if (RK_OpenIdStr(idStr.c_str(), &port) != RK_OK) return false;
  uint16_t registers[kProbeRegisters];  // the content does not matter, only that it came
  const uint32_t result = RK_Exchange(port, address, kReadHolding, 0, kProbeRegisters, registers);
  RK_Close(port);
  return result == RK_OK;
}

std::vector<PortItem> listPorts(Prober &prober) {
  constexpr uint32_t kNoSuchPort = RK_SYS_FILE_NOT_FOUND;
  std::vector<PortItem> items;
  for (int i = 0; i < kPortCount; ++i) {
    const uint32_t result = prober.tryOpen(i);
    if (result != kNoSuchPort) items.push_back({i, result == RK_OK});
  }
  return items;
}

}  // namespace search
