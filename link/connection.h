// The process's connections to the 16 ports and the library state they live
// in, created when the library is loaded and closed when it is unloaded.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "link/port_table.h"
#include "link/rk.h"
#include "platform/named_mutex.h"
#include "platform/serial_port.h"
#include "platform/shared_memory.h"

namespace rk {

// Addresses 0..254 have statistics; 255 has none and is refused.
inline constexpr uint32_t kStatisticsEntries = 255;

// What an open connection holds. Calls work on a shared snapshot of it, so
// that a thread closing the port never pulls the device from under another
// thread's call; `closed` (set under the port mutex) stops the late ones.
struct OpenPort {
  uint32_t port = 0;
  RkParamBlock block{};
  platform::NamedMutex mutex;
  std::unique_ptr<platform::SerialPort> serial;
  bool closed = false;  // guarded by the port mutex
};

// Takes the port mutex, waiting at most timeoutMs (NamedMutex::kInfinite:
// without limit); false when it was not obtained. A holder that died inside
// a transaction may still be answered: whoever takes its abandoned mutex over
// first lets that reply's window pass (this connection's ReplyTimeout plus
// one PollInterval), so that the purge before the next request discards the
// late reply instead of taking it for the answer to another request.
bool lockPort(OpenPort &op, int timeoutMs);

class Connection {
 public:
  Connection();

  // The open port, or null while the connection is closed.
  std::shared_ptr<OpenPort> current() const;

  RkParamBlock paramBlock() const;
  void storeParamBlock(const RkParamBlock &caller);

  void countGood(uint32_t address) { bump(address, &Counters::good); }
  void countBad(uint32_t address) { bump(address, &Counters::bad); }
  void countFailed(uint32_t address) { bump(address, &Counters::failed); }
  void readStatistics(uint32_t address, RkStatistics &out) const;
  void resetStatistics(uint32_t address);

  RkTransferInfo transferInfo() const;
  template <typename Change>
  void changeTransferInfo(Change change) {
    std::lock_guard lock(transferLock_);
    change(transfer_);
  }

  // Open and close of one connection are serialised by this lock.
  std::mutex &openCloseLock() { return openClose_; }
  void setCurrent(std::shared_ptr<OpenPort> port);

 private:
  struct Counters {
    std::atomic<uint32_t> good{0};
    std::atomic<uint32_t> bad{0};
    std::atomic<uint32_t> failed{0};
  };
  void bump(uint32_t address, std::atomic<uint32_t> Counters::*counter);

  std::mutex openClose_;
  mutable std::mutex lock_;  // guards open_ and block_
  std::shared_ptr<OpenPort> open_;
  RkParamBlock block_{};
  std::array<Counters, kStatisticsEntries> stats_;
  mutable std::mutex transferLock_;
  RkTransferInfo transfer_{};
};

class Library {
 public:
  Library();
  ~Library();
  Library(const Library &) = delete;
  Library &operator=(const Library &) = delete;

  Connection &connection(uint32_t port) { return connections_[port]; }
  // The shared port table, or null when it could not be had.
  RkSharedPortTable *sharedTable() const { return static_cast<RkSharedPortTable *>(table_.data()); }
  platform::NamedMutex &transferMutex() { return transferMutex_; }

 private:
  platform::SharedMemory table_;
  platform::NamedMutex transferMutex_;
  std::array<Connection, kPortCount> connections_;
};

// The library state of this process, made on first use (the library makes
// it when loaded).
Library &library();

}  // namespace rk
