#include "faults.h"

#include <algorithm>
#include <cstring>

#include "bytes.h"
#include "crc.h"

namespace qvzsim {

namespace {
constexpr struct {
  FaultKind kind;
  const char *name;
} kNames[] = {{FaultKind::Silence, "silence"},
              {FaultKind::CorruptCrc, "crc"},
              {FaultKind::Truncate, "truncate"},
              {FaultKind::Pieces, "pieces"},
              {FaultKind::WrongAddress, "address"},
              {FaultKind::Exception, "exception"},
              {FaultKind::Late, "late"}};
}  // namespace

const char *faultName(FaultKind kind) {
  for (const auto &n : kNames)
    if (n.kind == kind) return n.name;
  return "?";
}

std::optional<FaultKind> faultFromName(const std::string &name) {
  for (const auto &n : kNames)
    if (name == n.name) return n.kind;
  return std::nullopt;
}

void seal(std::vector<uint8_t> &frame) {
  const uint16_t crc = crc16(frame);
  frame.push_back(static_cast<uint8_t>(crc));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
}

RequestRange requestRange(const std::vector<uint8_t> &rq) {
  if (rq.size() < 6) return {};
  switch (rq[1]) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 15:
    case 16:
      return {true, be16(rq, 2), be16(rq, 4)};
    case 5:
    case 6:
      return {true, be16(rq, 2), 1};
    default:
      return {};
  }
}

std::optional<Fault> pickFault(std::vector<Fault> &rules, uint8_t function,
                               const RequestRange &range, std::mt19937 &rng) {
  for (auto it = rules.begin(); it != rules.end(); ++it) {
    if (it->count == 0) continue;
    if (it->function >= 0 && it->function != function) continue;
    if (it->firstRegister >= 0 || it->lastRegister >= 0) {
      if (!range.present || range.count == 0) continue;
      const int lo = std::max(it->firstRegister, 0);
      const int hi = it->lastRegister < 0 ? 0xFFFF : it->lastRegister;
      if (range.start + range.count - 1 < lo || range.start > hi) continue;
    }
    if (it->probability < 1.0 &&
        std::uniform_real_distribution<double>(0.0, 1.0)(rng) >= it->probability)
      continue;
    const Fault hit = *it;
    if (it->count > 0 && --it->count == 0) rules.erase(it);
    return hit;
  }
  return std::nullopt;
}

std::vector<Piece> applyFault(const std::optional<Fault> &fault, std::vector<uint8_t> reply) {
  if (!fault) return {{{}, std::move(reply)}};
  const Fault &f = *fault;
  switch (f.kind) {
    case FaultKind::CorruptCrc:
      reply.back() ^= 0x5A;
      break;
    case FaultKind::Truncate: {
      const size_t keep = f.keepBytes >= 0 ? static_cast<size_t>(f.keepBytes) : reply.size() / 2;
      reply.resize(std::min(keep, reply.size() - 1));
      break;
    }
    case FaultKind::WrongAddress:
      reply.resize(reply.size() - 2);
      reply[0] = static_cast<uint8_t>(f.otherAddress >= 0 ? f.otherAddress : reply[0] + 1);
      seal(reply);
      break;
    case FaultKind::Late:
      return {{std::chrono::milliseconds(std::max(f.delayMs, 0)), std::move(reply)}};
    case FaultKind::Pieces: {
      const size_t n =
          std::clamp<size_t>(static_cast<size_t>(std::max(f.pieces, 1)), 1, reply.size());
      std::vector<Piece> out;
      size_t at = 0;
      for (size_t i = 0; i < n; ++i) {
        const size_t end = reply.size() * (i + 1) / n;
        out.push_back(
            {std::chrono::milliseconds(i ? std::max(f.gapMs, 0) : 0),
             {reply.begin() + static_cast<long>(at), reply.begin() + static_cast<long>(end)}});
        at = end;
      }
      return out;
    }
    case FaultKind::Silence:
    case FaultKind::Exception:
      break;
  }
  return {{{}, std::move(reply)}};
}

}  // namespace qvzsim
