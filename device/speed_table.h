// Line speeds a QVZ sensor supports, with the poll interval and reply time-out
// that suit each. Shared by the device connection, the search and the
// exchange-parameter dialog; the row order is the order of their speed lists.
#pragma once

#include <array>
#include <cstdint>

namespace device {

struct SpeedRow {
  uint32_t baud;       // bit/s; 0 closes the table
  uint32_t stepMs;     // PollInterval of the identification string
  uint32_t timeoutMs;  // ReplyTimeout of the identification string
};

inline constexpr int kSpeedRows = 7;

inline constexpr std::array<SpeedRow, kSpeedRows + 1> speedTable{{
    {1200, 500, 1000},
    {2400, 250, 750},
    {4800, 100, 500},
    {9600, 100, 300},
    {19200, 100, 300},
    {38400, 100, 300},
    {57600, 100, 300},
    {0, 0, 0},
}};

// First row whose baud rate is `baud`, or -1 when none is.
constexpr int speedRowOf(uint32_t baud) {
  for (int i = 0; speedTable[i].baud != 0; ++i) {
    if (speedTable[i].baud == baud) return i;
  }
  return -1;
}

}  // namespace device
