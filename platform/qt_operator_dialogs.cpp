#include "platform/qt_operator_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace velta {

namespace {
int run(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
        QMessageBox::StandardButtons buttons, QMessageBox::StandardButton def) {
  QMessageBox box(icon, caption, text, buttons, parent);
  box.setDefaultButton(def);
  return box.exec();
}
}  // namespace

void QtOperatorDialogs::showMessage(const QString& caption, const QString& text) {
  run(parent_, QMessageBox::NoIcon, caption, text, QMessageBox::Ok, QMessageBox::Ok);
}

void QtOperatorDialogs::showError(const QString& caption, const QString& text) {
  run(parent_, QMessageBox::Critical, caption, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtOperatorDialogs::askYesNo(const QString& caption, const QString& text) {
  return run(parent_, QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No,
             QMessageBox::Yes) == QMessageBox::Yes;
}

bool QtOperatorDialogs::askOkCancel(const QString& caption, const QString& text) {
  return run(parent_, QMessageBox::Question, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
             QMessageBox::Ok) == QMessageBox::Ok;
}

QString QtOperatorDialogs::hostFilter(const QString& filter) {
  const QStringList parts = filter.split(u'|');
  QStringList out;
  for (qsizetype i = 0; i < parts.size(); i += 2) {
    QString desc = parts[i];
    const QString pattern = i + 1 < parts.size() ? parts[i + 1] : QString();
    if (!pattern.isEmpty() && !desc.contains(u'(')) desc += QStringLiteral(" (%1)").arg(pattern);
    out << desc;
  }
  return out.join(QStringLiteral(";;"));
}

std::optional<QString> QtOperatorDialogs::chooseFile(const OpenFileRequest& request) {
  QFileDialog dlg(parent_, request.title, request.initialDirectory, hostFilter(request.filter));
  dlg.setAcceptMode(QFileDialog::AcceptOpen);
  dlg.setFileMode(QFileDialog::ExistingFile);
  dlg.setDefaultSuffix(request.defaultExtension);
  dlg.setOption(QFileDialog::DontUseNativeDialog, true);
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
  return dlg.selectedFiles().front();
}

}  // namespace velta
