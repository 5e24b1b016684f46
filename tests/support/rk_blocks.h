// Parameter blocks for tests of programs that use rk.
#pragma once

#include "rk.h"

namespace rktest {

// The library's defaults, changed by the caller where a test needs it.
inline RkParamBlock defaultBlock() {
  RkParamBlock b{};
  b.Size = sizeof b;
  RK_GetDefaultParamBlock(&b);
  return b;
}

}  // namespace rktest
