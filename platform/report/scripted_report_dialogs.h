#pragma once
// Report windows for tests: answers the output-options dialog from a script and
// records every window, status text, preview and print job.
#include <deque>
#include <optional>
#include <vector>

#include "platform/report/report_dialogs.h"

namespace velta {

class ScriptedReportDialogs : public ReportDialogs {
 public:
  // Answers for chooseOutput, in order; nullopt (or an empty queue) cancels.
  std::deque<std::optional<OutputChoice>> choices;

  std::vector<OutputOptionsRequest> requests;
  QStringList statusTitles;
  QStringList statusTexts;
  struct Preview { QString title; int pages; bool allowPrint; QString xhtml; };
  std::vector<Preview> previews;
  struct Printed { PrintJob job; int pages; };
  std::vector<Printed> printed;

  std::optional<OutputChoice> chooseOutput(const OutputOptionsRequest& request) override;
  std::unique_ptr<ReportStatus> openStatus(const QString& title) override;
  void showPreview(const QString& title, const ReportDocument& doc, const PrintJob& job,
                   bool allowPrint) override;
  void print(const ReportDocument& doc, const PrintJob& job) override;
};

}  // namespace velta
