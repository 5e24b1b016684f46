// Fault rules of a sensor: which requests they hit and what they do to a reply.
#ifndef QVZSIM_FAULTS_H
#define QVZSIM_FAULTS_H

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "qvzsim.h"

namespace qvzsim {

// The registers or coils a request touches, for the functions that have them.
struct RequestRange {
  bool present = false;
  uint16_t start = 0, count = 0;
};
RequestRange requestRange(const std::vector<uint8_t> &request);

// The first rule that matches takes effect; a rule with a count is used up.
std::optional<Fault> pickFault(std::vector<Fault> &rules, uint8_t function,
                               const RequestRange &range, std::mt19937 &rng);

// A reply turned into pieces that go out one after the other, each after its delay.
struct Piece {
  std::chrono::milliseconds delay{0};  // silence before this piece
  std::vector<uint8_t> bytes;
};
// `reply` carries its CRC. Silence and Exception are handled before a reply exists.
std::vector<Piece> applyFault(const std::optional<Fault> &fault, std::vector<uint8_t> reply);

// Appends the CRC.
void seal(std::vector<uint8_t> &frame);

}  // namespace qvzsim

#endif
