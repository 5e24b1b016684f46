// What the simulated E-140 module exports beside its factory: counters that
// let a test see how the program drives the module.
#pragma once

#include <cstdint>

extern "C" {

struct E140SimCounters {
  uint64_t opens;     // openDevice calls
  uint64_t searches;  // openDevice calls on slot 0, i.e. searches begun
  uint64_t blocks;    // blocks delivered
};

// Copies the counters of all simulated modules of this process.
void e140sim_counters(E140SimCounters *counters);
using E140SimCountersFunction = void (*)(E140SimCounters *);
}
