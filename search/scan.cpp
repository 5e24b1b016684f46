#include "search/scan.h"

#include <utility>

#include "device/speed_table.h"
#include "search/text_format.h"

namespace search {

namespace {

bool ticked(const std::vector<bool> &ticks, int index) {
  return index >= 0 && static_cast<std::size_t>(index) < ticks.size() &&
         ticks[static_cast<std::size_t>(index)];
}

// The smallest ticked index after `after`, or `itemCount` when there is none.
int nextChecked(const std::vector<bool> &ticks, int itemCount, int after) {
  for (int i = after + 1; i < itemCount; ++i) {
    if (ticked(ticks, i)) return i;
  }
  return itemCount;
}

// Clears a flag when it goes out of scope.
class Raised {
 public:
  explicit Raised(bool &flag) : flag_(flag) { flag_ = true; }
  ~Raised() { flag_ = false; }
  Raised(const Raised &) = delete;
  Raised &operator=(const Raised &) = delete;

 private:
  bool &flag_;
};

}  // namespace

bool Scan::ticking_ = false;

struct Scan::Counts {
  int ports = 0, speeds = 0;          // ticked items
  int lastPort = -1, lastSpeed = -1;  // the last ticked item of each list
};

Scan::Scan(Prober &prober, Texts texts) : prober_(prober), texts_(std::move(texts)) {}

void Scan::setPorts(std::vector<int> comNumbers) {
  coms_ = std::move(comNumbers);
}

std::string Scan::idString(int com, int speedRow) const {
  const device::SpeedRow &row = device::speedTable[static_cast<std::size_t>(speedRow)];
  return formatText(texts_.idFormat, {std::to_string(com), std::to_string(row.baud),
                                      std::to_string(row.stepMs), std::to_string(row.timeoutMs)});
}

std::string Scan::displayText(const std::string &idStr, int address) const {
  return formatText(texts_.displayFormat, {idStr, std::to_string(address)});
}

Scan::Counts Scan::count(const Choice &choice) const {
  Counts c;
  for (int i = 0; i < static_cast<int>(coms_.size()); ++i) {
    if (ticked(choice.ports, i)) ++c.ports, c.lastPort = i;
  }
  for (int i = 0; i < device::kSpeedRows; ++i) {
    if (ticked(choice.speeds, i)) ++c.speeds, c.lastSpeed = i;
  }
  return c;
}

bool Scan::canSearch(const Choice &choice) const {
  const Counts c = count(choice);
  return c.ports > 0 && c.speeds > 0 && choice.from && choice.to && *choice.to - *choice.from >= 0;
}

bool Scan::positionValid() const {
  return portItem_ >= 0 && portItem_ < static_cast<int>(coms_.size()) && speedItem_ >= 0 &&
         speedItem_ < device::kSpeedRows && address_ >= kLowestAddress &&
         address_ <= kHighestAddress;
}

std::string Scan::currentIdString() const {
  return idString(coms_[static_cast<std::size_t>(portItem_)], speedItem_);
}

void Scan::tick(const Choice &choice, const std::function<void()> &beforeProbe) {
  if (ticking_) return;
  const Raised guard(ticking_);

  controls_.rangeEnabled = !searching_;
  // The lists and boxes are locked while searching; a choice that went bad
  // all the same (or a position outside the lists) ends the search rather
  // than probing nonsense.
  if (searching_ && (!canSearch(choice) || !positionValid())) searching_ = false;
  if (searching_) {
    probeCurrent(beforeProbe);
    if (searching_) advance(choice);
  } else {
    idle(choice);
  }
}

void Scan::probeCurrent(const std::function<void()> &beforeProbe) {
  controls_.stopCaption = true;
  controls_.searchEnabled = true;
  controls_.continueEnabled = false;
  controls_.selectEnabled = false;
  controls_.cancelEnabled = false;
  probe_ = currentIdString();
  tryingText_ = displayText(probe_, address_);
  if (beforeProbe) beforeProbe();
  if (prober_.probe(probe_, static_cast<uint8_t>(address_))) {
    selected_ = probe_;
    selectedText_ = tryingText_;
    searching_ = false;  // the address stays that of the sensor
  }
}

void Scan::idle(const Choice &choice) {
  controls_.stopCaption = false;
  const Counts c = count(choice);
  controls_.searchEnabled = canSearch(choice);
  if (probe_.empty() && c.ports == 1 && c.speeds == 1 && choice.from && choice.to &&
      *choice.from == *choice.to) {
    // A fully given combination is selectable without a probe.
    portItem_ = c.lastPort;
    speedItem_ = c.lastSpeed;
    address_ = *choice.from;
    selected_ = currentIdString();
    selectedText_ = displayText(selected_, address_);
  }
  controls_.continueEnabled = controls_.searchEnabled && !probe_.empty() && !exhausted_;
  controls_.selectEnabled = !selected_.empty();
  controls_.cancelEnabled = true;
}

void Scan::startStop(const Choice &choice) {
  // The button reads "Стоп" from a searching tick until the next idle one. A
  // click made during a probe is handled after it, when that probe may have
  // ended the search (a sensor found, the last combination tried): the user
  // asked to stop, so it must not start the scan over.
  if (searching_ || controls_.stopCaption) {
    searching_ = false;
    return;
  }
  if (!canSearch(choice)) return;
  const int ports = static_cast<int>(coms_.size());
  portItem_ = nextChecked(choice.ports, ports, -1);
  speedItem_ = nextChecked(choice.speeds, device::kSpeedRows, -1);
  address_ = *choice.from;
  probe_.clear();
  selected_.clear();
  tryingText_.clear();
  selectedText_.clear();
  exhausted_ = false;
  searching_ = true;
}

void Scan::resume(const Choice &choice) {
  if (searching_ || probe_.empty() || exhausted_ || !canSearch(choice)) return;
  if (!selected_.empty()) {
    selected_.clear();
    selectedText_.clear();
    advance(choice);
  }
  if (!exhausted_) searching_ = true;
}

void Scan::advance(const Choice &choice) {
  const int ports = static_cast<int>(coms_.size());
  ++address_;
  if (address_ > *choice.to) {
    address_ = *choice.from;
    speedItem_ = nextChecked(choice.speeds, device::kSpeedRows, speedItem_);
    if (speedItem_ >= device::kSpeedRows) {
      speedItem_ = nextChecked(choice.speeds, device::kSpeedRows, -1);
      portItem_ = nextChecked(choice.ports, ports, portItem_);
      if (portItem_ >= ports) {
        exhausted_ = true;
        selectedText_ = texts_.notFound;
        searching_ = false;
      }
    }
  }
}

}  // namespace search
