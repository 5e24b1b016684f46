// The measurement record: everything the program knows about the connected
// sensor and its link. The device object keeps the working copy; readers get
// whole copies of it (see TQVZ2::snapshot).
#pragma once

#include <cstdint>
#include <string>

#include "link/rk.h"
#include "register_map.h"

namespace device {

// Extremes at rest: a minimum of 1e38 or more, or a maximum of -1e38 or less,
// means that no value has been seen yet.
inline constexpr float kNoMinimum = 2.0e38f;
inline constexpr float kNoMaximum = -2.0e38f;

struct MeasurementRecord {
  int port = -1;                // COM number - 1, -1 while closed
  std::string idStr;            // identification string of the link, persisted as IdStr
  int speedIndex = -1;          // row of speedTable of the link's baud rate, -1 when none
  uint8_t address = 0;          // Modbus address, persisted as DeviceId
  bool online = false;          // the last poll succeeded in every request
  int reopenCount = 0;          // consecutive automatic re-opens after result 995
  std::string lastError;        // UTF-8 text of the last link result
  uint32_t lastResult = RK_OK;  // the code behind lastError
  // Commands that failed in some step, and the text of the first failure of
  // the latest of them. A poll's success overwrites lastError a moment
  // later, and so may a read-back or a later step; this keeps what the user
  // asked for.
  uint32_t failedCommands = 0;
  std::string commandError;
  std::string portText;  // "COM<n>" of the open port
  std::string speedText;
  std::string addressText;

  InputBlock inputs{};
  float minSZ = kNoMinimum;
  float maxSZ = kNoMaximum;
  float minWX = kNoMinimum;
  float maxWX = kNoMaximum;
  float minY = kNoMinimum;
  float maxY = kNoMaximum;
  RkStatistics stats{sizeof(RkStatistics), 0, 0, 0};
  IdentBlock ident{};
  ConfigBlock config{};
  TableImage tables{};

  int sensorKind() const { return device::sensorKind(inputs.sensorType); }
};

// Every minimum to 2e38, every maximum to -2e38.
void resetMinMax(MeasurementRecord &rec);

// Widens the extremes by the values of `inputs`; ordered comparisons, so NaN
// never enters.
void updateMinMax(MeasurementRecord &rec);

}  // namespace device
