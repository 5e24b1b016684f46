// A dialog realised from a template (ui/template.h) as Qt widgets.
//
// Every control becomes a widget whose objectName is its decimal id; code finds
// it with item(id) or control<T>(id). User actions arrive as onCommand(id,
// notification), timers started with setTimer(id, ms) as onTimer(id). The
// keyboard behaves as in the dialogs of the original platform: Enter sends the
// command of the focused push button, else of the default button, else 1; Esc
// sends 2; the close box sends 2 unless control 2 exists and is disabled. As
// it opens, an edit that is the first control Tab reaches takes the focus with
// its whole text selected (unless onInit gave the focus elsewhere). The
// default onCommand ends the dialog on 1 and 2 with that id as its end code.
//
// Assistive technology: every edit, list, value box (sunken static), progress
// bar and custom control is named after its label, the nearest static text or
// group box title before it in the template; a label whose text code changes
// renames its controls.
//
// Modal:    MyDialog d(parent); int code = d.runModal();
// Modeless: d.showModeless(); then, on the owning thread, d.pumpEvents() from
//           time to time (a window whose thread is busy elsewhere).
#pragma once

#include <QDialog>
#include <QString>
#include <map>
#include <memory>
#include <vector>

#include "ui/dialog_units.h"
#include "ui/template.h"

class QTimer;

namespace ui {

enum class Notification {
  Clicked,           // button pressed, check box or radio button clicked by the user
  Changed,           // edit text changed (by the user or by code), spin stepped,
                     // a list item's check box changed
  SelectionChanged,  // the user picked a row of a combo box or list
};

class Dialog : public QDialog {
  Q_OBJECT

 public:
  explicit Dialog(const DialogTemplate &tmpl, QWidget *parent = nullptr);
  ~Dialog() override;

  const DialogTemplate &dialogTemplate() const { return tmpl_; }
  const DialogUnits &units() const { return units_; }

  // Shows the dialog modally and returns the code given to endDialog.
  int runModal();
  // Shows the dialog without a modal loop. While it is shown, no other window
  // of the program takes input, as when its thread is busy with the work the
  // dialog reports on. The owner calls pumpEvents() to let it respond.
  void showModeless();
  // Handles the events waiting for this thread (input reaches this dialog
  // only, see showModeless) and returns at once.
  static void pumpEvents();

  // Ends the dialog: a modal run returns code, a modeless dialog is hidden.
  void endDialog(int code);
  // True once endDialog ran (also for a modeless dialog), until it is shown again.
  bool isEnded() const { return ended_; }

  // The control with this id, or null.
  QWidget *item(int id) const;
  template <class W>
  W *control(int id) const {
    return qobject_cast<W *>(item(id));
  }

  // Convenience for the usual control states; unknown ids are ignored.
  // setItemText leaves a control alone whose text is already that text.
  void setItemText(int id, const QString &text);
  QString itemText(int id) const;
  void setItemChecked(int id, bool checked);
  bool isItemChecked(int id) const;
  // Disabling the control with the focus leaves the focus with the dialog.
  void enableItem(int id, bool enabled);
  bool isItemEnabled(int id) const;
  void showItem(int id, bool shown);
  bool isItemShown(int id) const;  // shown by the dialog (true even while the dialog is hidden)

  // Starts (or restarts) timer id with the given period; onTimer(id) follows.
  void setTimer(int id, int periodMs);
  void stopTimer(int id);
  bool isTimerActive(int id) const;

  // Sends a command as if the user had caused it.
  void sendCommand(int id, Notification n = Notification::Clicked) { onCommand(id, n); }

  // The id of the button Enter presses when no push button has the focus,
  // 0 for none (then Enter sends command 1).
  int defaultId() const { return defaultId_; }
  void setDefaultId(int id);

 protected:
  // Runs once before the dialog is first shown, like an init-dialog handler.
  virtual void onInit() {}
  virtual void onCommand(int id, Notification n);
  virtual void onTimer(int id);

  void keyPressEvent(QKeyEvent *event) override;
  void closeEvent(QCloseEvent *event) override;
  void showEvent(QShowEvent *event) override;

 public slots:
  void accept() override;
  void reject() override;

 private:
  void realise();
  void connectCommands(QWidget *w, const ControlTemplate &c);
  void nameAfterLabel(QWidget *label);
  void initOnce();
  void focusFirstEdit();

  const DialogTemplate &tmpl_;
  DialogUnits units_;
  std::map<int, QWidget *> items_;
  std::map<QWidget *, std::vector<QWidget *>> labelled_;  // label -> the controls it names
  std::map<int, std::unique_ptr<QTimer>> timers_;
  int defaultId_ = 0;
  bool initialised_ = false;
  bool ended_ = false;
};

}  // namespace ui
