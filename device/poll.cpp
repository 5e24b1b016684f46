// One polling cycle of the worker, with the device lock held.
#include <algorithm>

#include "link/rk.h"
#include "qvz2.h"

namespace device {

namespace {
constexpr int kMaxReopens = 3;  // consecutive automatic re-opens after result 995
}

uint32_t TQVZ2::exchange(uint32_t function, uint32_t start, uint32_t count, void *data) {
  // A closed link (-1) reaches the library as an invalid port number.
  return RK_Exchange(static_cast<uint32_t>(rec_.port), rec_.address, function, start, count, data);
}

void TQVZ2::poll() {
  if (rec_.port < 0) {
    // The link is closed: lastError keeps the text of the failed open (or of
    // the last command), which is all the user learns about why.
    rec_.online = false;
  } else {
    InputBlock inputs;
    uint32_t r = exchange(kReadInput, reg::kInputStart, reg::kInputCount, &inputs);
    if (r == RK_OK) {
      std::lock_guard<std::mutex> guard(snapMutex_);  // the extremes are shared with resetMinMax
      rec_.inputs = inputs;
      updateMinMax(rec_);
    }
    // Identification and configuration only after the link was down or a
    // command changed the sensor's settings.
    if (r == RK_OK && !rec_.online) r = readConfiguration();
    rec_.online = r == RK_OK;
    setLastError(r);
    RK_GetStatistics(static_cast<uint32_t>(rec_.port), rec_.address, &rec_.stats);
    if (r == RK_SYS_OPERATION_ABORTED && rec_.reopenCount < kMaxReopens) {
      reopen();
      ++rec_.reopenCount;
    } else {
      rec_.reopenCount = 0;
    }
  }
  if (!rec_.online) rec_.inputs.sensorType = 0.0f;
}

uint32_t TQVZ2::readConfiguration() {
  uint32_t r = exchange(kIdentify, 0, 0, &rec_.ident);
  if (r == RK_OK) r = exchange(kReadHolding, reg::kConfigStart, reg::kConfigCount, &rec_.config);
  if (sensorKind(rec_.inputs.sensorType) != 1) return r;

  // The two 750-point tables in chunks of 60 floats, then the tail.
  struct Table {
    std::array<float, kTableSize> &values;
    uint32_t start;
  };
  for (const Table &t : {Table{rec_.tables.gapTable, reg::kGapTableStart},
                         Table{rec_.tables.kwTable, reg::kKwTableStart}}) {
    for (int i = 0; i < kTableSize && r == RK_OK; i += reg::kTableChunkFloats) {
      const int n = std::min(reg::kTableChunkFloats, kTableSize - i);
      r = exchange(kReadHolding, t.start + 2 * i, 2 * n, &t.values[i]);
    }
  }
  if (r == RK_OK)
    r = exchange(kReadHolding, reg::kTailStart, reg::kTailReadCount, &rec_.tables.tableTail);
  return r;
}

}  // namespace device
