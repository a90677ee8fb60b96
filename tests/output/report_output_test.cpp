// The three report buttons: guard, order of steps, component settings, the files they
// write with the default report project, errors and refused serial numbers.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "output/report_output.h"
#include "platform/error.h"
#include "platform/fakes/scripted_dialogs.h"
#include "platform/report/scripted_report_dialogs.h"
#include "tests/support/report_samples.h"

namespace velta {
namespace {

using testing::cellValue;
using testing::fieldName;
using testing::pdfText;

using testing::kSerial;
using testing::kDesktop;
const QString kProject = QStringLiteral("D/rododezuz/sistem/rapor.rav");

using testing::expectRecordLines;
using testing::number;

class ReportOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root.isValid());
    QDir(root.path()).mkpath(kDesktop);
    QDir(root.path()).mkpath(QStringLiteral("D/rododezuz/sistem"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELTA_SOURCE_DIR "/resources/station/sistem/rapor.rav"), host(kProject)));
    reports.RvDataSetConnection1.setDataSet(&printBuffer);
    reports.setTrace([this](const QString& s) { steps << s; });
    showRecord(kSerial, 0);
  }

  // What the record browser does: the record's texts in the detail panel.
  void showRecord(const QString& serial, double offset) {
    form.setText(ctl::Edit6, serial);
    for (int row = 1; row <= 4; ++row)
      for (int col = 1; col <= 4; ++col)
        form.setText(ctl::Edit9 + (row - 1) * 4 + (col - 1), number(cellValue(row, col) + offset));
  }
  // A stand-in for the print buffer: the detail panel's record, with the serial's date and time.
  void preparePrintBuffer() {
    steps << QStringLiteral("PreparePrintBuffer");
    if (failPrepare) throw Error(QStringLiteral("'..' is not a valid date"));
    const QString s = form.text(ctl::Edit6);
    ReportRecord r;
    r.push_back({QStringLiteral("SERiNO"), ReportValue(s.left(15))});
    r.push_back({QStringLiteral("TARiH"), ReportValue(QDate::fromString(s.mid(1, 8), QStringLiteral("ddMMyyyy")))});
    r.push_back({QStringLiteral("SAAT"), ReportValue(QTime::fromString(s.mid(10, 4), QStringLiteral("hhmm")))});
    r.push_back({QStringLiteral("SONUC"), ReportValue(QStringLiteral("NEGATiF"))});
    for (int row = 1; row <= 4; ++row)
      for (int col = 1; col <= 4; ++col) {
        const QString t = form.text(ctl::Edit9 + (row - 1) * 4 + (col - 1));
        r.push_back({fieldName(row, col), t.isEmpty() ? ReportValue() : ReportValue(QString(t).replace(u',', u'.').toDouble())});
      }
    printBuffer.record = r;
  }

  QString host(const QString& rel) const { return root.path() + u'/' + rel; }
  QString desktopFile(const QString& name) const { return host(kDesktop + u'/' + name); }
  QStringList allFiles() const {
    QStringList files;
    QDirIterator it(root.path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) files << it.next();
    files.sort();
    return files;
  }
  QString errorOf(void (ReportOutput::*button)()) {
    try {
      (output.*button)();
    } catch (const Error& e) {
      return e.text();
    }
    return QStringLiteral("<no error>");
  }
  void writeProject(const QString& text) {
    QFile f(host(kProject));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
  }

  QTemporaryDir root;
  FormState form;
  ScriptedDialogs dialogs;
  ScriptedReportDialogs reportDialogs;
  MainWindowReports reports{ReportEnvironment{DriveMap(root.path()), u',', &reportDialogs}};
  RecordDataSource printBuffer;
  QStringList steps;
  bool failPrepare = false;
  ReportOutput output{form, dialogs, reports, [this] { preparePrintBuffer(); }};
};

struct Button {
  const char* name;
  void (ReportOutput::*click)();
};
const Button kButtons[] = {{"SpeedButton6Click", &ReportOutput::SpeedButton6Click},
                           {"SpeedButton2Click", &ReportOutput::SpeedButton2Click},
                           {"SpeedButton3Click", &ReportOutput::SpeedButton3Click}};

TEST_F(ReportOutputTest, NoRecordShownAsksForOneAndTouchesNothing) {
  form.setText(ctl::Edit6, QStringLiteral(" "));
  const QStringList before = allFiles();
  for (const Button& b : kButtons) {
    dialogs.shown.clear();
    (output.*b.click)();
    ASSERT_EQ(dialogs.shown.size(), 1u) << b.name;
    EXPECT_EQ(dialogs.shown[0].kind, ScriptedDialogs::Kind::Message);
    EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("VELTA RUZEDIVE "));
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("KAYIT ŞEÇ "));
  }
  EXPECT_TRUE(steps.isEmpty()) << steps.join(u'\n').toStdString();
  EXPECT_TRUE(reportDialogs.requests.empty());
  EXPECT_EQ(allFiles(), before);
}

TEST_F(ReportOutputTest, FileButtonsRunTheirStepsInOrderAndWriteTheDesktopFile) {
  struct Case { void (ReportOutput::*click)(); const char* renderer; const char* ext; };
  const Case cases[] = {{&ReportOutput::SpeedButton2Click, "RvRenderPDF1", ".pdf"},
                        {&ReportOutput::SpeedButton3Click, "RvRenderHTML1", ".html"}};
  for (const Case& c : cases) {
    steps.clear();
    (output.*c.click)();
    const QString ext = QString::fromLatin1(c.ext);
    EXPECT_EQ(steps, (QStringList{
                         QStringLiteral("PreparePrintBuffer"),
                         QStringLiteral("RvProject1.Close"),
                         QStringLiteral("RvProject1.ClearStoredProject"),
                         QStringLiteral("RvProject1.ProjectFile=D:\\rododezuz\\sistem\\rapor.rav"),
                         QStringLiteral("RvSystem1.DefaultDest=rdFile"),
                         QStringLiteral("RvSystem1.DoNativeOutput=False"),
                         QStringLiteral("RvSystem1.RenderObject=") + QString::fromLatin1(c.renderer),
                         QStringLiteral("RvSystem1.OutputFileName=C:\\Documents and Settings\\Administrator\\Desktop\\T09032026K1405V") + ext,
                         QStringLiteral("RvSystem1.SystemSetups=[ssAllowCopies,ssAllowCollate,ssAllowDuplex,ssAllowDestPreview,"
                                        "ssAllowDestPrinter,ssAllowDestFile,ssAllowPrinterSetup,ssAllowPreviewSetup]"),
                         QStringLiteral("RvProject1.Engine=RvSystem1"),
                         QStringLiteral("RvProject1.Execute")}))
        << steps.join(u'\n').toStdString();
    EXPECT_TRUE(QFile::exists(desktopFile(kSerial + ext)));
    // The settings stay with the components.
    EXPECT_EQ(reports.RvSystem1.DefaultDest(), ReportDestination::rdFile);
    EXPECT_FALSE(reports.RvSystem1.DoNativeOutput());
    EXPECT_EQ(reports.RvSystem1.RenderObject()->Name(), QString::fromLatin1(c.renderer));
    EXPECT_FALSE(reports.RvSystem1.SystemSetups().testFlag(ssAllowSetup));
    EXPECT_EQ(reports.RvProject1.Engine(), &reports.RvSystem1);
  }
  // Both files side by side; no dialog, no message; the status window showed the pages.
  EXPECT_TRUE(QFile::exists(desktopFile(kSerial + QStringLiteral(".pdf"))));
  EXPECT_TRUE(reportDialogs.requests.empty());
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(reportDialogs.statusTitles, (QStringList{QStringLiteral("Report Status"), QStringLiteral("Report Status")}));
  EXPECT_EQ(reportDialogs.statusTexts, (QStringList{QStringLiteral("Generating page 1"), QStringLiteral("Generating page 1")}));
}

TEST_F(ReportOutputTest, PdfHoldsTheRecordInItsCellsAndIsReplacedOnTheNextRun) {
  output.SpeedButton2Click();
  expectRecordLines(pdfText(desktopFile(kSerial + QStringLiteral(".pdf"))), 0);
  showRecord(kSerial, 100);  // same serial number, other values: the file is replaced
  output.SpeedButton2Click();
  expectRecordLines(pdfText(desktopFile(kSerial + QStringLiteral(".pdf"))), 100);
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(ReportOutputTest, HtmlIsWellFormedAndHoldsTheRecordInItsCells) {
  output.SpeedButton3Click();
  QFile f(desktopFile(kSerial + QStringLiteral(".html")));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QString html = QString::fromUtf8(f.readAll());
  QXmlStreamReader xml(html);
  std::vector<QStringList> rows;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == u"tr") rows.emplace_back();
    if (xml.isStartElement() && (xml.name() == u"td" || xml.name() == u"th"))
      rows.back() << xml.readElementText(QXmlStreamReader::IncludeChildElements).simplified();
  }
  ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  auto rowStarting = [&](const QString& first) -> QStringList {
    for (const QStringList& r : rows)
      if (!r.isEmpty() && r[0] == first) return r;
    return {};
  };
  EXPECT_EQ(rowStarting(QStringLiteral("SERİ NO")),
            (QStringList{QStringLiteral("SERİ NO"), kSerial, QStringLiteral("TARİH"), QStringLiteral("09.03.2026")}));
  EXPECT_EQ(rowStarting(QStringLiteral("SONUÇ")),
            (QStringList{QStringLiteral("SONUÇ"), QStringLiteral("NEGATiF"), QStringLiteral("SAAT"), QStringLiteral("14:05")}));
  EXPECT_EQ(rowStarting(QStringLiteral("FAZ")),
            (QStringList{QStringLiteral("FAZ"), QStringLiteral("BASINÇ (bar)"), QStringLiteral("PRES (kg)"),
                         QStringLiteral("EN (cm)"), QStringLiteral("BOY (cm)")}));
  for (int row = 1; row <= 4; ++row) {
    QStringList expected{QStringLiteral("%1. FAZ").arg(row)};
    for (int col = 1; col <= 4; ++col) expected << number(cellValue(row, col));
    EXPECT_EQ(rowStarting(expected[0]), expected);
  }
}

TEST_F(ReportOutputTest, PrinterButtonAlwaysBringsUpTheOutputOptions) {
  reportDialogs.choices.push_back(std::nullopt);  // the operator cancels
  output.SpeedButton6Click();
  EXPECT_EQ(steps, (QStringList{QStringLiteral("PreparePrintBuffer"), QStringLiteral("RvProject1.Close"),
                                QStringLiteral("RvProject1.ClearStoredProject"),
                                QStringLiteral("RvProject1.ProjectFile=D:\\rododezuz\\sistem\\rapor.rav"),
                                QStringLiteral("RvProject1.ExecuteOnOwnSystem")}));
  ASSERT_EQ(reportDialogs.requests.size(), 1u);
  EXPECT_EQ(reportDialogs.requests[0].title, QStringLiteral("Output Options"));
  EXPECT_EQ(reportDialogs.requests[0].preselected, ReportDestination::rdPreview);
  EXPECT_TRUE(dialogs.shown.empty());  // cancelled: no output, no message
  EXPECT_TRUE(QDir(host(kDesktop)).isEmpty());
  EXPECT_EQ(reports.RvProject1.Engine(), nullptr);

  // After a PDF run the printer button still asks, and leaves the file settings alone.
  output.SpeedButton2Click();
  const QString pdfFile = desktopFile(kSerial + QStringLiteral(".pdf"));
  const QByteArray pdfBefore = [&] { QFile f(pdfFile); f.open(QIODevice::ReadOnly); return f.readAll(); }();
  steps.clear();
  showRecord(QStringLiteral("T10032026K0930V"), 5);
  output.SpeedButton6Click();
  EXPECT_EQ(reportDialogs.requests.size(), 2u);
  EXPECT_EQ(reportDialogs.requests[1].preselected, ReportDestination::rdPreview);
  EXPECT_EQ(steps.filter(QStringLiteral("RvSystem1")), QStringList());
  EXPECT_EQ(reports.RvProject1.Engine(), &reports.RvSystem1);
  EXPECT_EQ(reports.RvSystem1.OutputFileName(),
            QStringLiteral("C:\\Documents and Settings\\Administrator\\Desktop\\T09032026K1405V.pdf"));
  const QByteArray pdfAfter = [&] { QFile f(pdfFile); f.open(QIODevice::ReadOnly); return f.readAll(); }();
  EXPECT_EQ(pdfAfter, pdfBefore);
}

TEST_F(ReportOutputTest, PrinterButtonPreviewPrinterAndFileThroughTheDialog) {
  OutputChoice preview;
  reportDialogs.choices.push_back(preview);
  output.SpeedButton6Click();
  ASSERT_EQ(reportDialogs.previews.size(), 1u);
  EXPECT_EQ(reportDialogs.previews[0].title, QStringLiteral("Report Preview"));
  EXPECT_TRUE(reportDialogs.previews[0].allowPrint);
  EXPECT_TRUE(reportDialogs.previews[0].xhtml.contains(kSerial));

  OutputChoice printer;
  printer.destination = ReportDestination::rdPrinter;
  printer.copies = 2;
  reportDialogs.choices.push_back(printer);
  output.SpeedButton6Click();
  ASSERT_EQ(reportDialogs.printed.size(), 1u);
  EXPECT_EQ(reportDialogs.printed[0].job.copies, 2);

  OutputChoice text;
  text.destination = ReportDestination::rdFile;
  text.fileFormat = QStringLiteral("Plain Text (TXT)");
  text.fileName = QStringLiteral("C:\\Documents and Settings\\Administrator\\Desktop\\rapor.txt");
  reportDialogs.choices.push_back(text);
  output.SpeedButton6Click();
  QFile f(desktopFile(QStringLiteral("rapor.txt")));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  expectRecordLines(QString::fromUtf8(f.readAll()), 0);

  OutputChoice snapshot = text;
  snapshot.fileFormat = QStringLiteral("Rave Snapshot File (NDR)");
  snapshot.fileName = QStringLiteral("C:\\Documents and Settings\\Administrator\\Desktop\\rapor.ndr");
  reportDialogs.choices.push_back(snapshot);
  EXPECT_TRUE(errorOf(&ReportOutput::SpeedButton6Click).startsWith(QStringLiteral("The output format \"Rave Snapshot File (NDR)\" is not available")));
  EXPECT_FALSE(QFile::exists(desktopFile(QStringLiteral("rapor.ndr"))));
}

TEST_F(ReportOutputTest, FailedPrintBufferStopsBeforeTheReportEngine) {
  failPrepare = true;
  for (const Button& b : kButtons) {
    steps.clear();
    EXPECT_EQ(errorOf(b.click), QStringLiteral("'..' is not a valid date")) << b.name;
    EXPECT_EQ(steps, QStringList{QStringLiteral("PreparePrintBuffer")}) << b.name;
  }
  EXPECT_TRUE(reportDialogs.requests.empty());
  EXPECT_TRUE(QDir(host(kDesktop)).isEmpty());
}

TEST_F(ReportOutputTest, MissingProjectFileIsShownAsTheEnginesError) {
  QFile::remove(host(kProject));
  for (const Button& b : kButtons)
    EXPECT_EQ(errorOf(b.click),
              QStringLiteral("The following reporting project does not exist:\r\"D:\\rododezuz\\sistem\\rapor.rav\""))
        << b.name;
  EXPECT_TRUE(QDir(host(kDesktop)).isEmpty());
}

TEST_F(ReportOutputTest, DesktopThatCannotBeWrittenIsShownAsTheEnginesError) {
  ASSERT_TRUE(QDir(host(kDesktop)).removeRecursively());
  EXPECT_EQ(errorOf(&ReportOutput::SpeedButton2Click),
            QStringLiteral("Cannot create file \"C:\\Documents and Settings\\Administrator\\Desktop\\T09032026K1405V.pdf\". "
                           "No such file or directory"));
  EXPECT_EQ(errorOf(&ReportOutput::SpeedButton3Click),
            QStringLiteral("Cannot create file \"C:\\Documents and Settings\\Administrator\\Desktop\\T09032026K1405V.html\". "
                           "No such file or directory"));
}

TEST_F(ReportOutputTest, SerialNumbersThatAreNoFileNameAreRefusedAndNothingIsWritten) {
  const char* bad[] = {"../../etc/x", "..", "a/b", "a\\b", "C:x", "T0903\n", "T09\x01", "a*b", "a?b", "a|b",
                       "a<b>", "a\"b", "CON", "nul.txt", "T0903.", "T0903 "};
  const QStringList before = allFiles();
  for (const char* serial : bad) {
    showRecord(QString::fromUtf8(serial), 0);
    steps.clear();
    for (auto click : {&ReportOutput::SpeedButton2Click, &ReportOutput::SpeedButton3Click}) {
      const QString text = errorOf(click);
      EXPECT_TRUE(text.startsWith(QStringLiteral("Seri numarası \""))) << serial << ": " << text.toStdString();
      EXPECT_TRUE(text.endsWith(QStringLiteral("; rapor dosyası yazılmadı"))) << text.toStdString();
      EXPECT_FALSE(text.contains(QChar(u'\n')) || text.contains(QChar(1))) << serial;
    }
    EXPECT_TRUE(steps.isEmpty()) << serial;  // not even the print buffer
  }
  EXPECT_EQ(allFiles(), before);
  // Well-formed serial numbers with the characters a plant might use pass.
  for (const char* good : {"T09032026K1405V", "A-1_2", "ÇĞİÖŞÜ 12"}) {
    showRecord(QString::fromUtf8(good), 0);
    EXPECT_NO_THROW(checkReportFileName(QString::fromUtf8(good))) << good;
  }
}

TEST_F(ReportOutputTest, EmptySerialGoesToThePrintBufferWhichDecides) {
  showRecord(QString(), 0);
  failPrepare = true;
  EXPECT_EQ(errorOf(&ReportOutput::SpeedButton2Click), QStringLiteral("'..' is not a valid date"));
  EXPECT_EQ(steps, QStringList{QStringLiteral("PreparePrintBuffer")});
  // Should the print buffer accept it, no file named ".pdf" is made.
  failPrepare = false;
  steps.clear();
  EXPECT_TRUE(errorOf(&ReportOutput::SpeedButton2Click).startsWith(QStringLiteral("Seri numarası \"\" dosya adı olamaz")));
  EXPECT_TRUE(QDir(host(kDesktop)).isEmpty());
}

TEST_F(ReportOutputTest, EditedProjectFileAndItsActiveReportAreUsedAtTheNextRun) {
  output.SpeedButton3Click();
  const QString file = desktopFile(kSerial + QStringLiteral(".html"));
  auto read = [&] { QFile f(file); f.open(QIODevice::ReadOnly); return QString::fromUtf8(f.readAll()); };
  EXPECT_TRUE(read().contains(QStringLiteral("ÖLÇÜM DEĞERLERİ")));
  writeProject(QStringLiteral(
      "[project]\nactive = ikinci\n"
      "[report birinci]\ntemplate = <<END\n<p>FIRST {{RvDataSetConnection1.SERiNO}}</p>\nEND\n"
      "[report ikinci]\nnumber-format = fixed 3\ntemplate = <<END\n<p>SECOND {{rvdatasetconnection1.serino}} {{RVDATASETCONNECTION1.PRES3}}</p>\nEND\n"));
  output.SpeedButton3Click();
  EXPECT_TRUE(read().contains(QStringLiteral("<p>SECOND T09032026K1405V 42,250</p>"))) << read().toStdString();
  writeProject(QStringLiteral(
      "[report birinci]\ntemplate = <<END\n<p>FIRST {{RvDataSetConnection1.SERiNO}}</p>\nEND\n"
      "[report ikinci]\ntemplate = <<END\n<p>SECOND</p>\nEND\n"));
  output.SpeedButton3Click();
  EXPECT_TRUE(read().contains(QStringLiteral("<p>FIRST T09032026K1405V</p>"))) << read().toStdString();
}

TEST_F(ReportOutputTest, UnsetPrintBufferStepIsAClearError) {
  ReportOutput unwired(form, dialogs, reports, {});
  EXPECT_THROW(
      {
        try {
          unwired.SpeedButton2Click();
        } catch (const Error& e) {
          EXPECT_TRUE(e.text().startsWith(QStringLiteral("PreparePrintBuffer is not connected")));
          throw;
        }
      },
      Error);
  EXPECT_TRUE(steps.isEmpty());
}

TEST_F(ReportOutputTest, ComponentsStartWithTheMainWindowsSettings) {
  MainWindowReports fresh(ReportEnvironment{DriveMap(root.path()), u',', nullptr});
  const RvSystem& sys = fresh.RvSystem1;
  EXPECT_EQ(sys.TitleSetup, QStringLiteral("Output Options"));
  EXPECT_EQ(sys.TitleStatus, QStringLiteral("Report Status"));
  EXPECT_EQ(sys.TitlePreview, QStringLiteral("Report Preview"));
  EXPECT_EQ(sys.DefaultDest(), ReportDestination::rdPreview);
  EXPECT_EQ(sys.SystemSetups(), kAllSetupPermissions);
  EXPECT_EQ(sys.Options, soShowStatus | soAllowPrintFromPreview | soPreviewModal);
  EXPECT_TRUE(sys.DoNativeOutput());
  EXPECT_EQ(sys.RenderObject(), nullptr);
  EXPECT_TRUE(sys.OutputFileName().isEmpty());
  EXPECT_EQ(sys.StatusFormat, QStringLiteral("Generating page %p"));
  EXPECT_EQ(sys.StatusPrinting, QStringLiteral("Printing page %p"));
  EXPECT_EQ(sys.JobTitle, QStringLiteral("ReportPrinter Report"));
  EXPECT_EQ(fresh.RvProject1.Engine(), nullptr);
  EXPECT_FALSE(fresh.RvProject1.hasStoredProject());
  EXPECT_EQ(fresh.RvRenderPDF1.DisplayName(), QStringLiteral("Adobe Acrobat (PDF)"));
  EXPECT_EQ(fresh.RvRenderPDF1.FileExtension(), QStringLiteral("*.pdf"));
  EXPECT_FALSE(fresh.RvRenderPDF1.EmbedFonts);
  EXPECT_EQ(fresh.RvRenderPDF1.ImageQuality, 90);
  EXPECT_EQ(fresh.RvRenderPDF1.MetafileDPI, 300);
  EXPECT_EQ(fresh.RvRenderHTML1.DisplayName(), QStringLiteral("Web Page (HTML)"));
  EXPECT_EQ(fresh.RvRenderHTML1.FileExtension(), QStringLiteral("*.html;*.htm"));
  EXPECT_FALSE(fresh.RvRenderHTML1.ServerMode);
  EXPECT_EQ(fresh.RvRenderText1.DisplayName(), QStringLiteral("Plain Text (TXT)"));
  EXPECT_EQ(fresh.RvRenderText1.CPI, 10);
  EXPECT_EQ(fresh.RvRenderText1.LPI, 6);
  EXPECT_EQ(fresh.RvDataSetConnection1.Name(), QStringLiteral("RvDataSetConnection1"));
  EXPECT_EQ(fresh.RvDataSetConnection1.RuntimeVisibility, RvDataSetConnection::rtDeveloper);
}

}  // namespace
}  // namespace velta
