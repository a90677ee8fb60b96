#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "output/one_record_sheet.h"
#include "platform/fakes/scripted_dialogs.h"
#include "platform/spreadsheet/fakes/recording_opener.h"
#include "platform/spreadsheet/fakes/recording_spreadsheet.h"
#include "platform/spreadsheet/spreadsheet_application.h"
#include "tests/support/xlsx_reader.h"

namespace velta {
namespace {

const QString kDone = QStringLiteral("Kayıtlar aktarıldı ");

class OneRecordSheetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake->registerIn(registry);
    form.setText(ctl::Edit6, QStringLiteral("T09032026K1405V"));
    for (int e = ctl::Edit9; e <= ctl::Edit24; ++e) form.setText(e, QStringLiteral("v%1").arg(e));
  }
  void click() { SpeedButton8Click(form, registry, dialogs); }
  Variant cell(int row, int col, size_t instance = 0) {
    const auto& values = fake->instances.at(instance).workbooks.at(0).values;
    auto it = values.find({row, col});
    return it == values.end() ? Variant() : it->second;
  }

  ObjectRegistry registry;
  std::shared_ptr<RecordingSpreadsheet> fake = std::make_shared<RecordingSpreadsheet>();
  ScriptedDialogs dialogs;
  FormState form;
};

TEST_F(OneRecordSheetTest, MemberCallsInTheirOrder) {
  click();

  QStringList want = {"Visible=True", "Workbooks", "Workbooks.Add()", "Workbooks(1)", "Workbook(1).WorkSheets(1)",
                      "Sheet.Columns"};
  for (int c = 1; c <= 5; ++c)
    want << QStringLiteral("Columns.Columns(%1)").arg(c) << QStringLiteral("Column(%1).ColumnWidth=%2").arg(c).arg(c == 1 ? 35 : 20);
  auto font = [&](int r, int c, const char* what) {
    want << "ActiveSheet" << QStringLiteral("Sheet.Cells(%1,%2)").arg(r).arg(c) << QStringLiteral("Cell(%1,%2).Font").arg(r).arg(c)
         << QStringLiteral("Font(%1,%2).%3").arg(r).arg(c).arg(QString::fromUtf8(what));
  };
  auto put = [&](int r, int c, const QString& text) {
    want << "ActiveSheet" << QStringLiteral("Sheet.Cells(%1,%2)=\"%3\"").arg(r).arg(c).arg(text);
  };
  for (int r = 2; r <= 5; ++r) font(r, 1, "Bold=True");
  for (int r = 2; r <= 5; ++r) font(r, 1, "Size=12");
  put(2, 1, QStringLiteral("SERİNO  : T09032026K1405V"));
  put(3, 1, QStringLiteral("TARİH  : 09.03.2026"));
  put(4, 1, QStringLiteral("SAAT  : 14:05"));
  put(5, 1, QStringLiteral("SONUÇ  : NEGATiF"));
  for (int c = 2; c <= 5; ++c) font(7, c, "Bold=True");
  for (int c = 2; c <= 5; ++c) font(7, c, "Size=12");
  put(7, 2, QStringLiteral("HAVA (Bar)"));
  put(7, 3, QStringLiteral("YÜK (Kg)"));
  put(7, 4, QStringLiteral("EN  (Cm)"));
  put(7, 5, QStringLiteral("BOY  (Cm)"));
  for (int e = ctl::Edit9; e <= ctl::Edit24; ++e) put(8 + (e - 9) / 4, 2 + (e - 9) % 4, QStringLiteral("v%1").arg(e));

  EXPECT_EQ(fake->calls, want);
  EXPECT_EQ(fake->calls.size(), 128);
  ASSERT_EQ(fake->instances.size(), 1u);
  EXPECT_TRUE(fake->instances[0].visible);
  EXPECT_EQ(dialogs.messages(), QStringList{kDone});
  EXPECT_EQ(dialogs.shown.at(0).caption, kApplicationTitle);
  EXPECT_EQ(fake->liveObjects, 0) << "every reference released";
}

TEST_F(OneRecordSheetTest, HeadingBlockFromTheSerialNumberCut) {
  struct Case {
    const char* serial;
    const char* date;
    const char* time;
  };
  const Case cases[] = {
      {"T09032026K1405V", "09.03.2026", "14:05"},
      {"", "..", ":"},                       // empty box: labels with the bare separators
      {"T0903", "09.03.", ":"},              // short: shortened and empty pieces
      {"T09032026K14", "09.03.2026", "14:"},
      {"T09032026K140", "09.03.2026", "14:0"},
      {"  ", " ..", ":"},                    // two blanks are not the guard
  };
  size_t instance = 0;
  for (const Case& c : cases) {
    form.setText(ctl::Edit6, QString::fromUtf8(c.serial));
    click();
    EXPECT_EQ(cell(2, 1, instance), Variant(QStringLiteral("SERİNO  : ") + QString::fromUtf8(c.serial))) << c.serial;
    EXPECT_EQ(cell(3, 1, instance), Variant(QStringLiteral("TARİH  : ") + QString::fromUtf8(c.date))) << c.serial;
    EXPECT_EQ(cell(4, 1, instance), Variant(QStringLiteral("SAAT  : ") + QString::fromUtf8(c.time))) << c.serial;
    EXPECT_EQ(cell(5, 1, instance), Variant(QStringLiteral("SONUÇ  : NEGATiF")));
    ++instance;
  }
  EXPECT_EQ(fake->instances.size(), std::size(cases)) << "a new application for every click";
  EXPECT_EQ(dialogs.messages().size(), static_cast<qsizetype>(std::size(cases)));
}

TEST_F(OneRecordSheetTest, OneBlankMeansNoRecordAndCreatesNothing) {
  form.setText(ctl::Edit6, QStringLiteral(" "));
  click();
  EXPECT_EQ(dialogs.messages(), QStringList{QStringLiteral("KAYIT ŞEÇ ")});
  EXPECT_TRUE(fake->instances.empty());
  EXPECT_TRUE(fake->calls.isEmpty());
}

TEST_F(OneRecordSheetTest, ValuesGoAsTextsReadJustBeforeTheirCell) {
  form.setText(ctl::Edit9, QStringLiteral("2,5"));
  form.setText(10, QStringLiteral("2.5"));
  form.setText(11, QStringLiteral("1E-5"));
  form.setText(12, QString());
  // The value of Edit14 changes while B9 is written: C9 must get the new text.
  fake->failIf = [this](const QString& call) {
    if (call.startsWith(QStringLiteral("Sheet.Cells(9,2)="))) form.setText(14, QStringLiteral("changed"));
    return false;
  };
  click();
  EXPECT_EQ(cell(8, 2), Variant(QStringLiteral("2,5")));
  EXPECT_EQ(cell(8, 3), Variant(QStringLiteral("2.5")));
  EXPECT_EQ(cell(8, 4), Variant(QStringLiteral("1E-5")));
  EXPECT_EQ(cell(8, 5), Variant(QString()));
  EXPECT_EQ(cell(8, 5).type(), Variant::Type::Text) << "an empty box writes an empty text";
  EXPECT_EQ(cell(9, 3), Variant(QStringLiteral("changed")));
}

TEST_F(OneRecordSheetTest, FailureEndsTheHandlerAndReleasesEverything) {
  struct Case {
    const char* name;
    bool failCreate;
    const char* failingCallPrefix;
  };
  const Case cases[] = {
      {"creation", true, nullptr},
      {"first call", false, "Visible="},
      {"column width", false, "Column(3).ColumnWidth"},
      {"midway cell", false, "Sheet.Cells(3,1)="},
      {"font", false, "Font(7,4).Size"},
      {"last cell", false, "Sheet.Cells(11,5)="},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto local = std::make_shared<RecordingSpreadsheet>();
    ObjectRegistry reg;
    local->registerIn(reg);
    ScriptedDialogs box;
    local->failCreate = c.failCreate;
    if (c.failingCallPrefix)
      local->failIf = [p = QString::fromUtf8(c.failingCallPrefix)](const QString& call) { return call.startsWith(p); };
    EXPECT_THROW(SpeedButton8Click(form, reg, box), Error);
    EXPECT_TRUE(box.shown.empty()) << "no closing message";
    EXPECT_EQ(local->liveObjects, 0);
    if (c.failingCallPrefix) {
      EXPECT_TRUE(local->calls.last().startsWith(QString::fromUtf8(c.failingCallPrefix)));
    }
  }
}

TEST_F(OneRecordSheetTest, CellsWrittenBeforeAFailureStay) {
  fake->failIf = [](const QString& call) { return call.startsWith(QStringLiteral("Sheet.Cells(4,1)=")); };
  EXPECT_THROW(click(), Error);
  EXPECT_EQ(cell(2, 1), Variant(QStringLiteral("SERİNO  : T09032026K1405V")));
  EXPECT_EQ(cell(3, 1), Variant(QStringLiteral("TARİH  : 09.03.2026")));
  EXPECT_TRUE(cell(5, 1).isEmpty());
}

// The real spreadsheet stand-in: the file the operator gets.
TEST(OneRecordSheetFile, LaidOutAsTheOperatorSeesIt) {
  QTemporaryDir root;
  ScriptedDialogs dialogs;
  RecordingOpener opener;
  ObjectRegistry registry;
  registerSpreadsheetApplication(registry, {dialogs, opener, RegionalSettings::turkish(),
                                            unsavedWorkbooksFolder(root.path()), kApplicationTitle});
  FormState form;
  form.setText(ctl::Edit6, QStringLiteral("T09032026K1405V"));
  for (int e = ctl::Edit9; e <= ctl::Edit24; ++e) form.setText(e, QStringLiteral("%1,5").arg(e));
  form.setText(ctl::Edit24, QString());
  SpeedButton8Click(form, registry, dialogs);

  EXPECT_EQ(dialogs.messages(), QStringList{kDone});
  ASSERT_EQ(opener.opened.size(), 1);
  const auto x = test::readXlsx(opener.opened[0]);
  const std::pair<const char*, const char*> headings[] = {
      {"A2", "SERİNO  : T09032026K1405V"}, {"A3", "TARİH  : 09.03.2026"}, {"A4", "SAAT  : 14:05"},
      {"A5", "SONUÇ  : NEGATiF"},          {"B7", "HAVA (Bar)"},          {"C7", "YÜK (Kg)"},
      {"D7", "EN  (Cm)"},                  {"E7", "BOY  (Cm)"}};
  for (const auto& [ref, text] : headings) {
    const auto& c = x.cells.at(QString::fromUtf8(ref));
    EXPECT_EQ(c.value, QString::fromUtf8(text)) << ref;
    EXPECT_FALSE(c.number) << ref;
    EXPECT_TRUE(c.bold) << ref;
    EXPECT_DOUBLE_EQ(c.size, 12) << ref;
  }
  for (int e = ctl::Edit9; e < ctl::Edit24; ++e) {
    const QString ref = QStringLiteral("%1%2").arg(QChar(u'B' + (e - 9) % 4)).arg(8 + (e - 9) / 4);
    const auto& c = x.cells.at(ref);
    EXPECT_TRUE(c.number) << ref.toStdString();
    EXPECT_DOUBLE_EQ(c.value.toDouble(), e + 0.5) << ref.toStdString();
    EXPECT_FALSE(c.bold);
    EXPECT_DOUBLE_EQ(c.size, 11);
  }
  EXPECT_FALSE(x.cells.count(QStringLiteral("E11"))) << "empty box, blank cell";
  EXPECT_EQ(x.cells.size(), 8u + 15u) << "row 1, row 6 and column A below row 5 stay empty";
  EXPECT_NEAR(x.widths.at(1), 35, 1);
  for (int c = 2; c <= 5; ++c) EXPECT_NEAR(x.widths.at(c), 20, 1);
  EXPECT_FALSE(x.widths.count(6));
}

}  // namespace
}  // namespace velta
