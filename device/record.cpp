#include "record.h"

namespace device {

void resetMinMax(MeasurementRecord &rec) {
  rec.minSZ = rec.minWX = rec.minY = kNoMinimum;
  rec.maxSZ = rec.maxWX = rec.maxY = kNoMaximum;
}

namespace {
void widen(float v, float &lo, float &hi) {
  if (lo > v) lo = v;
  if (v > hi) hi = v;
}
}  // namespace

void updateMinMax(MeasurementRecord &rec) {
  widen(rec.inputs.valueSZ, rec.minSZ, rec.maxSZ);
  widen(rec.inputs.valueWX, rec.minWX, rec.maxWX);
  widen(rec.inputs.valueY, rec.minY, rec.maxY);
}

}  // namespace device
