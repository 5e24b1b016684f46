// RK_Exchange: Modbus requests built from a function code and its arguments,
// and their replies copied to the caller; RK_CheckExchange.
#include <cstring>

#include "link/connection.h"
#include "link/rk.h"
#include "link/transaction.h"
#include "platform/errors.h"
#include "platform/sleep.h"

namespace rk {
namespace {

// The longest data part of functions 15 and 16.
constexpr uint32_t kMaxWriteBytes = 254;

bool supported(uint32_t function) {
  switch (function) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 15:
    case 16:
    case 81:
    case 82:
    case 96:
    case 97:
      return true;
    default:
      return false;
  }
}

// Builds the request after address and function; RK_OK or a refusal.
uint32_t buildRequest(uint32_t function, uint32_t start, uint32_t count, const void *data,
                      Frame &req) {
  const auto *in = static_cast<const uint8_t *>(data);
  switch (function) {
    case 1:
    case 2:
    case 3:
    case 4:
      req.put16be(start);
      req.put16be(count);
      return RK_OK;
    case 5:
      req.put16be(start);
      req.put16be(in[0] != 0 ? 0xFF00 : 0x0000);
      return RK_OK;
    case 6: {
      uint16_t value = 0;
      std::memcpy(&value, in, sizeof value);
      req.put16be(start);
      req.put16be(value);
      return RK_OK;
    }
    case 15:
    case 16: {
      const uint32_t bytes = function == 15 ? (count + 7) / 8 : 2 * count;
      if (bytes > kMaxWriteBytes) return RK_ERR_REQUEST_TOO_LONG;
      req.put16be(start);
      req.put16be(count);
      req.put8(static_cast<uint8_t>(bytes));
      if (function == 15) {
        std::memcpy(req.bytes + req.length, in, bytes);
        req.length += bytes;
      } else {
        for (uint32_t i = 0; i < count; ++i) {
          uint16_t value = 0;
          std::memcpy(&value, in + 2 * i, sizeof value);
          req.put16be(value);
        }
      }
      return RK_OK;
    }
    case 81: {
      RkDateTime t;
      std::memcpy(&t, in, sizeof t);
      for (const uint16_t field : {t.Second, t.Minute, t.Hour, t.Day, t.Month}) {
        req.put8(static_cast<uint8_t>(field));
      }
      req.put16le(t.Year);
      return RK_OK;
    }
    case 82:
    case 96:
    case 97:
      return RK_OK;
    default:
      return RK_ERR_ILLEGAL_FUNCTION;
  }
}

// Copies the accepted reply into the caller's buffer; RK_ERR_BAD_REPLY when
// the reply is too short for what the function delivers.
uint32_t copyReply(uint32_t function, uint32_t count, const Frame &rep, void *data) {
  auto *out = static_cast<uint8_t *>(data);
  switch (function) {
    case 1:
    case 2:
    case 3:
    case 4: {
      // What the request asked for, whatever more the device sent; the
      // transaction refused replies that carry less.
      const uint32_t n = function <= 2 ? (count + 7) / 8 : 2 * count;
      const uint8_t *src = rep.bytes + 3;
      if (function <= 2) {
        std::memcpy(out, src, n);
      } else {
        for (uint32_t i = 0; i + 1 < n; i += 2) {
          out[i] = src[i + 1];
          out[i + 1] = src[i];
        }
      }
      return RK_OK;
    }
    case 82: {
      if (rep.length < 9) return RK_ERR_BAD_REPLY;
      RkDateTime t;
      std::memcpy(&t, out, sizeof t);
      const uint8_t *src = rep.bytes + 2;
      t.Second = src[0];
      t.Minute = src[1];
      t.Hour = src[2];
      t.Day = src[3];
      t.Month = src[4];
      t.Year = static_cast<uint16_t>(src[5] | src[6] << 8);
      std::memcpy(out, &t, sizeof t);
      return RK_OK;
    }
    case 96:
      if (rep.length < 11) return RK_ERR_BAD_REPLY;
      std::memcpy(out, rep.bytes + 2, 9);
      return RK_OK;
    default:
      return RK_OK;
  }
}

}  // namespace
}  // namespace rk

using rk::Frame;
using rk::library;

extern "C" {

RK_API uint32_t RK_Exchange(uint32_t port, uint32_t address, uint32_t function, uint32_t start,
                            uint32_t count, void *data) {
  port &= 0xFF;
  address &= 0xFF;
  start &= 0xFFFF;
  count &= 0xFFFF;
  if (port >= rk::kPortCount) return RK_ERR_BAD_PORT;
  rk::Connection &conn = library().connection(port);
  const std::shared_ptr<rk::OpenPort> op = conn.current();
  if (!op) return RK_ERR_NOT_OPEN;
  if (address >= rk::kStatisticsEntries) return RK_ERR_BAD_DEVICE;
  if (!rk::supported(function)) return RK_ERR_ILLEGAL_FUNCTION;
  if (data == nullptr && function != 97) return platform::kErrInvalidParameter;
  Frame req;
  req.put8(static_cast<uint8_t>(address));
  req.put8(static_cast<uint8_t>(function));
  if (uint32_t rc = rk::buildRequest(function, start, count, data, req); rc != RK_OK) return rc;
  Frame rep;
  uint32_t rc = rk::transact(conn, op, op->block.ReplyTimeout, op->block.Attempts, req, rep);
  if (rc == RK_OK) {
    rc = rk::copyReply(function, count, rep, data);
    if (rc != RK_OK) conn.countFailed(address);
  }
  return rc;
}

RK_API uint32_t RK_CheckExchange(uint32_t port, uint32_t durationMs) {
  port &= 0xFF;
  if (port >= rk::kPortCount) return RK_ERR_BAD_PORT;
  const std::shared_ptr<rk::OpenPort> op = library().connection(port).current();
  if (!op) return RK_ERR_NOT_OPEN;
  if (!rk::lockPort(*op, rk::kPortMutexWaitMs)) return RK_ERR_PORT_TIMEOUT;
  uint32_t rc = op->closed ? RK_ERR_NOT_OPEN : op->serial->purge();
  if (rc == RK_OK) {
    const uint32_t interval = op->block.PollInterval;
    const int64_t start = platform::monotonicNs();
    const int64_t polls = durationMs / interval + 1;
    for (int64_t poll = 1; poll <= polls; ++poll) {
      platform::sleepUntilNs(start + poll * static_cast<int64_t>(interval) * 1000000);
      platform::LineStatus status;
      if (uint32_t e = op->serial->status(status); e != 0) {
        rc = e;
        break;
      }
      if (status.queued > 0) {
        rc = RK_CHECK_BYTES_ARRIVED;
        break;
      }
    }
  }
  op->mutex.unlock();
  return rc;
}

}  // extern "C"
