// A stored record put out as a report, end to end through the station: the grid's click
// fills the detail panel, the report buttons stage it in the print buffer (Table2) and
// the report engine reads Table2 through RvDataSetConnection1.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include "app/station.h"
#include "output/dataset_report_source.h"
#include "platform/error.h"
#include "platform/fakes/fake_platform.h"
#include "platform/fakes/scripted_dialogs.h"
#include "platform/report/scripted_report_dialogs.h"
#include "records/daily_file.h"
#include "records/print_buffer.h"
#include "tests/support/report_samples.h"
#include "platform/number_text.h"
#include "tests/support/temp_station.h"

namespace velta {
namespace {

using testing::cellValue;
using testing::pdfText;

using testing::kSerial;
const QString kOther = QStringLiteral("T09032026K0930V");
using testing::kDesktop;

using testing::expectRecordLines;
using testing::number;

// The cell texts of every table row of an XHTML page; false when it is not well-formed.
bool tableRows(const QString& html, std::vector<QStringList>* rows) {
  QXmlStreamReader xml(html);
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == u"tr") rows->emplace_back();
    if (xml.isStartElement() && (xml.name() == u"td" || xml.name() == u"th") && !rows->empty())
      rows->back() << xml.readElementText(QXmlStreamReader::IncludeChildElements).simplified();
  }
  return !xml.hasError();
}

QStringList startingWith(const std::vector<QStringList>& rows, const QString& first) {
  for (const QStringList& r : rows)
    if (!r.isEmpty() && r[0] == first) return r;
  return {};
}

class StationPrintReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QDir(root.path()).mkpath(kDesktop);
    QDir(root.path()).mkpath(QStringLiteral("D/rododezuz/sistem"));
    QDir(root.path()).mkpath(QStringLiteral("D/rododezuz/data"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELTA_SOURCE_DIR "/resources/station/sistem/rapor.rav"),
                            host(QStringLiteral("D/rododezuz/sistem/rapor.rav"))));
    station.setReportDialogs(&reportDialogs);
    // The day's file with two records; the sample record (row r, column c holds
    // r*10 + c + 0.25) is the second.
    Dataset::createTable(host(QStringLiteral("D/rododezuz/data")), QStringLiteral("T09032026K.tkv"),
                         DailyFileFields(), DailyFileIndex());
    dialogs.files.push_back(host(QStringLiteral("D/rododezuz/data/T09032026K.tkv")));
    station.SpeedButton1Click();
    append(kOther, 100);
    append(kSerial, 0);
    dialogs.shown.clear();
  }
  void append(const QString& serial, double offset) {
    FormState& f = station.form();
    f.setText(ctl::Edit25, serial);
    for (int k = 0; k < 16; ++k) f.setText(ctl::Edit26 + k, number(cellValue(k / 4 + 1, k % 4 + 1) + offset));
    AppendTestRecord({station.table1(), f, dialogs, clock, drives});
  }
  void selectRow(int row) {  // a click on a data row makes it current, then the handler runs
    station.table1().moveTo(row);
    station.DBGrid1CellClick();
  }
  QString host(const QString& rel) const { return root.path() + u'/' + rel; }
  QString desktopFile(const QString& name) const { return host(kDesktop + u'/' + name); }
  QString read(const QString& path) const { return QString::fromUtf8(test::fileBytes(path)); }

  test::OpenTempDir root;
  DriveMap drives{root.path()};
  ScriptedDialogs dialogs;
  ObjectRegistry registry;
  RecordingShutdown shutdown;
  RecordingTermination termination;
  FakeClock clock{{2026, 3, 9}, {15, 0, 0}};
  ScriptedReportDialogs reportDialogs;
  Station station{PlatformServices{dialogs, registry, shutdown, termination, clock, RegionalSettings::turkish(),
                                   DriveMap(root.path())}};
};

TEST_F(StationPrintReportTest, BeforeAnySelectionNothingIsStaged) {
  station.SpeedButton2Click();
  EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("KAYIT ŞEÇ ")});
  EXPECT_FALSE(QFile::exists(host(QStringLiteral("D/rododezuz/sistem/Print.db"))));
  EXPECT_FALSE(station.table2().active());
  EXPECT_TRUE(QDir(host(kDesktop)).isEmpty());
}

TEST_F(StationPrintReportTest, PdfOfTheSelectedRecordHoldsItsValuesInTheirCells) {
  selectRow(1);
  ASSERT_EQ(station.form().text(ctl::Edit6), kSerial);
  const QString pdf = desktopFile(kSerial + QStringLiteral(".pdf"));
  // The report runs only after the operator closed the print buffer's message.
  bool pdfWhileMessage = true;
  dialogs.whileWaiting = [&](const ScriptedDialogs::Shown&) { pdfWhileMessage = QFile::exists(pdf); };
  station.SpeedButton2Click();
  EXPECT_FALSE(pdfWhileMessage);
  EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("Kayıtlar aktarıldı ")});
  EXPECT_EQ(dialogs.shown[0].caption, kApplicationTitle);
  expectRecordLines(pdfText(pdf), 0);
  EXPECT_FALSE(pdfText(pdf).contains(kOther));

  // The other row, then back: the file of each serial number holds its own record.
  selectRow(0);
  station.SpeedButton2Click();
  const QString otherText = pdfText(desktopFile(kOther + QStringLiteral(".pdf")));
  EXPECT_TRUE(otherText.contains(number(cellValue(4, 4) + 100))) << otherText.toStdString();
  EXPECT_TRUE(otherText.contains(QStringLiteral("09:30"))) << otherText.toStdString();
}

TEST_F(StationPrintReportTest, HtmlIsWellFormedAndHoldsTheRecordInItsCells) {
  selectRow(1);
  station.SpeedButton3Click();
  const QString html = read(desktopFile(kSerial + QStringLiteral(".html")));
  std::vector<QStringList> rows;
  ASSERT_TRUE(tableRows(html, &rows));
  auto rowStarting = [&](const QString& first) { return startingWith(rows, first); };
  EXPECT_EQ(rowStarting(QStringLiteral("SERİ NO")),
            (QStringList{QStringLiteral("SERİ NO"), kSerial, QStringLiteral("TARİH"), QStringLiteral("09.03.2026")}));
  EXPECT_EQ(rowStarting(QStringLiteral("SONUÇ")),
            (QStringList{QStringLiteral("SONUÇ"), QStringLiteral("NEGATiF"), QStringLiteral("SAAT"), QStringLiteral("14:05")}));
  for (int row = 1; row <= 4; ++row) {
    QStringList expected{QStringLiteral("%1. FAZ").arg(row)};
    for (int col = 1; col <= 4; ++col) expected << number(cellValue(row, col));
    EXPECT_EQ(rowStarting(expected[0]), expected);
  }
}

// The default report prints every value as the grid and the detail panel show it:
// 6,025 bar stays 6,025 (not 6,03), small and large values keep their digits.
TEST_F(StationPrintReportTest, TheDefaultReportPrintsEachValueAsThePanelShowsIt) {
  const double values[16] = {6.025, 1532.007, 30.5, 119.42, 0.00001, 123456.789, -2.5, 0,
                             5.966, 1e20, 30.6, 119.17, 6.016, 766.005, 0.1, 119.32};
  FormState& f = station.form();
  f.setText(ctl::Edit25, kOther);
  for (int k = 0; k < 16; ++k) f.setText(ctl::Edit26 + k, NumberToText(values[k], u','));
  AppendTestRecord({station.table1(), f, dialogs, clock, drives});
  selectRow(2);
  ASSERT_EQ(station.form().text(ctl::Edit6), kOther);
  station.SpeedButton3Click();
  std::vector<QStringList> rows;
  ASSERT_TRUE(tableRows(read(desktopFile(kOther + QStringLiteral(".html"))), &rows));
  for (int phase = 1; phase <= 4; ++phase) {
    QStringList expected{QStringLiteral("%1. FAZ").arg(phase)};
    for (int q = 0; q < 4; ++q) expected << station.form().text(ctl::Edit9 + 4 * (phase - 1) + q);
    EXPECT_EQ(startingWith(rows, expected[0]), expected);
  }
  EXPECT_EQ(startingWith(rows, QStringLiteral("1. FAZ")).value(1), QStringLiteral("6,025"));
}

TEST_F(StationPrintReportTest, PlainTextThroughThePrinterButtonsOutputOptions) {
  selectRow(1);
  OutputChoice text;
  text.destination = ReportDestination::rdFile;
  text.fileFormat = QStringLiteral("Plain Text (TXT)");
  text.fileName = QStringLiteral("C:\\Documents and Settings\\Administrator\\Desktop\\rapor.txt");
  reportDialogs.choices.push_back(text);
  station.SpeedButton6Click();
  ASSERT_EQ(reportDialogs.requests.size(), 1u);
  EXPECT_TRUE(reportDialogs.requests[0].fileFormats.contains(QStringLiteral("Plain Text (TXT)")));
  expectRecordLines(read(desktopFile(QStringLiteral("rapor.txt"))), 0);
}

TEST_F(StationPrintReportTest, TheDeletedRecordShownInThePanelStillPrints) {
  selectRow(1);
  dialogs.answers = {true};
  station.SpeedButton5Click();
  ASSERT_EQ(dialogs.messages(), QStringList{QStringLiteral("Kayıt Silindi")});
  ASSERT_EQ(station.table1().recordCount(), 1);
  station.SpeedButton2Click();
  expectRecordLines(pdfText(desktopFile(kSerial + QStringLiteral(".pdf"))), 0);
  // Three runs later the print buffer still holds one record.
  station.SpeedButton3Click();
  Dataset check(QStringLiteral("Check"));
  check.setTableName(host(QStringLiteral("D/rododezuz/sistem/Print.db")));
  check.open();
  EXPECT_EQ(check.recordCount(), 1);
}

TEST_F(StationPrintReportTest, AFailedPrintBufferMakesNoReport) {
  station.table1().deleteRecord();
  station.table1().deleteRecord();
  station.DBGrid1KeyUp();  // a key in the grid of the empty file: Edit6 becomes empty
  ASSERT_EQ(station.form().text(ctl::Edit6), QString());
  try {
    station.SpeedButton2Click();
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.text(), QStringLiteral("'..' is not a valid date"));
  }
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_TRUE(QDir(host(kDesktop)).isEmpty());
}

TEST(DatasetReportSource, OffersTheCurrentRecordTyped) {
  test::OpenTempDir root;
  const QString sistem = root.file(QStringLiteral("D/rododezuz/sistem"));
  ASSERT_TRUE(QDir().mkpath(sistem));
  Dataset table2(QStringLiteral("Table2"));
  table2.setRegional(RegionalSettings::turkish());
  table2.setFieldDefs(PrintBufferFields());
  DatasetReportSource source(table2);
  try {
    source.currentRecord();
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.text(), QStringLiteral("Table2: Cannot perform this operation on a closed dataset"));
  }

  FormState form;
  ScriptedDialogs dialogs;
  const DriveMap drives(root.path());
  form.setText(ctl::Edit6, kSerial);
  form.setText(ctl::Edit9, QStringLiteral("1,5"));
  PreparePrintBuffer({table2, form, dialogs, drives});
  const ReportRecord r = source.currentRecord();
  ASSERT_EQ(r.size(), 20u);
  for (size_t i = 0; i < r.size(); ++i) EXPECT_EQ(r[i].name, PrintBufferFields()[i].name);
  ASSERT_TRUE(r[0].value.text());
  EXPECT_EQ(*r[0].value.text(), kSerial);
  ASSERT_TRUE(r[1].value.date());
  EXPECT_EQ(*r[1].value.date(), QDate(2026, 3, 9));
  ASSERT_TRUE(r[2].value.time());
  EXPECT_EQ(*r[2].value.time(), QTime(14, 5));
  ASSERT_TRUE(r[3].value.text());
  EXPECT_EQ(*r[3].value.text(), QStringLiteral("NEGATiF"));
  ASSERT_TRUE(r[4].value.number());
  EXPECT_DOUBLE_EQ(*r[4].value.number(), 1.5);
  for (size_t i = 5; i < 20; ++i) EXPECT_TRUE(r[i].value.isEmpty()) << i;
}

}  // namespace
}  // namespace velta
