// The interface of an E-140 USB ADC module library: what TE140 asks of the
// module and what it relies on. A library provides it through one factory,
// `e140_create` (see E140Factory), which the program finds with dlopen/dlsym.
// Every operation answers true on success; on failure the library keeps a
// text that lastError returns. Operations may be called from two threads at
// once (the acquisition worker, and the owner's thread stopping it).
#pragma once

#include <cstddef>
#include <cstdint>

namespace adc {

// Layout of the module description (readDescription): a byte area that holds,
// among things of the module's own, one correction pair per input range r
// (0-3, bits 6-7 of a channel word): a double offset correction in ADC codes at
// kOffsetCorrectionAt + 8*r and a double scale correction at kScaleCorrectionAt
// + 8*r, both unaligned and little-endian. A corrected sample is
// (code + offset) * scale.
inline constexpr size_t kDescriptionSize = 6188;
inline constexpr size_t kOffsetCorrectionAt = 1261;
inline constexpr size_t kScaleCorrectionAt = 2285;
inline constexpr int kRangeCount = 4;

// Room for lastError's text, the terminating zero included.
inline constexpr size_t kErrorTextSize = 260;

inline constexpr size_t kMaxChannels = 128;

// Acquisition parameters (setParameters).
struct E140Parameters {
  uint16_t modes[7];                // clock source, synchronisation and the like: 0 is internal
                                    // clock, no synchronisation, free-running input
  uint16_t channelCount;            // entries of channels in use, 1-kMaxChannels
  uint16_t channels[kMaxChannels];  // channel words, sampled in turn
  double rateKHz;                   // sampling rate in kHz; setParameters replaces it with the
                                    // rate the module will actually run at
  double frameIntervalMs;           // time from one frame of channels to the next, ms
};

// One asynchronous block read (readBlock). The module fills buffer with
// samples 16-bit codes, stores how many it delivered in transferred, and then
// signals completion by writing 1 (8 bytes) to the eventfd completionFd. The
// request and its buffer must stay valid until the block has been delivered,
// the read was cancelled (cancelInput), acquisition stopped or the device
// closed. A cancelled or dropped read is never signalled.
struct E140Request {
  int16_t *buffer;
  uint32_t samples;
  uint32_t transferred;
  int completionFd;
};

class E140Module {
 public:
  // Looks for a module on device slot `slot` and opens it; false when none answers.
  virtual bool openDevice(uint16_t slot) = 0;
  // Stops acquisition, drops a pending read and closes the device.
  virtual bool closeDevice() = 0;
  // Closes everything and frees the module object; the pointer is dead afterwards.
  virtual bool release() = 0;
  // Drops a pending block read without signalling it; once this returns the
  // module no longer writes into the read's buffer.
  virtual bool cancelInput() = 0;
  // The last error as zero-terminated UTF-8, cut to size bytes (at most kErrorTextSize).
  virtual bool lastError(char *text, size_t size) = 0;
  virtual bool setParameters(E140Parameters *parameters) = 0;
  virtual bool startAcquisition() = 0;
  // Stops acquisition; a pending read is dropped.
  virtual bool stopAcquisition() = 0;
  // Starts reading the next request->samples samples of the running acquisition.
  virtual bool readBlock(E140Request *request) = 0;
  // Copies the module description, kDescriptionSize bytes, into description.
  virtual bool readDescription(uint8_t *description) = 0;

 protected:
  ~E140Module() = default;  // release() ends a module's life
};

// The factory: a module interface for the given module name ("e140"), or null.
using E140Factory = E140Module *(*)(const char *name);
inline constexpr char kFactorySymbol[] = "e140_create";

}  // namespace adc
