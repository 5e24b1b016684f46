// A child process driven line by line over its standard input and output.
#pragma once

#include <sys/types.h>
#include <chrono>
#include <string>
#include <vector>

namespace rktest {

class ChildProcess {
 public:
  // Starts program with args; its environment is this process's.
  ChildProcess(const std::string &program, const std::vector<std::string> &args);
  ~ChildProcess();  // kills the child if it still runs
  ChildProcess(const ChildProcess &) = delete;
  ChildProcess &operator=(const ChildProcess &) = delete;

  void send(const std::string &line);
  // The next line the child writes, without its newline; empty after the
  // deadline or when the child closed its output.
  std::string readLine(std::chrono::milliseconds deadline = std::chrono::seconds(20));
  // send(line) and readLine().
  std::string ask(const std::string &line);

  void kill();  // SIGKILL and reap
  int wait();   // exit status after the child ends by itself
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::string buffer_;
};

// The directory of the running test executable (helpers are built beside it).
std::string executableDirectory();

}  // namespace rktest
