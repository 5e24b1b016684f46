// One Modbus RTU request and its reply on an open port: purge, write, poll
// the receive queue, validate, retry and count.
#pragma once

#include <cstdint>
#include <memory>

#include "link/connection.h"
#include "link/frame.h"

namespace rk {

// How long a transaction waits for the port mutex.
inline constexpr int kPortMutexWaitMs = 10000;
// Poll intervals slept after a cancellation before the port is given back.
inline constexpr uint32_t kCancelPolls = 20;

// The reply length, CRC included, that a request makes the device send; 0
// when only silence ends the reply.
uint32_t expectedReplyLength(const Frame &request);

// Runs the request (length without CRC) with the given reply time-out and
// attempts. On 0 or a device exception the reply holds the accepted frame
// without its CRC.
uint32_t transact(Connection &conn, const std::shared_ptr<OpenPort> &op, uint32_t replyTimeoutMs,
                  uint16_t attempts, Frame &request, Frame &reply);

}  // namespace rk
