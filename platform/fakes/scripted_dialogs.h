#pragma once
// Operator dialogs for tests: records every box and answers from a script. Before a
// box "returns", whileWaiting runs (for instance a few poll ticks), as the program's
// nested event loop would while the operator reads the box.
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "platform/operator_dialogs.h"

namespace velta {

class ScriptedDialogs : public OperatorDialogs {
 public:
  enum class Kind { Message, Error, YesNo, OkCancel, OpenFile };
  struct Shown {
    Kind kind;
    QString caption;
    QString text;
    OpenFileRequest request;  // for OpenFile
  };

  // Answers for askYesNo / askOkCancel, in order; when none is queued the answer is false.
  std::deque<bool> answers;
  // Files for chooseFile, in order; a null QString cancels, as does an empty queue.
  std::deque<QString> files;
  // Runs inside every box before it is answered.
  std::function<void(const Shown&)> whileWaiting;

  std::vector<Shown> shown;

  void showMessage(const QString& caption, const QString& text) override;
  void showError(const QString& caption, const QString& text) override;
  bool askYesNo(const QString& caption, const QString& text) override;
  bool askOkCancel(const QString& caption, const QString& text) override;
  std::optional<QString> chooseFile(const OpenFileRequest& request) override;

  // Texts of every box of one kind, in order.
  QStringList texts(Kind kind) const;
  QStringList messages() const { return texts(Kind::Message); }
  QStringList errors() const { return texts(Kind::Error); }

 private:
  void wait(const Shown& s);
};

}  // namespace velta
