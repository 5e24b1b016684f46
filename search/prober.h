// What the search asks of the link: which ports exist, and whether a sensor
// answers at one combination of port, speed and address. RkProber does it
// through the rk library; tests of the scan put their own in its place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace search {

class Prober {
 public:
  virtual ~Prober() = default;

  // Opens port `index` (0-15, COM1-COM16) with the default line parameters
  // and closes it again: the result of the open (0 opened, 2 no such port,
  // anything else: it exists but would not open, for example it is busy).
  virtual uint32_t tryOpen(int index) = 0;
  // True when a sensor at `address` answers a read of holding registers 0-7
  // on the port and line that idStr names.
  virtual bool probe(const std::string &idStr, uint8_t address) = 0;
};

// The production prober: RK_GetDefaultParamBlock, RK_Open and RK_Close for
// the port list; RK_OpenIdStr, one function-3 read of 8 registers and
// RK_Close for a probe. A silent address costs the exchange's whole retry
// cycle, Attempts x (ReplyTimeout div PollInterval + 1) x PollInterval.
class RkProber final : public Prober {
 public:
  uint32_t tryOpen(int index) override;
  bool probe(const std::string &idStr, uint8_t address) override;
};

inline constexpr int kPortCount = 16;

// An item of the port list.
struct PortItem {
  int index = 0;         // 0-15: COM(index + 1)
  bool checked = false;  // the port opened; a busy one is listed unchecked
};

// The ports COM1-COM16 that exist, in order: those whose open did not answer
// 2 (no such port), ticked when it succeeded.
std::vector<PortItem> listPorts(Prober &prober);

}  // namespace search
