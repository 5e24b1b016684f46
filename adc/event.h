// Events the acquisition worker waits on, built on eventfd so that a module
// library can signal them from any thread with a plain write.
#pragma once

namespace adc {

// An auto-reset event: signal() sets it, a wait that sees it set clears it.
class Event {
 public:
  Event();  // unsignalled; valid() tells whether the system gave one
  ~Event();
  Event(const Event &) = delete;
  Event &operator=(const Event &) = delete;

  bool valid() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void signal() const;

 private:
  int fd_;
};

enum class Wake { Signalled, Stopped, TimedOut, Failed };

// Waits at most timeoutMs for event (clearing it) unless stop, which is never
// cleared, is or becomes set; stop wins when both are. A null event just
// waits for stop or the time-out.
Wake waitFor(const Event *event, const Event &stop, int timeoutMs);

}  // namespace adc
