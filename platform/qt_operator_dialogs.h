#pragma once
// Operator dialogs as modal Qt boxes; each runs a nested event loop, in which the
// 200 ms ticks go on. UI thread.
#include <QPointer>
#include <QWidget>

#include "platform/operator_dialogs.h"

namespace velta {

class QtOperatorDialogs : public OperatorDialogs {
 public:
  // parent may be null; boxes are then centred on the screen.
  void setParent(QWidget* parent) { parent_ = parent; }

  void showMessage(const QString& caption, const QString& text) override;
  void showError(const QString& caption, const QString& text) override;
  bool askYesNo(const QString& caption, const QString& text) override;
  bool askOkCancel(const QString& caption, const QString& text) override;
  std::optional<QString> chooseFile(const OpenFileRequest& request) override;

  // "Desc (*.a)|*.a|Desc2 (*.b)|*.b" in the host dialog's form "Desc (*.a);;Desc2 (*.b)".
  static QString hostFilter(const QString& filter);

 private:
  QPointer<QWidget> parent_;
};

}  // namespace velta
