// The transfer progress window (dialog 101) of a send or receive.
#pragma once

#include <cstdint>

namespace rk {

class Connection;

// Shows the window for the connection's current transfer while it lives,
// owned by owner (a QWidget *), and lets the transactions of the creating
// thread update it on every poll; closing it (its button, Esc or the close
// box) makes the running transaction end as cancelled. A null owner, or a
// thread other than the application's user-interface thread, shows nothing
// and makes no Qt call.
class ProgressSession {
 public:
  ProgressSession(void *owner, Connection &conn, uint32_t address);
  ~ProgressSession();
  ProgressSession(const ProgressSession &) = delete;
  ProgressSession &operator=(const ProgressSession &) = delete;

 private:
  bool shown_ = false;
};

}  // namespace rk
