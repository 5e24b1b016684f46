// The scan alone, driven tick by tick with a prober that answers for the
// combinations a case puts sensors at and records what it was asked.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "resources/strings.h"
#include "search/prober.h"
#include "search/scan.h"
#include "search/text_format.h"

namespace {

using search::Choice;
using search::Scan;

search::Texts tableTexts() {
  return {resources::loadString(resources::kStrIdFormat).toStdString(),
          resources::loadString(resources::kStrSearchDisplay).toStdString(),
          resources::loadString(resources::kStrNotFound).toStdString()};
}

// A combination as the prober is asked for it: "identification string @address".
std::string combo(const std::string &idStr, int address) {
  return idStr + " @" + std::to_string(address);
}

class FakeProber : public search::Prober {
 public:
  uint32_t tryOpen(int index) override {
    opened.push_back(index);
    return openResult(index);
  }
  bool probe(const std::string &idStr, uint8_t address) override {
    tried.push_back(combo(idStr, address));
    if (duringProbe) duringProbe();
    return sensors.count(tried.back()) != 0;
  }

  std::function<uint32_t(int)> openResult = [](int) { return 2u; };
  std::set<std::string> sensors;  // combinations that answer
  std::function<void()> duringProbe;
  std::vector<std::string> tried;
  std::vector<int> opened;
};

const std::string kNotFound = "Контроллер не найден";

// Speed rows: 0 1200, 3 9600, 4 19200, 6 57600.
std::vector<bool> speedTicks(const std::vector<int> &rows) {
  std::vector<bool> ticks(7, false);
  for (int r : rows)
    ticks[static_cast<std::size_t>(r)] = true;
  return ticks;
}

enum class Step { Start, Tick, Continue, RunOut };

struct Case {
  const char *what = "";
  std::vector<int> coms = {};        // COM numbers of the port items
  std::vector<bool> portTicks = {};  // and their ticks
  std::vector<int> speedRows = {};   // the ticked speeds
  int from = 0, to = 0;
  std::set<std::string> sensors = {};  // combinations that answer
  std::vector<Step> steps = {};
  // What follows:
  std::vector<std::string> tried = {};  // every probe, in order
  std::string selectedText = {};        // "Выбран:"
  std::string selectedString = {};      // the result
  int address = -1;                     // the result's address (when selected)
  bool searching = false, exhausted = false, continueEnabled = false;
};

const std::string k1_9600 = "rk.dll,1,9600,100,300";
const std::string k1_19200 = "rk.dll,1,19200,100,300";
const std::string k2_9600 = "rk.dll,2,9600,100,300";
const std::string k2_19200 = "rk.dll,2,19200,100,300";
const std::string k7_9600 = "rk.dll,7,9600,100,300";
const std::string k7_19200 = "rk.dll,7,19200,100,300";

using enum Step;

// Two ports, 9600 and 19200, addresses 1-2: eight combinations.
const std::vector<std::string> kAllEight = {
    combo(k1_9600, 1), combo(k1_9600, 2), combo(k1_19200, 1), combo(k1_19200, 2),
    combo(k2_9600, 1), combo(k2_9600, 2), combo(k2_19200, 1), combo(k2_19200, 2)};
std::vector<std::string> firstOf(std::size_t n) {
  return {kAllEight.begin(), kAllEight.begin() + static_cast<std::ptrdiff_t>(n)};
}

// Most cases: COM1 and COM2, 9600 and 19200, addresses 1-2.
// Most cases: COM1 and COM2, 9600 and 19200, addresses 1-2.
Case twoByTwo(Case c) {
  c.coms = {1, 2};
  c.portTicks = {true, true};
  c.speedRows = {3, 4};
  c.from = 1;
  c.to = 2;
  return c;
}

const Case kCases[] = {
    twoByTwo({.what = "addresses innermost, then speeds, then ports; then not found",
              .steps = {Start, RunOut},
              .tried = kAllEight,
              .selectedText = kNotFound,
              .exhausted = true}),
    {.what = "unticked ports and speeds are passed over",
     .coms = {1, 3, 5},
     .portTicks = {true, false, true},
     .speedRows = {0, 6},
     .from = 7,
     .to = 7,
     .steps = {Start, RunOut},
     .tried = {combo("rk.dll,1,1200,500,1000", 7), combo("rk.dll,1,57600,100,300", 7),
               combo("rk.dll,5,1200,500,1000", 7), combo("rk.dll,5,57600,100,300", 7)},
     .selectedText = kNotFound,
     .exhausted = true},
    twoByTwo({.what = "the first sensor that answers ends the search",
              .sensors = {combo(k2_9600, 2), combo(k2_19200, 1)},
              .steps = {Start, RunOut},
              .tried = firstOf(6),
              .selectedText = "IdStr=\"rk.dll,2,9600,100,300\", адрес=2",
              .selectedString = k2_9600,
              .address = 2,
              .continueEnabled = true}),
    twoByTwo({.what = "Продолжение after a find goes on with the next combination",
              .sensors = {combo(k2_9600, 2), combo(k2_19200, 1)},
              .steps = {Start, RunOut, Continue, RunOut},
              .tried = firstOf(7),
              .selectedText = "IdStr=\"rk.dll,2,19200,100,300\", адрес=1",
              .selectedString = k2_19200,
              .address = 1,
              .continueEnabled = true}),
    twoByTwo({.what = "Продолжение after a find at the very last combination: not found, no probe",
              .sensors = {combo(k2_19200, 2)},
              .steps = {Start, RunOut, Continue, RunOut},
              .tried = kAllEight,
              .selectedText = kNotFound,
              .exhausted = true}),
    twoByTwo({.what = "Стоп keeps the position and offers Продолжение",
              .steps = {Start, Tick, Tick, Tick, Start, Tick, Tick},
              .tried = firstOf(3),
              .continueEnabled = true}),
    twoByTwo({.what = "Продолжение after Стоп resumes after the last combination tried",
              .steps = {Start, Tick, Tick, Tick, Start, Tick, Continue, Tick},
              .tried = firstOf(4),
              .searching = true}),
    // A click made during a probe comes after the tick: the button it hit read "Стоп".
    twoByTwo({.what = "Стоп during the last probe ends the scan rather than starting it over",
              .steps = {Start, Tick, Tick, Tick, Tick, Tick, Tick, Tick, Tick, Start, RunOut},
              .tried = kAllEight,
              .selectedText = kNotFound,
              .exhausted = true}),
    twoByTwo({.what = "Стоп during the probe that finds a sensor keeps the find",
              .sensors = {combo(k1_9600, 2)},
              .steps = {Start, Tick, Tick, Start, RunOut},
              .tried = firstOf(2),
              .selectedText = "IdStr=\"rk.dll,1,9600,100,300\", адрес=2",
              .selectedString = k1_9600,
              .address = 2,
              .continueEnabled = true}),
    {.what = "one port, one speed, From = To: selectable without a probe",
     .coms = {1, 2},
     .portTicks = {false, true},
     .speedRows = {3},
     .from = 5,
     .to = 5,
     .steps = {Tick},
     .selectedText = "IdStr=\"rk.dll,2,9600,100,300\", адрес=5",
     .selectedString = k2_9600,
     .address = 5},
    {.what = "once a search has run, the single combination needs its probe",
     .coms = {1},
     .portTicks = {true},
     .speedRows = {3},
     .from = 5,
     .to = 5,
     .steps = {Tick, Start, RunOut, Tick},
     .tried = {combo(k1_9600, 5)},
     .selectedText = kNotFound,
     .exhausted = true},
    {.what = "the range wraps to From for the next speed, up to address 247",
     .coms = {7},
     .portTicks = {true},
     .speedRows = {3, 4},
     .from = 246,
     .to = 247,
     .sensors = {combo(k7_19200, 247)},
     .steps = {Start, RunOut},
     .tried = {combo(k7_9600, 246), combo(k7_9600, 247), combo(k7_19200, 246),
               combo(k7_19200, 247)},
     .selectedText = "IdStr=\"rk.dll,7,19200,100,300\", адрес=247",
     .selectedString = k7_19200,
     .address = 247,
     .continueEnabled = true},
};

void PrintTo(const Case &c, std::ostream *os) {
  *os << c.what;
}

class ScanCase : public ::testing::TestWithParam<Case> {};

TEST_P(ScanCase, ProbesInOrderAndEndsAsExpected) {
  const Case &c = GetParam();
  FakeProber prober;
  prober.sensors = c.sensors;
  Scan scan(prober, tableTexts());
  scan.setPorts(c.coms);
  const Choice choice{c.portTicks, speedTicks(c.speedRows), c.from, c.to};
  for (Step s : c.steps) {
    switch (s) {
      case Start:
        scan.startStop(choice);
        break;
      case Tick:
        scan.tick(choice);
        break;
      case Continue:
        ASSERT_TRUE(scan.controls().continueEnabled) << "as the last tick left it";
        scan.resume(choice);
        break;
      case RunOut:
        for (int i = 0; i < 1000 && scan.searching(); ++i)
          scan.tick(choice);
        scan.tick(choice);  // idle: the buttons as the user then sees them
        break;
    }
  }
  EXPECT_EQ(prober.tried, c.tried);
  EXPECT_EQ(scan.searching(), c.searching);
  EXPECT_EQ(scan.exhausted(), c.exhausted);
  EXPECT_EQ(scan.selectedText(), c.selectedText);
  EXPECT_EQ(scan.selectedString(), c.selectedString);
  if (c.address >= 0) {
    EXPECT_EQ(scan.address(), c.address);
  }
  if (!c.searching) {
    EXPECT_EQ(scan.controls().selectEnabled, !c.selectedString.empty());
    EXPECT_EQ(scan.controls().continueEnabled, c.continueEnabled);
  }
}

INSTANTIATE_TEST_SUITE_P(Scans, ScanCase, ::testing::ValuesIn(kCases));

TEST(Scan, ShowsTheCombinationAndLocksTheControlsBeforeItsProbe) {
  FakeProber prober;
  Scan scan(prober, tableTexts());
  scan.setPorts({7});
  const Choice choice{{true}, speedTicks({3}), 1, 2};
  std::vector<std::string> shown;
  int beforeProbe = 0;
  prober.duringProbe = [&] {
    shown.push_back(scan.tryingText());
    const search::Controls &c = scan.controls();
    EXPECT_EQ(beforeProbe, static_cast<int>(shown.size())) << "the dialog was told first";
    EXPECT_TRUE(c.stopCaption);
    EXPECT_TRUE(c.searchEnabled);
    EXPECT_FALSE(c.rangeEnabled || c.continueEnabled || c.selectEnabled || c.cancelEnabled);
    EXPECT_EQ(scan.probeString(), "rk.dll,7,9600,100,300");
  };
  scan.startStop(choice);
  EXPECT_TRUE(scan.tryingText().empty());
  scan.tick(choice, [&] { ++beforeProbe; });
  scan.tick(choice, [&] { ++beforeProbe; });
  EXPECT_EQ(shown, (std::vector<std::string>{"IdStr=\"rk.dll,7,9600,100,300\", адрес=1",
                                             "IdStr=\"rk.dll,7,9600,100,300\", адрес=2"}));
  EXPECT_FALSE(scan.searching());
  EXPECT_EQ(scan.selectedText(), kNotFound);

  // Idle again: "Поиск", and everything but "Продолжение" and "Выбор" usable.
  scan.tick(choice);
  const search::Controls &c = scan.controls();
  EXPECT_FALSE(c.stopCaption);
  EXPECT_TRUE(c.rangeEnabled && c.searchEnabled && c.cancelEnabled);
  EXPECT_FALSE(c.continueEnabled || c.selectEnabled);
}

TEST(Scan, SearchStaysDisabledWithoutAPortASpeedOrAnAddressRange) {
  struct Disabled {
    const char *what;
    std::vector<bool> ports;
    std::vector<bool> speeds;
    std::optional<int> from, to;
  } cases[] = {
      {"no port ticked", {false, false}, speedTicks({3}), 1, 2},
      {"no port listed", {}, speedTicks({3}), 1, 2},
      {"no speed ticked", {true, false}, speedTicks({}), 1, 2},
      {"To below From", {true, true}, speedTicks({3}), 5, 4},
      {"From holds no address", {true, true}, speedTicks({3}), std::nullopt, 4},
      {"To holds no address", {true, true}, speedTicks({3}), 1, std::nullopt},
  };
  for (const Disabled &d : cases) {
    SCOPED_TRACE(d.what);
    FakeProber prober;
    Scan scan(prober, tableTexts());
    scan.setPorts(d.ports.empty() ? std::vector<int>{} : std::vector<int>{1, 2});
    const Choice choice{d.ports, d.speeds, d.from, d.to};
    scan.tick(choice);
    EXPECT_FALSE(scan.controls().searchEnabled);
    EXPECT_FALSE(scan.controls().continueEnabled);
    // A click that beat the tick to it starts nothing either.
    scan.startStop(choice);
    scan.tick(choice);
    EXPECT_FALSE(scan.searching());
    EXPECT_TRUE(prober.tried.empty());
  }
  // And From = To is a range of one.
  FakeProber prober;
  Scan scan(prober, tableTexts());
  scan.setPorts({1, 2});
  scan.tick({{true, true}, speedTicks({3}), 4, 4});
  EXPECT_TRUE(scan.controls().searchEnabled);
}

TEST(Scan, ContinueNeedsAStoppedOrSuccessfulSearch) {
  FakeProber prober;
  Scan scan(prober, tableTexts());
  scan.setPorts({1});
  const Choice choice{{true}, speedTicks({3}), 1, 1};
  scan.resume(choice);  // nothing has run yet
  scan.tick(choice);
  EXPECT_TRUE(prober.tried.empty());
  scan.startStop(choice);
  scan.tick(choice);
  ASSERT_TRUE(scan.exhausted());
  scan.resume(choice);  // the scan is over
  scan.tick(choice);
  EXPECT_EQ(prober.tried.size(), 1u);
  EXPECT_FALSE(scan.searching());
}

TEST(Scan, ATickInsideAProbeIsIgnoredWhicheverScanItBelongsTo) {
  FakeProber prober, otherProber;
  Scan scan(prober, tableTexts());
  Scan other(otherProber, tableTexts());
  scan.setPorts({1});
  other.setPorts({2});
  const Choice choice{{true}, speedTicks({3}), 1, 3};
  other.startStop(choice);
  prober.duringProbe = [&] {
    scan.tick(choice);  // a timer event handled inside the probe
    other.tick(choice);
  };
  scan.startStop(choice);
  scan.tick(choice);
  EXPECT_EQ(prober.tried, std::vector<std::string>{combo(k1_9600, 1)});
  EXPECT_TRUE(otherProber.tried.empty());
  // Outside a probe both tick again.
  prober.duringProbe = {};
  scan.tick(choice);
  other.tick(choice);
  EXPECT_EQ(prober.tried.size(), 2u);
  EXPECT_EQ(otherProber.tried, std::vector<std::string>{combo(k2_9600, 1)});
}

TEST(PortList, ListsWhatExistsAndTicksWhatOpened) {
  FakeProber prober;
  prober.openResult = [](int i) -> uint32_t {
    switch (i) {
      case 0:
        return 0;  // opened
      case 3:
        return 5;  // busy
      case 4:
        return 1314;  // no permission
      case 15:
        return 0;
      default:
        return 2;  // no such port
    }
  };
  const std::vector<search::PortItem> items = search::listPorts(prober);
  ASSERT_EQ(items.size(), 4u);
  const std::pair<int, bool> expected[] = {{0, true}, {3, false}, {4, false}, {15, true}};
  for (std::size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].index, expected[i].first);
    EXPECT_EQ(items[i].checked, expected[i].second);
  }
  std::vector<int> all(16);
  for (int i = 0; i < 16; ++i)
    all[static_cast<std::size_t>(i)] = i;
  EXPECT_EQ(prober.opened, all);
}

TEST(TextFormat, FillsTheFieldsOfTheStringTable) {
  struct Format {
    const char *format;
    std::initializer_list<std::string_view> args;
    const char *text;
  } cases[] = {
      {"rk.dll,%d,%d,%d,%d", {"7", "9600", "100", "300"}, "rk.dll,7,9600,100,300"},
      {"IdStr=\"%s\", адрес=%d",
       {"rk.dll,7,9600,100,300", "1"},
       "IdStr=\"rk.dll,7,9600,100,300\", адрес=1"},
      {"%ld bit/s, 100%%", {"57600"}, "57600 bit/s, 100%"},
      {"%d and %d", {"1"}, "1 and "},  // a field without an argument stays empty
      {"%x%", {"1"}, "%x%"},           // an unknown field is text
  };
  for (const Format &f : cases)
    EXPECT_EQ(search::formatText(f.format, f.args), f.text) << f.format;
  // The string table's texts, as the dialog shows them.
  EXPECT_EQ(resources::loadString(resources::kStrSearch), "Поиск");
  EXPECT_EQ(resources::loadString(resources::kStrStop), "Стоп");
  FakeProber prober;
  const Scan scan(prober, tableTexts());
  EXPECT_EQ(scan.displayText(scan.idString(7, 3), 1), "IdStr=\"rk.dll,7,9600,100,300\", адрес=1");
}

}  // namespace
