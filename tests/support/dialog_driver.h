// Helpers of widget tests that drive modal dialogs and keep pictures of them.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

#include "ui/dialog.h"

#include "tests/support/qt_app.h"

namespace testsupport {

// Saves a picture of `w` as <build>/artifacts/<name>.png, for a person to
// look at after the run; true when the file was written.
inline bool saveScreenshot(QWidget *w, const QString &name) {
  const QString dir = QStringLiteral(SENTUNE_TEST_ARTIFACTS);
  QDir().mkpath(dir);
  return w->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

// Runs `act` on the next modal dialog of class T, from inside its modal loop,
// once it is shown; a caller then opens the dialog (a click, a key) and gets
// control back when the dialog has ended. Returns through `found` whether
// such a dialog appeared within the time-out (act does not run otherwise).
template <class T>
void whenModal(std::function<void(T &)> act, bool *found = nullptr, int timeoutMs = 30000) {
  QTimer::singleShot(0, [act = std::move(act), found, timeoutMs] {
    T *dialog = nullptr;
    const bool seen = waitUntil(
        [&] {
          dialog = dynamic_cast<T *>(QApplication::activeModalWidget());
          return dialog != nullptr && dialog->isVisible();
        },
        timeoutMs);
    if (found) *found = seen;
    if (seen) act(*dialog);
  });
}

// Ids of the shown edits, lists, value boxes and custom controls of `d` that
// assistive technology would announce without a name.
inline std::vector<int> unnamedControls(const ui::Dialog &d) {
  std::vector<int> unnamed;
  for (const ui::ControlTemplate &c : d.dialogTemplate().controls) {
    const bool value = c.kind == ui::Kind::Edit || c.kind == ui::Kind::ComboList ||
                       c.kind == ui::Kind::ComboEdit || c.kind == ui::Kind::ListBox ||
                       c.kind == ui::Kind::CheckList || c.kind == ui::Kind::Custom ||
                       (c.kind == ui::Kind::Static && (c.style & ui::Sunken));
    const QWidget *w = d.item(c.id);
    if (value && w && !w->isHidden() && w->accessibleName().isEmpty()) unnamed.push_back(c.id);
  }
  return unnamed;
}

// What a user does to enter a value: clicks into the field (the edit part of
// a combo box), replaces its text by typing and presses Enter. False, with
// nothing typed, when the click did not give the field the focus.
inline bool enterText(QWidget *field, const QString &text) {
  QWidget *target = field;
  if (auto *combo = qobject_cast<QComboBox *>(field); combo && combo->lineEdit()) {
    target = combo->lineEdit();
  }
  // A window system makes a dialog that just opened the active window; the
  // offscreen platform may leave its owner active.
  QWidget *window = field->window();
  if (QApplication::activeWindow() != window) window->activateWindow();
  if (!waitUntil([window] { return QApplication::activeWindow() == window; })) return false;
  QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, QPoint(5, target->height() / 2));
  QWidget *focus = QApplication::focusWidget();
  if (focus != field && focus != target) return false;
  QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(focus, text);
  QTest::keyClick(focus, Qt::Key_Return);
  return true;
}

}  // namespace testsupport
