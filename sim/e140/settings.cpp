#include "settings.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <type_traits>

namespace e140sim {
namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) {
    s.remove_prefix(1);
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

// Whole-text numbers only, with a point whatever the process locale.
template <typename T>
bool parse(std::string_view text, T &out) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  T value{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  if constexpr (std::is_floating_point_v<T>) {
    if (!std::isfinite(value)) return false;
  }
  out = value;
  return true;
}

bool parseFailure(std::string_view text, Failure &out) {
  static constexpr struct {
    std::string_view name;
    Failure failure;
  } kNames[] = {{"none", Failure::None},
                {"description", Failure::Description},
                {"parameters", Failure::Parameters},
                {"start", Failure::Start}};
  for (const auto &n : kNames) {
    if (text == n.name) {
      out = n.failure;
      return true;
    }
  }
  return false;
}

}  // namespace

bool applySetting(Settings &settings, std::string_view key, std::string_view value) {
  key = trim(key);
  value = trim(value);
  Settings s = settings;
  int present = 0;
  bool ok = false;
  if (key == "amplitude") {
    ok = parse(value, s.amplitude);
  } else if (key == "frequency") {
    ok = parse(value, s.frequency) && s.frequency >= 0.0;
  } else if (key == "offset") {
    ok = parse(value, s.offset);
  } else if (key == "noise") {
    ok = parse(value, s.noise) && s.noise >= 0.0;
  } else if (key == "slot") {
    ok = parse(value, s.slot);
  } else if (key == "present") {
    ok = parse(value, present);
    s.present = present != 0;
  } else if (key == "fail") {
    ok = parseFailure(value, s.failure);
  } else if (key == "seed") {
    ok = parse(value, s.seed);
  }
  if (ok) settings = s;
  return ok;
}

Settings settingsFromEnvironment() {
  static constexpr struct {
    const char *variable;
    const char *key;
  } kVariables[] = {
      {"SENTUNE_E140_AMPLITUDE", "amplitude"}, {"SENTUNE_E140_FREQUENCY", "frequency"},
      {"SENTUNE_E140_OFFSET", "offset"},       {"SENTUNE_E140_NOISE", "noise"},
      {"SENTUNE_E140_SLOT", "slot"},           {"SENTUNE_E140_PRESENT", "present"},
      {"SENTUNE_E140_FAIL", "fail"},           {"SENTUNE_E140_SEED", "seed"}};
  Settings s;
  for (const auto &v : kVariables) {
    if (const char *value = std::getenv(v.variable)) applySetting(s, v.key, value);
  }
  return s;
}

void applyControlText(Settings &settings, std::string_view text) {
  while (!text.empty()) {
    const size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    line = trim(line);
    if (line.empty() || line.front() == '#') continue;
    const size_t eq = line.find('=');
    if (eq != std::string_view::npos)
      applySetting(settings, line.substr(0, eq), line.substr(eq + 1));
  }
}

}  // namespace e140sim
