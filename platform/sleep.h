// Sleeping on the monotonic clock.
#pragma once

#include <cstdint>

namespace platform {

// Nanoseconds on the monotonic clock.
int64_t monotonicNs();

// Sleeps until the monotonic clock reaches deadlineNs (returns at once if it
// has passed). Sleeping to absolute deadlines keeps a series of polls on
// schedule: the time spent between two sleeps does not add up.
void sleepUntilNs(int64_t deadlineNs);

void sleepMs(uint32_t ms);

}  // namespace platform
