// File transfer over private function codes 98-103: send, receive, delete and
// compare files of a device.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "link/connection.h"
#include "link/crc.h"
#include "link/progress_window.h"
#include "link/rk.h"
#include "link/transaction.h"
#include "platform/errors.h"
#include "platform/file_io.h"
#include "platform/temp_file.h"

namespace rk {
namespace {

enum FileFunction : uint8_t {
  kDelete = 98,
  kAnnounce = 99,
  kSendBlock = 100,
  kAskFile = 101,
  kReceiveBlock = 102,
  kChecksum = 103,
};

enum Operation : uint32_t { kIdle = 0, kSending = 1, kReceiving = 2, kDeleting = 3 };

// Request bytes besides the name: address, function, name length field, and
// for an announcement the file length.
constexpr uint32_t kNameRequestHead = 4;
constexpr uint32_t kAnnounceHead = 8;
constexpr uint32_t kBlockHead = 8;
constexpr size_t kChecksumChunk = 256;

// One file export's call: its checks, its port and its request and reply
// frames (on the heap: a transfer may run on a thread with a small stack).
class FileCall {
 public:
  // The checks every file export makes before it touches anything; rc()
  // tells their outcome. requestHead: the request's bytes besides the name.
  FileCall(uint32_t port, uint32_t address, const char *deviceName, uint32_t requestHead)
      : address_(address & 0xFF) {
    port &= 0xFF;
    if (port >= kPortCount) {
      rc_ = RK_ERR_BAD_PORT;
    } else if (address_ >= kStatisticsEntries) {
      rc_ = RK_ERR_BAD_DEVICE;
    } else if (deviceName == nullptr) {
      rc_ = platform::kErrInvalidParameter;
    } else if (requestHead + std::strlen(deviceName) + 1 > kMaxRequest) {
      rc_ = RK_ERR_REQUEST_TOO_LONG;
    } else {
      conn_ = &library().connection(port);
      op_ = conn_->current();
      if (!op_) rc_ = RK_ERR_NOT_OPEN;
    }
  }

  uint32_t rc() const { return rc_; }
  void refuse(uint32_t rc) {
    if (rc_ == RK_OK) rc_ = rc;
  }
  uint32_t address() const { return address_; }
  Connection &conn() const { return *conn_; }
  const RkParamBlock &block() const { return op_->block; }

  // A fresh request: address and function.
  Frame &request(uint8_t function) {
    req_->length = 0;
    req_->put8(static_cast<uint8_t>(address_));
    req_->put8(function);
    return *req_;
  }
  // Appends a name field: its length with the terminating zero, the name
  // and the zero (the constructor checked that it fits).
  void putName(const char *name) {
    const uint32_t n = static_cast<uint32_t>(std::strlen(name)) + 1;
    req_->put16le(n);
    std::memcpy(req_->bytes + req_->length, name, n);
    req_->length += n;
  }
  // A request of a name only.
  void request(uint8_t function, const char *name) {
    request(function);
    putName(name);
  }
  const Frame &reply() const { return *rep_; }

  // Runs the request; a reply shorter than replyLength (without CRC) is bad.
  uint32_t run(uint32_t timeoutMs, uint16_t attempts, uint32_t replyLength = 0) {
    uint32_t rc = transact(*conn_, op_, timeoutMs, attempts, *req_, *rep_);
    if (rc == RK_OK && rep_->length < replyLength) {
      conn_->countFailed(address_);
      rc = RK_ERR_BAD_REPLY;
    }
    return rc;
  }

 private:
  uint32_t rc_ = RK_OK;
  uint32_t address_;
  Connection *conn_ = nullptr;
  std::shared_ptr<OpenPort> op_;
  std::unique_ptr<Frame> req_ = std::make_unique<Frame>();
  std::unique_ptr<Frame> rep_ = std::make_unique<Frame>();
};

void copyName(char (&dst)[260], std::string_view name) {
  const size_t n = std::min(name.size(), sizeof dst - 1);
  std::memcpy(dst, name.data(), n);
  dst[n] = '\0';
}

void beginOperation(Connection &conn, uint32_t operation, uint32_t address, uint32_t total,
                    const char *deviceName, const char *localName) {
  conn.changeTransferInfo([&](RkTransferInfo &t) {
    t.Operation = operation;
    t.BytesDone = 0;
    t.BytesTotal = total;
    t.Address = address;
    std::string_view remote = deviceName;
    copyName(t.RemoteName, remote.substr(0, remote.find(';')));
    copyName(t.LocalName, localName != nullptr ? localName : "");
  });
}

void endOperation(Connection &conn) {
  conn.changeTransferInfo([](RkTransferInfo &t) { t.Operation = kIdle; });
}

void addBytesDone(Connection &conn, uint32_t n) {
  conn.changeTransferInfo([n](RkTransferInfo &t) { t.BytesDone += n; });
}

// The system-wide transfer mutex, taken without waiting; its owner thread
// may take it again for a nested operation.
class TransferLock {
 public:
  TransferLock() : locked_(platform::obtained(library().transferMutex().lock(0))) {}
  ~TransferLock() {
    if (locked_) library().transferMutex().unlock();
  }
  TransferLock(const TransferLock &) = delete;
  TransferLock &operator=(const TransferLock &) = delete;
  bool locked() const { return locked_; }

 private:
  bool locked_;
};

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() { reset(); }
  FileDescriptor(const FileDescriptor &) = delete;
  FileDescriptor &operator=(const FileDescriptor &) = delete;
  int get() const { return fd_; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

uint32_t sendBlocks(FileCall &call, int fd, uint32_t total) {
  const RkParamBlock &pb = call.block();
  uint32_t done = 0;
  uint32_t rc = RK_OK;
  do {
    // RK_SendFile made sure that a block fits a request.
    const uint32_t block = std::min(pb.FileBlockSize, total - done);
    Frame &req = call.request(kSendBlock);
    req.put32le(done);
    req.put16le(block);
    rc = platform::readAll(fd, req.bytes + req.length, block);
    if (rc == RK_OK) {
      req.length += block;
      rc = call.run(pb.FileReplyTimeout, pb.FileBlockAttempts);
    }
    done += block;
    addBytesDone(call.conn(), block);
  } while (done < total && rc == RK_OK);
  return rc;
}

constexpr uint32_t kBlockPayloadAt = 8;

// Checks a block reply of a receive and returns its byte count.
uint32_t blockPayload(const Frame &rep, uint64_t done, uint32_t total, uint32_t &count) {
  count = rep.get16le(6);
  // A reply that carries fewer bytes than it counts, or none while bytes are
  // missing, would never finish the file.
  if (count > rep.length - kBlockPayloadAt || (count == 0 && done < total)) return RK_ERR_BAD_REPLY;
  return RK_OK;
}

// done counts in 64 bits: a device that sends more than an announced length
// near 4 GB must not wrap it around into a receive without end.
uint32_t receiveBlocks(FileCall &call, int fd, uint32_t total, uint64_t &done) {
  const RkParamBlock &pb = call.block();
  uint32_t rc = RK_OK;
  do {
    call.request(kReceiveBlock).put32le(static_cast<uint32_t>(done));  // done < total here
    rc = call.run(pb.ReplyTimeout, pb.FileBlockAttempts, kBlockPayloadAt);
    uint32_t count = 0;
    if (rc == RK_OK) rc = blockPayload(call.reply(), done, total, count);
    if (rc == RK_OK) rc = platform::writeAll(fd, call.reply().bytes + kBlockPayloadAt, count);
    if (rc == RK_OK) {
      done += count;
      addBytesDone(call.conn(), count);
    }
  } while (done < total && rc == RK_OK);
  return rc;
}

}  // namespace
}  // namespace rk

using namespace rk;

extern "C" {

RK_API uint32_t RK_SendFile(uint32_t port, uint32_t address, void *owner, const char *deviceName,
                            const char *localName) {
  FileCall call(port, address, deviceName, kAnnounceHead);
  if (localName == nullptr) call.refuse(platform::kErrInvalidParameter);
  if (call.rc() == RK_OK && call.block().FileBlockSize == 0) {
    call.refuse(platform::kErrInvalidParameter);
  }
  if (call.rc() != RK_OK) return call.rc();
  TransferLock transfer;
  if (!transfer.locked()) return RK_ERR_TRANSFER_BUSY;
  FileDescriptor file(::open(localName, O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) return platform::lastErrorCode();
  struct stat st {};
  if (::fstat(file.get(), &st) != 0) return platform::lastErrorCode();
  // A directory opens for reading here, but it is no file to send.
  if (S_ISDIR(st.st_mode)) return platform::codeFromErrno(EISDIR);
  if (static_cast<uint64_t>(st.st_size) > UINT32_MAX) return platform::kErrInvalidParameter;
  const auto total = static_cast<uint32_t>(st.st_size);
  // The device hears of the file only when its blocks fit a request.
  if (std::min(call.block().FileBlockSize, total) > kMaxRequest - kBlockHead) {
    return RK_ERR_REQUEST_TOO_LONG;
  }

  beginOperation(call.conn(), kSending, call.address(), total, deviceName, localName);
  uint32_t rc = RK_OK;
  {
    ProgressSession window(owner, call.conn(), call.address());
    call.request(kAnnounce).put32le(total);
    call.putName(deviceName);
    rc = call.run(call.block().FileReplyTimeout, call.block().Attempts);
    if (rc == RK_OK) rc = sendBlocks(call, file.get(), total);
  }
  endOperation(call.conn());
  return rc;
}

RK_API uint32_t RK_ReceiveFile(uint32_t port, uint32_t address, void *owner, const char *deviceName,
                               const char *localName) {
  FileCall call(port, address, deviceName, kNameRequestHead);
  if (localName == nullptr) call.refuse(platform::kErrInvalidParameter);
  if (call.rc() != RK_OK) return call.rc();
  TransferLock transfer;
  if (!transfer.locked()) return RK_ERR_TRANSFER_BUSY;
  call.request(kAskFile, deviceName);
  if (uint32_t rc = call.run(call.block().ReplyTimeout, call.block().Attempts, 6); rc != RK_OK) {
    return rc;
  }
  const uint32_t total = call.reply().get32le(2);

  std::string tempPath;
  int tempFd = -1;
  if (uint32_t rc = platform::createTempFile("RK", tempPath, tempFd); rc != RK_OK) return rc;
  FileDescriptor temp(tempFd);

  beginOperation(call.conn(), kReceiving, call.address(), total, deviceName, localName);
  uint64_t done = 0;
  uint32_t rc = RK_OK;
  {
    ProgressSession window(owner, call.conn(), call.address());
    rc = receiveBlocks(call, temp.get(), total, done);
  }
  if (rc == RK_OK && ::fsync(temp.get()) != 0) rc = platform::lastErrorCode();
  temp.reset();
  if (rc == RK_OK && done != total) rc = RK_ERR_FILE_LENGTH;
  if (rc == RK_OK) {
    rc = platform::replaceFile(tempPath, localName);
  } else {
    ::unlink(tempPath.c_str());
  }
  endOperation(call.conn());
  return rc;
}

RK_API uint32_t RK_ReceiveFileCS(uint32_t port, uint32_t address, const char *deviceName,
                                 uint32_t *length, uint16_t *checksum) {
  FileCall call(port, address, deviceName, kNameRequestHead);
  uint32_t rc = call.rc();
  uint32_t len = 0;
  uint16_t cs = 0;
  if (rc == RK_OK) {
    call.request(kChecksum, deviceName);
    rc = call.run(call.block().FileReplyTimeout, call.block().Attempts, 8);
  }
  if (rc == RK_OK) {
    len = call.reply().get32le(2);
    cs = static_cast<uint16_t>(call.reply().get16le(6));
  }
  if (length != nullptr) *length = len;
  if (checksum != nullptr) *checksum = cs;
  return rc;
}

RK_API uint32_t RK_CountFileCS(const char *localName, uint32_t *length, uint16_t *checksum) {
  uint32_t len = 0;
  uint16_t cs = 0;
  uint32_t rc = platform::kErrFileNotFound;
  FileDescriptor file(localName != nullptr ? ::open(localName, O_RDONLY | O_CLOEXEC) : -1);
  if (file.get() >= 0) {
    rc = RK_OK;
    cs = kCrcInitial;
    uint8_t chunk[kChecksumChunk];
    for (;;) {
      const ssize_t n = ::read(file.get(), chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        // A file that cannot be read through (a directory opens, but does
        // not read) has no length or checksum to compare.
        if (n < 0) rc = platform::kErrFileNotFound;
        break;
      }
      cs = crc16(chunk, static_cast<uint16_t>(n), cs);
      len += static_cast<uint32_t>(n);
    }
  }
  if (rc != RK_OK) {
    len = 0;
    cs = 0;
  }
  if (length != nullptr) *length = len;
  if (checksum != nullptr) *checksum = cs;
  return rc;
}

RK_API uint32_t RK_DeleteFile(uint32_t port, uint32_t address, void * /*ignored*/,
                              const char *deviceName) {
  FileCall call(port, address, deviceName, kNameRequestHead);
  if (call.rc() != RK_OK) return call.rc();
  TransferLock transfer;
  if (!transfer.locked()) return RK_ERR_TRANSFER_BUSY;
  beginOperation(call.conn(), kDeleting, call.address(), 0, deviceName, nullptr);
  call.request(kDelete, deviceName);
  const uint32_t rc = call.run(call.block().FileReplyTimeout, call.block().Attempts);
  endOperation(call.conn());
  return rc;
}

}  // extern "C"
