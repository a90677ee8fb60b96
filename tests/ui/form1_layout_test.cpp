// The window's controls as the operator sees them: parents, places, sizes, texts,
// fonts and colours; the toolbar; scrolling at the designed and at a large size.
#include <QChart>
#include <QChartView>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolButton>
#include <optional>
#include <vector>

#include "tests/ui/form1_fixture.h"

namespace velta::test {
namespace {

const QColor kMaroon(128, 0, 0), kTeal(0, 64, 64), kSilver(192, 192, 192), kWhite(255, 255, 255),
    kBlack(0, 0, 0), kBlue(0, 128, 255);

struct ControlCase {
  const char* name;
  const char* parent;  // "Form1Content" is the window's scrolling content
  QRect rect;
  std::optional<QString> text;
  int pixelSize;  // 0: the control has no font of its own to check
  bool bold;
  QColor background;  // edits: Base; panels and group boxes: Window; invalid: not checked
  QColor foreground;  // edits: Text; labels and group boxes: WindowText
};

QColor windowText() { return QApplication::palette().color(QPalette::WindowText); }

std::vector<ControlCase> controlTable() {
  const QString heads[] = {QStringLiteral("BASINÇ (bar)"), QStringLiteral("PRES (kg)"),
                           QStringLiteral("EN (cm)"), QStringLiteral("BOY (cm)")};
  const QRect headRects[] = {{186, 2, 125, 24}, {319, 2, 97, 24}, {443, 2, 78, 24}, {561, 2, 91, 24}};
  std::vector<ControlCase> t = {
      {"Panel1", "Form1Content", {8, 691, 1137, 81}, {}, 0, false, kMaroon, {}},
      {"GroupBox1", "Panel1", {10, 8, 250, 65}, QStringLiteral("HAVA BASINCI"), 16, true, kMaroon, kWhite},
      {"Edit2", "GroupBox1", {8, 21, 177, 36}, QStringLiteral("22"), 27, true, kMaroon, kWhite},
      {"Label1", "GroupBox1", {192, 26, 46, 32}, QStringLiteral("Bar"), 27, true, {}, kWhite},
      {"GroupBox2", "Panel1", {295, 9, 250, 65}, QStringLiteral("LOADCELL"), 16, true, kMaroon, kWhite},
      {"Edit3", "GroupBox2", {9, 21, 177, 36}, QStringLiteral("1000"), 27, true, kMaroon, kWhite},
      {"Label2", "GroupBox2", {200, 24, 41, 32}, QStringLiteral("KG"), 27, true, {}, kWhite},
      {"GroupBox3", "Panel1", {591, 9, 250, 65}, QStringLiteral("LAZER"), 16, true, kMaroon, kWhite},
      {"Edit4", "GroupBox3", {9, 21, 177, 36}, QStringLiteral("1"), 27, true, kMaroon, kWhite},
      {"Label3", "GroupBox3", {192, 23, 46, 32}, QStringLiteral("Cm"), 27, true, {}, kWhite},
      {"GroupBox4", "Panel1", {880, 9, 250, 65}, QStringLiteral("CETVEL"), 16, true, kMaroon, kWhite},
      {"Edit5", "GroupBox4", {9, 21, 177, 36}, QStringLiteral("5"), 27, true, kMaroon, kWhite},
      {"Label4", "GroupBox4", {192, 27, 46, 32}, QStringLiteral("Cm"), 27, true, {}, kWhite},
      {"Panel2", "Form1Content", {8, 418, 673, 132}, {}, 0, false, kTeal, {}},
      {"Label18", "Panel2", {16, 26, 147, 24}, QStringLiteral("TABLO DETAYI"), 19, true, {}, kWhite},
      {"Label8", "Panel2", {47, 56, 84, 24}, QStringLiteral("SERİ NO"), 19, true, {}, kWhite},
      {"Edit6", "Panel2", {6, 88, 173, 28}, QStringLiteral(" "), 16, true, kTeal, kWhite},
      {"Panel3", "Form1Content", {8, 554, 673, 132}, {}, 0, false, kTeal, {}},
      {"Label19", "Panel3", {15, 26, 160, 24}, QStringLiteral("PLC DEĞERLERİ"), 19, true, {}, kWhite},
      {"Label13", "Panel3", {39, 56, 84, 24}, QStringLiteral("SERİ NO"), 19, true, {}, kWhite},
      {"Edit25", "Panel3", {6, 88, 173, 28}, QStringLiteral("1"), 16, true, kTeal, kWhite},
      {"Edit1", "Form1Content", {880, 72, 265, 32}, QStringLiteral("Edit1"), 19, true, kLime, windowText()},
      {"Edit7", "Form1Content", {880, 112, 265, 32}, QStringLiteral("Edit7"), 19, true, kRed, windowText()},
      {"Edit8", "Form1Content", {880, 153, 265, 32}, QStringLiteral("SONUÇ  : POZİTİF"), 19, true, kLime,
       windowText()},
      {"DBGrid1", "Form1Content", {3, 70, 870, 339}, {}, 16, true, {}, {}},
      {"Chart1", "Form1Content", {687, 416, 450, 270}, {}, 0, false, {}, {}},
      {"ToolBar1", "Form1Content", {0, 0, 1145, 65}, {}, 0, false, {}, {}},
      {"StatusBar1", "Form1Content", {0, 772, 1145, 32}, {}, 11, false, kSilver, {}},
  };
  // The column heads and the 4 x 4 value grids of both panels.
  static const char* const headNames[2][4] = {{"Label9", "Label10", "Label11", "Label12"},
                                              {"Label14", "Label15", "Label16", "Label17"}};
  static std::vector<QByteArray> editNames;
  editNames.clear();
  for (int p = 0; p < 2; ++p) {
    const char* parent = p == 0 ? "Panel2" : "Panel3";
    for (int c = 0; c < 4; ++c) t.push_back({headNames[p][c], parent, headRects[c], heads[c], 19, true, {}, kWhite});
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) editNames.push_back("Edit" + QByteArray::number((p == 0 ? 9 : 26) + r * 4 + c));
  }
  const int lefts[] = {186, 307, 428, 549};
  const int tops[] = {25, 49, 73, 97};
  for (int i = 0; i < 32; ++i) {
    const int r = (i % 16) / 4, c = i % 4;
    t.push_back({editNames[size_t(i)].constData(), i < 16 ? "Panel2" : "Panel3", {lefts[c], tops[r], 121, 24},
                 i < 16 ? QString() : QStringLiteral("1"), 13, true, kSilver, kBlack});
  }
  return t;
}

class Form1Layout : public Form1Fixture {
 protected:
  void SetUp() override { showForm(); }
};

TEST_F(Form1Layout, EveryControlHasItsParentPlaceTextFontAndColours) {
  for (const ControlCase& c : controlTable()) {
    SCOPED_TRACE(c.name);
    QWidget* w = control(c.name);
    if (!w) continue;
    ASSERT_NE(w->parentWidget(), nullptr);
    EXPECT_EQ(w->parentWidget()->objectName(), QString::fromLatin1(c.parent));
    EXPECT_EQ(w->geometry(), c.rect);
    if (c.pixelSize) {
      EXPECT_EQ(w->font().pixelSize(), c.pixelSize);
      if (c.bold) {
        EXPECT_GE(w->font().weight(), QFont::Bold);
      } else {
        EXPECT_EQ(w->font().weight(), QFont::Normal);
      }
    }
    const QPalette& pal = w->palette();
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
      if (c.text) {
        EXPECT_EQ(e->text(), *c.text);
      }
      if (c.background.isValid()) {
        EXPECT_EQ(pal.color(QPalette::Base), c.background);
      }
      if (c.foreground.isValid()) {
        EXPECT_EQ(pal.color(QPalette::Text), c.foreground);
      }
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
      EXPECT_EQ(l->text(), *c.text);
      EXPECT_EQ(pal.color(QPalette::WindowText), c.foreground);
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
      EXPECT_EQ(g->title(), *c.text);
      EXPECT_EQ(pal.color(QPalette::Window), c.background);
      EXPECT_EQ(pal.color(QPalette::WindowText), c.foreground);
    } else if (c.background.isValid()) {
      EXPECT_TRUE(w->autoFillBackground());
      EXPECT_EQ(pal.color(QPalette::Window), c.background);
    }
  }
}

TEST_F(Form1Layout, ReadOnlyBoxesAreFocusableAndOnlyEdit8IsEditable) {
  for (int e = 1; e <= ctl::kLastEdit; ++e) {
    SCOPED_TRACE(e);
    auto* edit = control<QLineEdit>(QStringLiteral("Edit%1").arg(e).toLatin1().constData());
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->isReadOnly(), e != ctl::Edit8);
    EXPECT_NE(edit->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(edit->hasFrame(), e < 2 || e > 5);  // the live readings have no border
  }
  auto* edit25 = control<QLineEdit>("Edit25");
  edit25->setFocus();
  QTest::keyClicks(edit25, "9x");
  EXPECT_EQ(edit25->text(), QStringLiteral("1"));
  edit25->selectAll();
  EXPECT_EQ(edit25->selectedText(), QStringLiteral("1"));
}

TEST_F(Form1Layout, WindowFrameIconBackgroundAndDefaultFont) {
  EXPECT_EQ(form.size(), QSize(1028, 502));
  EXPECT_EQ(form.minimumSize(), QSize(1028, 502));
  // Left open so that window managers keep the maximise action; see the drag test.
  EXPECT_EQ(form.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
  EXPECT_TRUE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(form.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_EQ(form.findChild<QMenuBar*>(), nullptr);
  // A blank, not empty: for an empty title Qt hands the window manager the application name.
  EXPECT_EQ(form.windowTitle(), QStringLiteral(" "));
  EXPECT_TRUE(form.windowIcon().availableSizes().contains(QSize(48, 48)));
  EXPECT_EQ(form.palette().color(QPalette::Window), kBlue);
  EXPECT_EQ(form.content()->palette().color(QPalette::Window), kBlue);
  EXPECT_EQ(form.font().pixelSize(), 11);
  EXPECT_EQ(form.font().weight(), QFont::Normal);
}

TEST_F(Form1Layout, ToolbarButtonsInOrderWithHintsAndPictures) {
  struct Button {
    const char* name;
    int left;
    QString hint;
    int picture;
    const char* handler;
  };
  const Button buttons[] = {
      {"SpeedButton1", 0, QStringLiteral("DOSYA AÇ"), 32, "SpeedButton1Click"},
      {"SpeedButton5", 56, QStringLiteral("SEÇİLİ KAYDI SİL"), 32, "SpeedButton5Click"},
      {"SpeedButton6", 112, QStringLiteral("YAZICI ÇIKTI"), 48, "SpeedButton6Click"},
      {"SpeedButton2", 168, QStringLiteral("PDF ÇIKTI"), 48, "SpeedButton2Click"},
      {"SpeedButton3", 224, QStringLiteral("HTML ÇIKTI"), 32, "SpeedButton3Click"},
      {"SpeedButton4", 280, QStringLiteral("TÜM KAYITLARI EXCELE AKTAR"), 48, "SpeedButton4Click"},
      {"SpeedButton8", 336, QStringLiteral("SEÇİLİ KAYDI EXCELE AKTAR"), 32, "SpeedButton8Click"},
      {"SpeedButton9", 392, QStringLiteral("PLC BAĞLAN"), 48, "SpeedButton7Click"},
      {"SpeedButton7", 448, QStringLiteral("HAKKINDA"), 48, "SpeedButton7Click"},
  };
  QWidget* bar = control("ToolBar1");
  EXPECT_EQ(bar->findChildren<QToolButton*>().size(), 9);
  for (const Button& b : buttons) {
    SCOPED_TRACE(b.name);
    auto* button = control<QToolButton>(b.name);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->parentWidget(), bar);
    EXPECT_EQ(button->geometry(), QRect(b.left, 2, 56, 56));
    EXPECT_EQ(button->toolTip(), b.hint);
    EXPECT_TRUE(button->autoRaise());
    EXPECT_TRUE(button->text().isEmpty() || button->toolButtonStyle() == Qt::ToolButtonIconOnly);
    EXPECT_EQ(button->iconSize(), QSize(b.picture, b.picture));
    EXPECT_TRUE(button->icon().availableSizes().contains(QSize(b.picture, b.picture)));
    EXPECT_TRUE(button->isEnabled());

    handlers.calls.clear();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(handlers.calls, QStringList{QString::fromLatin1(b.handler)});
  }
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Form1Layout, DesignedSizeHidesLowerPanelsAndStatusBarUntilScrolled) {
  QScrollArea* area = form.scrollArea();
  QWidget* viewport = area->viewport();
  EXPECT_TRUE(area->horizontalScrollBar()->isVisible());
  EXPECT_TRUE(area->verticalScrollBar()->isVisible());
  EXPECT_EQ(form.content()->size(), QSize(1145, 804));
  EXPECT_TRUE(area->verticalScrollBar()->hasTracking());     // moves while dragged
  EXPECT_FALSE(area->horizontalScrollBar()->hasTracking());  // moves when released

  auto visibleRect = [&](const char* name) {
    QWidget* w = control(name);
    const QRect inViewport(w->mapTo(viewport, QPoint(0, 0)), w->size());
    return inViewport.intersected(viewport->rect());
  };
  for (const char* hidden : {"Panel1", "Panel3", "StatusBar1"}) {
    SCOPED_TRACE(hidden);
    EXPECT_TRUE(visibleRect(hidden).isEmpty());
  }
  EXPECT_LT(visibleRect("Edit1").width(), 265);  // the right part lies beyond the client area
  EXPECT_FALSE(visibleRect("Panel2").isEmpty());

  // Scrolled down: the lower panels and the status bar come into view.
  area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
  QApplication::processEvents();
  for (const char* shown : {"Panel1", "Panel3", "StatusBar1"}) {
    SCOPED_TRACE(shown);
    EXPECT_EQ(visibleRect(shown).height(), control(shown)->height());
  }
  EXPECT_EQ(visibleRect("StatusBar1").bottom(), viewport->rect().bottom());

  // Scrolled right (at the top): the indicators' right parts come into view.
  area->verticalScrollBar()->setValue(0);
  area->horizontalScrollBar()->setValue(area->horizontalScrollBar()->maximum());
  QApplication::processEvents();
  for (const char* shown : {"Edit1", "Edit7", "Edit8"}) {
    SCOPED_TRACE(shown);
    EXPECT_EQ(visibleRect(shown).size(), control(shown)->size());
    EXPECT_EQ(visibleRect(shown).right(), viewport->rect().right());
  }
}

TEST_F(Form1Layout, ASizeDraggedInTheNormalStateIsPutBack) {
  form.show();
  for (const QSize dragged : {QSize(1200, 700), QSize(900, 400)}) {
    form.resize(dragged);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.size() == QSize(1028, 502); }, 2000))
        << form.width() << "x" << form.height();
  }
}

TEST_F(Form1Layout, MaximisedOnALargeScreenShowsAllWithBarsAlongTheEdges) {
  const QSize screen = form.screen()->availableGeometry().size();
  ASSERT_GE(screen.width(), 1145 + 100);
  ASSERT_GE(screen.height(), 804 + 100);
  form.showMaximized();
  ASSERT_TRUE(QTest::qWaitFor([&] { return form.size() == screen; }, 2000)) << form.width() << "x" << form.height();
  EXPECT_EQ(form.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
  QScrollArea* area = form.scrollArea();
  auto barsShown = [area] {
    QApplication::processEvents();  // the scroll area settles its bars after the resize
    return area->horizontalScrollBar()->isVisible() || area->verticalScrollBar()->isVisible();
  };
  EXPECT_FALSE(barsShown());
  EXPECT_EQ(control("ToolBar1")->geometry(), QRect(0, 0, screen.width(), 65));
  EXPECT_EQ(control("StatusBar1")->geometry(), QRect(0, screen.height() - 32, screen.width(), 32));
  EXPECT_EQ(control("Panel1")->geometry(), QRect(8, 691, 1137, 81));  // controls keep their places

  form.showNormal();
  ASSERT_TRUE(QTest::qWaitFor([&] { return form.size() == QSize(1028, 502); }, 2000));
  EXPECT_EQ(form.minimumSize(), QSize(1028, 502));
  EXPECT_EQ(control("StatusBar1")->geometry(), QRect(0, 772, 1145, 32));
  EXPECT_TRUE(barsShown());
  EXPECT_TRUE(area->verticalScrollBar()->isVisible());
  EXPECT_TRUE(area->horizontalScrollBar()->isVisible());
}

TEST_F(Form1Layout, StatusBarHasThreePanels) {
  auto* bar = control<QStatusBar>("StatusBar1");
  QLabel* panels[3];
  for (int i = 0; i < 3; ++i) {
    panels[i] = bar->findChild<QLabel*>(QStringLiteral("StatusBar1Panel%1").arg(i));
    ASSERT_NE(panels[i], nullptr);
    EXPECT_TRUE(panels[i]->text().isEmpty());
  }
  EXPECT_EQ(panels[0]->width(), 200);
  EXPECT_EQ(panels[1]->width(), 200);
  EXPECT_EQ(panels[0]->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  EXPECT_EQ(panels[1]->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
  EXPECT_LT(panels[0]->x(), panels[1]->x());
  EXPECT_LT(panels[1]->x(), panels[2]->x());
  EXPECT_GT(panels[2]->geometry().right(), 1145 - 10);  // the rest of the bar
}

TEST_F(Form1Layout, ChartIsTitledBlueWithOneEmptyRedLine) {
  auto* view = control<QChartView>("Chart1");
  ASSERT_NE(view, nullptr);
  QChart* chart = view->chart();
  EXPECT_EQ(chart->title(), QStringLiteral("GRAFİK"));
  EXPECT_EQ(chart->backgroundBrush().color(), kBlue);
  EXPECT_FALSE(chart->isPlotAreaBackgroundVisible());
  EXPECT_NE(chart->animationOptions(), QChart::NoAnimation);
  EXPECT_NE(view->rubberBand(), QChartView::NoRubberBand);
  ASSERT_EQ(chart->series().size(), 1);
  auto* series = qobject_cast<QLineSeries*>(chart->series().first());
  ASSERT_NE(series, nullptr);
  EXPECT_EQ(series->objectName(), QStringLiteral("Series1"));
  EXPECT_EQ(series->color(), kRed);
  EXPECT_FALSE(series->pointsVisible());
  EXPECT_FALSE(series->pointLabelsVisible());
  EXPECT_EQ(series->count(), 0);
  EXPECT_EQ(chart->axes().size(), 2);
}

}  // namespace
}  // namespace velta::test
