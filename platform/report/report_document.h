#pragma once
// One run's report: the active report's template filled with the data connections'
// records (mustache), as an XHTML document and laid out in pages by Qt's rich text.
// Layout units are CSS pixels (96 per inch); painting scales them to the device.
// Needs a QGuiApplication (fonts). UI thread.
#include <QImage>
#include <QPageLayout>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "platform/report/report_data.h"
#include "platform/report/report_project_file.h"

class QPainter;
class QPagedPaintDevice;
class QTextDocument;

namespace velta {

struct ReportConnectionData {
  QString name;  // the connection's component name, e.g. "RvDataSetConnection1"
  ReportRecord record;
};

// Fills a template: connection and field names match without regard to case; empty
// fields are false. Values are formatted by the report's date, time and number
// formats. Raises Error naming the project, report and template line on a bad template.
QString fillReportTemplate(const ReportDefinition& report,
                           const std::vector<ReportConnectionData>& connections,
                           QChar regionalDecimalSeparator, const QString& projectName);

class ReportDocument {
 public:
  static constexpr double kLayoutDpi = 96.0;

  // Raises Error when the template cannot be filled or the result is not well-formed.
  ReportDocument(const ReportDefinition& report,
                 const std::vector<ReportConnectionData>& connections,
                 QChar regionalDecimalSeparator, const QString& projectName);
  ~ReportDocument();
  ReportDocument(const ReportDocument&) = delete;
  ReportDocument& operator=(const ReportDocument&) = delete;

  const QString& title() const { return title_; }
  // The complete XHTML document (without DOCTYPE): head with style, body from the template.
  const QString& xhtml() const { return xhtml_; }
  const QString& styleSheet() const { return style_; }
  const QPageLayout& pageLayout() const { return layout_; }
  int pageCount() const;
  const QTextDocument& document() const { return *doc_; }
  QSizeF pageSizePixels() const;  // the content area of one page in layout pixels

  // Paints pages from..to (1-based, clamped to the document), copies times, onto a paged
  // device whose page layout the caller has set; a new page between pages. pageStarted
  // runs before each page with its number.
  void paint(QPagedPaintDevice& device, int fromPage, int toPage, int copies, bool collate,
             const std::function<void(int)>& pageStarted) const;
  // Paints one page (1-based) with the painter's origin at the top-left of the
  // content area and the given scale from layout pixels to device units.
  void paintPage(QPainter& painter, int page, double scale) const;

 private:
  QString title_;
  QString style_;
  QString xhtml_;
  QPageLayout layout_;
  QImage layoutDevice_;  // fixes the layout resolution at kLayoutDpi
  std::unique_ptr<QTextDocument> doc_;
};

}  // namespace velta
