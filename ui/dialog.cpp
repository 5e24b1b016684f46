#include "ui/dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

#include "ui/controls.h"
#include "ui/spin_button.h"

namespace ui {

namespace {

QFont templateFont(const FontSpec &f) {
  QFont font(QString::fromUtf8(f.face.data(), static_cast<qsizetype>(f.face.size())));
  font.setPointSize(f.pointSize);
  return font;
}

Qt::WindowFlags flagsFor(DialogStyle s) {
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (s & SysMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (s & MinimizeBox) flags |= Qt::WindowMinimizeButtonHint;
  return flags;
}

// Controls that show or take a value and are known to assistive technology
// by their label.
bool takesLabel(const ControlTemplate &c) {
  switch (c.kind) {
    case Kind::Edit:
    case Kind::ComboList:
    case Kind::ComboEdit:
    case Kind::ListBox:
    case Kind::CheckList:
    case Kind::ProgressBar:
    case Kind::Custom:
      return true;
    case Kind::Static:
      return (c.style & Sunken) != 0;
    default:
      return false;
  }
}

bool isLabel(const ControlTemplate &c) {
  return c.kind == Kind::GroupBox || (c.kind == Kind::Static && !(c.style & Sunken));
}

// A label's text as a name: without mnemonic marks and a closing colon.
QString nameOf(QString text) {
  text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
  text.remove(QLatin1Char('&'));
  text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
  text = text.trimmed();
  if (text.endsWith(QLatin1Char(':'))) text.chop(1);
  return text.trimmed();
}

QString labelText(const QWidget *label) {
  if (const auto *group = qobject_cast<const QGroupBox *>(label)) return group->title();
  return label->property("text").toString();
}

}  // namespace

Dialog::Dialog(const DialogTemplate &tmpl, QWidget *parent)
    : QDialog(parent, flagsFor(tmpl.style)), tmpl_(tmpl), units_(templateFont(tmpl.font)) {
  setObjectName(QString::number(tmpl.id));
  setFont(templateFont(tmpl.font));
  setWindowTitle(
      QString::fromUtf8(tmpl.caption.data(), static_cast<qsizetype>(tmpl.caption.size())));
  setFixedSize(units_.toPixels(tmpl.size));
  realise();
}

Dialog::~Dialog() = default;

void Dialog::realise() {
  QWidget *previous = nullptr;
  QButtonGroup *radios = nullptr;
  std::vector<std::pair<QLabel *, std::size_t>> mnemonicLabels;
  QWidget *lastLabel = nullptr;  // the last static text or group box
  std::vector<QWidget *> widgets;
  widgets.reserve(tmpl_.controls.size());

  for (const ControlTemplate &c : tmpl_.controls) {
    QWidget *w = createControl(c, units_, this);
    widgets.push_back(w);
    if (c.id != kNoId && !items_.emplace(c.id, w).second) {
      qWarning("ui: dialog %d has control id %d twice", tmpl_.id, c.id);
    }
    if (c.kind == Kind::DefPushButton && defaultId_ == 0) defaultId_ = c.id;

    if (c.kind == Kind::RadioButton) {
      if (!radios || (c.style & Group)) radios = new QButtonGroup(this);
      radios->addButton(static_cast<QRadioButton *>(w));
    } else {
      radios = nullptr;
    }
    if (c.kind == Kind::SpinButton && (c.style & AutoBuddy)) {
      static_cast<SpinButton *>(w)->setBuddy(qobject_cast<QLineEdit *>(previous));
    }
    if (c.kind == Kind::Static && !(c.style & NoPrefix) && hasMnemonic(c.text)) {
      mnemonicLabels.emplace_back(static_cast<QLabel *>(w), widgets.size());
    }
    if (isLabel(c)) {
      lastLabel = w;
    } else if (lastLabel && takesLabel(c)) {
      labelled_[lastLabel].push_back(w);
    }
    connectCommands(w, c);
    previous = w;
  }
  for (const auto &entry : labelled_)
    nameAfterLabel(entry.first);

  // A label's mnemonic moves the focus to the next control that takes it.
  for (auto [label, next] : mnemonicLabels) {
    for (std::size_t i = next; i < widgets.size(); ++i) {
      if (widgets[i]->focusPolicy() & Qt::TabFocus) {
        label->setTextFormat(Qt::PlainText);
        label->setBuddy(widgets[i]);
        break;
      }
    }
  }
}

void Dialog::connectCommands(QWidget *w, const ControlTemplate &c) {
  const int id = c.id;
  auto command = [this, id](Notification n) { return [this, id, n] { onCommand(id, n); }; };
  switch (c.kind) {
    case Kind::PushButton:
    case Kind::DefPushButton:
    case Kind::CheckBox:
    case Kind::RadioButton:
      connect(static_cast<QAbstractButton *>(w), &QAbstractButton::clicked, this,
              command(Notification::Clicked));
      break;
    case Kind::Edit:
      connect(static_cast<QLineEdit *>(w), &QLineEdit::textChanged, this,
              command(Notification::Changed));
      break;
    case Kind::ComboList:
    case Kind::ComboEdit: {
      auto *cb = static_cast<QComboBox *>(w);
      connect(cb, &QComboBox::activated, this, command(Notification::SelectionChanged));
      if (cb->lineEdit()) {
        connect(cb->lineEdit(), &QLineEdit::textEdited, this, command(Notification::Changed));
      }
      break;
    }
    case Kind::ListBox:
    case Kind::CheckList: {
      auto *list = static_cast<QListWidget *>(w);
      connect(list, &QListWidget::currentRowChanged, this, command(Notification::SelectionChanged));
      connect(list, &QListWidget::itemChanged, this, command(Notification::Changed));
      break;
    }
    case Kind::SpinButton:
      connect(static_cast<SpinButton *>(w), &SpinButton::stepped, this,
              command(Notification::Changed));
      break;
    default:
      break;
  }
}

void Dialog::nameAfterLabel(QWidget *label) {
  const auto it = labelled_.find(label);
  if (it == labelled_.end()) return;
  const QString name = nameOf(labelText(label));
  for (QWidget *w : it->second)
    w->setAccessibleName(name);
}

QWidget *Dialog::item(int id) const {
  const auto it = items_.find(id);
  return it == items_.end() ? nullptr : it->second;
}

void Dialog::setItemText(int id, const QString &text) {
  QWidget *w = item(id);
  if (!w) return;
  if (auto *group = qobject_cast<QGroupBox *>(w)) {
    if (group->title() != text) {
      group->setTitle(text);
      nameAfterLabel(w);
    }
  } else if (auto *cb = qobject_cast<QComboBox *>(w)) {
    if (cb->isEditable() && cb->currentText() != text) cb->setEditText(text);
  } else if (w->property("text").toString() != text) {
    w->setProperty("text", text);
    nameAfterLabel(w);
  }
}

QString Dialog::itemText(int id) const {
  QWidget *w = item(id);
  if (!w) return {};
  if (auto *group = qobject_cast<QGroupBox *>(w)) return group->title();
  if (auto *cb = qobject_cast<QComboBox *>(w)) return cb->currentText();
  return w->property("text").toString();
}

void Dialog::setItemChecked(int id, bool checked) {
  if (auto *b = control<QAbstractButton>(id)) b->setChecked(checked);
}

bool Dialog::isItemChecked(int id) const {
  const auto *b = control<QAbstractButton>(id);
  return b && b->isChecked();
}

void Dialog::enableItem(int id, bool enabled) {
  QWidget *w = item(id);
  if (!w) return;
  // A control disabled while it has the focus leaves the focus with the
  // dialog; Qt would hand it to the next control, where an edit would then
  // count as being typed in.
  const QWidget *focused = focusWidget();
  if (!enabled && focused && (focused == w || w->isAncestorOf(focused))) {
    setFocus(Qt::OtherFocusReason);
  }
  w->setEnabled(enabled);
}

bool Dialog::isItemEnabled(int id) const {
  const QWidget *w = item(id);
  return w && w->isEnabled();
}

void Dialog::showItem(int id, bool shown) {
  if (QWidget *w = item(id)) w->setVisible(shown);
}

bool Dialog::isItemShown(int id) const {
  const QWidget *w = item(id);
  return w && !w->isHidden();
}

void Dialog::setTimer(int id, int periodMs) {
  std::unique_ptr<QTimer> &t = timers_[id];
  if (!t) {
    t = std::make_unique<QTimer>();
    connect(t.get(), &QTimer::timeout, this, [this, id] { onTimer(id); });
  }
  t->start(periodMs);
}

void Dialog::stopTimer(int id) {
  const auto it = timers_.find(id);
  if (it != timers_.end()) it->second->stop();
}

bool Dialog::isTimerActive(int id) const {
  const auto it = timers_.find(id);
  return it != timers_.end() && it->second->isActive();
}

void Dialog::setDefaultId(int id) {
  if (auto *old = control<QPushButton>(defaultId_)) old->setDefault(false);
  defaultId_ = id;
  if (auto *b = control<QPushButton>(id)) b->setDefault(true);
}

void Dialog::initOnce() {
  if (initialised_) return;
  initialised_ = true;
  if ((tmpl_.style & Centered) || !parentWidget()) {
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
      QRect frame(QPoint(), size());
      frame.moveCenter(screen->availableGeometry().center());
      move(frame.topLeft());
    }
  }
  onInit();
}

int Dialog::runModal() {
  ended_ = false;
  initOnce();
  if (ended_) return result();  // ended by onInit
  return exec();
}

void Dialog::showModeless() {
  ended_ = false;
  initOnce();
  if (ended_) return;
  setWindowModality(Qt::ApplicationModal);
  show();
  raise();
}

void Dialog::pumpEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void Dialog::endDialog(int code) {
  ended_ = true;
  for (auto &[id, timer] : timers_)
    timer->stop();
  done(code);
}

void Dialog::onCommand(int id, Notification n) {
  if ((id == 1 || id == 2) && n == Notification::Clicked) endDialog(id);
}

void Dialog::onTimer(int) {}

void Dialog::accept() {
  onCommand(1, Notification::Clicked);
}

void Dialog::reject() {
  onCommand(2, Notification::Clicked);
}

void Dialog::keyPressEvent(QKeyEvent *event) {
  const int key = event->key();
  const bool plain = !(event->modifiers() & (Qt::AltModifier | Qt::ControlModifier));
  if (key == Qt::Key_Escape && plain) {
    onCommand(2, Notification::Clicked);
    return;
  }
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && plain) {
    auto *focused = qobject_cast<QPushButton *>(focusWidget());
    if (focused && focused->isEnabled() && isAncestorOf(focused)) {
      focused->click();
    } else if (defaultId_ != 0) {
      const QWidget *def = item(defaultId_);
      if (!def || def->isEnabled()) onCommand(defaultId_, Notification::Clicked);
    } else {
      onCommand(1, Notification::Clicked);
    }
    return;
  }
  QWidget::keyPressEvent(event);  // not QDialog's: it would handle Esc and Enter its own way
}

void Dialog::closeEvent(QCloseEvent *event) {
  if (ended_) {
    event->accept();
    return;
  }
  const QWidget *cancel = item(2);
  if (!cancel || cancel->isEnabled()) onCommand(2, Notification::Clicked);
  if (ended_) {
    event->accept();
  } else {
    event->ignore();
  }
}

void Dialog::showEvent(QShowEvent *event) {
  initOnce();
  QDialog::showEvent(event);
  if (!focusWidget()) focusFirstEdit();
}

void Dialog::focusFirstEdit() {
  // As the platform's dialogs open: the first control that Tab reaches takes
  // the focus, and an edit there has its whole text selected, so that typing
  // replaces the value shown instead of adding to it. Other first controls
  // are left to Qt, which focuses them the same way.
  for (QWidget *w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain()) {
    if (!(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled() || !w->isVisibleTo(this)) continue;
    if (auto *edit = qobject_cast<QLineEdit *>(w)) {
      edit->setFocus(Qt::TabFocusReason);
      edit->selectAll();
    }
    return;
  }
}

}  // namespace ui
