// A tooltip control for a dialog: it knows tools (controls) and their texts,
// and shows a tool's text in a tip window when the mouse rests over it. Like
// the platform's tooltip controls it learns about the mouse only from the
// events its owner relays to it (relayEvent), so the owner decides which
// mouse events count. The tip breaks only at its line ends and at the
// maximum width; its look and timing are the desktop's tooltip style.
#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <map>

class QEvent;
class QLabel;
class QWidget;

namespace dialogs {

class ToolTip : public QObject {
 public:
  // The tip window belongs to `owner` and goes with it.
  explicit ToolTip(QWidget *owner);
  ~ToolTip() override;

  // Widest a tip may be, in pixels; a longer line breaks at a blank.
  void setMaxTipWidth(int pixels);
  int maxTipWidth() const { return maxWidth_; }
  // Registers `tool` with its text (CR LF or LF between lines).
  void addTool(QWidget *tool, const QString &text);
  void updateTipText(QWidget *tool, const QString &text);
  QString tipText(QWidget *tool) const;
  // An inactive tooltip shows nothing.
  void activate(bool active);

  // A mouse event (press, release, double click, move, wheel) that reached
  // `receiver`; other events are ignored.
  void relayEvent(QWidget *receiver, QEvent *event);

  // The tip window, shown or not; its text is the shown tool's text.
  QLabel *tipWindow() const { return tip_; }
  bool isTipShown() const;

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  QWidget *toolAt(const QPoint &global) const;
  void show();
  void hide();

  QWidget *owner_;
  QLabel *tip_;
  QTimer wakeUp_;
  std::map<QWidget *, QString> tools_;
  QPointer<QWidget> pending_;  // the tool the mouse rests over
  QPointer<QWidget> shown_;    // the tool whose tip is shown
  QPoint cursor_;              // global position of the last move
  int maxWidth_ = -1;
  bool active_ = false;
};

}  // namespace dialogs
