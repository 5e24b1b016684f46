// File transfer over private function codes 98-103: send, receive, delete and
// compare files of a device.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
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

// The checks every file export makes before it touches anything.
struct FileCall {
  uint32_t rc = RK_OK;
  Connection *conn = nullptr;
  std::shared_ptr<OpenPort> op;
};

FileCall startFileCall(uint32_t port, uint32_t address, const char *deviceName,
                       uint32_t requestHead) {
  FileCall call;
  port &= 0xFF;
  address &= 0xFF;
  if (port >= kPortCount) {
    call.rc = RK_ERR_BAD_PORT;
  } else if (address >= kStatisticsEntries) {
    call.rc = RK_ERR_BAD_DEVICE;
  } else if (deviceName == nullptr) {
    call.rc = platform::kErrInvalidParameter;
  } else if (requestHead + std::strlen(deviceName) + 1 > kMaxRequest) {
    call.rc = RK_ERR_REQUEST_TOO_LONG;
  } else {
    call.conn = &library().connection(port);
    call.op = call.conn->current();
    if (!call.op) call.rc = RK_ERR_NOT_OPEN;
  }
  return call;
}

void startRequest(Frame &req, uint32_t address, uint8_t function) {
  req.length = 0;
  req.put8(static_cast<uint8_t>(address));
  req.put8(function);
}

// The name with its terminating zero, after its length.
void putName(Frame &req, const char *name) {
  const uint32_t n = static_cast<uint32_t>(std::strlen(name)) + 1;
  req.put16le(n);
  std::memcpy(req.bytes + req.length, name, n);
  req.length += n;
}

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

uint32_t sendBlocks(FileCall &call, uint32_t address, int fd, uint32_t total) {
  const RkParamBlock &pb = call.op->block;
  uint32_t done = 0;
  uint32_t rc = RK_OK;
  auto req = std::make_unique<Frame>();
  auto rep = std::make_unique<Frame>();
  do {
    const uint32_t block = std::min(pb.FileBlockSize, total - done);
    startRequest(*req, address, kSendBlock);
    req->put32le(done);
    req->put16le(block);
    if (kBlockHead + block > kMaxRequest) {
      rc = RK_ERR_REQUEST_TOO_LONG;
    } else {
      rc = platform::readAll(fd, req->bytes + req->length, block);
    }
    if (rc == RK_OK) {
      req->length += block;
      rc = transact(*call.conn, call.op, pb.FileReplyTimeout, pb.FileBlockAttempts, *req, *rep);
    }
    done += block;
    addBytesDone(*call.conn, block);
  } while (done < total && rc == RK_OK);
  return rc;
}

// Checks a block reply of a receive and returns its byte count.
uint32_t blockPayload(const Frame &rep, uint32_t done, uint32_t total, uint32_t &count) {
  constexpr uint32_t kPayloadAt = 8;
  if (rep.length < kPayloadAt) return RK_ERR_BAD_REPLY;
  count = rep.get16le(6);
  // A reply that carries fewer bytes than it counts, or none while bytes are
  // missing, would never finish the file.
  if (count > rep.length - kPayloadAt || (count == 0 && done < total)) return RK_ERR_BAD_REPLY;
  return RK_OK;
}

uint32_t receiveBlocks(FileCall &call, uint32_t address, int fd, uint32_t total, uint32_t &done) {
  const RkParamBlock &pb = call.op->block;
  uint32_t rc = RK_OK;
  auto req = std::make_unique<Frame>();
  auto rep = std::make_unique<Frame>();
  do {
    startRequest(*req, address, kReceiveBlock);
    req->put32le(done);
    rc = transact(*call.conn, call.op, pb.ReplyTimeout, pb.FileBlockAttempts, *req, *rep);
    uint32_t count = 0;
    if (rc == RK_OK) rc = blockPayload(*rep, done, total, count);
    if (rc == RK_OK) rc = platform::writeAll(fd, rep->bytes + 8, count);
    if (rc == RK_OK) {
      done += count;
      addBytesDone(*call.conn, count);
    }
  } while (done < total && rc == RK_OK);
  return rc;
}

// Request 101: the length of the device file, or an error.
uint32_t askFile(FileCall &call, uint32_t address, const char *deviceName, uint32_t &length) {
  auto req = std::make_unique<Frame>();
  auto rep = std::make_unique<Frame>();
  startRequest(*req, address, kAskFile);
  putName(*req, deviceName);
  const RkParamBlock &pb = call.op->block;
  uint32_t rc = transact(*call.conn, call.op, pb.ReplyTimeout, pb.Attempts, *req, *rep);
  if (rc == RK_OK && rep->length < 6) {
    call.conn->countFailed(address);
    rc = RK_ERR_BAD_REPLY;
  }
  if (rc == RK_OK) length = rep->get32le(2);
  return rc;
}

}  // namespace
}  // namespace rk

using namespace rk;

extern "C" {

RK_API uint32_t RK_SendFile(uint32_t port, uint32_t address, void *owner, const char *deviceName,
                            const char *localName) {
  FileCall call = startFileCall(port, address, deviceName, kAnnounceHead);
  if (call.rc == RK_OK && localName == nullptr) call.rc = platform::kErrInvalidParameter;
  if (call.rc == RK_OK && call.op->block.FileBlockSize == 0) {
    call.rc = platform::kErrInvalidParameter;
  }
  if (call.rc != RK_OK) return call.rc;
  address &= 0xFF;
  TransferLock transfer;
  if (!transfer.locked()) return RK_ERR_TRANSFER_BUSY;
  FileDescriptor file(::open(localName, O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) return platform::lastErrorCode();
  struct stat st {};
  if (::fstat(file.get(), &st) != 0) return platform::lastErrorCode();
  if (static_cast<uint64_t>(st.st_size) > UINT32_MAX) return platform::kErrInvalidParameter;
  const auto total = static_cast<uint32_t>(st.st_size);

  Connection &conn = *call.conn;
  beginOperation(conn, kSending, address, total, deviceName, localName);
  uint32_t rc = RK_OK;
  {
    ProgressSession window(owner, conn, address);
    auto req = std::make_unique<Frame>();
    auto rep = std::make_unique<Frame>();
    startRequest(*req, address, kAnnounce);
    req->put32le(total);
    putName(*req, deviceName);
    const RkParamBlock &pb = call.op->block;
    rc = transact(conn, call.op, pb.FileReplyTimeout, pb.Attempts, *req, *rep);
    if (rc == RK_OK) rc = sendBlocks(call, address, file.get(), total);
  }
  endOperation(conn);
  return rc;
}

RK_API uint32_t RK_ReceiveFile(uint32_t port, uint32_t address, void *owner, const char *deviceName,
                               const char *localName) {
  FileCall call = startFileCall(port, address, deviceName, kNameRequestHead);
  if (call.rc == RK_OK && localName == nullptr) call.rc = platform::kErrInvalidParameter;
  if (call.rc != RK_OK) return call.rc;
  address &= 0xFF;
  TransferLock transfer;
  if (!transfer.locked()) return RK_ERR_TRANSFER_BUSY;
  uint32_t total = 0;
  if (uint32_t rc = askFile(call, address, deviceName, total); rc != RK_OK) return rc;

  std::string tempPath;
  int tempFd = -1;
  if (uint32_t rc = platform::createTempFile("RK", tempPath, tempFd); rc != RK_OK) return rc;
  FileDescriptor temp(tempFd);

  Connection &conn = *call.conn;
  beginOperation(conn, kReceiving, address, total, deviceName, localName);
  uint32_t done = 0;
  uint32_t rc = RK_OK;
  {
    ProgressSession window(owner, conn, address);
    rc = receiveBlocks(call, address, temp.get(), total, done);
  }
  if (rc == RK_OK && ::fsync(temp.get()) != 0) rc = platform::lastErrorCode();
  temp.reset();
  if (rc == RK_OK && done != total) rc = RK_ERR_FILE_LENGTH;
  if (rc == RK_OK) {
    rc = platform::replaceFile(tempPath, localName);
  } else {
    ::unlink(tempPath.c_str());
  }
  endOperation(conn);
  return rc;
}

RK_API uint32_t RK_ReceiveFileCS(uint32_t port, uint32_t address, const char *deviceName,
                                 uint32_t *length, uint16_t *checksum) {
  FileCall call = startFileCall(port, address, deviceName, kNameRequestHead);
  uint32_t len = 0;
  uint16_t cs = 0;
  if (call.rc == RK_OK) {
    address &= 0xFF;
    auto req = std::make_unique<Frame>();
    auto rep = std::make_unique<Frame>();
    startRequest(*req, address, kChecksum);
    putName(*req, deviceName);
    const RkParamBlock &pb = call.op->block;
    call.rc = transact(*call.conn, call.op, pb.FileReplyTimeout, pb.Attempts, *req, *rep);
    if (call.rc == RK_OK && rep->length < 8) {
      call.conn->countFailed(address);
      call.rc = RK_ERR_BAD_REPLY;
    }
    if (call.rc == RK_OK) {
      len = rep->get32le(2);
      cs = static_cast<uint16_t>(rep->get16le(6));
    }
  }
  if (length != nullptr) *length = len;
  if (checksum != nullptr) *checksum = cs;
  return call.rc;
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
      if (n <= 0) break;
      cs = crc16(chunk, static_cast<uint16_t>(n), cs);
      len += static_cast<uint32_t>(n);
    }
  }
  if (length != nullptr) *length = len;
  if (checksum != nullptr) *checksum = cs;
  return rc;
}

RK_API uint32_t RK_DeleteFile(uint32_t port, uint32_t address, void * /*ignored*/,
                              const char *deviceName) {
  FileCall call = startFileCall(port, address, deviceName, kNameRequestHead);
  if (call.rc != RK_OK) return call.rc;
  address &= 0xFF;
  TransferLock transfer;
  if (!transfer.locked()) return RK_ERR_TRANSFER_BUSY;
  Connection &conn = *call.conn;
  beginOperation(conn, kDeleting, address, 0, deviceName, nullptr);
  auto req = std::make_unique<Frame>();
  auto rep = std::make_unique<Frame>();
  startRequest(*req, address, kDelete);
  putName(*req, deviceName);
  const RkParamBlock &pb = call.op->block;
  const uint32_t rc = transact(conn, call.op, pb.FileReplyTimeout, pb.Attempts, *req, *rep);
  endOperation(conn);
  return rc;
}

}  // extern "C"
