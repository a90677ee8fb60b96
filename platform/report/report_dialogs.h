#pragma once
// The report engine's windows: output options, status, preview and printing. The engine
// reaches them only through this interface so tests can script them; the Qt widgets
// are in velta_report_widgets. All calls block (modal) and run on the UI thread.
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "platform/report/report_settings.h"

namespace velta {

class ReportDocument;

struct OutputOptionsRequest {
  QString title;                     // "Output Options"
  ReportDestination preselected = ReportDestination::rdPreview;
  SetupPermissions permissions;      // which destinations and settings may be changed
  QStringList fileFormats;           // display names, in the order offered
  QString defaultFileName;           // host path offered for file output (may be empty)
  int pageCount = 1;
};

struct OutputChoice {
  ReportDestination destination = ReportDestination::rdPreview;
  QString fileFormat;  // one of the request's fileFormats, for rdFile
  QString fileName;    // host or Windows path, for rdFile
  int copies = 1;
  int fromPage = 1;
  int toPage = 0;      // 0: to the last page
  bool collate = true;
};

struct PrintJob {
  QString jobTitle;     // "ReportPrinter Report"
  QString statusTitle;  // "Report Status"
  QString statusText;   // "Printing page %p"
  bool showStatus = true;
  bool allowPrinterSetup = true;
  int copies = 1;
  int fromPage = 1;
  int toPage = 0;
  bool collate = true;
  int previewZoomPercent = 100;
};

// A status window; closed when destroyed.
class ReportStatus {
 public:
  virtual ~ReportStatus() = default;
  virtual void setText(const QString& text) = 0;
};

class ReportDialogs {
 public:
  virtual ~ReportDialogs() = default;
  // The output-options dialog; nothing when the operator cancels.
  virtual std::optional<OutputChoice> chooseOutput(const OutputOptionsRequest& request) = 0;
  virtual std::unique_ptr<ReportStatus> openStatus(const QString& title) = 0;
  // The modal preview; printing from it (with job) only when allowPrint.
  virtual void showPreview(const QString& title, const ReportDocument& doc, const PrintJob& job,
                           bool allowPrint) = 0;
  // Prints on the printer; raises Error when there is none or it fails.
  virtual void print(const ReportDocument& doc, const PrintJob& job) = 0;
};

}  // namespace velta
