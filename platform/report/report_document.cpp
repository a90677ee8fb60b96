#include "platform/report/report_document.h"

#include <kainjow/mustache.hpp>

#include <QAbstractTextDocumentLayout>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextDocument>
#include <QXmlStreamReader>

#include "platform/error.h"
#include "platform/number_text.h"

namespace velta {

namespace mst = kainjow::mustache;

namespace {

QString fold(const QString& name) { return name.trimmed().toCaseFolded(); }

// Rewrites the names inside {{ }} tags case-folded, so that lookups ignore case.
// Delimiter changes are refused: the engineer's file stays readable with {{ }} only.
// Sections nested deeper than kMaxTemplateNesting are refused here, in one pass, before
// the template engine (which keeps each section's whole text, so memory grows with
// length times depth, and recurses once per level) sees them.
QString foldTagNames(const QString& tpl, const QString& where, int firstLine) {
  QString out;
  out.reserve(tpl.size());
  qsizetype pos = 0;
  int depth = 0;
  int line = firstLine;
  while (true) {
    const qsizetype open = tpl.indexOf(QStringLiteral("{{"), pos);
    if (open < 0) { out += QStringView(tpl).mid(pos); break; }
    line += static_cast<int>(QStringView(tpl).mid(pos, open - pos).count(u'\n'));
    const bool triple = QStringView(tpl).mid(open, 3) == u"{{{";
    const QString closeMark = triple ? QStringLiteral("}}}") : QStringLiteral("}}");
    const qsizetype start = open + (triple ? 3 : 2);
    const qsizetype close = tpl.indexOf(closeMark, start);
    if (close < 0) { out += QStringView(tpl).mid(pos); break; }  // mustache reports it
    out += QStringView(tpl).mid(pos, start - pos);
    QString inner = tpl.mid(start, close - start);
    const QString trimmed = inner.trimmed();
    if (trimmed.startsWith(u'='))
      throw Error(where + QStringLiteral(": changing the tag delimiters is not supported"));
    if (!trimmed.startsWith(u'!')) {
      QString sigil;
      QString name = trimmed;
      if (!name.isEmpty() && QStringLiteral("#^/&>").contains(name[0])) {
        sigil = name[0];
        name = name.mid(1);
      }
      if (sigil == u"#" || sigil == u"^") {
        if (++depth > kMaxTemplateNesting)
          throw Error(where + QStringLiteral(", line %1: sections nested more than %2 deep; "
                                             "a report template may nest at most %2")
                                  .arg(line).arg(kMaxTemplateNesting));
      } else if (sigil == u"/" && depth > 0) {
        --depth;
      }
      inner = sigil + fold(name);
    }
    out += inner;
    out += closeMark;
    line += static_cast<int>(QStringView(tpl).mid(open, close + closeMark.size() - open).count(u'\n'));
    pos = close + closeMark.size();
  }
  return out;
}

QString formatNumber(double v, int decimals, QChar separator) {
  // General: exactly the text the grid and the detail panel show for the value.
  if (decimals < 0) return NumberToText(v, separator);
  QString s = QString::number(v, 'f', decimals);
  if (s.contains(u'e')) s = QString::number(v, 'f', 6);  // no exponents on a report
  if (s == u"-0" || (s.startsWith(u"-0.") && s.mid(1).toDouble() == 0)) s = s.mid(1);
  s.replace(u'.', separator);
  return s;
}

mst::data valueData(const ReportDefinition& r, const QString& field, const ReportValue& v,
                    QChar separator) {
  static const QLocale turkish(QLocale::Turkish, QLocale::Turkey);
  if (const QString* t = v.text()) return mst::data(t->toStdString());
  if (const QDate* d = v.date())
    return d->isValid() ? mst::data(turkish.toString(*d, r.dateFormat).toStdString()) : mst::data(false);
  if (const QTime* t = v.time())
    return t->isValid() ? mst::data(turkish.toString(*t, r.timeFormat).toStdString()) : mst::data(false);
  if (const double* n = v.number())
    return mst::data(
        formatNumber(*n, r.fieldDecimals.value(fold(field), r.decimals), separator).toStdString());
  return mst::data(false);
}

std::string escapeXml(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

QString xmlEscaped(const QString& s) {
  return QString::fromStdString(escapeXml(s.toStdString()));
}

}  // namespace

QString fillReportTemplate(const ReportDefinition& report,
                           const std::vector<ReportConnectionData>& connections,
                           QChar regionalDecimalSeparator, const QString& projectName) {
  const QString where =
      QStringLiteral("Report project \"%1\", report \"%2\"").arg(projectName, report.name);
  const QChar sep = report.decimalSeparator.isNull()
                        ? (regionalDecimalSeparator.isNull() ? QChar(u'.') : regionalDecimalSeparator)
                        : report.decimalSeparator;
  mst::data root{mst::data::type::object};
  for (const ReportConnectionData& c : connections) {
    mst::data fields{mst::data::type::object};
    for (const ReportField& f : c.record)
      fields.set(fold(f.name).toStdString(), valueData(report, f.name, f.value, sep));
    root.set(fold(c.name).toStdString(), fields);
  }
  mst::mustache tmpl(foldTagNames(report.templateText, where, report.templateLine).toStdString());
  tmpl.set_custom_escape(escapeXml);
  if (!tmpl.is_valid())
    throw Error(where + QStringLiteral(": template: ") + QString::fromStdString(tmpl.error_message()));
  std::string out = tmpl.render(root);
  if (!tmpl.is_valid())
    throw Error(where + QStringLiteral(": template: ") + QString::fromStdString(tmpl.error_message()));
  return QString::fromStdString(out);
}

ReportDocument::ReportDocument(const ReportDefinition& report,
                               const std::vector<ReportConnectionData>& connections,
                               QChar regionalDecimalSeparator, const QString& projectName)
    : title_(report.name), layout_(report.pageLayout()),
      layoutDevice_(1, 1, QImage::Format_RGB32), doc_(std::make_unique<QTextDocument>()) {
  const QString body =
      fillReportTemplate(report, connections, regionalDecimalSeparator, projectName);
  style_ = QStringLiteral("body { font-family: '%1'; font-size: %2pt; }")
               .arg(report.fontFamily)
               .arg(report.fontPointSize);
  // The body starts on line 3 so that XML errors map back to template lines.
  xhtml_ = QStringLiteral("<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><meta charset=\"utf-8\"/>"
                          "<title>%1</title><style type=\"text/css\">%2</style></head>\n<body>\n")
               .arg(xmlEscaped(title_), style_) +
           body + QStringLiteral("\n</body></html>\n");
  // Qt's rich text takes time far beyond linear in the depth of nested elements, so
  // the depth is bounded here, in the one pass that checks the XHTML anyway.
  QXmlStreamReader xml(xhtml_);
  int depth = 0;
  while (!xml.atEnd()) {
    const auto token = xml.readNext();
    if (token == QXmlStreamReader::EndElement) --depth;
    if (token != QXmlStreamReader::StartElement || ++depth <= kMaxElementNesting + 2) continue;
    throw Error(QStringLiteral("Report project \"%1\", report \"%2\", line %3: elements nested more than "
                               "%4 deep; a report template may nest at most %4")
                    .arg(projectName, report.name)
                    .arg(report.templateLine +
                         std::clamp<qint64>(xml.lineNumber() - 3, 0, report.templateText.count(u'\n')))
                    .arg(kMaxElementNesting));
  }
  if (xml.hasError())
    throw Error(QStringLiteral("Report project \"%1\", report \"%2\", line %3: the filled template "
                               "is not well-formed XHTML: %4")
                    .arg(projectName, report.name)
                    .arg(report.templateLine +
                         std::clamp<qint64>(xml.lineNumber() - 3, 0, report.templateText.count(u'\n')))
                    .arg(xml.errorString()));

  const int dpm = qRound(kLayoutDpi / 0.0254);
  layoutDevice_.setDotsPerMeterX(dpm);
  layoutDevice_.setDotsPerMeterY(dpm);
  doc_->documentLayout()->setPaintDevice(&layoutDevice_);
  QFont font(report.fontFamily);
  font.setPointSizeF(report.fontPointSize);
  font.setHintingPreference(QFont::PreferNoHinting);
  doc_->setDefaultFont(font);
  doc_->setUseDesignMetrics(true);
  doc_->setDocumentMargin(0);
  doc_->setPageSize(pageSizePixels());
  doc_->setHtml(xhtml_);
  doc_->documentLayout()->documentSize();  // lay out now: page count and painting need it
}

ReportDocument::~ReportDocument() = default;

QSizeF ReportDocument::pageSizePixels() const {
  const QSizeF mm = layout_.paintRect(QPageLayout::Millimeter).size();
  return mm / 25.4 * kLayoutDpi;
}

int ReportDocument::pageCount() const { return doc_->pageCount(); }

void ReportDocument::paintPage(QPainter& painter, int page, double scale) const {
  const QSizeF size = pageSizePixels();
  painter.save();
  painter.scale(scale, scale);
  const QRectF pageRect(0, (page - 1) * size.height(), size.width(), size.height());
  painter.translate(0, -pageRect.top());
  painter.setClipRect(pageRect);
  QAbstractTextDocumentLayout::PaintContext ctx;
  ctx.clip = pageRect;
  ctx.palette.setColor(QPalette::Text, Qt::black);
  doc_->documentLayout()->draw(&painter, ctx);
  painter.restore();
}

void ReportDocument::paint(QPagedPaintDevice& device, int fromPage, int toPage, int copies,
                           bool collate, const std::function<void(int)>& pageStarted) const {
  const int last = pageCount();
  fromPage = std::clamp(fromPage, 1, last);
  toPage = toPage <= 0 ? last : std::clamp(toPage, fromPage, last);
  copies = std::max(1, copies);
  std::vector<int> pages;
  if (collate) {
    for (int c = 0; c < copies; ++c)
      for (int p = fromPage; p <= toPage; ++p) pages.push_back(p);
  } else {
    for (int p = fromPage; p <= toPage; ++p)
      for (int c = 0; c < copies; ++c) pages.push_back(p);
  }
  QPainter painter;
  if (!painter.begin(&device)) throw Error(QStringLiteral("The output device cannot be opened"));
  const QRectF target = device.pageLayout().paintRectPixels(device.logicalDpiX());
  const double scale = target.width() / pageSizePixels().width();
  for (size_t i = 0; i < pages.size(); ++i) {
    if (i > 0) device.newPage();
    if (pageStarted) pageStarted(pages[i]);
    paintPage(painter, pages[i], scale);
  }
  painter.end();
}

}  // namespace velta
