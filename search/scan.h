// The sensor search as a machine driven by timer ticks: it walks the ticked
// ports x the ticked speeds x an address range, one probe a tick, addresses
// innermost, and stops at the first sensor that answers. It knows nothing of
// widgets: the dialog hands it the user's choice at every call and shows what
// it reports (texts of the result fields, which buttons may be used).
//
//   search::Scan scan(prober, texts);
//   scan.setPorts({1, 2, 5});              // the COM numbers of the port items
//   // every 50 ms:
//   scan.tick(choice, [&] { showAndRepaint(scan); });  // runs before a probe
//   // buttons: scan.startStop(choice), scan.resume(choice)
//   // result: scan.selectedString(), scan.address()
//
// User-interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "search/prober.h"

namespace search {

// Modbus addresses a search may try.
inline constexpr int kLowestAddress = 0;
inline constexpr int kHighestAddress = 247;

// What the user has chosen in the dialog at this moment.
struct Choice {
  std::vector<bool> ports;      // tick of each port item; missing items count as unticked
  std::vector<bool> speeds;     // tick of each speed item (the rows of speedTable)
  std::optional<int> from, to;  // the address boxes; empty when a box holds no address
};

// The texts of the string table that the scan fills in.
struct Texts {
  std::string idFormat;       // "rk.dll,%d,%d,%d,%d": COM number, baud, poll, time-out
  std::string displayFormat;  // IdStr="%s", адрес=%d
  std::string notFound;       // "Контроллер не найден"
};

// Which controls may be used, as the last tick (or command) left them.
struct Controls {
  bool rangeEnabled = true;      // port and speed lists, address boxes and spins
  bool searchEnabled = false;    // "Поиск" / "Стоп"
  bool stopCaption = false;      // that button reads "Стоп" (else "Поиск")
  bool continueEnabled = false;  // "Продолжение"
  bool selectEnabled = false;    // "Выбор"
  bool cancelEnabled = true;     // "Отказ"
};

class Scan {
 public:
  Scan(Prober &prober, Texts texts);

  // The COM number of each port item, in list order.
  void setPorts(std::vector<int> comNumbers);

  // One timer tick. While searching: the combination at the position is
  // made the probe string and its text the "Проверяется" text, beforeProbe
  // runs (the dialog shows it), the prober tries it; a sensor that answers
  // becomes the selection and ends the search, otherwise the position
  // advances. While idle: the buttons follow the choice, and a single
  // ticked port and speed with From = To is selected without a probe as
  // long as no search has run. A tick that arrives while any scan's tick
  // is still running (an event handled inside a probe) is ignored.
  void tick(const Choice &choice, const std::function<void()> &beforeProbe = {});
  // "Поиск" / "Стоп": starts a new search from the first combination, or
  // stops the running one (it resumes after the last combination tried).
  // A start needs a valid choice, as the enabled button does. While the
  // button still reads "Стоп" a click only stops, also when the tick it
  // waited behind has just ended the search.
  void startStop(const Choice &choice);
  // "Продолжение": after a find, moves past it; then searches on, unless
  // that was the last combination. Needs what the enabled button needs.
  void resume(const Choice &choice);

  bool searching() const { return searching_; }
  bool exhausted() const { return exhausted_; }
  int portItem() const { return portItem_; }
  int speedItem() const { return speedItem_; }
  // The address tried last or selected; its low 8 bits are the result.
  int address() const { return address_; }
  const std::string &probeString() const { return probe_; }
  const std::string &selectedString() const { return selected_; }
  const std::string &tryingText() const { return tryingText_; }      // "Проверяется:"
  const std::string &selectedText() const { return selectedText_; }  // "Выбран:"
  const Controls &controls() const { return controls_; }

  // The identification string and the text shown for a combination.
  std::string idString(int com, int speedRow) const;
  std::string displayText(const std::string &idStr, int address) const;

 private:
  struct Counts;
  Counts count(const Choice &choice) const;
  bool canSearch(const Choice &choice) const;
  bool positionValid() const;
  std::string currentIdString() const;
  void probeCurrent(const std::function<void()> &beforeProbe);
  void advance(const Choice &choice);
  void idle(const Choice &choice);

  static bool ticking_;  // shared by every scan: the dialog's timer is one per thread

  Prober &prober_;
  Texts texts_;
  std::vector<int> coms_;
  bool searching_ = false;
  bool exhausted_ = false;
  int portItem_ = 0;
  int speedItem_ = 0;
  int address_ = 0;
  std::string probe_;
  std::string selected_;
  std::string tryingText_;
  std::string selectedText_;
  Controls controls_;
};

}  // namespace search
