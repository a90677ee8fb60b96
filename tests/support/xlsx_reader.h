#pragma once
// Reads back what a test needs from an .xlsx file (through `unzip -p`): the first
// sheet's cells (value, number or text, bold, font size), column widths and the
// document title. Throws std::runtime_error when the file cannot be read.
#include <QProcess>
#include <QString>
#include <QXmlStreamReader>
#include <map>
#include <stdexcept>
#include <vector>

namespace velta::test {

struct XlsxCell {
  QString value;
  bool number = false;  // a number cell (else text, boolean or blank)
  bool bold = false;
  double size = 11;     // points
};

struct XlsxContents {
  std::map<QString, XlsxCell> cells;  // by name, "A1"
  std::map<int, double> widths;       // by 1-based column
  QString title;
  QByteArray sheetXml;
};

inline QByteArray unzipMember(const QString& path, const QString& member) {
  QProcess p;
  p.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, member});
  if (!p.waitForFinished(30000) || p.exitCode() != 0)
    throw std::runtime_error(("unzip failed for " + path + " " + member).toStdString());
  return p.readAllStandardOutput();
}

inline XlsxContents readXlsx(const QString& path) {
  XlsxContents out;
  // Fonts and cell formats: format index -> (bold, size).
  struct Font { bool bold = false; double size = 11; };
  std::vector<Font> fonts;
  std::vector<int> xfFont;
  {
    QXmlStreamReader x(unzipMember(path, QStringLiteral("xl/styles.xml")));
    bool inFonts = false, inXfs = false;
    while (!x.atEnd()) {
      x.readNext();
      const auto name = x.name();
      if (x.isStartElement()) {
        if (name == u"fonts") inFonts = true;
        else if (name == u"cellXfs") inXfs = true;
        else if (inFonts && name == u"font") fonts.emplace_back();
        else if (inFonts && name == u"b") fonts.back().bold = true;
        else if (inFonts && name == u"sz") fonts.back().size = x.attributes().value(QStringLiteral("val")).toDouble();
        else if (inXfs && name == u"xf") xfFont.push_back(x.attributes().value(QStringLiteral("fontId")).toInt());
      } else if (x.isEndElement()) {
        if (name == u"fonts") inFonts = false;
        else if (name == u"cellXfs") inXfs = false;
      }
    }
  }
  QStringList shared;
  {
    QProcess probe;  // sharedStrings.xml is optional
    probe.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, QStringLiteral("xl/sharedStrings.xml")});
    probe.waitForFinished(30000);
    QXmlStreamReader x(probe.readAllStandardOutput());
    while (!x.atEnd()) {
      x.readNext();
      if (x.isStartElement() && x.name() == u"t") shared << x.readElementText();
    }
  }
  out.sheetXml = unzipMember(path, QStringLiteral("xl/worksheets/sheet1.xml"));
  {
    QXmlStreamReader x(out.sheetXml);
    QString ref, type;
    XlsxCell cell;
    while (!x.atEnd()) {
      x.readNext();
      if (x.isStartElement()) {
        const auto name = x.name();
        if (name == u"col") {
          const int min = x.attributes().value(QStringLiteral("min")).toInt(), max = x.attributes().value(QStringLiteral("max")).toInt();
          for (int c = min; c <= max; ++c) out.widths[c] = x.attributes().value(QStringLiteral("width")).toDouble();
        } else if (name == u"c") {
          ref = x.attributes().value(QStringLiteral("r")).toString();
          type = x.attributes().value(QStringLiteral("t")).toString();
          cell = {};
          const int s = x.attributes().value(QStringLiteral("s")).toInt();
          if (s >= 0 && s < static_cast<int>(xfFont.size()) && xfFont[static_cast<size_t>(s)] < static_cast<int>(fonts.size())) {
            cell.bold = fonts[static_cast<size_t>(xfFont[static_cast<size_t>(s)])].bold;
            cell.size = fonts[static_cast<size_t>(xfFont[static_cast<size_t>(s)])].size;
          }
        } else if (name == u"v") {
          const QString v = x.readElementText();
          if (type == u"s") cell.value = shared.value(v.toInt());
          else { cell.value = v; cell.number = type.isEmpty() || type == u"n"; }
        } else if (name == u"t") {
          cell.value += x.readElementText();
        }
      } else if (x.isEndElement() && x.name() == u"c") {
        out.cells[ref] = cell;
      }
    }
  }
  {
    QXmlStreamReader x(unzipMember(path, QStringLiteral("docProps/core.xml")));
    while (!x.atEnd()) {
      x.readNext();
      if (x.isStartElement() && x.name() == u"title") out.title = x.readElementText();
    }
  }
  return out;
}

}  // namespace velta::test
