// Dialog 131 offscreen against simulated sensors on pseudo-terminals, driven
// with keys and clicks; what it tried is read from the simulated lines.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTest>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "resources/connect_dialog.h"
#include "search/connect_dialog.h"
#include "tests/search/search_bench.h"
#include "tests/support/dialog_driver.h"
#include "tests/support/qt_app.h"

namespace {

using namespace resources;
using search::CConnect;
using searchtest::SearchBench;
using testsupport::waitUntil;
using Clock = std::chrono::steady_clock;

// A silent combination costs the whole retry cycle (1.2 s at 9600 bit/s and
// above); deadlines leave room for a loaded machine under a sanitizer.
constexpr int kScanMs = 30000;

const QString kNotFound = QStringLiteral("Контроллер не найден");

QListWidget *list(CConnect &d, int id) {
  return d.control<QListWidget>(id);
}

std::vector<bool> ticks(QListWidget *l) {
  std::vector<bool> out;
  for (int i = 0; i < l->count(); ++i)
    out.push_back(l->item(i)->checkState() == Qt::Checked);
  return out;
}

QStringList texts(QListWidget *l) {
  QStringList out;
  for (int i = 0; i < l->count(); ++i)
    out << l->item(i)->text();
  return out;
}

// Ticks exactly the wanted items, with the keys a user would press.
void tickItems(QListWidget *l, const std::vector<bool> &wanted) {
  QTest::keyClick(l, Qt::Key_Home);
  for (int i = 0; i < l->count(); ++i) {
    if (i > 0) QTest::keyClick(l, Qt::Key_Down);
    if ((l->item(i)->checkState() == Qt::Checked) != wanted[static_cast<std::size_t>(i)]) {
      QTest::keyClick(l, Qt::Key_Space);
    }
  }
  ASSERT_EQ(ticks(l), wanted);
}

// The speed list with only these rows of the speed table ticked.
std::vector<bool> speeds(std::initializer_list<int> rows) {
  std::vector<bool> t(7, false);
  for (int r : rows)
    t[static_cast<std::size_t>(r)] = true;
  return t;
}

void typeInto(CConnect &d, int id, const QString &text) {
  auto *edit = d.control<QLineEdit>(id);
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
  ASSERT_EQ(edit->text(), text);
}

void click(CConnect &d, int id) {
  QTest::mouseClick(d.control<QPushButton>(id), Qt::LeftButton);
}

QString text(CConnect &d, int id) {
  return d.itemText(id);
}

// Records what a widget showed each time it was painted, and when.
class PaintLog : public QObject {
 public:
  struct Paint {
    Clock::time_point time;
    QString text;
  };
  explicit PaintLog(QLineEdit *edit) : edit_(edit) { edit->installEventFilter(this); }
  std::vector<Paint> paints;

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (watched == edit_ && event->type() == QEvent::Paint)
      paints.push_back({Clock::now(), edit_->text()});
    return false;
  }

 private:
  QLineEdit *edit_;
};

// A click that comes while a probe blocks the dialog's thread, and so waits
// until the probe ends. The user's hand is another thread: once `ready`
// holds it writes to a pipe which the dialog's thread watches, as the window
// system's input would wait. The click happens once, inside the dialog's loop.
class ClickDuringProbe {
 public:
  ClickDuringProbe(CConnect &d, int id, std::function<bool()> ready) {
    if (::pipe(hand_) != 0) {
      ADD_FAILURE() << "no pipe";
      return;
    }
    press_ = std::make_unique<QSocketNotifier>(hand_[0], QSocketNotifier::Read);
    QObject::connect(press_.get(), &QSocketNotifier::activated, [this, &d, id] {
      char b;
      if (::read(hand_[0], &b, 1) != 1 || clicked_) return;
      clicked_ = true;
      click(d, id);
    });
    user_ = std::thread([this, ready = std::move(ready)] {
      const auto end = Clock::now() + std::chrono::milliseconds(kScanMs);
      while (!ready() && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      const char b = 1;
      (void)!::write(hand_[1], &b, 1);
    });
  }
  ~ClickDuringProbe() {
    if (user_.joinable()) user_.join();
    press_.reset();
    for (int fd : hand_) {
      if (fd >= 0) ::close(fd);
    }
  }
  ClickDuringProbe(const ClickDuringProbe &) = delete;
  ClickDuringProbe &operator=(const ClickDuringProbe &) = delete;

  bool clicked() const { return clicked_; }

 private:
  int hand_[2] = {-1, -1};
  std::unique_ptr<QSocketNotifier> press_;
  bool clicked_ = false;
  std::thread user_;
};

// Runs the dialog modally; `act` drives it from inside its loop.
int runDialog(CConnect &dialog, std::function<void(CConnect &)> act) {
  bool seen = false;
  testsupport::whenModal<CConnect>(
      [act = std::move(act)](CConnect &d) {
        act(d);
        if (!d.isEnded()) d.endDialog(-1);  // a failed assertion left it open
      },
      &seen);
  const int code = dialog.runModal();
  EXPECT_TRUE(seen);
  return code;
}

TEST(ConnectDialog, ListsThePortsAndFindsTheSensorShowingEachCombinationFirst) {
  SearchBench bench;
  CConnect dialog;
  const int code = runDialog(dialog, [&](CConnect &d) {
    // COM3 leads nowhere and is not listed; COM4 is busy and not ticked.
    EXPECT_EQ(texts(list(d, kConnectPorts)),
              QStringList({"COM1 (ttyQVZ)", "COM2 (ttyCOM2)", "COM4 (ttyCOM4)"}));
    EXPECT_EQ(ticks(list(d, kConnectPorts)), (std::vector<bool>{true, true, false}));
    EXPECT_EQ(texts(list(d, kConnectSpeeds)),
              QStringList({"1200", "2400", "4800", "9600", "19200", "38400", "57600"}));
    EXPECT_EQ(ticks(list(d, kConnectSpeeds)), std::vector<bool>(7, true));
    EXPECT_EQ(text(d, kConnectFrom), "0");
    EXPECT_EQ(text(d, kConnectTo), "6");
    EXPECT_EQ(text(d, kConnectSearch), "Поиск");
    EXPECT_TRUE(d.isItemEnabled(kConnectSearch));
    EXPECT_FALSE(d.isItemEnabled(kConnectContinue));
    EXPECT_FALSE(d.isItemEnabled(kConnectSelect));
    EXPECT_TRUE(d.isItemEnabled(kConnectCancel));
    EXPECT_TRUE(text(d, kConnectTrying).isEmpty());
    EXPECT_TRUE(text(d, kConnectSelected).isEmpty());
    EXPECT_TRUE(d.isTimerActive(CConnect::kTimerId));
    EXPECT_EQ(testsupport::unnamedControls(d), std::vector<int>{});
    EXPECT_EQ(d.item(kConnectPorts)->accessibleName(), "Порты");
    EXPECT_EQ(d.item(kConnectTo)->accessibleName(), "До");
    EXPECT_EQ(d.item(kConnectSelected)->accessibleName(), "Выбран");

    // 19200 and 57600 at address 7 on COM1 and COM2: COM1 stays silent
    // twice, COM2 answers at 19200.
    tickItems(list(d, kConnectSpeeds), speeds({4, 6}));
    typeInto(d, kConnectFrom, "7");
    typeInto(d, kConnectTo, "7");
    PaintLog trying(d.control<QLineEdit>(kConnectTrying));
    click(d, kConnectSearch);

    ASSERT_TRUE(waitUntil([&] { return !text(d, kConnectTrying).isEmpty(); }, kScanMs));
    ASSERT_TRUE(d.scan().searching()) << "the first combination is silent";
    EXPECT_TRUE(testsupport::saveScreenshot(&d, "search_dialog_searching"));
    EXPECT_EQ(text(d, kConnectSearch), "Стоп");
    for (int id : {kConnectPorts, kConnectSpeeds, kConnectFrom, kConnectTo, kConnectContinue,
                   kConnectSelect, kConnectCancel}) {
      EXPECT_FALSE(d.isItemEnabled(id)) << id;
    }
    QTest::keyClick(&d, Qt::Key_Escape);  // "Отказ" is disabled: Esc does nothing
    EXPECT_TRUE(d.isVisible());
    const QString found = QStringLiteral("IdStr=\"rk.dll,2,19200,100,300\", адрес=7");
    ASSERT_TRUE(waitUntil([&] { return !text(d, kConnectSelected).isEmpty(); }, kScanMs));
    EXPECT_EQ(text(d, kConnectSelected), found);
    EXPECT_EQ(text(d, kConnectTrying), found);
    ASSERT_TRUE(waitUntil([&] { return d.isItemEnabled(kConnectSelect); }));
    EXPECT_EQ(text(d, kConnectSearch), "Поиск");
    EXPECT_TRUE(d.isItemEnabled(kConnectContinue));
    EXPECT_TRUE(d.isItemEnabled(kConnectPorts));
    EXPECT_TRUE(testsupport::saveScreenshot(&d, "search_dialog_found"));

    // One read of registers 0-7 reached the sensor, after the dialog had
    // shown its combination; the sensor of COM1 heard nothing (address 1).
    const std::vector<qvzsim::Request> requests = bench.sensor(2).requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].function, 3);
    EXPECT_EQ(requests[0].start, 0);
    EXPECT_EQ(requests[0].count, 8);
    bool shownFirst = false;
    for (const PaintLog::Paint &p : trying.paints)
      shownFirst = shownFirst || (p.text == found && p.time < requests[0].time);
    EXPECT_TRUE(shownFirst) << "painted " << trying.paints.size() << " times";
    EXPECT_EQ(bench.sensor(1).requestCount(), 0u);
    EXPECT_EQ(bench.sensor(4).requestCount(), 0u);

    QTest::keyClick(&d, Qt::Key_Return);  // "Выбор" is the default button
  });
  EXPECT_EQ(code, kConnectSelect);
  EXPECT_EQ(dialog.selectedString(), "rk.dll,2,19200,100,300");
  EXPECT_EQ(dialog.address(), 7);
  EXPECT_FALSE(dialog.isTimerActive(CConnect::kTimerId));
}

TEST(ConnectDialog, StopDuringAProbeTakesEffectWhenItEndsAndContinueGoesOnAfterIt) {
  SearchBench bench;
  qvzsim::Line &com1 = bench.line(1);
  CConnect dialog;
  const int code = runDialog(dialog, [&](CConnect &d) {
    // COM1 at 57600, addresses 2-4: the sensor there answers only 1. Each
    // silent probe sends its request three times.
    tickItems(list(d, kConnectPorts), {true, false, false});
    tickItems(list(d, kConnectSpeeds), speeds({6}));
    typeInto(d, kConnectFrom, "2");
    typeInto(d, kConnectTo, "4");

    // "Стоп" is clicked while the first probe blocks the thread.
    bool stopped = false;
    {
      ClickDuringProbe stop(d, kConnectSearch, [&] { return com1.counters().unheard >= 1; });
      click(d, kConnectSearch);
      stopped = waitUntil([&] { return stop.clicked() && !d.scan().searching(); }, kScanMs);
    }
    ASSERT_TRUE(stopped);
    EXPECT_EQ(com1.counters().unheard, 3u) << "the probe under way ended, no other began";
    EXPECT_EQ(text(d, kConnectTrying), "IdStr=\"rk.dll,1,57600,100,300\", адрес=2");
    QTest::qWait(10 * CConnect::kTimerPeriodMs);
    EXPECT_EQ(com1.counters().unheard, 3u);
    EXPECT_EQ(text(d, kConnectSearch), "Поиск");
    EXPECT_TRUE(d.isItemEnabled(kConnectContinue));
    EXPECT_FALSE(d.isItemEnabled(kConnectSelect));
    EXPECT_TRUE(text(d, kConnectSelected).isEmpty());

    // "Продолжение" tries 3 and 4; "Стоп" clicked during the probe of 4, the
    // last one, ends the scan there instead of starting it over.
    {
      ClickDuringProbe stop(d, kConnectSearch, [&] { return com1.counters().unheard >= 7; });
      click(d, kConnectContinue);
      ASSERT_TRUE(waitUntil(
          [&] { return text(d, kConnectTrying) == "IdStr=\"rk.dll,1,57600,100,300\", адрес=3"; },
          kScanMs));
      ASSERT_TRUE(waitUntil(
          [&] { return stop.clicked() && text(d, kConnectSelected) == kNotFound; }, kScanMs));
    }
    EXPECT_EQ(text(d, kConnectTrying), "IdStr=\"rk.dll,1,57600,100,300\", адрес=4");
    QTest::qWait(10 * CConnect::kTimerPeriodMs);
    EXPECT_EQ(com1.counters().unheard, 9u);
    EXPECT_FALSE(d.scan().searching());
    EXPECT_EQ(text(d, kConnectSelected), kNotFound);
    EXPECT_EQ(text(d, kConnectSearch), "Поиск");
    ASSERT_TRUE(waitUntil([&] { return d.isItemEnabled(kConnectCancel); }));
    EXPECT_FALSE(d.isItemEnabled(kConnectContinue));
    EXPECT_FALSE(d.isItemEnabled(kConnectSelect));
    click(d, kConnectCancel);
  });
  EXPECT_EQ(code, kConnectCancel);
  EXPECT_EQ(bench.sensor(1).requestCount(), 0u);
}

TEST(ConnectDialog, AddressBoxesGateTheSearchAndASingleCombinationNeedsNoProbe) {
  SearchBench bench;
  CConnect dialog;
  const int code = runDialog(dialog, [&](CConnect &d) {
    struct Range {
      const char *from, *to;
      bool enabled;
    } cases[] = {
        // Alternating, so that each case waits for a tick that changes the button.
        {"", "6", false},  {"0", "6", true},    {"abc", "6", false},
        {"1", "6", true},  {"0", "300", false}, {"3", "3", true},
        {"5", "4", false}, {"0", "247", true},  {"-1", "6", false},
    };
    for (const Range &r : cases) {
      SCOPED_TRACE(std::string("From '") + r.from + "', To '" + r.to + "'");
      typeInto(d, kConnectFrom, r.from);
      typeInto(d, kConnectTo, r.to);
      EXPECT_TRUE(waitUntil([&] { return d.isItemEnabled(kConnectSearch) == r.enabled; }));
    }
    tickItems(list(d, kConnectSpeeds), speeds({}));
    EXPECT_TRUE(waitUntil([&] { return !d.isItemEnabled(kConnectSearch); }));

    // COM1, 57600, address 1 and nothing else: selectable at once.
    tickItems(list(d, kConnectPorts), {true, false, false});
    tickItems(list(d, kConnectSpeeds), speeds({6}));
    typeInto(d, kConnectFrom, "1");
    typeInto(d, kConnectTo, "1");
    ASSERT_TRUE(waitUntil([&] { return d.isItemEnabled(kConnectSelect); }));
    EXPECT_EQ(text(d, kConnectSelected), "IdStr=\"rk.dll,1,57600,100,300\", адрес=1");
    EXPECT_TRUE(text(d, kConnectTrying).isEmpty());
    QTest::keyClick(&d, Qt::Key_Return);
  });
  EXPECT_EQ(code, kConnectSelect);
  EXPECT_EQ(dialog.selectedString(), "rk.dll,1,57600,100,300");
  EXPECT_EQ(dialog.address(), 1);
  EXPECT_EQ(bench.line(1).counters().frames, 0u) << "no probe";
}

}  // namespace
