// Serial ports.
//
// A port is opened read-write without becoming the controlling terminal and
// never blocks: reads take only bytes the queue holds. The line is raw 8N1
// without flow control, DTR and RTS dropped. Line errors (frame, parity,
// overrun, break) counted by the driver put the port into an aborted state:
// purge, write and read fail with kErrOperationAborted until status() has
// fetched the error.
//
// Ports of our programs share a device: each holds a shared advisory lock on
// it, and a program holding an exclusive lock (or the exclusive mode of the
// terminal) keeps us out with kErrPortBusy, as we keep it out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Line error flags of a status query.
enum LineError : uint32_t {
  kLineOverrun = 0x02,
  kLineParity = 0x04,
  kLineFrame = 0x08,
  kLineBreak = 0x10,
};

struct LineStatus {
  uint32_t errors = 0;  // LineError flags fetched by this query
  uint32_t queued = 0;  // bytes waiting in the receive queue
};

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Sets the line: baud bit/s, 8 data bits, no parity, 1 stop bit, no flow
  // control, raw, DTR and RTS dropped. 0, kErrBaudRate or the system error.
  virtual uint32_t configure(uint32_t baud) = 0;
  // Discards both queues.
  virtual uint32_t purge() = 0;
  // Writes all bytes.
  virtual uint32_t write(const uint8_t *data, size_t size) = 0;
  // Fetches (and clears) the line errors and counts the queued bytes.
  virtual uint32_t status(LineStatus &out) = 0;
  // Reads exactly size bytes, which the last status query reported queued.
  virtual uint32_t read(uint8_t *data, size_t size) = 0;
  // The descriptor, recorded in the shared port table.
  virtual int handle() const = 0;
  // True when no other program of ours had the device open when this port
  // was opened: the line then needs setting whatever the shared port table
  // says (its entry may name users of another device under the same COM
  // number, or users that left without a trace).
  virtual bool openedAlone() const { return false; }
};

// True for the speeds the line can be set to.
bool isSupportedBaud(uint32_t baud);

// Opens the serial device at path: 0 and the port, kErrFileNotFound when it
// does not exist, kErrPortBusy when another program holds it, kErrPermission
// when the user may not open it, or another system error.
uint32_t openSerialPort(const std::string &path, std::unique_ptr<SerialPort> &out);

}  // namespace platform
