#include "link/connection.h"

#include <pthread.h>
#include <string>

#include "link/param_block.h"
#include "link/port_open.h"
#include "platform/ipc_name.h"
#include "platform/sleep.h"

namespace rk {

bool lockPort(OpenPort &op, int timeoutMs) {
  const platform::LockResult r = op.mutex.lock(timeoutMs);
  if (r == platform::LockResult::Abandoned) {
    platform::sleepMs(op.block.ReplyTimeout + op.block.PollInterval);
  }
  return platform::obtained(r);
}

Connection::Connection() {
  block_.Size = sizeof(RkParamBlock);
  transfer_.Size = sizeof(RkTransferInfo);
}

std::shared_ptr<OpenPort> Connection::current() const {
  std::lock_guard lock(lock_);
  return open_;
}

void Connection::setCurrent(std::shared_ptr<OpenPort> port) {
  std::lock_guard lock(lock_);
  open_ = std::move(port);
}

RkParamBlock Connection::paramBlock() const {
  std::lock_guard lock(lock_);
  return block_;
}

void Connection::storeParamBlock(const RkParamBlock &caller) {
  std::lock_guard lock(lock_);
  readSized(block_, caller);
}

void Connection::bump(uint32_t address, std::atomic<uint32_t> Counters::*counter) {
  if (address < kStatisticsEntries)
    (stats_[address].*counter).fetch_add(1, std::memory_order_relaxed);
}

void Connection::readStatistics(uint32_t address, RkStatistics &out) const {
  const Counters &c = stats_[address];
  out.GoodReplies = c.good.load(std::memory_order_relaxed);
  out.BadAttempts = c.bad.load(std::memory_order_relaxed);
  out.FailedExchanges = c.failed.load(std::memory_order_relaxed);
}

void Connection::resetStatistics(uint32_t address) {
  Counters &c = stats_[address];
  c.good.store(0, std::memory_order_relaxed);
  c.bad.store(0, std::memory_order_relaxed);
  c.failed.store(0, std::memory_order_relaxed);
}

RkTransferInfo Connection::transferInfo() const {
  std::lock_guard lock(transferLock_);
  return transfer_;
}

namespace {

// The named objects of the library, the table last: a process that finds the
// table's name also finds the mutexes it guards.
void removeNamedObjects() {
  for (uint32_t port = 0; port < kPortCount; ++port)
    platform::SharedMemory::unlink(platform::ipcName("RK_MUTEX_COM" + std::to_string(port)));
  platform::SharedMemory::unlink(platform::ipcName("TRANSFER_MUTEX_NAME"));
  platform::SharedMemory::unlink(platform::ipcName("RK_SHARED_COMS"));
}

// The table a forked child marks itself a user of (the child of a process
// that has the library is a user of its own).
platform::SharedMemory *forkedTable = nullptr;

}  // namespace

Library::Library() {
  // A table that cannot be had leaves the library loaded: opens and closes
  // then report RK_ERR_NO_SHARED_MEMORY. Every process marks itself a user of
  // the table for as long as it has the library, so that the last one can
  // remove the named objects; a table removed while we opened it is
  // replaced by a new one.
  const std::string table = platform::ipcName("RK_SHARED_COMS");
  for (int round = 0; round < 100; ++round) {
    if (table_.openOrCreate(table, sizeof(RkSharedPortTable)) != 0 || table_.markUser()) break;
    table_.close();
  }
  transferMutex_.open(platform::ipcName("TRANSFER_MUTEX_NAME"));
  forkedTable = &table_;
  // Once per load: unloading the library drops its handler.
  ::pthread_atfork(nullptr, nullptr, [] {
    if (forkedTable != nullptr) forkedTable->markForkedChild();
  });
}

Library::~Library() {
  forkedTable = nullptr;
  for (Connection &c : connections_)
    closeConnection(*this, c);
  // The named objects go with their last user, as they do on systems where
  // the kernel counts their handles. A process that ends without unloading
  // (killed) leaves them to the next last user.
  if (table_.isOpen() && table_.soleUser()) removeNamedObjects();
}

Library &library() {
  static Library instance;
  return instance;
}

// Made when the library is loaded, and when a program that links it
// statically starts; unmade at unload or exit.
[[gnu::constructor]] static void loadLibrary() {
  library();
}

}  // namespace rk
