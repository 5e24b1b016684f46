// What the sensor reads: the input block from the bench values, the stored
// tables and coefficients, the test state and the setpoints.
#include <algorithm>
#include <cmath>

#include "bytes.h"
#include "device.h"

namespace qvzsim {
namespace {

// The internal test signal of a three-axis sensor, as a raw velocity, mm/s.
constexpr double kTestSignalVelocity = 10.0;

struct Limits {
  bool enabled;
  bool rangeChecked;
  float min, max;
};

// Status of a channel whose alarm lies above the warning (W, X, Y, Z) or, for
// S, outside a band given by a lower and an upper pair.
float channelStatus(const Limits &l, float v, float warnLow, float alarmLow, float warnHigh,
                    float alarmHigh) {
  if (!l.enabled) return regs::kStatusMasked;
  if (l.rangeChecked && v < l.min) return regs::kStatusBelowMin;
  if (l.rangeChecked && v > l.max) return regs::kStatusAboveMax;
  if (v < alarmLow || v >= alarmHigh) return regs::kStatusAlarm;
  if (v < warnLow || v >= warnHigh) return regs::kStatusWarning;
  return regs::kStatusNormal;
}

bool raised(float status) {
  return status == regs::kStatusWarning || status == regs::kStatusAlarm;
}

// Nominal current span of an output mode: 0 4-20 mA, 1 0-20 mA, 2 0-24 mA.
std::pair<double, double> span(float mode) {
  if (mode == 1.0f) return {0.0, 20.0};
  if (mode == 2.0f) return {0.0, 24.0};
  return {4.0, 20.0};
}

}  // namespace

double Device::noisy(double value, double scale) {
  if (bench.noise <= 0.0) return value;
  std::normal_distribution<double> n(0.0, bench.noise * scale);
  return value * (1.0 + n(rng_));
}

float Device::dacCurrent(int ch, float value) const {
  const uint16_t base = static_cast<uint16_t>(regs::kDac1Gain + 8 * ch);
  const auto [lo, hi] = span(hfloat(ch == 0 ? regs::kDacMode1 : regs::kDacMode2));
  double x = dac_ == DacOutput::Minimum ? lo : hi;
  if (dac_ == DacOutput::Normal) {
    // Type 1 drives output 1 from the gap over its range, the rest over the full scale.
    const float full =
        ch == 0 && type_ == kGapVibration ? hfloat(regs::kMaxValue) : hfloat(regs::kFullScale);
    const double frac = full > 0.0f ? std::clamp(double(value) / full, 0.0, 1.0) : 0.0;
    const double command = lo + (hi - lo) * frac;
    // The stored correction maps the command onto what the output really gives.
    x = lo + hfloat(base) * (command - lo) + hfloat(base + 2) * (hi - lo);
  }
  const double ma = x * spread_.dacGain[ch] + spread_.dacOffset[ch];
  return static_cast<float>(std::clamp(ma, 0.0, 25.0));
}

std::array<uint16_t, regs::kInputCount> Device::measure() {
  float averaging = hfloat(regs::kAveraging);
  if (!(averaging >= 1.0f)) averaging = 1.0f;
  const double scale = 1.0 / std::sqrt(std::min(averaging, 32.0f));
  const uint32_t flags =
      wordsToU32(holding_[regs::kChannelFlags], holding_[regs::kChannelFlags + 1]);
  const bool gap = type_ == kGapVibration;

  std::array<float, 16> f{};  // field i lives at input register 2i
  auto field = [&](uint16_t reg) -> float & { return f[reg / 2]; };
  float v[3] = {0, 0, 0};
  if (gap) {
    const GapCurve &c = spread_.curve;
    const double us = noisy(c.voltage(bench.gapMm), scale);
    const double uw = noisy(bench.vibrationUm * 1e-3 * c.slope(bench.gapMm), scale);
    const std::span<const float> t(table_);
    const double s =
        table_[regs::kKs2] * interpolate(t.subspan(regs::kGapTable, 750), table_[regs::kGapMinUs],
                                         table_[regs::kGapMaxUs], us);
    const double kw = interpolate(t.subspan(regs::kKwTable, 750), table_[regs::kKwMinUs],
                                  table_[regs::kKwMaxUs], us);
    v[0] = static_cast<float>(s);
    v[1] = static_cast<float>(displacement(uw, kw, table_[regs::kKw2]));
    field(regs::kVoltageUs) = static_cast<float>(us);
    field(regs::kVoltageUw) = static_cast<float>(uw);
  } else {
    for (int a = 0; a < 3; ++a) {
      const double raw = testSignal_ ? kTestSignalVelocity
                                     : noisy(bench.velocity[a] * spread_.axisSensitivity[a], scale);
      v[a] = static_cast<float>(hfloat(static_cast<uint16_t>(regs::kCoefZ + 4 * a)) * raw);
    }
  }
  if (testMode_) {
    v[0] = hfloat(regs::kTestValue1);
    v[1] = hfloat(regs::kTestValue2);
    v[2] = gap ? 0.0f : hfloat(regs::kTestValue3);
  }

  const float warn1 = hfloat(regs::kWarn1), alarm1 = hfloat(regs::kAlarm1);
  const float warn2 = hfloat(regs::kWarn2), alarm2 = hfloat(regs::kAlarm2);
  const float warn3 = hfloat(regs::kWarn3), alarm3 = hfloat(regs::kAlarm3);
  const float lo = hfloat(regs::kMinValue), hi = hfloat(regs::kMaxValue);
  constexpr float kNone = -INFINITY;
  float status[3] = {0, 0, 0};
  if (gap) {
    status[0] = channelStatus({(flags & regs::kFlagSZ) != 0, true, lo, hi}, v[0], warn1, alarm1,
                              warn3, alarm3);
    status[1] = channelStatus({(flags & regs::kFlagWX) != 0, false, lo, hi}, v[1], kNone, kNone,
                              warn2, alarm2);
  } else {
    const uint32_t bit[3] = {regs::kFlagSZ, regs::kFlagWX, regs::kFlagY};
    const float warn[3] = {warn1, warn2, warn3}, alarm[3] = {alarm1, alarm2, alarm3};
    for (int a = 0; a < 3; ++a)
      status[a] = channelStatus({(flags & bit[a]) != 0, true, lo, hi}, v[a], kNone, kNone, warn[a],
                                alarm[a]);
  }

  field(regs::kValueSZ) = v[0];
  field(regs::kValueWX) = v[1];
  field(regs::kValueY) = v[2];
  field(regs::kStatusSZ) = status[0];
  field(regs::kStatusWX) = status[1];
  field(regs::kStatusY) = status[2];
  // Relay outputs: the value that raised them, -1 while off.
  field(regs::kAuxS) = raised(status[0]) ? v[0] : -1.0f;
  field(regs::kAuxW) = raised(status[1]) ? v[1] : -1.0f;
  field(regs::kAuxAlarm) = -1.0f;
  for (int a = 2; a >= 0; --a)
    if (status[a] == regs::kStatusAlarm) field(regs::kAuxAlarm) = v[a];
  field(regs::kTemperature) = static_cast<float>(noisy(31.5, scale));
  field(regs::kSupply) = static_cast<float>(noisy(24.0, scale));
  lastDac_ = {dacCurrent(0, v[0]), dacCurrent(1, v[1])};
  field(regs::kDac1Current) = lastDac_[0];
  field(regs::kDac2Current) = lastDac_[1];
  field(regs::kSensorType) = static_cast<float>(reportedType());

  std::array<uint16_t, regs::kInputCount> words{};
  for (size_t i = 0; i < f.size(); ++i)
    floatToWords(f[i], &words[2 * i]);
  return words;
}

}  // namespace qvzsim
