// Helpers of widget tests that drive modal dialogs and keep pictures of them.
#pragma once

#include <QApplication>
#include <QDir>
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

}  // namespace testsupport
