// The report engine stand-in: project file, template filling, renderers and RvProject's
// execute on each kind of output system.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "platform/error.h"
#include "platform/report/report_components.h"
#include "platform/report/report_document.h"
#include "platform/report/scripted_report_dialogs.h"
#include "tests/support/report_samples.h"

namespace velta {
namespace {

using testing::cellValue;
using testing::fieldName;
using testing::sampleRecord;

QString errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.text();
  }
  return QStringLiteral("<no error>");
}

QString projectText(const QString& body, const QString& extra = {}) {
  return QStringLiteral("[report R]\n") + extra + QStringLiteral("template = <<END\n") + body +
         QStringLiteral("\nEND\n");
}

// --- project file ---------------------------------------------------------------------

TEST(ReportProjectFile, ActiveReportIsTheNamedOneElseTheFirst) {
  struct Case { const char* project; const char* expected; };
  const Case cases[] = {
      {"[report A]\ntemplate = <<E\n<p>a</p>\nE\n[report B]\ntemplate = <<E\n<p>b</p>\nE\n", "A"},
      {"[project]\nactive = B\n[report A]\ntemplate = <<E\n<p>a</p>\nE\n[report B]\ntemplate = <<E\n<p>b</p>\nE\n", "B"},
      {"[project]\nactive = b\n[report A]\ntemplate = <<E\n<p>a</p>\nE\n[report B]\ntemplate = <<E\n<p>b</p>\nE\n", "B"},
      {"[project]\nactive = C\n[report A]\ntemplate = <<E\n<p>a</p>\nE\n[report B]\ntemplate = <<E\n<p>b</p>\nE\n", "A"},
      {"[report A]\ntemplate = <<E\n<p>a</p>\nE\n[report B]\ntemplate = <<E\n<p>b</p>\nE\n[project]\nactive = B\n", "B"},
  };
  for (const Case& c : cases) {
    const auto project = parseReportProject(QString::fromUtf8(c.project), QStringLiteral("x.rav"));
    EXPECT_EQ(project.activeReport(QStringLiteral("x.rav")).name, QString::fromUtf8(c.expected))
        << c.project;
  }
}

TEST(ReportProjectFile, SettingsAreRead) {
  const auto project = parseReportProject(
      QStringLiteral("; comment\n[report R]\npage = 100x150\norientation = landscape\n"
                     "margins = 5 6 7 8\nfont = Liberation Serif, 12\nnumber-format = fixed 3\n"
                     "number-format.PRES = general\ndecimal-separator = .\n"
                     "template = <<END\n<p>x</p>\n# not a comment inside\nEND\n"),
      QStringLiteral("x.rav"));
  const ReportDefinition& r = project.reports.at(0);
  EXPECT_EQ(r.pageSize.size(QPageSize::Millimeter), QSizeF(100, 150));
  EXPECT_EQ(r.orientation, QPageLayout::Landscape);
  EXPECT_EQ(r.marginsMm, QMarginsF(8, 5, 6, 7));
  EXPECT_EQ(r.fontFamily, QStringLiteral("Liberation Serif"));
  EXPECT_EQ(r.fontPointSize, 12);
  EXPECT_EQ(r.decimals, 3);
  EXPECT_EQ(r.fieldDecimals.value(QStringLiteral("pres")), -1);
  EXPECT_EQ(r.decimalSeparator, QChar(u'.'));
  EXPECT_EQ(r.templateText, QStringLiteral("<p>x</p>\n# not a comment inside"));
  EXPECT_EQ(r.templateLine, 11);
}

TEST(ReportProjectFile, MistakesAreNamedWithTheirLine) {
  struct Case { const char* text; const char* expected; };
  const Case cases[] = {
      {"[report R]\npage = B7\n", "line 2: unknown page size \"B7\""},
      {"[report R]\ncolour = red\n", "line 2: unknown setting \"colour\""},
      {"x = 1\n", "line 1: setting outside a section"},
      {"[report R]\ntemplate = <<END\n<p/>\n", "line 2: template not closed by a line \"END\""},
      {"[report R]\nmargins = 1 2\n", "line 2: margins take one or four values"},
      {"[report R]\nnumber-format = fixed x\n", "line 2: number format must be"},
      {"[reports]\n", "line 1: unknown section \"reports\""},
      {"[project]\nactive = A\n", "no [report ...] section"},
      {"[report R]\npage = A4\n", "report \"R\" has no template"},
  };
  for (const Case& c : cases) {
    const QString text = errorOf([&] { parseReportProject(QString::fromUtf8(c.text), QStringLiteral("p.rav")); });
    EXPECT_TRUE(text.startsWith(QStringLiteral("Report project \"p.rav\""))) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromUtf8(c.expected))) << text.toStdString();
  }
}

// --- template filling -------------------------------------------------------------------

QString fill(const QString& tpl, const ReportRecord& record, const QString& extra = {},
             QChar regional = u',') {
  const auto project = parseReportProject(projectText(tpl, extra), QStringLiteral("p.rav"));
  return fillReportTemplate(project.reports[0], {{QStringLiteral("RvDataSetConnection1"), record}},
                            regional, QStringLiteral("p.rav"));
}

TEST(ReportTemplate, NamesMatchWithoutRegardToCaseAndValuesAreFormatted) {
  const ReportRecord rec = {{"SERiNO", "T1"}, {"TARiH", QDate(2026, 3, 9)}, {"SAAT", QTime(14, 5, 30)},
                            {"HAVA", 6.2}, {"PRES", 1480.456}, {"EN", ReportValue()},
                            {"BOY", -0.0001}, {"NOTE", "a<b & 'c'"}};
  struct Case { const char* tpl; const char* extra; const char* expected; };
  const Case cases[] = {
      {"{{RvDataSetConnection1.SERiNO}}", "", "T1"},
      {"{{rvdatasetconnection1.serino}}", "", "T1"},
      {"{{#RVDATASETCONNECTION1}}{{SeRiNo}}{{/rvDataSetConnection1}}", "", "T1"},
      {"{{RvDataSetConnection1.TARiH}} {{RvDataSetConnection1.SAAT}}", "", "09.03.2026 14:05"},
      {"{{RvDataSetConnection1.TARiH}}", "date-format = d MMMM yyyy\n", "9 Mart 2026"},
      {"{{RvDataSetConnection1.SAAT}}", "time-format = hh:mm:ss\n", "14:05:30"},
      {"{{RvDataSetConnection1.HAVA}}", "", "6,2"},
      {"{{RvDataSetConnection1.HAVA}}", "number-format = fixed 2\n", "6,20"},
      {"{{RvDataSetConnection1.PRES}}", "number-format = fixed 2\nnumber-format.pres = fixed 1\n", "1480,5"},
      {"{{RvDataSetConnection1.HAVA}}", "number-format = fixed 2\ndecimal-separator = .\n", "6.20"},
      {"{{RvDataSetConnection1.BOY}}", "number-format = fixed 2\n", "0,00"},
      {"[{{RvDataSetConnection1.EN}}]{{^RvDataSetConnection1.EN}}-{{/RvDataSetConnection1.EN}}", "", "[]-"},
      {"{{#RvDataSetConnection1.HAVA}}has{{/RvDataSetConnection1.HAVA}}", "", "has"},
      {"{{RvDataSetConnection1.NOTE}}", "", "a&lt;b &amp; &#39;c&#39;"},
      {"[{{RvDataSetConnection2.SERiNO}}]", "", "[]"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(fill(QString::fromUtf8(c.tpl), rec, QString::fromUtf8(c.extra)), QString::fromUtf8(c.expected))
        << c.tpl;
}

TEST(ReportTemplate, BadTemplatesAreRefusedWithTheirReport) {
  const QString unclosed = errorOf([] { fill(QStringLiteral("{{#RvDataSetConnection1}}x"), {}); });
  EXPECT_TRUE(unclosed.startsWith(QStringLiteral("Report project \"p.rav\", report \"R\": template:")))
      << unclosed.toStdString();
  const QString delimiters = errorOf([] { fill(QStringLiteral("{{=<% %>=}}"), {}); });
  EXPECT_TRUE(delimiters.contains(QStringLiteral("delimiters"))) << delimiters.toStdString();

  const auto project = parseReportProject(projectText(QStringLiteral("<p>ok</p>\n<p>open")),
                                          QStringLiteral("p.rav"));
  const QString xml = errorOf([&] { ReportDocument doc(project.reports[0], {}, u',', QStringLiteral("p.rav")); });
  EXPECT_TRUE(xml.contains(QStringLiteral("report \"R\", line 4: the filled template is not well-formed XHTML")))
      << xml.toStdString();
}

// --- renderers ---------------------------------------------------------------------------

// A bare 4 x 4 value table: the text grid must keep its rows and columns.
const char* kGridTemplate =
    "{{#RvDataSetConnection1}}<p>{{SERiNO}}</p>\n"
    "<table width=\"100%\" cellpadding=\"2\"><tr><td>FAZ</td><td>HAVA</td><td>PRES</td><td>EN</td><td>BOY</td></tr>\n"
    "<tr><td>1</td><td>{{HAVA}}</td><td>{{PRES}}</td><td>{{EN}}</td><td>{{BOY}}</td></tr>\n"
    "<tr><td>2</td><td>{{HAVA1}}</td><td>{{PRES1}}</td><td>{{EN1}}</td><td>{{BOY1}}</td></tr>\n"
    "<tr><td>3</td><td>{{HAVA2}}</td><td>{{PRES2}}</td><td>{{EN2}}</td><td>{{BOY2}}</td></tr>\n"
    "<tr><td>4</td><td>{{HAVA3}}</td><td>{{PRES3}}</td><td>{{EN3}}</td><td>{{BOY3}}</td></tr></table>"
    "{{/RvDataSetConnection1}}";

TEST(ReportRenderers, PlainTextIsACharacterGridOfTenPerInchAndSixLinesPerInch) {
  const auto project = parseReportProject(
      projectText(QString::fromUtf8(kGridTemplate), QStringLiteral("number-format = fixed 2\nmargins = 10\n")),
      QStringLiteral("p.rav"));
  ReportDocument doc(project.reports[0], {{QStringLiteral("RvDataSetConnection1"), sampleRecord()}}, u',',
                     QStringLiteral("p.rav"));
  const QString text = QString::fromUtf8(RvRenderText().render(doc, 1, 0, {}));
  const QStringList lines = text.split(u'\n');
  // A4 less 10 mm margins: 277 mm high -> 65 lines of 1/6 inch (and a final newline).
  EXPECT_EQ(lines.size(), 65 + 1);
  const int header = int(lines.indexOf(QRegularExpression(QStringLiteral("^\\s*FAZ\\s+HAVA\\s+PRES\\s+EN\\s+BOY\\s*$"))));
  ASSERT_GE(header, 0) << text.toStdString();
  std::vector<qsizetype> columns;
  for (const char* head : {"HAVA", "PRES", "EN", "BOY"}) columns.push_back(lines[header].indexOf(QString::fromLatin1(head)));
  int previous = header;
  for (int row = 1; row <= 4; ++row) {
    QStringList cells;
    for (int col = 1; col <= 4; ++col) cells << QString::number(cellValue(row, col), 'f', 2).replace(u'.', u',');
    const QRegularExpression re(QStringLiteral("^\\s*%1\\s+%2\\s*$").arg(row).arg(cells.join(QStringLiteral("\\s+"))));
    const int at = int(lines.indexOf(re));
    ASSERT_GT(at, previous) << "row " << row << "\n" << text.toStdString();
    previous = at;
    // Each value stands in its column: the grid keeps the page's horizontal layout.
    for (int col = 1; col <= 4; ++col)
      EXPECT_NEAR(double(lines[at].indexOf(cells[col - 1])), double(columns[col - 1]), 1.0)
          << "row " << row << " col " << col << "\n" << text.toStdString();
  }
  // 80 mm of the page width lie left of the third column: at 10 characters per inch
  // that column starts near character 10 * (x in inches).
  EXPECT_LT(lines[header].size(), 77);  // 190 mm = 7.48 in -> at most 75 characters
}

TEST(ReportRenderers, HtmlIsOneWellFormedSelfContainedPage) {
  const auto project = parseReportProject(projectText(QString::fromUtf8(kGridTemplate)), QStringLiteral("p.rav"));
  ReportDocument doc(project.reports[0], {{QStringLiteral("RvDataSetConnection1"), sampleRecord()}}, u',',
                     QStringLiteral("p.rav"));
  const QString html = QString::fromUtf8(RvRenderHTML().render(doc, 1, 0, {}));
  EXPECT_TRUE(html.startsWith(QStringLiteral("<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\">")));
  QXmlStreamReader xml(html);
  QStringList cells;
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement) {
      EXPECT_FALSE(xml.attributes().hasAttribute(QStringLiteral("src")));
      EXPECT_FALSE(xml.attributes().hasAttribute(QStringLiteral("href")));
      if (xml.name() == u"td") cells << xml.readElementText(QXmlStreamReader::IncludeChildElements);
    }
  }
  ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  ASSERT_EQ(cells.size(), 25);
  EXPECT_EQ(cells[5 * 3 + 2], QStringLiteral("32,25"));  // row 3, PRES
  EXPECT_TRUE(html.contains(QStringLiteral("@page { size: 210mm 297mm;")));
}

// --- RvProject ---------------------------------------------------------------------------

class RvProjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root.isValid());
    QDir(root.path()).mkpath(QStringLiteral("D/sistem"));
    QDir(root.path()).mkpath(QStringLiteral("C/out"));
    writeProject(projectText(QString::fromUtf8(kGridTemplate)));
    source.record = sampleRecord();
    connection.setDataSet(&source);
    project.addConnection(&connection);
    project.addRenderer(&pdf);
    project.addRenderer(&html);
    project.addRenderer(&text);
    project.setProjectFile(QStringLiteral("D:\\sistem\\r.rav"));
  }
  void writeProject(const QString& content) {
    QFile f(root.path() + QStringLiteral("/D/sistem/r.rav"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content.toUtf8());
  }
  void fileSystem(const QString& windowsName) {
    sys.setDefaultDest(ReportDestination::rdFile);
    sys.setDoNativeOutput(false);
    sys.setRenderObject(&text);
    sys.setOutputFileName(windowsName);
    sys.setSystemSetups(sys.SystemSetups() & ~SetupPermissions(ssAllowSetup));
    project.setEngine(&sys);
  }
  QString host(const QString& rel) const { return root.path() + u'/' + rel; }
  QString readHost(const QString& rel) const {
    QFile f(host(rel));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<missing>");
  }

  QTemporaryDir root;
  ScriptedReportDialogs dialogs;
  RecordDataSource source;
  RvDataSetConnection connection;
  RvRenderPDF pdf;
  RvRenderHTML html;
  RvRenderText text;
  RvSystem sys;
  RvProject project{QStringLiteral("RvProject1"), ReportEnvironment{DriveMap(root.path()), u',', &dialogs}};
};

TEST_F(RvProjectTest, MissingProjectFileIsTheEnginesError) {
  QFile::remove(host(QStringLiteral("D/sistem/r.rav")));
  EXPECT_EQ(errorOf([&] { project.Execute(); }),
            QStringLiteral("The following reporting project does not exist:\r\"D:\\sistem\\r.rav\""));
  EXPECT_TRUE(dialogs.requests.empty());
}

TEST_F(RvProjectTest, FileThatCannotBeCreatedIsTheEnginesError) {
  fileSystem(QStringLiteral("C:\\missing\\a.txt"));
  EXPECT_EQ(errorOf([&] { project.Execute(); }),
            QStringLiteral("Cannot create file \"C:\\missing\\a.txt\". No such file or directory"));
  QDir(root.path()).mkpath(QStringLiteral("C/out/a.txt"));  // a folder in the file's place
  fileSystem(QStringLiteral("C:\\out\\a.txt"));
  EXPECT_EQ(errorOf([&] { project.Execute(); }),
            QStringLiteral("Cannot create file \"C:\\out\\a.txt\". Is a directory"));
}

TEST_F(RvProjectTest, FileOutputWithoutDialogReplacesTheFileAndShowsStatus) {
  QFile old(host(QStringLiteral("C/out/a.txt")));
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write("old content that is longer than nothing");
  old.close();
  fileSystem(QStringLiteral("C:\\out\\a.txt"));
  project.Execute();
  EXPECT_TRUE(dialogs.requests.empty());
  EXPECT_TRUE(readHost(QStringLiteral("C/out/a.txt")).contains(QStringLiteral("T09032026K1405V")));
  EXPECT_FALSE(readHost(QStringLiteral("C/out/a.txt")).contains(QStringLiteral("old content")));
  EXPECT_EQ(dialogs.statusTitles, QStringList{QStringLiteral("Report Status")});
  EXPECT_EQ(dialogs.statusTexts, QStringList{QStringLiteral("Generating page 1")});
}

TEST_F(RvProjectTest, LoadedProjectStaysUntilClosed) {
  fileSystem(QStringLiteral("C:\\out\\a.txt"));
  project.Execute();
  writeProject(projectText(QStringLiteral("<p>EDITED {{RvDataSetConnection1.SERiNO}}</p>")));
  project.Execute();
  EXPECT_FALSE(readHost(QStringLiteral("C/out/a.txt")).contains(QStringLiteral("EDITED")));
  project.Close();
  project.Execute();
  EXPECT_TRUE(readHost(QStringLiteral("C/out/a.txt")).contains(QStringLiteral("EDITED T09032026K1405V")));
}

TEST_F(RvProjectTest, OwnSystemAsksForTheOutputWithPreviewPreselected) {
  project.Execute();  // Engine unset; the scripted dialog cancels
  ASSERT_EQ(dialogs.requests.size(), 1u);
  const OutputOptionsRequest& r = dialogs.requests[0];
  EXPECT_EQ(r.title, QStringLiteral("Output Options"));
  EXPECT_EQ(r.preselected, ReportDestination::rdPreview);
  EXPECT_EQ(r.permissions, kAllSetupPermissions);
  // Only the formats it can write: NDR and PRN are not offered.
  EXPECT_EQ(r.fileFormats, (QStringList{QStringLiteral("Adobe Acrobat (PDF)"), QStringLiteral("Web Page (HTML)"),
                                        QStringLiteral("Plain Text (TXT)")}));
  EXPECT_TRUE(dialogs.previews.empty());
  EXPECT_TRUE(dialogs.printed.empty());
  EXPECT_TRUE(dialogs.statusTexts.isEmpty());
}

TEST_F(RvProjectTest, DestinationsChosenInTheDialog) {
  OutputChoice preview;
  dialogs.choices.push_back(preview);
  project.Execute();
  ASSERT_EQ(dialogs.previews.size(), 1u);
  EXPECT_EQ(dialogs.previews[0].title, QStringLiteral("Report Preview"));
  EXPECT_TRUE(dialogs.previews[0].allowPrint);
  EXPECT_EQ(dialogs.statusTexts, QStringList{QStringLiteral("Generating page 1")});

  OutputChoice printer;
  printer.destination = ReportDestination::rdPrinter;
  printer.copies = 3;
  printer.fromPage = 1;
  printer.toPage = 1;
  printer.collate = false;
  dialogs.choices.push_back(printer);
  project.Execute();
  ASSERT_EQ(dialogs.printed.size(), 1u);
  EXPECT_EQ(dialogs.printed[0].job.copies, 3);
  EXPECT_FALSE(dialogs.printed[0].job.collate);
  EXPECT_EQ(dialogs.printed[0].job.jobTitle, QStringLiteral("ReportPrinter Report"));
  EXPECT_EQ(dialogs.printed[0].job.statusText, QStringLiteral("Printing page %p"));

  OutputChoice pdfFile;
  pdfFile.destination = ReportDestination::rdFile;
  pdfFile.fileFormat = QStringLiteral("Adobe Acrobat (PDF)");
  pdfFile.fileName = host(QStringLiteral("C/out/chosen"));  // a host path; the suffix is added
  dialogs.choices.push_back(pdfFile);
  project.Execute();
  EXPECT_TRUE(testing::pdfText(host(QStringLiteral("C/out/chosen.pdf"))).contains(QStringLiteral("T09032026K1405V")));
}

TEST_F(RvProjectTest, FormatsWithoutARendererAreRefused) {
  for (const char* format : {"Rave Snapshot File (NDR)", "Native Printer Output (PRN)"}) {
    OutputChoice c;
    c.destination = ReportDestination::rdFile;
    c.fileFormat = QString::fromUtf8(format);
    c.fileName = host(QStringLiteral("C/out/x.ndr"));
    dialogs.choices.push_back(c);
    EXPECT_EQ(errorOf([&] { project.Execute(); }),
              QStringLiteral("The output format \"%1\" is not available; choose \"Adobe Acrobat (PDF)\", "
                             "\"Web Page (HTML)\" or \"Plain Text (TXT)\"").arg(QString::fromUtf8(format)));
  }
  EXPECT_TRUE(QDir(host(QStringLiteral("C/out"))).isEmpty());
}

TEST_F(RvProjectTest, ConnectionWithoutDataIsAnError) {
  connection.setDataSet(nullptr);
  fileSystem(QStringLiteral("C:\\out\\a.txt"));
  EXPECT_EQ(errorOf([&] { project.Execute(); }), QStringLiteral("RvDataSetConnection1: no data set is connected"));
  EXPECT_FALSE(QFile::exists(host(QStringLiteral("C/out/a.txt"))));
}

TEST(ReportData, VariantsBecomeReportValues) {
  EXPECT_TRUE(ReportValue::fromVariant(Variant()).isEmpty());
  EXPECT_TRUE(ReportValue::fromVariant(Variant::null()).isEmpty());
  EXPECT_EQ(*ReportValue::fromVariant(Variant(2.5)).number(), 2.5);
  EXPECT_EQ(*ReportValue::fromVariant(Variant(qint64(7))).number(), 7.0);
  EXPECT_EQ(*ReportValue::fromVariant(Variant(true)).number(), 1.0);
  EXPECT_EQ(*ReportValue::fromVariant(Variant("NEGATiF")).text(), QStringLiteral("NEGATiF"));
}

TEST_F(RvProjectTest, PagesAreCountedInTheStatusAndTheRangeIsKept) {
  writeProject(projectText(QStringLiteral(
      "<p style=\"page-break-after: always\">PAGE-ONE {{RvDataSetConnection1.SERiNO}}</p>\n"
      "<p style=\"page-break-after: always\">PAGE-TWO</p>\n<p>PAGE-THREE</p>")));
  OutputChoice c;
  c.destination = ReportDestination::rdFile;
  c.fileFormat = QStringLiteral("Adobe Acrobat (PDF)");
  c.fileName = host(QStringLiteral("C/out/range.pdf"));
  c.fromPage = 2;
  c.toPage = 3;
  dialogs.choices.push_back(c);
  project.Execute();
  EXPECT_EQ(dialogs.requests.at(0).pageCount, 3);
  EXPECT_EQ(dialogs.statusTexts, (QStringList{QStringLiteral("Generating page 2"), QStringLiteral("Generating page 3")}));
  const QString pdfText = testing::pdfText(host(QStringLiteral("C/out/range.pdf")));
  EXPECT_FALSE(pdfText.contains(QStringLiteral("PAGE-ONE")));
  EXPECT_TRUE(pdfText.contains(QStringLiteral("PAGE-TWO")));
  EXPECT_TRUE(pdfText.contains(QStringLiteral("PAGE-THREE")));

  project.Close();
  fileSystem(QStringLiteral("C:\\out\\all.txt"));
  dialogs.statusTexts.clear();
  project.Execute();
  const QStringList pages = readHost(QStringLiteral("C/out/all.txt")).split(u'\f');
  ASSERT_EQ(pages.size(), 3);
  EXPECT_TRUE(pages[0].contains(QStringLiteral("PAGE-ONE T09032026K1405V")));
  EXPECT_TRUE(pages[2].contains(QStringLiteral("PAGE-THREE")));
  EXPECT_EQ(dialogs.statusTexts.size(), 3);
}

}  // namespace
}  // namespace velta
