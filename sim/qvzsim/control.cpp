#include "control.h"

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "bytes.h"
#include "register_map.h"

namespace qvzsim {
namespace {

const char *kHelp =
    "sensors                       list the sensors of the line\n"
    "use N                         later commands act on sensor N (from `sensors`)\n"
    "gap MM                        bench gap, mm (type 1)\n"
    "vibration UM                  bench vibration displacement, um (type 1)\n"
    "velocity z|x|y MM_S           bench vibration velocity of an axis, mm/s (type 2)\n"
    "noise REL                     relative noise of the readings; 0 exact\n"
    "inputs                        measure and print the input block\n"
    "holding REG [COUNT]           raw holding registers\n"
    "set REG VALUE                 set a raw holding register\n"
    "float REG                     a 32-bit float of the holding registers\n"
    "setfloat REG VALUE            set a float of the holding registers\n"
    "coil N on|off                 act on a coil as a master would\n"
    "status                        address, speed, test state, outputs, restarts\n"
    "files                         the sensor's files and their sizes\n"
    "savefile NAME PATH            copy a sensor file to PATH\n"
    "loadfile NAME PATH            give the sensor a file from PATH\n"
    "fault KIND [KEY=VALUE ...]    add a fault. KIND: silence crc truncate pieces address\n"
    "                              exception late. KEY: fn=F regs=A-B prob=P count=N\n"
    "                              keep=BYTES pieces=N gap=MS delay=MS code=C to=ADDRESS\n"
    "faults clear                  remove the sensor's faults\n"
    "requests [N]                  requests heard per function; with N the last N\n"
    "reaction US                   reaction time, microseconds\n"
    "counters                      frames, bad frames, unheard, collisions, replies\n"
    "help                          this list\n"
    "quit                          stop the simulator\n";

const char *typeName(int type) {
  return type == 1 ? "gap-vibration" : type == 2 ? "three-axis" : "three-axis test signal";
}
const char *dacName(DacOutput d) {
  return d == DacOutput::Minimum ? "minimum" : d == DacOutput::Maximum ? "maximum" : "normal";
}

bool toLong(const std::string &s, long &v) {
  char *end = nullptr;
  v = std::strtol(s.c_str(), &end, 0);
  return !s.empty() && *end == '\0';
}
bool parseNumber(const std::string &s, double &v) {
  char *end = nullptr;
  v = std::strtod(s.c_str(), &end);
  return !s.empty() && *end == '\0';
}
bool toRegister(const std::string &s, uint16_t &reg) {
  long v;
  if (!toLong(s, v) || v < 0 || v > 0xFFFF) return false;
  reg = static_cast<uint16_t>(v);
  return true;
}

// Parses "KEY=VALUE" settings of a fault.
bool faultSetting(Fault &f, const std::string &item, std::string &error) {
  const auto eq = item.find('=');
  const std::string key = item.substr(0, eq),
                    value = eq == std::string::npos ? "" : item.substr(eq + 1);
  long n = 0;
  double x = 0;
  if (key == "regs") {
    const auto dash = value.find('-');
    long a, b;
    if (dash == std::string::npos || !toLong(value.substr(0, dash), a) ||
        !toLong(value.substr(dash + 1), b) || a < 0 || b < a) {
      error = "regs wants FIRST-LAST";
      return false;
    }
    f.firstRegister = static_cast<int>(a);
    f.lastRegister = static_cast<int>(b);
    return true;
  }
  if (key == "prob") {
    if (!parseNumber(value, x) || x < 0 || x > 1) {
      error = "prob wants 0..1";
      return false;
    }
    f.probability = x;
    return true;
  }
  if (!toLong(value, n)) {
    error = "bad setting '" + item + "'";
    return false;
  }
  const int v = static_cast<int>(n);
  if (key == "fn")
    f.function = v;
  else if (key == "count")
    f.count = v;
  else if (key == "keep")
    f.keepBytes = v;
  else if (key == "pieces")
    f.pieces = v;
  else if (key == "gap")
    f.gapMs = v;
  else if (key == "delay")
    f.delayMs = v;
  else if (key == "code")
    f.exceptionCode = static_cast<uint8_t>(v);
  else if (key == "to")
    f.otherAddress = v;
  else {
    error = "unknown setting '" + key + "'";
    return false;
  }
  return true;
}

}  // namespace

const char *Control::help() {
  return kHelp;
}

std::string Control::execute(const std::string &command, bool &quit) {
  std::istringstream in(command);
  std::vector<std::string> w{std::istream_iterator<std::string>(in), {}};
  std::ostringstream out;
  auto fail = [&](const std::string &why) { return out.str() + "error: " + why + "\n"; };
  if (w.empty()) return "ok\n";
  const std::string &cmd = w[0];
  const std::vector<Sensor> all = line_.sensors();

  if (cmd == "help") return std::string(kHelp) + "ok\n";
  if (cmd == "quit") {
    quit = true;
    return "ok\n";
  }
  if (cmd == "counters") {
    const LineCounters c = line_.counters();
    out << "frames " << c.frames << "\nbad " << c.badFrames << "\nunheard " << c.unheard
        << "\ncollisions " << c.collisions << "\nreplies " << c.replies << "\n";
    return out.str() + "ok\n";
  }
  if (cmd == "reaction" && w.size() == 2) {
    long us;
    if (!toLong(w[1], us) || us < 0) return fail("reaction wants microseconds");
    line_.setReactionTime(std::chrono::microseconds(us));
    return "ok\n";
  }
  if (cmd == "sensors") {
    for (const Sensor &s : all) {
      const SensorStatus st = s.status();
      out << s.index() << (s.index() == current_ ? " * " : "   ") << typeName(st.type)
          << " address " << unsigned{st.address} << " baud " << st.baud
          << (st.restarting ? " restarting" : "") << "\n";
    }
    return out.str() + "ok\n";
  }
  if (cmd == "use" && w.size() == 2) {
    long n;
    if (!toLong(w[1], n) || n < 0 || n >= static_cast<long>(all.size()))
      return fail("no such sensor");
    current_ = static_cast<int>(n);
    return "ok\n";
  }
  if (all.empty()) return fail("the line has no sensor");
  Sensor s = all[static_cast<size_t>(std::min<int>(current_, static_cast<int>(all.size()) - 1))];

  double x = 0;
  uint16_t reg = 0;
  if ((cmd == "gap" || cmd == "vibration" || cmd == "noise") && w.size() == 2) {
    if (!parseNumber(w[1], x)) return fail("not a number: " + w[1]);
    if (cmd == "gap")
      s.setGap(x);
    else if (cmd == "vibration")
      s.setVibration(x);
    else
      s.setNoise(x);
    return "ok\n";
  }
  if (cmd == "velocity" && w.size() == 3) {
    const std::string a = w[1];
    if (a != "z" && a != "x" && a != "y") return fail("axis is z, x or y");
    if (!parseNumber(w[2], x)) return fail("not a number: " + w[2]);
    s.setVelocity(a == "z" ? Axis::Z : a == "x" ? Axis::X : Axis::Y, x);
    return "ok\n";
  }
  if (cmd == "inputs") {
    static const char *names[16] = {"valueSZ",     "valueWX",  "valueY",     "auxS",
                                    "auxAlarm",    "statusSZ", "statusWX",   "statusY",
                                    "temperature", "supply",   "voltageUs",  "voltageUw",
                                    "dac1mA",      "dac2mA",   "sensorType", "auxW"};
    const auto words = s.measure();
    char line[96];
    for (int i = 0; i < 16; ++i) {
      std::snprintf(line, sizeof line, "%2d %-12s %g\n", 2 * i, names[i],
                    static_cast<double>(wordsToFloat(words[2 * i], words[2 * i + 1])));
      out << line;
    }
    return out.str() + "ok\n";
  }
  if (cmd == "holding" && (w.size() == 2 || w.size() == 3)) {
    long count = 1;
    if (!toRegister(w[1], reg) || (w.size() == 3 && (!toLong(w[2], count) || count < 1)))
      return fail("holding REG [COUNT]");
    for (long i = 0; i < count; ++i) {
      const auto v = s.holding(static_cast<uint16_t>(reg + i));
      if (!v) return fail("no register " + std::to_string(reg + i));
      char line[48];
      std::snprintf(line, sizeof line, "%ld 0x%04x %u\n", reg + i, unsigned{*v}, unsigned{*v});
      out << line;
    }
    return out.str() + "ok\n";
  }
  if ((cmd == "set" || cmd == "setfloat") && w.size() == 3) {
    long v;
    if (!toRegister(w[1], reg)) return fail("bad register " + w[1]);
    bool ok;
    if (cmd == "set") {
      if (!toLong(w[2], v) || v < 0 || v > 0xFFFF) return fail("value is 0..65535");
      ok = s.setHolding(reg, static_cast<uint16_t>(v));
    } else {
      if (!parseNumber(w[2], x)) return fail("not a number: " + w[2]);
      ok = s.setHoldingFloat(reg, static_cast<float>(x));
    }
    return ok ? "ok\n" : fail("no register " + w[1]);
  }
  if (cmd == "float" && w.size() == 2) {
    if (!toRegister(w[1], reg)) return fail("bad register " + w[1]);
    const auto v = s.holdingFloat(reg);
    if (!v) return fail("no register " + w[1]);
    out << *v << "\n";
    return out.str() + "ok\n";
  }
  if (cmd == "coil" && w.size() == 3 && (w[2] == "on" || w[2] == "off")) {
    if (!toRegister(w[1], reg)) return fail("bad coil " + w[1]);
    return s.writeCoil(reg, w[2] == "on") ? "ok\n" : fail("coil refused");
  }
  if (cmd == "status") {
    const SensorStatus st = s.status();
    out << "type " << st.type << "\naddress " << unsigned{st.address} << "\nbaud " << st.baud
        << "\ntest-signal " << (st.testSignal ? "on" : "off") << "\ntest-mode "
        << (st.testMode ? "on" : "off") << "\ndac " << dacName(st.dac) << "\ncurrent1 "
        << st.dacCurrentMa[0] << "\ncurrent2 " << st.dacCurrentMa[1] << "\nrestarting "
        << (st.restarting ? "yes" : "no") << "\nrestarts " << st.restarts << "\ncommits "
        << st.commits << "\n";
    return out.str() + "ok\n";
  }
  if (cmd == "files") {
    for (const std::string &name : s.fileNames())
      out << name << " " << s.file(name).value_or(std::vector<uint8_t>{}).size() << "\n";
    return out.str() + "ok\n";
  }
  if (cmd == "savefile" && w.size() == 3) {
    const auto bytes = s.file(w[1]);
    if (!bytes) return fail("no file " + w[1]);
    std::ofstream f(w[2], std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char *>(bytes->data()), static_cast<long>(bytes->size()));
    return f.flush() ? "ok\n" : fail("cannot write " + w[2]);
  }
  if (cmd == "loadfile" && w.size() == 3) {
    std::ifstream f(w[2], std::ios::binary);
    if (!f) return fail("cannot read " + w[2]);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(f), {}};
    if (w[1] == regs::kTableFile && bytes.size() != static_cast<size_t>(regs::kTableBytes))
      return fail("table.bin must be 6144 bytes");
    s.setFile(w[1], std::move(bytes));
    return "ok\n";
  }
  if (cmd == "faults" && w.size() == 2 && w[1] == "clear") {
    s.clearFaults();
    return "ok\n";
  }
  if (cmd == "fault" && w.size() >= 2) {
    const auto kind = faultFromName(w[1]);
    if (!kind) return fail("unknown fault " + w[1]);
    Fault f;
    f.kind = *kind;
    std::string why;
    for (size_t i = 2; i < w.size(); ++i)
      if (!faultSetting(f, w[i], why)) return fail(why);
    s.addFault(f);
    return "ok\n";
  }
  if (cmd == "requests" && w.size() <= 2) {
    long last = 0;
    if (w.size() == 2 && (!toLong(w[1], last) || last < 0)) return fail("requests [N]");
    out << "total " << s.requestCount() << "\n";
    for (int fn = 0; fn < 256; ++fn)
      if (const uint64_t n = s.requestCount(fn)) out << "function " << fn << " " << n << "\n";
    const auto log = s.requests();
    const size_t from =
        log.size() > static_cast<size_t>(last) ? log.size() - static_cast<size_t>(last) : 0;
    for (size_t i = from; i < log.size(); ++i) {
      const Request &r = log[i];
      out << "fn " << unsigned{r.function} << " start " << r.start << " count " << r.count
          << " baud " << r.baud;
      if (r.fault) out << " fault " << faultName(*r.fault);
      out << "\n";
    }
    return out.str() + "ok\n";
  }
  return fail("unknown command '" + command + "' (try help)");
}

}  // namespace qvzsim
