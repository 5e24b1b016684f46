#include "link/progress_window.h"

#include <QApplication>
#include <QPointer>
#include <QProgressBar>
#include <QString>
#include <QThread>

#include "link/connection.h"
#include "link/progress.h"
#include "link/progress_dialog.h"
#include "platform/cp1251.h"
#include "ui/dialog.h"

namespace rk {
namespace {

// The window of the running transfer: one per process, as one transfer runs
// at a time, and touched only by the thread that runs it.
class ProgressWindow final : public PollObserver {
 public:
  ProgressWindow(QWidget *owner, const Connection &conn, uint32_t address)
      : dialog_(new ui::Dialog(kProgressDialog, owner)), address_(address) {
    dialog_->setAttribute(Qt::WA_DeleteOnClose, false);
    RkStatistics base{};
    conn.readStatistics(address, base);
    baseGood_ = base.GoodReplies;
    baseBad_ = base.BadAttempts;
    const RkTransferInfo info = conn.transferInfo();
    const QString pattern = info.Operation == 1 ? QStringLiteral("ПЭВМ (%1) ==> Контроллер%2 (%3)")
                                                : QStringLiteral("ПЭВМ (%1) <== Контроллер%2 (%3)");
    dialog_->setItemText(kProgressDirection, pattern.arg(displayName(info.LocalName))
                                                 .arg(info.Address)
                                                 .arg(displayName(info.RemoteName)));
    if (auto *bar = dialog_->control<QProgressBar>(kProgressBar)) bar->setRange(0, 100);
    dialog_->showModeless();
  }

  ~ProgressWindow() override { delete dialog_.data(); }
  ProgressWindow(const ProgressWindow &) = delete;
  ProgressWindow &operator=(const ProgressWindow &) = delete;

  bool onPoll(const Connection &conn) override {
    if (!alive()) return false;
    const RkTransferInfo info = conn.transferInfo();
    const uint32_t percent =
        info.BytesTotal == 0 ? 0 : static_cast<uint32_t>(info.BytesDone * 100u) / info.BytesTotal;
    RkStatistics now{};
    conn.readStatistics(address_, now);
    dialog_->setItemText(kProgressBytes, QStringLiteral("%1 байт из %2 (%3%)")
                                             .arg(info.BytesDone)
                                             .arg(info.BytesTotal)
                                             .arg(percent));
    dialog_->setItemText(kProgressGood, QString::number(now.GoodReplies - baseGood_));
    dialog_->setItemText(kProgressFailed, QString::number(now.BadAttempts - baseBad_));
    if (auto *bar = dialog_->control<QProgressBar>(kProgressBar)) {
      bar->setValue(static_cast<int>(std::min<uint32_t>(percent, 100)));
    }
    ui::Dialog::pumpEvents();
    return alive();
  }

 private:
  // Local names are the file system's bytes: UTF-8 as a rule, CP1251 when
  // they are not valid UTF-8; device names are CP1251.
  static QString displayName(const char *name) {
    const QString utf8 = QString::fromUtf8(name);
    if (!utf8.contains(QChar::ReplacementCharacter)) return utf8;
    return QString::fromStdString(platform::cp1251ToUtf8(name));
  }

  // "Остановить", Esc and the close box end the dialog; its owner may go too.
  bool alive() const {
    const ui::Dialog *d = dialog_.data();
    return d != nullptr && !d->isEnded();
  }

  QPointer<ui::Dialog> dialog_;
  uint32_t address_;
  uint32_t baseGood_ = 0;
  uint32_t baseBad_ = 0;
};

ProgressWindow *currentWindow = nullptr;

void closeWindow() {
  if (currentWindow == nullptr) return;
  if (threadPollObserver() == currentWindow) setThreadPollObserver(nullptr);
  delete currentWindow;
  currentWindow = nullptr;
}

// Widgets live on the application's user-interface thread only.
bool canShowWindow(void *owner) {
  return owner != nullptr &&
         qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr &&
         QThread::currentThread() == QCoreApplication::instance()->thread();
}

}  // namespace

ProgressSession::ProgressSession(void *owner, Connection &conn, uint32_t address) {
  if (!canShowWindow(owner)) return;
  closeWindow();
  currentWindow = new ProgressWindow(static_cast<QWidget *>(owner), conn, address);
  setThreadPollObserver(currentWindow);
  currentWindow->onPoll(conn);
  shown_ = true;
}

ProgressSession::~ProgressSession() {
  if (shown_) closeWindow();
}

}  // namespace rk
