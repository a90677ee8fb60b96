#include "platform/report/scripted_report_dialogs.h"

#include "platform/report/report_document.h"

namespace velta {

namespace {
class RecordingStatus : public ReportStatus {
 public:
  explicit RecordingStatus(QStringList& texts) : texts_(texts) {}
  void setText(const QString& text) override { texts_ << text; }

 private:
  QStringList& texts_;
};
}  // namespace

std::optional<OutputChoice> ScriptedReportDialogs::chooseOutput(const OutputOptionsRequest& request) {
  requests.push_back(request);
  if (choices.empty()) return std::nullopt;
  if (!choices.front().has_value()) {
    choices.pop_front();
    return std::nullopt;
  }
  OutputChoice answer = *choices.front();
  choices.pop_front();
  return answer;
}

std::unique_ptr<ReportStatus> ScriptedReportDialogs::openStatus(const QString& title) {
  statusTitles << title;
  return std::make_unique<RecordingStatus>(statusTexts);
}

void ScriptedReportDialogs::showPreview(const QString& title, const ReportDocument& doc,
                                        const PrintJob&, bool allowPrint) {
  previews.push_back({title, doc.pageCount(), allowPrint, doc.xhtml()});
}

void ScriptedReportDialogs::print(const ReportDocument& doc, const PrintJob& job) {
  printed.push_back({job, doc.pageCount()});
}

}  // namespace velta
