// The transfer progress window (dialog 101), offscreen: its texts while a
// transfer runs, and cancellation by its button, Esc and its close box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <thread>

#include "rk.h"
#include "tests/link/transfer_fixture.h"
#include "tests/support/pty_device.h"
#include "tests/support/rk_blocks.h"
#include "tests/support/rk_test_env.h"
#include "ui/dialog.h"

namespace {

using namespace std::chrono_literals;
using rktest::Bytes;
using rktest::FileBytes;
using rktest::Reply;

constexpr uint32_t kPort = 5;  // COM6

// A device that serves `size` bytes and answers every request after `delay`.
rktest::PtyDevice::Handler device(uint32_t size, std::chrono::milliseconds delay) {
  return [served = FileBytes(size, 0x5A), delay](const Bytes &q) {
    return rktest::fileDeviceReply(q, served, delay);
  };
}

// Looks at the window on every turn of the event loop while it exists.
class WindowWatcher {
 public:
  explicit WindowWatcher(QWidget *owner, std::function<void(ui::Dialog *)> act = {})
      : owner_(owner), act_(std::move(act)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { look(); });
    timer_.start(0);
  }
  std::vector<QString> bytesTexts, directions, good, failed;
  std::vector<int> bars;
  int seen = 0;

 private:
  static void note(std::vector<QString> &v, const QString &s) {
    if (v.empty() || v.back() != s) v.push_back(s);
  }
  void look() {
    auto *dialog = owner_->findChild<ui::Dialog *>();
    if (dialog == nullptr || dialog->isEnded()) return;
    ++seen;
    note(bytesTexts, dialog->itemText(1005));
    note(directions, dialog->itemText(1000));
    note(good, dialog->itemText(1002));
    note(failed, dialog->itemText(1003));
    if (auto *bar = dialog->control<QProgressBar>(1004)) {
      if (bars.empty() || bars.back() != bar->value()) bars.push_back(bar->value());
    }
    if (act_) act_(dialog);
  }
  QWidget *owner_;
  std::function<void(ui::Dialog *)> act_;
  QTimer timer_;
};

template <typename T>
bool contains(const std::vector<T> &v, const T &x) {
  return std::find(v.begin(), v.end(), x) != v.end();
}

class ProgressWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rktest::mapComPort(6, dev.path());
    RkParamBlock b = rktest::defaultBlock();
    b.PollInterval = 10;
    b.ReplyTimeout = 2000;
    b.FileReplyTimeout = 2000;
    ASSERT_EQ(RK_Open(kPort, &b), RK_OK);
    RK_ResetStatistics(kPort, 1);
  }
  void TearDown() override { RK_Close(kPort); }

  rktest::TempDir tmp;
  rktest::PtyDevice dev;
  QWidget owner;
};

TEST_F(ProgressWindowTest, SendShowsDirectionBytesAndCounters) {
  dev.setHandler(device(0, 30ms));
  const std::string local = tmp.file("local.bin");
  rktest::writeFile(local, FileBytes(1000, 1));
  WindowWatcher watch(&owner);
  ASSERT_EQ(RK_SendFile(kPort, 1, &owner, "data.bin", local.c_str()), RK_OK);
  ASSERT_GT(watch.seen, 0) << "the window was shown";
  EXPECT_EQ(watch.bytesTexts.front(), "0 байт из 1000 (0%)");
  EXPECT_TRUE(contains(watch.bytesTexts, QString("512 байт из 1000 (51%)")));
  EXPECT_TRUE(contains(watch.bars, 51));
  ASSERT_EQ(watch.directions.size(), 1u);
  EXPECT_EQ(watch.directions[0],
            QString::fromStdString("ПЭВМ (" + local + ") ==> Контроллер1 (data.bin)"));
  EXPECT_EQ(watch.good.front(), "0");
  EXPECT_TRUE(contains(watch.good, QString("2"))) << "announcement and first block";
  EXPECT_EQ(watch.failed, std::vector<QString>{"0"});
  EXPECT_EQ(owner.findChild<ui::Dialog *>(), nullptr) << "closed when the transfer ended";
}

TEST_F(ProgressWindowTest, ReceiveOfAnEmptyFile) {
  dev.setHandler(device(0, 30ms));
  WindowWatcher watch(&owner);
  ASSERT_EQ(RK_ReceiveFile(kPort, 1, &owner, "empty;x", tmp.file("got").c_str()), RK_OK);
  ASSERT_GT(watch.seen, 0);
  EXPECT_EQ(watch.bytesTexts.front(), "0 байт из 0 (0%)");
  EXPECT_EQ(watch.directions.front(),
            QString::fromStdString("ПЭВМ (" + tmp.file("got") + ") <== Контроллер1 (empty)"));
  auto *dialog = owner.findChild<ui::Dialog *>();
  EXPECT_EQ(dialog, nullptr);
}

// Each way of closing the window ends a slow receive as cancelled, keeps the
// old local file and leaves no temporary file.
TEST_F(ProgressWindowTest, StopEscAndCloseBoxCancel) {
  const std::vector<std::pair<const char *, std::function<void(ui::Dialog *)>>> ways = {
      {"button",
       [](ui::Dialog *d) { QTest::mouseClick(d->control<QPushButton>(2), Qt::LeftButton); }},
      {"Esc", [](ui::Dialog *d) { QTest::keyClick(d, Qt::Key_Escape); }},
      {"close box", [](ui::Dialog *d) { d->close(); }},
  };
  dev.setHandler(device(100000, 200ms));
  const std::string local = tmp.file("keep.bin");
  for (const auto &[what, act] : ways) {
    rktest::writeFile(local, {4, 5, 6});
    bool acted = false;
    std::chrono::steady_clock::time_point actedAt;
    WindowWatcher watch(&owner, [&, act = act](ui::Dialog *d) {
      if (!acted && d->itemText(1005) != "0 байт из 100000 (0%)") {
        acted = true;  // after the first block, while the second is under way
        actedAt = std::chrono::steady_clock::now();
        act(d);
      }
    });
    EXPECT_EQ(RK_ReceiveFile(kPort, 1, &owner, "big", local.c_str()), RK_ERR_CANCELLED) << what;
    EXPECT_TRUE(acted) << what;
    EXPECT_GE(std::chrono::steady_clock::now() - actedAt, 200ms)
        << what << ": the request ends 20 poll intervals after the window closed";
    EXPECT_EQ(rktest::readFile(local), (FileBytes{4, 5, 6})) << what;
    EXPECT_TRUE(tmp.entries("RK").empty()) << what;
    RkTransferInfo info{};
    info.Size = sizeof info;
    RK_GetTransferInfo(kPort, &info);
    EXPECT_EQ(info.Operation, 0u) << what;
  }
}

// Without an owner nothing handles events during the transfer: no window,
// no way to cancel it.
TEST_F(ProgressWindowTest, NoOwnerNoWindow) {
  dev.setHandler(device(1000, 20ms));
  int turns = 0;
  QTimer t;
  QObject::connect(&t, &QTimer::timeout, [&] {
    ++turns;
    if (QWidget *w = QApplication::activeWindow()) QTest::keyClick(w, Qt::Key_Escape);
  });
  t.start(0);
  ASSERT_EQ(RK_ReceiveFile(kPort, 1, nullptr, "f", tmp.file("got").c_str()), RK_OK);
  EXPECT_EQ(turns, 0);
  EXPECT_EQ(rktest::readFile(tmp.file("got")).size(), 1000u);
}

TEST_F(ProgressWindowTest, OtherThreadsGetNoWindow) {
  dev.setHandler(device(1000, 20ms));
  std::atomic<uint32_t> rc{1};
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    rc = RK_ReceiveFile(kPort, 1, &owner, "f", tmp.file("got").c_str());
    finished = true;
  });
  bool sawWindow = false;
  while (!finished) {
    QApplication::processEvents();
    sawWindow = sawWindow || owner.findChild<ui::Dialog *>() != nullptr;
    std::this_thread::sleep_for(2ms);
  }
  worker.join();
  EXPECT_EQ(rc, RK_OK);
  EXPECT_FALSE(sawWindow);
}

// The thread that runs a transfer may start another file operation from the
// window's events (the transfer mutex admits its owner again).
TEST_F(ProgressWindowTest, NestedOperationOnTheTransferThread) {
  dev.setHandler(device(2048, 20ms));
  uint32_t nested = 1;
  bool done = false;
  WindowWatcher watch(&owner, [&](ui::Dialog *) {
    if (done) return;
    done = true;
    nested = RK_DeleteFile(kPort, 1, nullptr, "old.log");
  });
  EXPECT_EQ(RK_ReceiveFile(kPort, 1, &owner, "f", tmp.file("got").c_str()), RK_OK);
  EXPECT_TRUE(done);
  EXPECT_EQ(nested, RK_OK);
}

}  // namespace
