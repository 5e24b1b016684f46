// qvzsim: simulated QVZ vibration sensors on a pseudo-terminal.
//
// A Line owns one pseudo-terminal and a thread that serves it. Programs that
// talk Modbus RTU (rk, libmodbus, mbpoll, sentune) open the slave side like a
// serial port. Sensors added to the line answer requests addressed to them
// that arrive while the line is set to their speed.
//
//   qvzsim::Line line;
//   if (!line.start({.linkPath = "/tmp/ttyQVZ"})) fail(line.error());
//   auto s = line.addSensor({.type = 1, .address = 1, .baud = 57600});
//   s->setGap(1.5);
//   ... open line.slavePath() or /tmp/ttyQVZ at 57600 8N1 and talk ...
//   s->waitForRequests(4, 1, 2s);
//
// Every method is thread-safe. Sensor handles stay valid while their Line
// exists. Errors are values: bool results, std::optional, Line::error().
#ifndef QVZSIM_QVZSIM_H
#define QVZSIM_QVZSIM_H

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qvzsim {

// Sensor types as the sensor reports them in input register 28.
inline constexpr int kGapVibration = 1;  // channels S (gap, mm) and W (displacement, um)
inline constexpr int kThreeAxis = 2;     // vibration velocity Z, X, Y (mm/s); 3 with test signal

// Line speeds a sensor can use: those of the sensor's speed table and above,
// the fast ones for tests that move a lot of data.
inline constexpr std::array<uint32_t, 11> kSpeeds{1200,  2400,   4800,   9600,   19200, 38400,
                                                  57600, 115200, 230400, 460800, 921600};

struct SensorOptions {
  int type = kGapVibration;
  uint8_t address = 1;  // 1..247
  uint32_t baud = 57600;
  // Commits, table writes and files are kept here and read back at start, so
  // a sensor keeps its settings across runs of the simulator. Empty: memory only.
  std::string stateFile;
  int32_t serialNumber = 1;  // holding register 16 of a sensor without state
  uint32_t seed = 1;         // noise and per-sensor manufacturing spread
};

// What a fault does to the reply of a request it matches.
enum class FaultKind {
  Silence,       // the request is not heard: not executed, no reply
  CorruptCrc,    // the reply goes out with a wrong CRC
  Truncate,      // only the first part of the reply goes out
  Pieces,        // the reply goes out in pieces with silent gaps between them
  WrongAddress,  // a valid reply that carries another device address
  Exception,     // an exception reply instead of executing the request
  Late,          // the reply goes out after an extra delay
};

struct Fault {
  FaultKind kind = FaultKind::Silence;
  // Which requests it affects (all must hold):
  int function = -1;                          // this function code only; -1 any
  int firstRegister = -1, lastRegister = -1;  // requests touching this range (functions 1-6,
                                              // 15, 16); -1 any
  double probability = 1.0;                   // chance per matching request
  int count = -1;                             // affect the next N matching requests; -1 forever
  // Parameters:
  int keepBytes = -1;         // Truncate: bytes sent; -1 half of the reply
  int pieces = 2;             // Pieces: number of pieces
  int gapMs = 20;             // Pieces: silence between pieces
  int delayMs = 500;          // Late: extra delay before the reply
  uint8_t exceptionCode = 4;  // Exception: the code sent
  int otherAddress = -1;      // WrongAddress: address used; -1 the sensor's address + 1
};

// One request heard by a sensor (addressed to it at its speed).
struct Request {
  std::chrono::steady_clock::time_point time;  // when its frame was complete
  uint8_t function = 0;
  uint16_t start = 0;  // register, coil or nothing (0) as the function implies
  uint16_t count = 0;
  uint32_t baud = 0;
  std::optional<FaultKind> fault;  // the fault applied to it, if any
};

enum class DacOutput { Normal, Minimum, Maximum };
enum class Axis { Z = 0, X = 1, Y = 2 };

// Observable state of a sensor besides its registers.
struct SensorStatus {
  uint8_t address = 0;
  uint32_t baud = 0;
  int type = 0;                         // as reported: 1, 2, or 3 with the test signal on
  bool testSignal = false;              // coil 4
  bool testMode = false;                // coils 17 (on) and 16 (off)
  DacOutput dac = DacOutput::Normal;    // coils 8, 9, 10
  std::array<float, 2> dacCurrentMa{};  // what an ammeter on each current output reads
  bool restarting = false;              // silent after the restart coil
  unsigned commits = 0;
  unsigned restarts = 0;
};

// Counters of the whole line.
struct LineCounters {
  uint64_t frames = 0;      // complete frames with a valid CRC
  uint64_t badFrames = 0;   // byte runs without a valid CRC
  uint64_t unheard = 0;     // valid frames no sensor answered (address or speed)
  uint64_t collisions = 0;  // frames begun while a reply was still going out: lost
  uint64_t replies = 0;     // replies sent (faulted ones included)
};

class Line;

// Handle to a sensor on a line. Cheap to copy; valid while its Line exists.
class Sensor {
 public:
  // Bench values.
  void setGap(double mm);                      // type 1: distance to the target
  void setVibration(double um);                // type 1: vibration displacement amplitude
  void setVelocity(Axis axis, double mmPerS);  // type 2
  void setNoise(double relative);  // standard deviation relative to the reading; 0 exact

  // Registers (holding 0-79 and 1024-4095, raw 16-bit words as on the wire).
  std::optional<uint16_t> holding(uint16_t reg) const;
  bool setHolding(uint16_t reg, uint16_t value);
  // 32-bit fields: low word in the lower register.
  std::optional<float> holdingFloat(uint16_t reg) const;
  bool setHoldingFloat(uint16_t reg, float value);
  std::optional<uint32_t> holdingU32(uint16_t reg) const;
  bool setHoldingU32(uint16_t reg, uint32_t value);
  // Input block (registers 0-31) measured now, as the next read would see it.
  std::array<uint16_t, 32> measure() const;
  // The input block of the last read served (zeros before the first).
  std::array<uint16_t, 32> lastInputs() const;

  // The table image (6144 bytes: the content of "table.bin").
  std::vector<uint8_t> tableImage() const;
  bool setTableImage(const std::vector<uint8_t> &bytes);

  // Files of the file requests ("table.bin" is the table image).
  std::optional<std::vector<uint8_t>> file(const std::string &name) const;
  void setFile(const std::string &name, std::vector<uint8_t> bytes);
  bool removeFile(const std::string &name);
  std::vector<std::string> fileNames() const;

  // Acts on a coil as a function 5 request would, its commit of a new speed or
  // address and its restart included (false: the sensor refuses the coil).
  bool writeCoil(uint16_t coil, bool on);
  SensorStatus status() const;

  // Requests heard, oldest first (at most the last 100000 are kept).
  std::vector<Request> requests() const;
  uint64_t requestCount(int function = -1) const;  // since start or clearRequests
  void clearRequests();
  // Waits until requestCount(function) >= n; false on time-out.
  bool waitForRequests(int function, uint64_t n, std::chrono::milliseconds timeout) const;

  void addFault(const Fault &fault);
  void clearFaults();

  int index() const { return index_; }

 private:
  friend class Line;
  Sensor(Line *line, int index) : line_(line), index_(index) {}
  Line *line_;
  int index_;
};

struct LineOptions {
  std::string linkPath;  // a symbolic link to the slave side made here; empty none
  std::chrono::microseconds reactionTime{3000};  // from end of request to first reply byte
  std::chrono::milliseconds restartTime{1000};   // silence after the restart coil
};

class Line {
 public:
  Line();
  ~Line();  // stops the line
  Line(const Line &) = delete;
  Line &operator=(const Line &) = delete;

  // Opens the pseudo-terminal and starts serving it.
  bool start(const LineOptions &options = {});
  void stop();  // closes the pseudo-terminal and removes the link
  bool running() const;
  std::string slavePath() const;
  std::string linkPath() const;
  std::string error() const;  // why start or addSensor failed

  // Adds a sensor; fails for a bad type, address or speed, or when another
  // sensor already answers that address at that speed.
  std::optional<Sensor> addSensor(const SensorOptions &options);
  std::vector<Sensor> sensors() const;
  std::optional<Sensor> findSensor(uint8_t address) const;

  void setReactionTime(std::chrono::microseconds t);
  LineCounters counters() const;

  struct Impl;

 private:
  friend class Sensor;
  std::unique_ptr<Impl> impl_;
};

const char *faultName(FaultKind kind);
std::optional<FaultKind> faultFromName(const std::string &name);

}  // namespace qvzsim

#endif  // QVZSIM_QVZSIM_H
