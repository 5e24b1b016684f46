// The pseudo-terminal of a simulated line. The master side carries the bytes;
// the slave side is kept open so that its line settings can be read and the
// master never sees a hang-up while the program under test reopens the port.
#ifndef QVZSIM_PTY_H
#define QVZSIM_PTY_H

#include <cstdint>
#include <string>

namespace qvzsim {

class Pty {
 public:
  Pty() = default;
  ~Pty() { close(); }
  Pty(const Pty &) = delete;
  Pty &operator=(const Pty &) = delete;

  // Opens a new pair in raw mode at 9600 bit/s; false with `error` set on failure.
  bool open(std::string &error);
  void close();
  int master() const { return master_; }
  const std::string &slavePath() const { return slavePath_; }
  // Speed the slave side is set to now, in bit/s (0 when unknown).
  uint32_t baud() const;
  // Drops what was sent to the slave side and not read there yet.
  void flushInput();

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};

}  // namespace qvzsim

#endif
