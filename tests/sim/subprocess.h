// Runs a program for a test: its standard output, exit status, and a way to
// talk to it line by line.
#ifndef TESTS_SIM_SUBPROCESS_H
#define TESTS_SIM_SUBPROCESS_H

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char **environ;

namespace simtest {

class Subprocess {
 public:
  explicit Subprocess(const std::vector<std::string> &argv) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], 0);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    std::vector<char *> args;
    for (const auto &a : argv)
      args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    if (posix_spawnp(&pid_, args[0], &fa, nullptr, args.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&fa);
    close(in[0]);
    close(out[1]);
    stdin_ = in[1];
    stdout_ = out[0];
  }
  ~Subprocess() {
    closeInput();
    terminate();
    if (stdout_ >= 0) close(stdout_);
  }
  Subprocess(const Subprocess &) = delete;
  Subprocess &operator=(const Subprocess &) = delete;

  bool started() const { return pid_ > 0; }
  void write(const std::string &text) {
    [[maybe_unused]] auto n = ::write(stdin_, text.data(), text.size());
  }
  void closeInput() {
    if (stdin_ >= 0) close(stdin_);
    stdin_ = -1;
  }

  // The next line of output (without its newline); empty at the end or time-out.
  std::string line(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      const auto eol = buffer_.find('\n');
      if (eol != std::string::npos) {
        std::string l = buffer_.substr(0, eol);
        buffer_.erase(0, eol + 1);
        return l;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      pollfd p{stdout_, POLLIN, 0};
      if (left.count() <= 0 || poll(&p, 1, int(left.count())) <= 0) return {};
      char buf[4096];
      const ssize_t n = read(stdout_, buf, sizeof buf);
      if (n <= 0) return {};
      buffer_.append(buf, size_t(n));
    }
  }
  // Lines up to and including one that is "ok" or starts with "error".
  std::vector<std::string> answer() {
    std::vector<std::string> lines;
    for (;;) {
      std::string l = line();
      lines.push_back(l);
      if (l.empty() || l == "ok" || l.rfind("error", 0) == 0) return lines;
    }
  }
  // Everything until the output closes.
  std::string rest() {
    std::string all = buffer_;
    buffer_.clear();
    char buf[4096];
    ssize_t n;
    while ((n = read(stdout_, buf, sizeof buf)) > 0)
      all.append(buf, size_t(n));
    return all;
  }
  // Asks the program to end (SIGTERM) and waits for it.
  int terminate() {
    if (pid_ > 0 && status_ < 0) kill(pid_, SIGTERM);
    return wait();
  }
  int wait() {
    if (status_ < 0 && pid_ > 0) {
      int st = 0;
      waitpid(pid_, &st, 0);
      status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    }
    return status_;
  }

 private:
  pid_t pid_ = -1;
  int stdin_ = -1, stdout_ = -1;
  int status_ = -1;
  std::string buffer_;
};

// Runs a command to its end: exit status and standard output.
struct Run {
  int status;
  std::string out;
};
inline Run run(const std::vector<std::string> &argv) {
  Subprocess p(argv);
  p.closeInput();
  std::string out = p.rest();
  return {p.wait(), out};
}

}  // namespace simtest

#endif
