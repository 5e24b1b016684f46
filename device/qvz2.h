// TQVZ2: the one connection to one QVZ sensor.
//
// It keeps the port, speed and address in the program's INI file, opens the
// link through rk, and runs a polling worker that keeps the measurement record
// current about ten times a second. The device lock makes every poll and every
// command atomic with respect to each other; dialogs that need the link for
// themselves (search, About) hold it for as long as they are open.
//
// Threads. The working record is touched only by whoever holds the device lock
// (the worker during a poll, a command, a dialog between lock() and unlock()).
// Whoever releases the lock first publishes the record; readers take a whole
// copy of the last published record with snapshot(), under a short mutex that
// is never held across an exchange. The calibration data belongs to the
// user-interface thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>

#include "calibration_data.h"
#include "device_lock.h"
#include "record.h"
#include "register_map.h"

namespace device {

// The thirteen values of a setpoint change, in the order the setpoints dialog
// hands them over. The DAC modes are list indexes 0-2 as floats.
struct Setpoints {
  float warn1, alarm1, warn2, alarm2, warn3, alarm3;
  float alarmSamples, minValue, maxValue, fullScaleValue;
  float dacMode1, dacMode2;
  float averagingSamples;
};

// Additional settings of a three-component sensor (registers 68-79).
struct AdditionalSettings {
  float adcMinVoltage, adcMaxVoltage, adcOverloadDelay, maxRmsStep, maxSpectrumLine,
      startFrequencyIndex;
};

// Current-output corrections (registers 42-57).
struct DacCalibration {
  float dac1Gain, dac1Offset, dac1OutMin, dac1OutMax;
  float dac2Gain, dac2Offset, dac2OutMin, dac2OutMax;
};

class TQVZ2 {
 public:
  enum WorkerState : int { Stopped = 0, StopRequested = 1, Held = 2, Free = 3 };

  // Reads section SETTINGS of the INI file at iniPath, opens the link with the
  // stored identification string and starts the polling worker.
  explicit TQVZ2(std::string iniPath);
  // Stops the worker (also while a dialog holds the lock) and closes the link.
  virtual ~TQVZ2();
  TQVZ2(const TQVZ2 &) = delete;
  TQVZ2 &operator=(const TQVZ2 &) = delete;

  // ---- Reading; any thread, never waits for a poll ----

  // A whole copy of the record as the last poll or command left it.
  MeasurementRecord snapshot() const;
  // The same into `out`, reusing its string buffers.
  void snapshot(MeasurementRecord &out) const;
  WorkerState workerState() const { return state_.load(std::memory_order_acquire); }

  // ---- The device lock ----

  // Waits until no poll or command runs, then holds the worker (Held).
  void lock();
  // Lets the worker run again (Free).
  void unlock();

  // ---- Link; the caller holds the lock ----

  // Closes the link; `online` goes false.
  void close();
  // Closes and opens the link again with the stored identification string.
  void reopen();
  // Stores a new identification string and address (also in the INI file),
  // then closes and opens the link with them.
  void reopen(const std::string &newIdStr, uint8_t newAddress);
  // Stores the text of a link result in lastError; returns the code. Inside
  // a command, the first failure is also kept as the command's error.
  uint32_t setLastError(uint32_t code);

  // ---- Without the lock ----

  // Clears the link library's counters for the sensor's address.
  void resetStatistics();
  // Forgets the extremes; the next successful poll starts them afresh.
  void resetMinMax();

  // ---- Commands; each takes the lock itself ----

  // Moves the sensor to speed row `speedRow` (0-6) and address `newAddress`,
  // then reopens the link with them. A row outside the table does nothing.
  void changeExchange(int speedRow, uint8_t newAddress);
  // True when the number was written (a failed commit still updates it here).
  bool writeSensorNumber(int32_t number);
  bool writeSetpoints(const Setpoints &values);
  // Sets the channel flag word that writeChannelFlags and writeSetpoints send.
  void setChannelFlags(uint32_t flags);
  // Writes the held channel flag word, commits, and reads it back.
  void writeChannelFlags();
  bool writeAdditional(const AdditionalSettings &values);
  // Writes a three-component calibration value: index 0 refZ, 1 coefZ, 2 refX,
  // 3 coefX, 4 refY, 5 coefY; then reads the configuration again.
  bool writeAxisValue(float value, int index);
  // Tells the sensor to calibrate axis 0 Z, 1 X or 2 Y.
  void calibrateAxis(int axis);
  bool writeDacCalibration(const DacCalibration &values);
  uint32_t dacOutputMin();
  uint32_t dacOutputMax();
  uint32_t dacOutputNormal();
  uint32_t restartSensor();
  void setTestSignal(bool on);
  void setTestMode(bool on);
  // Writes test value `index` (0-2), then reads the configuration again.
  bool writeTestValue(float value, int index);
  // Writes ks2 or kw2 (no commit) and reads the table tail back.
  bool writeKs2(float value);
  bool writeKw2(float value);

  // Writes the coefficient file: the table image with the computed tables in
  // place of the stored ones (those copies stay in the record). 0, or -1, -2,
  // -3 as writeCoefficientFile tells; lastError is left alone, and a failure
  // is the command's error (commandError): which file, and why.
  int writeTableFile(const std::string &path);
  // Sends a local file to the sensor under `remoteName` ("table.bin",
  // "file.bin"). `owner` is the window that owns the progress window (a
  // QWidget*), or null for none. The lock is held for the whole transfer.
  // After a table file the next poll reads the tables again.
  bool sendFile(const std::string &remoteName, const std::string &localPath, void *owner = nullptr);

  // ---- Calibration data; user-interface thread only ----
  // Points and computed tables (calibration_data.h). Change points through
  // setCalPoint, which keeps the computed table in step with them.
  CalibrationData &calibration() { return cal_; }
  const CalibrationData &calibration() const { return cal_; }

  // Takes point `index` of the S set (kw false, 0-9) or the Kw set (kw true,
  // 0-7) at voltage u, or clears it with u = -1.0, then rebuilds that set's
  // computed table. An S point's ordinate is its own reference gap (y is not
  // used); a Kw point gets y as its coefficient and the present gap valueSZ as
  // its ref (-1.0 when cleared). Refused (false; points and table unchanged)
  // for an index outside the set, and for a point that would take part in the
  // fit with a voltage or ordinate that is not a finite float, or with the
  // voltage of another valid point of its set (two knots at one abscissa have
  // no spline through them).
  bool setCalPoint(int index, double u, bool kw, double y);
  // Refits the natural spline through the valid points of the S set (kw
  // false) or the Kw set and samples it into gapComputed or kwComputed: 750
  // samples between the lowest and the highest voltage, clamped to 0..6 (S)
  // or 0..1000 (Kw). One valid point: a flat table over 0..2.5 V. None: the
  // no-curve marker in entry 0, the rest left as it was.
  void buildTable(bool kw);
  // Kw of the sensor's stored kwTable (as last read) at gap voltage u: the
  // nearest sample inside kwTableMinUs..kwTableMaxUs, the first below it, the
  // last from its top on; 1.0 where the sample is not positive.
  float lookupKw(float u) const;

 private:
  class Hold;

  void loadSettings();
  void saveSettings();
  void workerLoop();
  void poll();
  uint32_t readConfiguration();
  void publish();
  void setClientState(WorkerState s);
  // Records a failure of the running command (the first one counts).
  void noteCommandFailure(const std::string &text);

  uint32_t exchange(uint32_t function, uint32_t start, uint32_t count, void *data);
  // Writes 32-bit fields (two registers each) from register `start` on.
  uint32_t writeFields(uint32_t start, std::initializer_list<uint32_t> fields);
  uint32_t writeCoil(uint32_t coil, bool on = true);
  // Write, then the commit coil when the write succeeded; both results pass
  // through setLastError.
  uint32_t writeAndCommit(uint32_t start, std::initializer_list<uint32_t> fields);
  uint32_t coilCommand(uint32_t coil, bool on = true);
  bool writeTailValue(uint32_t reg, float value);
  bool writeConfigValue(uint32_t reg, float value);

  const std::string iniPath_;
  CalibrationData cal_{};

  DeviceLock deviceLock_;
  std::atomic<WorkerState> state_{Stopped};
  MeasurementRecord rec_;  // under the device lock; extremes under snapMutex_
  // Whether a command holds the lock, and whether it has failed yet (under
  // the device lock).
  enum class Command { None, Running, Failed } command_ = Command::None;

  mutable std::mutex snapMutex_;
  MeasurementRecord published_;

  std::mutex sleepMutex_;  // wakes the worker's pause when a stop is requested
  std::condition_variable sleepCv_;
  std::thread worker_;
};

}  // namespace device
