#include "ui/prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStringList>
#include <vector>

namespace ui {

namespace {

QMessageBox::Icon qtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::Warning:
      return QMessageBox::Warning;
    case MessageIcon::Error:
      return QMessageBox::Critical;
    case MessageIcon::Question:
      return QMessageBox::Question;
    case MessageIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

class QtPrompts final : public Prompts {
 public:
  int message(QWidget *parent, const QString &text, const QString &caption, MessageIcon icon,
              MessageButtons buttons) override {
    QMessageBox box(qtIcon(icon),
                    caption.isEmpty() ? QApplication::applicationDisplayName() : caption, text,
                    QMessageBox::NoButton, parent);
    struct Choice {
      QMessageBox::StandardButton button;
      int id;
    };
    std::vector<Choice> choices;
    switch (buttons) {
      case MessageButtons::Ok:
        choices = {{QMessageBox::Ok, kIdOk}};
        break;
      case MessageButtons::OkCancel:
        choices = {{QMessageBox::Ok, kIdOk}, {QMessageBox::Cancel, kIdCancel}};
        break;
      case MessageButtons::YesNo:
        choices = {{QMessageBox::Yes, kIdYes}, {QMessageBox::No, kIdNo}};
        break;
      case MessageButtons::YesNoCancel:
        choices = {
            {QMessageBox::Yes, kIdYes}, {QMessageBox::No, kIdNo}, {QMessageBox::Cancel, kIdCancel}};
        break;
    }
    for (const Choice &c : choices)
      box.addButton(c.button);
    const auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
    for (const Choice &c : choices) {
      if (c.button == pressed) return c.id;
    }
    // Closed without a button: Cancel where there is one, else the only answer.
    return buttons == MessageButtons::Ok      ? kIdOk
           : buttons == MessageButtons::YesNo ? kIdNo
                                              : kIdCancel;
  }

  std::optional<QString> openFile(QWidget *parent, const FileDialogOptions &o) override {
    QFileDialog d(parent, o.title);
    prepare(d, o);
    d.setAcceptMode(QFileDialog::AcceptOpen);
    d.setFileMode(QFileDialog::ExistingFile);
    return run(d);
  }

  std::optional<QString> saveFile(QWidget *parent, const FileDialogOptions &o) override {
    QFileDialog d(parent, o.title);
    prepare(d, o);
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setFileMode(QFileDialog::AnyFile);
    return run(d);
  }

 private:
  static void prepare(QFileDialog &d, const FileDialogOptions &o) {
    if (!o.filter.isEmpty()) d.setNameFilter(toQtFilter(o.filter));
    d.setDefaultSuffix(o.defaultExtension);
    const QFileInfo initial(o.initialPath);
    if (!o.initialPath.isEmpty() && initial.isAbsolute()) {
      d.setDirectory(initial.absolutePath());
      d.selectFile(initial.fileName());
    } else {
      if (!o.initialDir.isEmpty()) d.setDirectory(o.initialDir);
      if (!o.initialPath.isEmpty()) d.selectFile(o.initialPath);
    }
  }

  static std::optional<QString> run(QFileDialog &d) {
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return std::nullopt;
    return d.selectedFiles().constFirst();
  }
};

QtPrompts &qtPrompts() {
  static QtPrompts p;
  return p;
}

Prompts *current = nullptr;

}  // namespace

Prompts &prompts() {
  return current ? *current : qtPrompts();
}

Prompts *setPrompts(Prompts *p) {
  Prompts *old = current ? current : &qtPrompts();
  current = p;
  return old;
}

QString toQtFilter(const QString &filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  static const QRegularExpression trailingPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty() && parts[i + 1].isEmpty()) break;  // the closing "||"
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    QStringList list = patterns.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString &p : list) {
      if (p == QLatin1String("*.*")) p = QStringLiteral("*");
    }
    QString description = parts[i];
    description.remove(trailingPatterns);
    entries << QStringLiteral("%1 (%2)").arg(description, list.join(QLatin1Char(' ')));
  }
  return entries.join(QStringLiteral(";;"));
}

}  // namespace ui
