#include "ui/controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtGlobal>

#include "ui/custom_widget.h"
#include "ui/spin_button.h"

namespace ui {

namespace {

QString qs(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

bool has(Style style, Style flag) {
  return (style & flag) != 0;
}

// Check boxes and radio buttons answer a click anywhere in their rectangle,
// not only on the box and the text.
template <class Button>
class WholeArea : public Button {
 public:
  using Button::Button;

 protected:
  bool hitButton(const QPoint &pos) const override { return this->rect().contains(pos); }
};

QLabel *makeStatic(const ControlTemplate &c, QWidget *parent) {
  auto *label = new QLabel(parent);
  label->setTextFormat(Qt::PlainText);
  Qt::Alignment h = has(c.style, Center)  ? Qt::AlignHCenter
                    : has(c.style, Right) ? Qt::AlignRight
                                          : Qt::AlignLeft;
  label->setAlignment(h | (has(c.style, VCenter) ? Qt::AlignVCenter : Qt::AlignTop));
  label->setWordWrap(!has(c.style, VCenter));
  if (has(c.style, Sunken)) {
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setLineWidth(1);
    label->setIndent(2);
  }
  label->setText(qs(c.text));
  return label;
}

QWidget *makeWidget(const ControlTemplate &c, QWidget *parent) {
  switch (c.kind) {
    case Kind::PushButton:
    case Kind::DefPushButton: {
      auto *b = new QPushButton(qs(c.text), parent);
      b->setAutoDefault(false);
      b->setDefault(c.kind == Kind::DefPushButton);
      return b;
    }
    case Kind::GroupBox:
      return new QGroupBox(qs(c.text), parent);
    case Kind::Static:
      return makeStatic(c, parent);
    case Kind::Picture: {
      auto *l = new QLabel(parent);
      l->setAlignment(Qt::AlignCenter);
      return l;
    }
    case Kind::Edit: {
      auto *e = new QLineEdit(qs(c.text), parent);
      e->setReadOnly(has(c.style, ReadOnly));
      if (has(c.style, Center)) e->setAlignment(Qt::AlignHCenter);
      if (has(c.style, Right)) e->setAlignment(Qt::AlignRight);
      return e;
    }
    case Kind::CheckBox:
      return new WholeArea<QCheckBox>(qs(c.text), parent);
    case Kind::RadioButton: {
      auto *r = new WholeArea<QRadioButton>(qs(c.text), parent);
      r->setAutoExclusive(false);  // groups are formed by the dialog
      return r;
    }
    case Kind::ComboList:
    case Kind::ComboEdit: {
      auto *cb = new QComboBox(parent);
      cb->setEditable(c.kind == Kind::ComboEdit);
      cb->setInsertPolicy(QComboBox::NoInsert);
      return cb;
    }
    case Kind::ListBox:
    case Kind::CheckList:
      return new QListWidget(parent);
    case Kind::ProgressBar: {
      auto *p = new QProgressBar(parent);
      p->setRange(0, 100);
      p->setValue(0);
      p->setTextVisible(false);
      return p;
    }
    case Kind::SpinButton:
      return new SpinButton(parent);
    case Kind::Custom:
      if (QWidget *w = createRegisteredWidget(c.widgetClass, parent)) return w;
      qWarning("ui: no widget class '%.*s' registered for control %d",
               static_cast<int>(c.widgetClass.size()), c.widgetClass.data(), c.id);
      return new QFrame(parent);
  }
  return new QFrame(parent);
}

bool takesFocus(Kind k) {
  switch (k) {
    case Kind::PushButton:
    case Kind::DefPushButton:
    case Kind::Edit:
    case Kind::CheckBox:
    case Kind::RadioButton:
    case Kind::ComboList:
    case Kind::ComboEdit:
    case Kind::ListBox:
    case Kind::CheckList:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool hasMnemonic(std::string_view text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] != '&') return true;
    ++i;  // "&&" is a literal ampersand
  }
  return false;
}

QWidget *createControl(const ControlTemplate &c, const DialogUnits &units, QWidget *parent) {
  QWidget *w = makeWidget(c, parent);
  if (c.id != kNoId) w->setObjectName(QString::number(c.id));
  QRect r = units.toPixels(c.rect);
  if (qobject_cast<QComboBox *>(w)) {
    // The template's height includes the dropped-down list (custom combo
    // boxes too).
    r.setHeight(std::min(r.height(), w->sizeHint().height()));
  }
  w->setGeometry(r);
  if (takesFocus(c.kind)) {
    w->setFocusPolicy(has(c.style, NoTabStop) ? Qt::ClickFocus : Qt::StrongFocus);
  }
  if (has(c.style, Disabled)) w->setEnabled(false);
  if (has(c.style, Hidden)) w->setVisible(false);
  return w;
}

}  // namespace ui
