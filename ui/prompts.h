// Message boxes and file dialogs behind one small interface, so that tests can
// answer them and read what they showed. Code calls ui::prompts(); the program
// uses the Qt implementation, a test installs its own with ui::setPrompts.
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace ui {

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };

// Answers of a message box, with the platform's numbers.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

struct FileDialogOptions {
  QString title;             // empty: the toolkit's "Open" or "Save As"
  QString initialPath;       // proposed file name, may include a directory
  QString initialDir;        // directory shown first when initialPath has none
  QString defaultExtension;  // added to a name typed without one, e.g. "cf"
  QString filter;            // "desc|pattern|desc|pattern||", empty for all files
};

class Prompts {
 public:
  virtual ~Prompts() = default;

  // Shows text and returns the id of the button pressed. An empty caption
  // shows the application's name.
  virtual int message(QWidget *parent, const QString &text, const QString &caption,
                      MessageIcon icon, MessageButtons buttons) = 0;
  // The chosen existing file, or nothing when the user cancelled.
  virtual std::optional<QString> openFile(QWidget *parent, const FileDialogOptions &options) = 0;
  // The chosen file to write (overwriting an existing one confirmed by the
  // user), or nothing when the user cancelled.
  virtual std::optional<QString> saveFile(QWidget *parent, const FileDialogOptions &options) = 0;
};

// The prompts in use: the Qt implementation unless a test installed another.
Prompts &prompts();
// Installs p (not owned; null restores the Qt implementation) and returns the
// previous one.
Prompts *setPrompts(Prompts *p);

// The usual message: an exclamation mark and an OK button.
inline int messageBox(QWidget *parent, const QString &text) {
  return prompts().message(parent, text, QString(), MessageIcon::Warning, MessageButtons::Ok);
}

// Turns a filter of "desc|pattern|...||" pairs into the toolkit's form
// "desc (pattern);;...". A trailing "(...)" in a description is replaced by
// the pattern; "*.*" becomes "*" so that names without a dot match too.
QString toQtFilter(const QString &filter);

}  // namespace ui
