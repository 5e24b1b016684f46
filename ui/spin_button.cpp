#include "ui/spin_button.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace ui {

SpinButton::SpinButton(QWidget *parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (QToolButton *b : {up_, down_}) {
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout->addWidget(b);
  }
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  connect(up_, &QToolButton::clicked, this, [this] { step(+1); });
  connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
}

void SpinButton::setBuddy(QLineEdit *edit) {
  if (buddy_) buddy_->removeEventFilter(this);
  buddy_ = edit;
  if (!buddy_) return;
  buddy_->installEventFilter(this);
  QRect r = buddy_->geometry();
  const int w = std::clamp(width(), 12, std::max(12, r.width() / 2));
  r.setWidth(r.width() - w);
  buddy_->setGeometry(r);
  setGeometry(r.right() + 1, r.top(), w, r.height());
  // A number already in the buddy becomes the position; otherwise the
  // position is written into it.
  if (const auto v = pos()) {
    last_ = *v;
  } else {
    setPos(last_);
  }
}

void SpinButton::setRange(int lo, int hi) {
  lo_ = std::min(lo, hi);
  hi_ = std::max(lo, hi);
  last_ = std::clamp(last_, lo_, hi_);
}

void SpinButton::setPos(int value) {
  last_ = std::clamp(value, lo_, hi_);
  if (buddy_) buddy_->setText(QString::number(last_));
}

std::optional<int> SpinButton::pos() const {
  if (!buddy_) return last_;
  bool ok = false;
  const int v = buddy_->text().trimmed().toInt(&ok);
  if (!ok || v < lo_ || v > hi_) return std::nullopt;
  return v;
}

void SpinButton::step(int delta) {
  const int from = pos().value_or(last_);
  const int to = std::clamp(from + delta, lo_, hi_);
  setPos(to);
  emit stepped(to);
}

bool SpinButton::eventFilter(QObject *watched, QEvent *event) {
  if (watched == buddy_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      if (isEnabled()) step(key == Qt::Key_Up ? +1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace ui
