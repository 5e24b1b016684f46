// A second (third, ...) process for the port-sharing tests. It reads
// commands from its standard input, one a line, and answers each with one
// line on its standard output:
//   open PORT BAUD POLL TIMEOUT   -> result code of RK_Open
//   read PORT ADDRESS             -> result code of reading register 0 (function 3)
//   get PORT ADDRESS REGISTER     -> result code and value of reading that register
//   baud PORT                     -> BaudRate of RK_GetParamBlock
//   close PORT                    -> result code of RK_Close
//   delete PORT ADDRESS NAME      -> result code of RK_DeleteFile
//   send PORT ADDRESS NAME LOCAL  -> result code of RK_SendFile (no window)
//   fork                          -> 0 once a forked child returned from main
//                                    (and unloaded its copy of the library)
//   spawn                         -> the pid of a forked child that outlives
//                                    this process; on SIGTERM it returns from
//                                    main (and unloads its copy of the library)
//   exit                          -> returns from main (the library unloads)
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "rk.h"
#include "tests/support/rk_blocks.h"

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string cmd;
    uint32_t port = 0;
    in >> cmd >> port;
    uint32_t result = 0;
    if (cmd == "open") {
      RkParamBlock b = rktest::defaultBlock();
      in >> b.BaudRate >> b.PollInterval >> b.ReplyTimeout;
      result = RK_Open(port, &b);
    } else if (cmd == "read") {
      uint32_t address = 1;
      in >> address;
      uint16_t value = 0;
      result = RK_Exchange(port, address, 3, 0, 1, &value);
    } else if (cmd == "get") {
      uint32_t address = 1, reg = 0;
      in >> address >> reg;
      uint16_t value = 0;
      result = RK_Exchange(port, address, 3, reg, 1, &value);
      std::cout << result << ' ' << value << std::endl;
      continue;
    } else if (cmd == "baud") {
      RkParamBlock b{};
      b.Size = sizeof b;
      RK_GetParamBlock(port, &b);
      result = b.BaudRate;
    } else if (cmd == "delete") {
      uint32_t address = 1;
      std::string name;
      in >> address >> name;
      result = RK_DeleteFile(port, address, nullptr, name.c_str());
    } else if (cmd == "send") {
      uint32_t address = 1;
      std::string name, local;
      in >> address >> name >> local;
      result = RK_SendFile(port, address, nullptr, name.c_str(), local.c_str());
    } else if (cmd == "close") {
      result = RK_Close(port);
    } else if (cmd == "exit") {
      return 0;
    } else if (cmd == "fork") {
      const pid_t child = ::fork();
      if (child == 0) return 0;
      int status = 0;
      ::waitpid(child, &status, 0);
      result = WIFEXITED(status) ? static_cast<uint32_t>(WEXITSTATUS(status)) : 1000u;
    } else if (cmd == "spawn") {
      if (::fork() == 0) {
        // The child answers, so that SIGTERM is blocked before anyone knows
        // its pid.
        sigset_t term;
        sigemptyset(&term);
        sigaddset(&term, SIGTERM);
        ::sigprocmask(SIG_BLOCK, &term, nullptr);
        std::cout << ::getpid() << std::endl;
        int signal = 0;
        ::sigwait(&term, &signal);
        return 0;
      }
      continue;
    }
    std::cout << result << std::endl;
  }
  return 0;
}
