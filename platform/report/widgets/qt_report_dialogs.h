#pragma once
// The report engine's windows as Qt widgets: "Output Options" (destination, file format
// and name, copies, page range), the status window, the modal print preview (with
// printing when allowed) and printing through QPrinter. UI thread.
#include <QPointer>
#include <QWidget>

#include "platform/report/report_dialogs.h"

namespace velta {

class QtReportDialogs : public ReportDialogs {
 public:
  explicit QtReportDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }

  std::optional<OutputChoice> chooseOutput(const OutputOptionsRequest& request) override;
  std::unique_ptr<ReportStatus> openStatus(const QString& title) override;
  void showPreview(const QString& title, const ReportDocument& doc, const PrintJob& job,
                   bool allowPrint) override;
  void print(const ReportDocument& doc, const PrintJob& job) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace velta
