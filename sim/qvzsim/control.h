// Text commands that steer a running line: bench values, registers, coils,
// files, faults and counters. One command a line; the answer ends with a line
// "ok" or "error: ...". Used by the qvzsim program on standard input and on
// its control socket.
#ifndef QVZSIM_CONTROL_H
#define QVZSIM_CONTROL_H

#include <string>

#include "qvzsim.h"

namespace qvzsim {

class Control {
 public:
  explicit Control(Line &line) : line_(line) {}
  // Runs one command line and returns the answer (several lines, the last one
  // "ok" or "error: ..."). `quit` is set by the command "quit".
  std::string execute(const std::string &command, bool &quit);
  static const char *help();

 private:
  Line &line_;
  int current_ = 0;  // the sensor the commands act on
};

}  // namespace qvzsim

#endif
