#include "dialogs/tool_tip.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>
#include <QToolTip>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>

namespace dialogs {

namespace {

QString displayText(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

// Where a mouse event happened, in global coordinates.
QPoint globalPos(QEvent *event) {
  if (event->type() == QEvent::Wheel)
    return static_cast<QWheelEvent *>(event)->globalPosition().toPoint();
  return static_cast<QMouseEvent *>(event)->globalPosition().toPoint();
}

}  // namespace

ToolTip::ToolTip(QWidget *owner)
    : QObject(owner), owner_(owner), tip_(new QLabel(owner, Qt::ToolTip)) {
  tip_->setObjectName(QStringLiteral("toolTip"));
  tip_->setTextFormat(Qt::PlainText);
  tip_->setWordWrap(true);
  tip_->setForegroundRole(QPalette::ToolTipText);
  tip_->setBackgroundRole(QPalette::ToolTipBase);
  tip_->setPalette(QToolTip::palette());
  tip_->setFont(QToolTip::font());
  tip_->setFrameStyle(QFrame::Box | QFrame::Plain);
  tip_->setMargin(1 + tip_->style()->pixelMetric(QStyle::PM_ToolTipLabelFrameWidth, nullptr, tip_));
  tip_->setAutoFillBackground(true);
  tip_->setAttribute(Qt::WA_ShowWithoutActivating);
  wakeUp_.setSingleShot(true);
  wakeUp_.setInterval(tip_->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, tip_));
  connect(&wakeUp_, &QTimer::timeout, this, [this] { show(); });
  owner_->installEventFilter(this);  // a hidden or closed owner takes its tip along
}

ToolTip::~ToolTip() = default;

void ToolTip::setMaxTipWidth(int pixels) {
  maxWidth_ = pixels;
  const QMargins m = tip_->contentsMargins();
  const int frame = 2 * (tip_->frameWidth() + tip_->margin()) + m.left() + m.right();
  tip_->setMaximumWidth(pixels < 0 ? QWIDGETSIZE_MAX : pixels + frame);
}

void ToolTip::addTool(QWidget *tool, const QString &text) {
  tools_[tool] = text;
}

void ToolTip::updateTipText(QWidget *tool, const QString &text) {
  const auto it = tools_.find(tool);
  if (it == tools_.end()) return;
  it->second = text;
  if (shown_ == tool) {
    tip_->setText(displayText(text));
    tip_->adjustSize();
  }
}

QString ToolTip::tipText(QWidget *tool) const {
  const auto it = tools_.find(tool);
  return it == tools_.end() ? QString() : it->second;
}

void ToolTip::activate(bool active) {
  active_ = active;
  if (!active) hide();
}

bool ToolTip::isTipShown() const {
  return tip_->isVisible();
}

QWidget *ToolTip::toolAt(const QPoint &global) const {
  for (const auto &[tool, text] : tools_) {
    if (tool->isVisible() && tool->rect().contains(tool->mapFromGlobal(global))) return tool;
  }
  return nullptr;
}

void ToolTip::relayEvent(QWidget *receiver, QEvent *event) {
  if (!active_ || !receiver) return;
  switch (event->type()) {
    case QEvent::MouseMove: {
      cursor_ = globalPos(event);
      QWidget *tool = toolAt(cursor_);
      // The tip stays, and the wait for it goes on, while the mouse stays on its tool.
      if (tool && (tool == shown_ || (tool == pending_ && wakeUp_.isActive()))) return;
      hide();
      pending_ = tool;
      if (tool) wakeUp_.start();
      return;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
      // A click or a turn of the wheel puts the tip away until the mouse
      // rests over a tool again.
      cursor_ = globalPos(event);
      hide();
      return;
    default:
      return;
  }
}

void ToolTip::show() {
  if (!active_ || !pending_ || tools_.count(pending_) == 0) return;
  const QString text = tools_[pending_];
  if (text.isEmpty()) return;
  shown_ = pending_;
  tip_->setText(displayText(text));
  tip_->adjustSize();
  // Below and right of the pointer, kept on its screen.
  QPoint at = cursor_ + QPoint(2, 16);
  if (const QScreen *screen = QGuiApplication::screenAt(cursor_)) {
    const QRect area = screen->availableGeometry();
    at.setX(std::max(area.left(), std::min(at.x(), area.right() - tip_->width())));
    if (at.y() + tip_->height() > area.bottom()) at.setY(cursor_.y() - tip_->height() - 4);
  }
  tip_->move(at);
  tip_->show();
}

void ToolTip::hide() {
  wakeUp_.stop();
  pending_ = nullptr;
  shown_ = nullptr;
  tip_->hide();
}

bool ToolTip::eventFilter(QObject *watched, QEvent *event) {
  if (watched == owner_ &&
      (event->type() == QEvent::Hide || event->type() == QEvent::WindowDeactivate)) {
    hide();
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace dialogs
