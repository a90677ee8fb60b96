#pragma once
// Every box the operator answers goes through this interface, so tests can script the
// answers and run ticks while a box waits. All calls block until answered (a nested
// event loop in the program) and run on the UI thread.
#include <QString>
#include <optional>

namespace velta {

struct OpenFileRequest {
  QString title;
  QString initialDirectory;  // host path
  QString defaultExtension;  // without the dot, e.g. "tkv"
  QString filter;            // "Description (*.ext)|*.ext" as the program states it
};

class OperatorDialogs {
 public:
  virtual ~OperatorDialogs() = default;
  // Plain message, one OK button, no icon.
  virtual void showMessage(const QString& caption, const QString& text) = 0;
  // Error icon, one OK button. text is shown as given.
  virtual void showError(const QString& caption, const QString& text) = 0;
  // Yes/No box without icon; true for Yes.
  virtual bool askYesNo(const QString& caption, const QString& text) = 0;
  // Question-mark icon, OK and Cancel; true for OK.
  virtual bool askOkCancel(const QString& caption, const QString& text) = 0;
  // Open-file dialog; the chosen file's full host path, or nothing when cancelled.
  virtual std::optional<QString> chooseFile(const OpenFileRequest& request) = 0;
};

}  // namespace velta
