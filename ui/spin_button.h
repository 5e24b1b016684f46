// Up/down arrows that step a whole number shown in a buddy edit, within a
// range. The number lives in the buddy's text, so typing and stepping change
// the same value; the Up and Down keys in the buddy step it too.
#pragma once

#include <QWidget>
#include <optional>

class QLineEdit;
class QToolButton;

namespace ui {

class SpinButton : public QWidget {
  Q_OBJECT

 public:
  explicit SpinButton(QWidget *parent = nullptr);

  // Attaches the edit: the arrows move to its right edge, inside its former
  // width. A number in range in its text becomes the position; any other
  // text is replaced by the position.
  void setBuddy(QLineEdit *edit);
  QLineEdit *buddy() const { return buddy_; }

  void setRange(int lo, int hi);
  int minimum() const { return lo_; }
  int maximum() const { return hi_; }

  // Clamps to the range and writes the buddy's text.
  void setPos(int value);
  // The buddy's number, or nothing when its text is not a whole number inside
  // the range (an empty box, letters, a typed 300 for 0-247).
  std::optional<int> pos() const;

  // One step up (+1) or down (-1) from the buddy's number; an unreadable
  // text steps from the last position set.
  void step(int delta);

 signals:
  // The user stepped the position with the arrows or keys.
  void stepped(int value);

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  QLineEdit *buddy_ = nullptr;
  QToolButton *up_;
  QToolButton *down_;
  int lo_ = 0;
  int hi_ = 100;
  int last_ = 0;
};

}  // namespace ui
