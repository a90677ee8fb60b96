#include "platform/fakes/scripted_dialogs.h"

namespace velta {

void ScriptedDialogs::wait(const Shown& s) {
  shown.push_back(s);
  if (whileWaiting) whileWaiting(s);
}

void ScriptedDialogs::showMessage(const QString& caption, const QString& text) {
  wait({Kind::Message, caption, text, {}});
}

void ScriptedDialogs::showError(const QString& caption, const QString& text) {
  wait({Kind::Error, caption, text, {}});
}

bool ScriptedDialogs::askYesNo(const QString& caption, const QString& text) {
  wait({Kind::YesNo, caption, text, {}});
  if (answers.empty()) return false;
  bool a = answers.front();
  answers.pop_front();
  return a;
}

bool ScriptedDialogs::askOkCancel(const QString& caption, const QString& text) {
  wait({Kind::OkCancel, caption, text, {}});
  if (answers.empty()) return false;
  bool a = answers.front();
  answers.pop_front();
  return a;
}

std::optional<QString> ScriptedDialogs::chooseFile(const OpenFileRequest& request) {
  wait({Kind::OpenFile, request.title, QString(), request});
  if (files.empty()) return std::nullopt;
  const QString f = files.front();
  files.pop_front();
  if (f.isNull()) return std::nullopt;
  return std::make_optional(f);
}

QStringList ScriptedDialogs::texts(Kind kind) const {
  QStringList out;
  for (const auto& s : shown)
    if (s.kind == kind) out << s.text;
  return out;
}

}  // namespace velta
