// Line errors on demand, for tests of the link library and its callers.
//
// While a LineFaults object lives, every serial port the library opens is a
// real port wrapped so that the test can make line errors happen, as a noisy
// line would: an error puts the port into the aborted state, in which purge,
// write and read fail with 995 (the operation-aborted code) until a status
// query fetches the error (reporting a frame error). Link tests with rk_core
// (the wrapper reaches the library through platform/serial_testing.h, which
// librk.so does not export).
//
//   rktest::LineFaults faults;         // before RK_Open
//   faults.abortNow();                 // next RK_Exchange returns 995
//   faults.errorOnNextReplies(3);      // the next 3 replies arrive with a frame error
//   faults.stallNextStatusQuery(250ms); // the next poll comes late
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

namespace rktest {

class LineFaults {
 public:
  LineFaults();
  ~LineFaults();
  LineFaults(const LineFaults &) = delete;
  LineFaults &operator=(const LineFaults &) = delete;

  // A line error happens now: the port stays aborted until a status query
  // fetches it or the port is opened again. With n > 1, n errors queue up: each status query
  // fetches one.
  void abortNow(int n = 1);

  // The replies to the next n writes arrive with a line error: the first
  // status query after such a write that finds bytes queued reports a frame
  // error (when it is the attempt's last query, the reply is not read).
  void errorOnNextReplies(int n);

  // The next status query is held up for ms before it looks at the queue,
  // as the thread of a loaded machine may be.
  void stallNextStatusQuery(std::chrono::milliseconds ms) { state_->stallMs = ms.count(); }

  // Operations that failed with 995 so far, and errors fetched by status queries.
  int abortedOperations() const { return state_->aborted; }
  int fetchedErrors() const { return state_->fetched; }

  struct State {
    std::atomic<int> pending{0};
    std::atomic<int> repliesToSpoil{0};
    std::atomic<int> aborted{0};
    std::atomic<int> fetched{0};
    std::atomic<int64_t> stallMs{0};
  };

 private:
  // Shared with the ports, which may outlive this object.
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace rktest
