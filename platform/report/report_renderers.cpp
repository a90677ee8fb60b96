#include "platform/report/report_renderers.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <map>

#include "platform/report/report_document.h"

namespace velta {

namespace {

std::pair<int, int> clampRange(const ReportDocument& doc, int fromPage, int toPage) {
  const int last = doc.pageCount();
  fromPage = std::clamp(fromPage, 1, last);
  toPage = toPage <= 0 ? last : std::clamp(toPage, fromPage, last);
  return {fromPage, toPage};
}

}  // namespace

QString ReportRenderer::defaultSuffix() const {
  QString first = fileExtension_.section(u';', 0, 0);
  return first.startsWith(QStringLiteral("*.")) ? first.mid(2) : first;
}

QByteArray RvRenderPDF::render(const ReportDocument& doc, int fromPage, int toPage,
                               const std::function<void(int)>& pageDone) const {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  {
    QPdfWriter pdf(&buffer);
    pdf.setPageLayout(doc.pageLayout());
    pdf.setResolution(1200);
    pdf.setTitle(doc.title());
    pdf.setCreator(QStringLiteral("VELTA report engine"));
    const auto [from, to] = clampRange(doc, fromPage, toPage);
    int done = 0;
    doc.paint(pdf, from, to, 1, true, [&](int page) {
      if (done && pageDone) pageDone(done);
      done = page;
    });
    if (done && pageDone) pageDone(done);
  }
  return bytes;
}

QByteArray RvRenderHTML::render(const ReportDocument& doc, int, int,
                                const std::function<void(int)>& pageDone) const {
  const QSizeF mm = doc.pageLayout().paintRect(QPageLayout::Millimeter).size();
  const QMarginsF m = doc.pageLayout().margins(QPageLayout::Millimeter);
  const QSizeF full = doc.pageLayout().fullRect(QPageLayout::Millimeter).size();
  // Page geometry for printing from the browser, and a page-wide column on screen.
  const QString pageCss =
      QStringLiteral("@page { size: %1mm %2mm; margin: %3mm %4mm %5mm %6mm; } "
                     "@media screen { body { max-width: %7mm; margin: 2em auto; } } ")
          .arg(full.width()).arg(full.height())
          .arg(m.top()).arg(m.right()).arg(m.bottom()).arg(m.left())
          .arg(mm.width());
  QString html = doc.xhtml();
  const QString styleOpen = QStringLiteral("<style type=\"text/css\">");
  html.insert(html.indexOf(styleOpen) + styleOpen.size(), pageCss);
  html.prepend(QStringLiteral("<!DOCTYPE html>\n"));
  if (pageDone)
    for (int p = 1; p <= doc.pageCount(); ++p) pageDone(p);
  return html.toUtf8();
}

QByteArray RvRenderText::render(const ReportDocument& doc, int fromPage, int toPage,
                                const std::function<void(int)>& pageDone) const {
  const QTextDocument& td = doc.document();
  QAbstractTextDocumentLayout* layout = td.documentLayout();
  const double colWidth = ReportDocument::kLayoutDpi / CPI;
  const double rowHeight = ReportDocument::kLayoutDpi / LPI;
  const QSizeF pageSize = doc.pageSizePixels();
  const int rows = std::max(1, int(pageSize.height() / rowHeight));
  const auto [from, to] = clampRange(doc, fromPage, toPage);

  // page -> row -> line of characters
  std::map<int, std::map<int, QString>> grid;
  // Returns the column after the text.
  auto put = [&](int page, int row, int col, const QString& text) {
    QString& line = grid[page][row];
    // Never overwrite: a piece that would touch text already placed moves right past it.
    auto touches = [&](int c) {
      for (int k = std::max(0, c - 1); k <= c + int(text.size()) && k < int(line.size()); ++k)
        if (!line.at(k).isSpace()) return true;
      return false;
    };
    while (touches(col)) ++col;
    if (line.size() < col + text.size()) line = line.leftJustified(col + text.size(), u' ');
    line.replace(col, text.size(), text);
    return col + int(text.size());
  };
  for (QTextBlock block = td.begin(); block.isValid(); block = block.next()) {
    const QTextLayout* tl = block.layout();
    if (!tl) continue;
    const QPointF origin = layout->blockBoundingRect(block).topLeft();
    const QString text = block.text();
    for (int i = 0; i < tl->lineCount(); ++i) {
      const QTextLine line = tl->lineAt(i);
      const double y = origin.y() + line.y() + line.ascent();
      const int page = int(y / pageSize.height()) + 1;
      if (page < from || page > to) continue;
      const int row = std::clamp(int((y - (page - 1) * pageSize.height()) / rowHeight), 0, rows - 1);
      // Words keep together and each goes to the cell nearest to where it starts; a word
      // that follows the previous one at an ordinary word gap follows it after one blank,
      // so that large or small type does not tear a line apart.
      int pos = line.textStart();
      const int end = line.textStart() + line.textLength();
      double previousEndX = -1e9;
      int previousEndCol = 0;
      while (pos < end) {
        while (pos < end && text.at(pos).isSpace()) ++pos;
        const int start = pos;
        while (pos < end && !text.at(pos).isSpace()) ++pos;
        if (pos == start) break;
        const double x = origin.x() + line.cursorToX(start);
        int col = std::max(0, int(x / colWidth + 0.5));
        if (x - previousEndX < 1.5 * colWidth) col = previousEndCol + 1;
        previousEndCol = put(page, row, col, text.mid(start, pos - start));
        previousEndX = origin.x() + line.cursorToX(pos);
      }
    }
  }
  QString out;
  for (int page = from; page <= to; ++page) {
    if (page > from) out += u'\f';
    const auto& lines = grid[page];
    for (int r = 0; r < rows; ++r) {
      const auto it = lines.find(r);
      if (it != lines.end()) {
        QString l = it->second;
        while (l.endsWith(u' ')) l.chop(1);
        out += l;
      }
      out += u'\n';
    }
    if (pageDone) pageDone(page);
  }
  return out.toUtf8();
}

}  // namespace velta
