// The link between a transaction and the progress window of a file transfer:
// a transaction polls the window of its own thread once per poll interval.
#pragma once

namespace rk {

class Connection;

class PollObserver {
 public:
  virtual ~PollObserver() = default;
  // Called on every poll; false ends the transaction as cancelled.
  virtual bool onPoll(const Connection &conn) = 0;
};

// The observer of the calling thread (null when it shows no window).
PollObserver *threadPollObserver();
void setThreadPollObserver(PollObserver *observer);

}  // namespace rk
