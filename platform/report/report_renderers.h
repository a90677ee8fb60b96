#pragma once
// The file renderers of the report engine. Each turns a laid-out report into the
// bytes of one file; the engine writes them. pageDone runs after each page is
// produced (for the status window). UI thread; needs a QGuiApplication.
#include <QByteArray>
#include <QString>
#include <functional>

namespace velta {

class ReportDocument;

class ReportRenderer {
 public:
  virtual ~ReportRenderer() = default;
  const QString& Name() const { return name_; }
  const QString& DisplayName() const { return displayName_; }
  const QString& FileExtension() const { return fileExtension_; }  // e.g. "*.html;*.htm"
  QString defaultSuffix() const;                                   // "html"

  // Pages from..to, 1-based, clamped; toPage 0 for the last page.
  virtual QByteArray render(const ReportDocument& doc, int fromPage, int toPage,
                            const std::function<void(int)>& pageDone) const = 0;

 protected:
  ReportRenderer(QString name, QString displayName, QString fileExtension)
      : name_(std::move(name)), displayName_(std::move(displayName)),
        fileExtension_(std::move(fileExtension)) {}

 private:
  QString name_, displayName_, fileExtension_;
};

// PDF through QPdfWriter; the pages keep the report's page size and margins. Fonts are
// always embedded (subset) by Qt: EmbedFonts only records the engine's setting.
class RvRenderPDF : public ReportRenderer {
 public:
  explicit RvRenderPDF(QString name = QStringLiteral("RvRenderPDF1"))
      : ReportRenderer(std::move(name), QStringLiteral("Adobe Acrobat (PDF)"), QStringLiteral("*.pdf")) {}
  bool EmbedFonts = false;
  int ImageQuality = 90;
  int MetafileDPI = 300;
  enum FontEncoding { feWinAnsiEncoding };
  FontEncoding Encoding = feWinAnsiEncoding;
  QByteArray render(const ReportDocument& doc, int fromPage, int toPage,
                    const std::function<void(int)>& pageDone) const override;
};

// One self-contained, well-formed XHTML page (UTF-8, inline style, no outside links);
// the report's pages flow into one page; the range is ignored.
class RvRenderHTML : public ReportRenderer {
 public:
  explicit RvRenderHTML(QString name = QStringLiteral("RvRenderHTML1"))
      : ReportRenderer(std::move(name), QStringLiteral("Web Page (HTML)"), QStringLiteral("*.html;*.htm")) {}
  bool ServerMode = false;
  QByteArray render(const ReportDocument& doc, int fromPage, int toPage,
                    const std::function<void(int)>& pageDone) const override;
};

// Plain text (UTF-8): each page laid out as a character grid of CPI characters per
// inch and LPI lines per inch; every piece of text goes to the cell nearest to where
// it stands on the page. Pages are separated by a form feed.
class RvRenderText : public ReportRenderer {
 public:
  explicit RvRenderText(QString name = QStringLiteral("RvRenderText1"))
      : ReportRenderer(std::move(name), QStringLiteral("Plain Text (TXT)"), QStringLiteral("*.txt")) {}
  double CPI = 10;
  double LPI = 6;
  QByteArray render(const ReportDocument& doc, int fromPage, int toPage,
                    const std::function<void(int)>& pageDone) const override;
};

}  // namespace velta
