// The window's events reach the event table; errors go to the error box; the window
// follows FormState and feeds Edit8 back; ticks start only when enabled.
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <stdexcept>

#include "platform/error.h"
#include "tests/ui/form1_fixture.h"

namespace velta::test {
namespace {

const char* const kFields[18] = {"SIRANO", "SERiNO", "HAVA",  "PRES",  "EN",    "BOY",
                                 "HAVA1",  "PRES1",  "EN1",   "BOY1",  "HAVA2", "PRES2",
                                 "EN2",    "BOY2",   "HAVA3", "PRES3", "EN3",   "BOY3"};

QFont boldPx(int px) {
  QFont f;
  f.setPixelSize(px);
  f.setBold(true);
  return f;
}

// 18 columns like a daily data file, three records.
std::unique_ptr<QStandardItemModel> recordModel(int rows = 3) {
  auto m = std::make_unique<QStandardItemModel>(rows, 18);
  for (int c = 0; c < 18; ++c) m->setHeaderData(c, Qt::Horizontal, QString::fromLatin1(kFields[c]));
  m->setHeaderData(3, Qt::Horizontal, QStringLiteral("PRES  (kg)"));
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < 18; ++c) {
      auto* item = new QStandardItem(QString::number(r * 100 + c));
      if (c == 0) item->setFont(boldPx(16));
      m->setItem(r, c, item);
    }
  return m;
}

class Form1Grid : public Form1Fixture {
 protected:
  std::unique_ptr<QStandardItemModel> model = recordModel();
  QTableView* grid = nullptr;
  int rowAtClick = -1;

  void SetUp() override {
    form.bindRecordModel(model.get());
    grid = form.DBGrid1();
    ASSERT_EQ(grid, form.findChild<QTableView*>(QStringLiteral("DBGrid1")));
    showForm();
    handlers.actions["DBGrid1CellClick"] = [this] { rowAtClick = grid->currentIndex().row(); };
  }
  QPoint cellCentre(int row, int column) { return grid->visualRect(model->index(row, column)).center(); }
};

TEST_F(Form1Grid, ColumnLayout) {
  const QFontMetrics digits(boldPx(16));
  const int sirano = std::max(digits.horizontalAdvance(QStringLiteral("0000000000")) + 4,
                              QFontMetrics(grid->horizontalHeader()->font()).horizontalAdvance("SIRANO") + 4);
  EXPECT_EQ(grid->columnWidth(0), sirano);
  EXPECT_EQ(grid->columnWidth(1), 200);
  for (int c = 2; c < 6; ++c) EXPECT_EQ(grid->columnWidth(c), 130) << c;
  for (int c = 0; c < 18; ++c) EXPECT_EQ(grid->isColumnHidden(c), c >= 6) << c;

  // The layout is kept when the model is reset (another file opened).
  model->clear();
  model->setColumnCount(18);
  model->setRowCount(1);
  EXPECT_EQ(grid->columnWidth(1), 200);
  EXPECT_TRUE(grid->isColumnHidden(17));
}

TEST_F(Form1Grid, LooksAndBehavesAsARecordGrid) {
  EXPECT_FALSE(grid->verticalHeader()->isVisible());
  EXPECT_TRUE(grid->horizontalHeader()->isVisible());
  EXPECT_EQ(grid->horizontalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
  EXPECT_EQ(grid->horizontalHeader()->defaultAlignment(), Qt::AlignCenter);
  EXPECT_EQ(grid->horizontalHeader()->font().pixelSize(), 16);
  EXPECT_GE(grid->horizontalHeader()->font().weight(), QFont::Bold);
  EXPECT_TRUE(grid->horizontalHeader()->styleSheet().contains("rgb(0,64,128)"));
  EXPECT_TRUE(grid->showGrid());
  EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_TRUE(grid->tabKeyNavigation());
  const QPalette& pal = grid->palette();
  EXPECT_EQ(pal.color(QPalette::Base), QColor(Qt::black));
  EXPECT_EQ(pal.color(QPalette::Text), kLime);
  EXPECT_EQ(pal.color(QPalette::Inactive, QPalette::Highlight), pal.color(QPalette::Active, QPalette::Highlight));
}

TEST_F(Form1Grid, LeftClickOnADataRowMakesItCurrentThenRunsCellClick) {
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(2, 1));
  EXPECT_EQ(handlers.calls, QStringList{"DBGrid1CellClick"});
  EXPECT_EQ(rowAtClick, 2);
  EXPECT_TRUE(grid->selectionModel()->isRowSelected(2, {}));

  handlers.calls.clear();
  QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, cellCentre(1, 1));
  QTest::mouseClick(grid->horizontalHeader()->viewport(), Qt::LeftButton, {},
                    QPoint(grid->columnViewportPosition(1) + 10, grid->horizontalHeader()->height() / 2));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(20, grid->viewport()->height() - 5));
  EXPECT_TRUE(handlers.calls.isEmpty()) << handlers.calls.join(',').toStdString();
  EXPECT_EQ(grid->currentIndex().row(), 2);  // the title row changes nothing
}

TEST_F(Form1Grid, KeyReleaseRunsKeyUpAndCtrlDeleteAsksTheHandler) {
  grid->setFocus();
  grid->setCurrentIndex(model->index(0, 0));
  QTest::keyClick(grid, Qt::Key_Down);
  EXPECT_EQ(grid->currentIndex().row(), 1);
  EXPECT_EQ(handlers.calls, QStringList{"DBGrid1KeyUp"});

  handlers.calls.clear();
  QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
  EXPECT_EQ(handlers.count("DBGrid1CtrlDelete"), 1);
  EXPECT_EQ(model->rowCount(), 3);  // deleting is the handler's business
}

TEST_F(Form1Grid, InsertDeleteAndTypingChangeNothing) {
  grid->setFocus();
  grid->setCurrentIndex(model->index(1, 2));
  for (int key : {int(Qt::Key_Insert), int(Qt::Key_Delete), int(Qt::Key_F2), int(Qt::Key_Return)})
    QTest::keyClick(grid, Qt::Key(key));
  QTest::keyClicks(grid, "2x0");
  QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(1, 2));
  EXPECT_TRUE(grid->viewport()->findChildren<QLineEdit*>().isEmpty());  // no cell editor opened
  EXPECT_EQ(model->rowCount(), 3);
  EXPECT_EQ(grid->currentIndex(), model->index(1, 2));
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 18; ++c) ASSERT_EQ(model->index(r, c).data().toString(), QString::number(r * 100 + c));
  EXPECT_EQ(handlers.count("DBGrid1CtrlDelete"), 0);
}

TEST_F(Form1Grid, TabAndShiftTabMoveThroughTheCells) {
  grid->setFocus();
  grid->setCurrentIndex(model->index(0, 0));
  QTest::keyClick(grid, Qt::Key_Tab);
  EXPECT_EQ(grid->currentIndex(), model->index(0, 1));
  EXPECT_TRUE(grid->hasFocus());
  QTest::keyClick(grid, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(grid->currentIndex(), model->index(0, 0));
}

// Every handler but Timer1Timer shows what escapes it in the error box.
TEST_F(Form1Grid, ErrorsOfHandlersAreShownWithTheApplicationTitle) {
  struct Case {
    const char* what;
    std::function<void()> fail;
    QString shown;
  };
  const Case cases[] = {
      {"station error", [] { throw Error(QStringLiteral("Dosya bulunamadı")); }, QStringLiteral("Dosya bulunamadı.")},
      {"ends in full stop", [] { throw Error(QStringLiteral("Tablo kapalı.")); }, QStringLiteral("Tablo kapalı.")},
      {"ends in blank", [] { throw Error(QStringLiteral("KAYIT ŞEÇ ")); }, QStringLiteral("KAYIT ŞEÇ ")},
      {"standard exception", [] { throw std::runtime_error("disk full"); }, QStringLiteral("disk full.")},
      {"anything else", [] { throw 42; }, QStringLiteral("Bilinmeyen hata.")},
  };
  struct Source {
    const char* handler;
    std::function<void()> trigger;
  };
  const Source sources[] = {
      {"SpeedButton2Click", [this] { QTest::mouseClick(control<QToolButton>("SpeedButton2"), Qt::LeftButton); }},
      {"SpeedButton7Click", [this] { QTest::mouseClick(control<QToolButton>("SpeedButton9"), Qt::LeftButton); }},
      {"DBGrid1CellClick", [this] { QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(0, 1)); }},
      {"DBGrid1KeyUp", [this] { QTest::keyClick(grid, Qt::Key_Up); }},
      {"DBGrid1CtrlDelete", [this] { QTest::keyPress(grid, Qt::Key_Delete, Qt::ControlModifier); }},
  };
  for (const Source& s : sources) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(s.handler) + " / " + c.what);
      handlers.actions.clear();
      handlers.actions[QString::fromLatin1(s.handler)] = c.fail;
      dialogs.shown.clear();
      s.trigger();
      ASSERT_EQ(dialogs.shown.size(), 1u);
      EXPECT_EQ(dialogs.shown[0].kind, ScriptedDialogs::Kind::Error);
      EXPECT_EQ(dialogs.shown[0].caption, kApplicationTitle);
      EXPECT_EQ(dialogs.shown[0].text, c.shown);
    }
  }
}

using Form1Binding = Form1Fixture;

TEST_F(Form1Binding, WidgetsShowTheStateAndFollowItsChanges) {
  for (int e = 1; e <= ctl::kLastEdit; ++e)
    EXPECT_EQ(control<QLineEdit>(QStringLiteral("Edit%1").arg(e).toLatin1().constData())->text(), state.text(e)) << e;

  state.setText(ctl::Edit25, QStringLiteral("2612091230"));
  ClearPlcValues(state);
  EXPECT_TRUE(control<QLineEdit>("Edit25")->text().isEmpty());
  EXPECT_TRUE(control<QLineEdit>("Edit41")->text().isEmpty());
  state.setText(ctl::Edit2, QStringLiteral("6.25"));
  EXPECT_EQ(control<QLineEdit>("Edit2")->text(), QStringLiteral("6.25"));

  state.setColor(ctl::Edit1, kRed);
  state.setColor(ctl::Edit7, kLime);
  EXPECT_EQ(control("Edit1")->palette().color(QPalette::Base), kRed);
  EXPECT_EQ(control("Edit7")->palette().color(QPalette::Base), kLime);
  EXPECT_EQ(control("Edit7")->palette().color(QPalette::Text), QApplication::palette().color(QPalette::WindowText));

  auto* open = control<QToolButton>("SpeedButton1");
  state.setSpeedButton1Enabled(false);
  EXPECT_FALSE(open->isEnabled());
  QTest::mouseClick(open, Qt::LeftButton);
  EXPECT_EQ(handlers.count("SpeedButton1Click"), 0);
  state.setSpeedButton1Enabled(true);
  EXPECT_TRUE(open->isEnabled());

  const QString texts[] = {QStringLiteral("PLC BAĞLANTISI TAMAM"), QStringLiteral("12:30:01"),
                           QStringLiteral("VELTA")};
  for (int i = 0; i < 3; ++i) {
    state.setStatusPanel(i, texts[i]);
    EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("StatusBar1Panel%1").arg(i))->text(), texts[i]);
  }

  const QString title = QStringLiteral("VELTA RUZEDIVE       Dosya Adı: T09122026K.tkv");
  state.setCaption(title);
  EXPECT_EQ(form.windowTitle(), title);
}

TEST_F(Form1Binding, TypingInEdit8GoesIntoTheStateOnce) {
  showForm();
  auto* edit8 = control<QLineEdit>("Edit8");
  edit8->setFocus();
  edit8->end(false);
  QSignalSpy changes(&state, &FormState::textChanged);
  QTest::keyClicks(edit8, "AB");
  EXPECT_EQ(edit8->text(), QStringLiteral("SONUÇ  : POZİTİFAB"));
  EXPECT_EQ(state.text(ctl::Edit8), edit8->text());
  EXPECT_EQ(changes.count(), 2);
  EXPECT_EQ(edit8->cursorPosition(), edit8->text().size());  // the echo did not reset the box

  state.setText(ctl::Edit8, QStringLiteral("Bilgisayar kapat komutu"));
  EXPECT_EQ(edit8->text(), QStringLiteral("Bilgisayar kapat komutu"));
}

TEST_F(Form1Binding, TicksReachTimer1TimerOnlyAfterEnableTicks) {
  auto* timer = form.findChild<QTimer*>(QStringLiteral("Timer1"));
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->interval(), 200);
  EXPECT_TRUE(timer->isActive());
  QTest::qWait(450);
  EXPECT_EQ(handlers.count("Timer1Timer"), 0);
  EXPECT_EQ(handlers.count("FormCreate"), 0);  // start-up runs it, not the window

  form.enableTicks();
  EXPECT_TRUE(QTest::qWaitFor([&] { return handlers.count("Timer1Timer") >= 2; }, 2000));
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Form1Binding, ATickWaitingInANestedLoopIsNotOverlapped) {
  bool waited = false;
  handlers.actions["Timer1Timer"] = [&] {
    if (waited) return;
    waited = true;
    QTest::qWait(700);  // as a box would: the event loop runs, the timer falls due
    EXPECT_EQ(handlers.count("Timer1Timer"), 1);
  };
  form.enableTicks();
  EXPECT_TRUE(QTest::qWaitFor([&] { return handlers.count("Timer1Timer") >= 2; }, 3000));
}

TEST(Form1Lifetime, DestroyingTheWindowRunsFormDestroyOnce) {
  FormState state;
  RecordingHandlers handlers;
  ScriptedDialogs dialogs;
  {
    TForm1 form(state, handlers, dialogs);
    EXPECT_EQ(handlers.count("FormDestroy"), 0);
  }
  EXPECT_EQ(handlers.calls, QStringList{"FormDestroy"});
}

TEST_F(Form1Binding, AFailureEscapingTheTickClosesTheWindowWithoutABox) {
  showForm();
  handlers.actions["Timer1Timer"] = [] { throw std::runtime_error("server gone"); };
  form.enableTicks();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 2000));
  const int ticks = handlers.count("Timer1Timer");
  EXPECT_EQ(ticks, 1);
  QTest::qWait(450);
  EXPECT_EQ(handlers.count("Timer1Timer"), ticks);
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Form1Binding, AnimateWindowGrowsFromTheCentreAndEndsAtTheDesignedSize) {
  struct SizeLog : QObject {
    std::vector<QRect> rects;
    QWidget* w;
    explicit SizeLog(QWidget* widget) : w(widget) {}
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Resize) rects.push_back(w->geometry());
      return false;
    }
  } log(&form);
  form.installEventFilter(&log);
  form.AnimateWindow(120);
  form.removeEventFilter(&log);

  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.size(), QSize(1028, 502));
  EXPECT_EQ(form.minimumSize(), QSize(1028, 502));
  ASSERT_GE(log.rects.size(), 3u);
  EXPECT_LT(log.rects.front().width(), 200);
  const QPoint centre = form.geometry().center();
  for (size_t i = 1; i < log.rects.size(); ++i) {
    EXPECT_GE(log.rects[i].width(), log.rects[i - 1].width());
    EXPECT_LE((log.rects[i].center() - centre).manhattanLength(), 2);
  }
}

}  // namespace
}  // namespace velta::test
