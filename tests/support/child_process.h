// A child process for tests: driven line by line over its standard input and
// output, or run to its end.
#pragma once

#include <sys/types.h>
#include <chrono>
#include <string>
#include <vector>

namespace rktest {

class ChildProcess {
 public:
  // Starts program (looked up in PATH when it has no '/') with args; its
  // environment is this process's.
  ChildProcess(const std::string &program, const std::vector<std::string> &args);
  ~ChildProcess();  // kills the child if it still runs
  ChildProcess(const ChildProcess &) = delete;
  ChildProcess &operator=(const ChildProcess &) = delete;

  // Writes line and a newline to the child's standard input.
  void send(const std::string &line);
  void closeInput();
  // The next line the child writes, without its newline; empty after the
  // deadline or when the child closed its output.
  std::string readLine(std::chrono::milliseconds deadline = std::chrono::seconds(20));
  // send(line) and readLine().
  std::string ask(const std::string &line);
  // Everything the child writes until it closes its output.
  std::string rest();

  void kill();      // SIGKILL and reap
  int terminate();  // SIGTERM, then wait()
  // Waits for the child to end: its exit code, or 128 + the signal that ended it.
  int wait();
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  int exitCode_ = -1;
  std::string buffer_;
};

// Runs a program to its end with no input: exit code and standard output.
struct RunResult {
  int status;
  std::string out;
};
RunResult run(const std::string &program, const std::vector<std::string> &args);

// The directory of the running test executable (helpers are built beside it).
std::string executableDirectory();

}  // namespace rktest
