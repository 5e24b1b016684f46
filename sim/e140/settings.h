// What the simulated module simulates: read from SENTUNE_E140_* environment
// variables when the module is created, and changed while it runs through the
// control file named by SENTUNE_E140_CONTROL (lines "key=value").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace e140sim {

// A set-up step made to fail, to show how the program reports it.
enum class Failure { None, Description, Parameters, Start };

struct Settings {
  double amplitude = 1.0;    // peak volts of the sine
  double frequency = 160.0;  // Hz
  double offset = 0.0;       // DC volts
  double noise = 0.0;        // RMS volts of Gaussian noise
  int slot = 0;              // device slot the module answers on
  bool present = true;       // false: nothing answers, blocks stop (unplugged)
  Failure failure = Failure::None;
  uint64_t seed = 1;  // of the noise
};

// Applies one "key=value" setting (keys as in the control file); false for an
// unknown key or a value that does not parse, which then changes nothing.
bool applySetting(Settings &settings, std::string_view key, std::string_view value);

// Defaults overridden by SENTUNE_E140_AMPLITUDE, _FREQUENCY, _OFFSET, _NOISE,
// _SLOT, _PRESENT, _FAIL and _SEED.
Settings settingsFromEnvironment();

// Applies every "key=value" line of a control file's text ('#' starts a comment).
void applyControlText(Settings &settings, std::string_view text);

}  // namespace e140sim
