// A stand-in for message boxes and file dialogs: answers from queues and
// records what would have been shown. Install it with PromptsScope.
#pragma once

#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "ui/prompts.h"

namespace testsupport {

class ScriptedPrompts : public ui::Prompts {
 public:
  struct Message {
    QString text;
    QString caption;
    ui::MessageIcon icon;
    ui::MessageButtons buttons;
  };
  struct FileRequest {
    bool save;
    ui::FileDialogOptions options;
  };

  // Answers in order; an empty queue answers OK, or cancels a file dialog,
  // and so does a null QString() among the file answers.
  std::deque<int> messageAnswers;
  std::deque<QString> fileAnswers;

  std::vector<Message> messages;
  std::vector<FileRequest> files;

  int message(QWidget *, const QString &text, const QString &caption, ui::MessageIcon icon,
              ui::MessageButtons buttons) override {
    messages.push_back({text, caption, icon, buttons});
    return pop(messageAnswers, ui::kIdOk);
  }
  std::optional<QString> openFile(QWidget *, const ui::FileDialogOptions &o) override {
    files.push_back({false, o});
    return nextFile();
  }
  std::optional<QString> saveFile(QWidget *, const ui::FileDialogOptions &o) override {
    files.push_back({true, o});
    return nextFile();
  }

 private:
  template <class T>
  static T pop(std::deque<T> &q, const T &otherwise) {
    if (q.empty()) return otherwise;
    T v = std::move(q.front());
    q.pop_front();
    return v;
  }
  std::optional<QString> nextFile() {
    const QString answer = pop(fileAnswers, QString());
    if (answer.isNull()) return std::nullopt;
    return answer;
  }
};

// Installs prompts for the scope's lifetime.
class PromptsScope {
 public:
  explicit PromptsScope(ui::Prompts &p) : previous_(ui::setPrompts(&p)) {}
  ~PromptsScope() { ui::setPrompts(previous_); }
  PromptsScope(const PromptsScope &) = delete;
  PromptsScope &operator=(const PromptsScope &) = delete;

 private:
  ui::Prompts *previous_;
};

}  // namespace testsupport
