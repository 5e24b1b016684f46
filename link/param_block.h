// The parameter block and the size rule of records that cross the interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "link/rk.h"

namespace rk {

RkParamBlock defaultParamBlock();

// A record's Size tells how many bytes the caller hands over or has room
// for. Reading from the caller takes the first min(Size, full) bytes over
// the fields of dst (its own Size stays); writing to the caller copies at
// most min(Size, full) bytes and stores that number in the caller's Size.
template <typename Record>
void readSized(Record &dst, const Record &src) {
  const size_t n = std::min<size_t>(src.Size, sizeof(Record));
  const uint32_t keep = dst.Size;
  std::memcpy(&dst, &src, n);
  dst.Size = keep;
}

template <typename Record>
void writeSized(Record &dst, const Record &src) {
  const size_t n = std::min<size_t>(dst.Size, sizeof(Record));
  if (n > sizeof(uint32_t)) {
    std::memcpy(reinterpret_cast<char *>(&dst) + sizeof(uint32_t),
                reinterpret_cast<const char *>(&src) + sizeof(uint32_t), n - sizeof(uint32_t));
  }
  dst.Size = static_cast<uint32_t>(n);
}

}  // namespace rk
