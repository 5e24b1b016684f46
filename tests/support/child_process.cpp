#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <csignal>
#include <stdexcept>

extern char **environ;

namespace rktest {

ChildProcess::ChildProcess(const std::string &program, const std::vector<std::string> &args) {
  // A child that died must not take the test with it when it is written to.
  ::signal(SIGPIPE, SIG_IGN);
  int toChild[2], fromChild[2];
  if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) {
    throw std::runtime_error("no pipe");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
  posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
  std::vector<char *> argv;
  argv.push_back(const_cast<char *>(program.c_str()));
  for (const std::string &a : args)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  const int rc = ::posix_spawnp(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(toChild[0]);
  ::close(fromChild[1]);
  in_ = toChild[1];
  out_ = fromChild[0];
  if (rc != 0) throw std::runtime_error("cannot start " + program);
}

ChildProcess::~ChildProcess() {
  kill();
  closeInput();
  ::close(out_);
}

void ChildProcess::send(const std::string &line) {
  const std::string text = line + "\n";
  [[maybe_unused]] ssize_t n = ::write(in_, text.data(), text.size());
}

void ChildProcess::closeInput() {
  if (in_ >= 0) ::close(in_);
  in_ = -1;
}

std::string ChildProcess::readLine(std::chrono::milliseconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  for (;;) {
    const auto nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      std::string line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return {};
    pollfd p{out_, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left.count()));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return {};
    char buf[256];
    const ssize_t n = ::read(out_, buf, sizeof buf);
    if (n <= 0) return {};
    buffer_.append(buf, static_cast<size_t>(n));
  }
}

std::string ChildProcess::ask(const std::string &line) {
  send(line);
  return readLine();
}

std::string ChildProcess::rest() {
  std::string all = std::move(buffer_);
  buffer_.clear();
  char buf[4096];
  for (ssize_t n; (n = ::read(out_, buf, sizeof buf)) != 0;) {
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    all.append(buf, static_cast<size_t>(n));
  }
  return all;
}

void ChildProcess::kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  wait();
}

int ChildProcess::terminate() {
  if (pid_ > 0) ::kill(pid_, SIGTERM);
  return wait();
}

int ChildProcess::wait() {
  if (pid_ > 0) {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
  }
  return exitCode_;
}

RunResult run(const std::string &program, const std::vector<std::string> &args) {
  ChildProcess child(program, args);
  child.closeInput();
  std::string out = child.rest();
  return {child.wait(), std::move(out)};
}

std::string executableDirectory() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/'));
}

}  // namespace rktest
