// The spreadsheet stand-in against real files: what the operator's spreadsheet
// program gets to see.
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/fakes/scripted_dialogs.h"
#include "platform/spreadsheet/fakes/recording_opener.h"
#include "platform/spreadsheet/spreadsheet_application.h"
#include "platform/spreadsheet/spreadsheet_connection.h"
#include "tests/support/xlsx_reader.h"

namespace velta {
namespace {

class SpreadsheetApplicationTest : public ::testing::Test {
 protected:
  SpreadsheetEnvironment env(RegionalSettings regional = RegionalSettings::turkish()) {
    return {dialogs, opener, regional, unsavedWorkbooksFolder(root.path()), QStringLiteral("VELTA RUZEDIVE ")};
  }
  QStringList files() const {
    return QDir(unsavedWorkbooksFolder(root.path())).entryList({QStringLiteral("*.xlsx")}, QDir::Files, QDir::Name);
  }
  QString file(const QString& name) const { return QDir(unsavedWorkbooksFolder(root.path())).filePath(name); }

  QTemporaryDir root;
  ScriptedDialogs dialogs;
  RecordingOpener opener;
};

TEST_F(SpreadsheetApplicationTest, FormattedSheetIsWrittenAndOpenedWhenTheLastReferenceGoes) {
  {
    auto app = makeSpreadsheetApplication(env());
    app->putVisible(true);
    app->Workbooks()->Add();
    auto columns = app->Workbooks(1)->WorkSheets(1)->Columns();
    columns->Columns(1)->putColumnWidth(35);
    columns->Columns(2)->putColumnWidth(20);
    auto font = app->ActiveSheet()->Cells(2, 1)->Font();
    font->putBold(true);
    font->putSize(12);
    app->ActiveSheet()->putCells(2, 1, QStringLiteral("SERİNO  : T09032026K1405V"));
    app->ActiveSheet()->putCells(8, 2, QStringLiteral("2,5"));
    app->ActiveSheet()->putCells(8, 3, QStringLiteral("2.5"));
    app->ActiveSheet()->putCells(8, 4, QStringLiteral("1E-5"));
    app->ActiveSheet()->putCells(8, 5, QString());
    app->ActiveWindow()->putCaption(QStringLiteral("T09032026K.tkv"));
    EXPECT_TRUE(opener.opened.isEmpty()) << "nothing is handed over while references remain";
    font.reset();
    columns.reset();
  }
  ASSERT_EQ(opener.opened, QStringList{file(QStringLiteral("Kitap1.xlsx"))});
  EXPECT_TRUE(dialogs.shown.empty());

  const auto x = test::readXlsx(opener.opened[0]);
  const auto& a2 = x.cells.at(QStringLiteral("A2"));
  EXPECT_EQ(a2.value, QStringLiteral("SERİNO  : T09032026K1405V"));
  EXPECT_FALSE(a2.number);
  EXPECT_TRUE(a2.bold);
  EXPECT_DOUBLE_EQ(a2.size, 12);
  EXPECT_TRUE(x.cells.at(QStringLiteral("B8")).number);
  EXPECT_DOUBLE_EQ(x.cells.at(QStringLiteral("B8")).value.toDouble(), 2.5);
  EXPECT_FALSE(x.cells.at(QStringLiteral("C8")).number) << "the other separator stays text";
  EXPECT_EQ(x.cells.at(QStringLiteral("C8")).value, QStringLiteral("2.5"));
  EXPECT_TRUE(x.cells.at(QStringLiteral("D8")).number);
  EXPECT_DOUBLE_EQ(x.cells.at(QStringLiteral("D8")).value.toDouble(), 1e-5);
  EXPECT_FALSE(x.cells.count(QStringLiteral("E8"))) << "an empty text leaves the cell blank";
  EXPECT_FALSE(x.cells.at(QStringLiteral("B8")).bold);
  // libxlsxwriter adds the font's padding to the width in characters.
  EXPECT_NEAR(x.widths.at(1), 35, 1);
  EXPECT_NEAR(x.widths.at(2), 20, 1);
  EXPECT_EQ(x.title, QStringLiteral("T09032026K.tkv"));
}

TEST_F(SpreadsheetApplicationTest, DecimalPointSettingsReadTheirOwnFormat) {
  {
    auto app = makeSpreadsheetApplication(env(RegionalSettings{}));
    app->Workbooks()->Add(1);
    app->Range(QStringLiteral("A1"), QStringLiteral("A1"))->putValue2(QStringLiteral("2.5"));
    app->ActiveCell()->Next()->putValue2(QStringLiteral("2,5"));
  }
  const auto x = test::readXlsx(opener.opened.at(0));
  EXPECT_TRUE(x.cells.at(QStringLiteral("A1")).number);
  EXPECT_FALSE(x.cells.at(QStringLiteral("B1")).number);
}

TEST_F(SpreadsheetApplicationTest, FileNamesAreNeverReused) {
  QDir().mkpath(unsavedWorkbooksFolder(root.path()));
  QFile earlier(file(QStringLiteral("Kitap1.xlsx")));
  ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
  earlier.write("operator's file");
  earlier.close();
  {
    auto app = makeSpreadsheetApplication(env());
    app->Workbooks()->Add();
    app->Workbooks()->Add();
  }
  EXPECT_EQ(files(), (QStringList{QStringLiteral("Kitap1.xlsx"), QStringLiteral("Kitap2.xlsx"), QStringLiteral("Kitap3.xlsx")}));
  ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
  EXPECT_EQ(earlier.readAll(), QByteArray("operator's file"));
  EXPECT_EQ(opener.opened.size(), 2);
}

TEST_F(SpreadsheetApplicationTest, NoProgramToOpenItGivesAnErrorNamingTheWrittenFile) {
  opener.failWith = QStringLiteral("Bu dosyayı açacak hesap tablosu programı yok");
  {
    auto app = makeSpreadsheetApplication(env());
    app->Workbooks()->Add();
    app->ActiveSheet()->putCells(1, 1, QStringLiteral("x"));
  }
  ASSERT_EQ(dialogs.errors().size(), 1);
  const QString path = file(QStringLiteral("Kitap1.xlsx"));
  EXPECT_TRUE(dialogs.errors()[0].contains(path)) << dialogs.errors()[0].toStdString();
  EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("VELTA RUZEDIVE "));
  EXPECT_EQ(test::readXlsx(path).cells.at(QStringLiteral("A1")).value, QStringLiteral("x")) << "nothing is lost";
}

TEST_F(SpreadsheetApplicationTest, ExplicitHandOverLeavesTheApplicationUsable) {
  auto app = makeSpreadsheetApplication(env());
  app->Workbooks()->Add(1);
  app->ActiveCell()->putValue2(QStringLiteral("first"));
  app->HandOverWorkbooks();
  ASSERT_EQ(opener.opened.size(), 1);
  EXPECT_THROW(app->ActiveCell(), Error) << "the handed-over workbook has left the application";
  app->Workbooks()->Add(1);
  app->ActiveCell()->putValue2(QStringLiteral("second"));
  app->HandOverWorkbooks();
  ASSERT_EQ(opener.opened.size(), 2);
  EXPECT_EQ(test::readXlsx(opener.opened[0]).cells.at(QStringLiteral("A1")).value, QStringLiteral("first"));
  EXPECT_EQ(test::readXlsx(opener.opened[1]).cells.at(QStringLiteral("A1")).value, QStringLiteral("second"));
}

TEST_F(SpreadsheetApplicationTest, CellKeptAfterHandOverCannotWriteIntoTheOperatorsFile) {
  auto app = makeSpreadsheetApplication(env());
  app->Workbooks()->Add(1);
  auto cell = app->ActiveCell();
  app->HandOverWorkbooks();
  EXPECT_THROW(cell->putValue2(QStringLiteral("late")), Error);
}

TEST_F(SpreadsheetApplicationTest, RowsStreamInOrderAndAStreamedRowCannotChange) {
  const int rows = 3 * kSpreadsheetStreamWindowCells / 4;  // well past the window
  {
    auto app = makeSpreadsheetApplication(env(RegionalSettings{}));
    app->Workbooks()->Add(1);
    for (int r = 1; r <= rows; ++r) {
      const QString name = QStringLiteral("A%1").arg(r);
      auto cell = app->Range(name, name);
      for (int c = 0; c < 4; ++c) {
        cell->putValue2(QStringLiteral("%1.%2").arg(r).arg(c));
        cell = cell->Next();
      }
    }
    EXPECT_THROW(app->ActiveCell()->putValue2(QStringLiteral("late")), Error) << "row 1 is in the file already";
    app->Workbooks(1)->WorkSheets(1)->Columns()->Columns(3)->putColumnWidth(12);  // widths still apply
  }
  const auto x = test::readXlsx(opener.opened.at(0));
  EXPECT_EQ(x.cells.size(), static_cast<size_t>(rows * 4));
  EXPECT_DOUBLE_EQ(x.cells.at(QStringLiteral("A1")).value.toDouble(), 1.0);
  EXPECT_DOUBLE_EQ(x.cells.at(QStringLiteral("D%1").arg(rows)).value.toDouble(), rows + 0.3);
  EXPECT_NEAR(x.widths.at(3), 12, 1);
}

TEST_F(SpreadsheetApplicationTest, MembersRefuseWhatTheyDoNotOffer) {
  auto app = makeSpreadsheetApplication(env());
  EXPECT_THROW(app->ActiveWindow(), Error) << "no workbook yet";
  EXPECT_THROW(app->Workbooks(1), Error);
  app->Workbooks()->Add();
  EXPECT_THROW(app->Workbooks()->Add(QStringLiteral("C:\\template.xlt")), Error);
  EXPECT_THROW(app->Workbooks(2), Error);
  EXPECT_THROW(app->Workbooks(1)->WorkSheets(2), Error);
  EXPECT_THROW(app->Range(QStringLiteral("A1"), QStringLiteral("B2")), Error);
  EXPECT_THROW(app->Range(QStringLiteral("1A"), QStringLiteral("1A")), Error);
  EXPECT_THROW(app->Range(QStringLiteral("A0"), QStringLiteral("A0")), Error);
  EXPECT_THROW(app->ActiveSheet()->Cells(0, 1), Error);
  EXPECT_THROW(app->ActiveSheet()->Cells(1, 16385), Error);
  EXPECT_THROW(app->ActiveSheet()->Cells(1, 1)->Font()->putSize(0), Error);
  EXPECT_THROW(app->ActiveSheet()->Columns()->Columns(1)->putColumnWidth(256), Error);
  EXPECT_THROW(app->ActiveSheet()->Columns()->putValue2(QStringLiteral("x")), Error);
  EXPECT_THROW(app->putVisible(QStringLiteral("yes")), Error);
  EXPECT_NO_THROW(app->Range(QStringLiteral("xfd1048576"), QStringLiteral("XFD1048576")));
}

TEST_F(SpreadsheetApplicationTest, ConnectionMadeOnceThroughTheRegistry) {
  ObjectRegistry registry;
  SpreadsheetConnection connection(registry);
  EXPECT_THROW(connection.Connect(), Error) << "nothing registered";
  EXPECT_FALSE(connection.connected());
  registerSpreadsheetApplication(registry, env());
  SpreadsheetApplication* first = &connection.application();
  EXPECT_TRUE(connection.connected());
  EXPECT_EQ(&connection.application(), first);
  connection.Connect();
  EXPECT_EQ(&connection.application(), first);
  first->Workbooks()->Add();
  connection.Disconnect();
  EXPECT_EQ(opener.opened.size(), 1) << "letting go hands over what is left";
}

TEST_F(SpreadsheetApplicationTest, UnwritableFolderFailsAtAdd) {
  QFile blocker(unsavedWorkbooksFolder(root.path()));  // a file where the folder should be
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  auto app = makeSpreadsheetApplication(env());
  EXPECT_THROW(app->Workbooks()->Add(), Error);
}

}  // namespace
}  // namespace velta
