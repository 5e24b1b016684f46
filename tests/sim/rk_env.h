// COM ports of rk mapped to simulated lines. Tests that use rk also link
// rk_env.cpp, which gives each test process a port table of its own.
#ifndef TESTS_SIM_RK_ENV_H
#define TESTS_SIM_RK_ENV_H

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "link/rk.h"

namespace simtest {

// Maps COM<comNumber> to `path` and opens it; the port index, or -1.
inline int openCom(int comNumber, const std::string &path, uint32_t baud, uint32_t pollInterval,
                   uint32_t replyTimeout = 100, uint16_t attempts = 3) {
  setenv(("RK_COM" + std::to_string(comNumber)).c_str(), path.c_str(), 1);
  RkParamBlock block{};
  block.Size = sizeof block;
  RK_GetDefaultParamBlock(&block);
  block.BaudRate = baud;
  block.PollInterval = pollInterval;
  block.ReplyTimeout = replyTimeout;
  block.Attempts = attempts;
  const uint32_t port = static_cast<uint32_t>(comNumber - 1);
  return RK_Open(port, &block) == 0 ? static_cast<int>(port) : -1;
}

}  // namespace simtest

#endif
