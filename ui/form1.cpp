#include "ui/form1.h"
#include "platform/station_log.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QEventLoop>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPropertyAnimation>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValueAxis>
#include <cstdio>
#include <exception>

#include "platform/error.h"
#include "ui/db_grid.h"
#include "ui/tool_bar.h"
#include "ui/window_fonts.h"

// The pictures live in a static library; make sure its resources are registered.
static void initPictures() { Q_INIT_RESOURCE(pictures); }

namespace velta {
namespace {

const QColor kWindowBlue(0, 128, 255);
const QColor kMaroon(128, 0, 0);
const QColor kPanelTeal(0, 64, 64);
const QColor kSilver(192, 192, 192);
const QColor kYellowText(255, 255, 0);
constexpr int kToolBarHeight = 65;
constexpr int kStatusBarHeight = 32;

QColor windowText() { return QApplication::palette().color(QPalette::WindowText); }

void setColors(QWidget* w, QPalette::ColorRole background, const QColor& bg, QPalette::ColorRole foreground,
               const QColor& fg) {
  QPalette pal = w->palette();
  pal.setColor(background, bg);
  pal.setColor(foreground, fg);
  w->setPalette(pal);
}

QLabel* label(QWidget* parent, const char* name, QRect geometry, const QString& text, const QFont& font) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setGeometry(geometry);
  l->setFont(font);
  l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setColors(l, QPalette::Window, parent->palette().color(QPalette::Window), QPalette::WindowText, Qt::white);
  return l;
}

QFrame* panel(QWidget* parent, const char* name, QRect geometry, const QColor& color) {
  auto* p = new QFrame(parent);
  p->setObjectName(QString::fromLatin1(name));
  p->setGeometry(geometry);
  p->setFrameStyle(QFrame::Panel | QFrame::Raised);
  p->setLineWidth(1);
  p->setAutoFillBackground(true);
  setColors(p, QPalette::Window, color, QPalette::WindowText, windowText());
  return p;
}

}  // namespace

TForm1::TForm1(FormState& state, FormHandlers& handlers, OperatorDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      state_(state),
      handlers_(handlers),
      dialogs_(dialogs) {
  initPictures();
  setObjectName(QStringLiteral("Form1"));
  setFont(fonts::msSansSerif(11, false));
  setAutoFillBackground(true);
  setColors(this, QPalette::Window, kWindowBlue, QPalette::WindowText, windowText());
  setWindowIcon(QIcon(QStringLiteral(":/pictures/station.png")));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  scroll_ = new QScrollArea(this);
  scroll_->setObjectName(QStringLiteral("Form1Scroll"));
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setWidgetResizable(true);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  scroll_->horizontalScrollBar()->setTracking(false);  // moves when the thumb is released
  scroll_->verticalScrollBar()->setTracking(true);     // moves while the thumb is dragged
  layout->addWidget(scroll_);

  content_ = new QWidget;
  content_->setObjectName(QStringLiteral("Form1Content"));
  content_->setMinimumSize(kContentWidth, kContentHeight);
  content_->setAutoFillBackground(true);
  setColors(content_, QPalette::Window, kWindowBlue, QPalette::WindowText, windowText());
  content_->installEventFilter(this);
  scroll_->setWidget(content_);

  buildToolBar();
  buildGrid();
  buildChart();
  buildPanels();
  buildLiveReadings();
  buildIndicators();
  buildStatusBar();
  bindState();

  timer_ = new QTimer(this);
  timer_->setObjectName(QStringLiteral("Timer1"));
  timer_->setInterval(kTickMs);
  connect(timer_, &QTimer::timeout, this, &TForm1::tick);
  timer_->start();  // armed while the window is built; ticks pass once enableTicks ran

  applyFrameConstraints();
  layOutDockedBars();
}

TForm1::~TForm1() {
  timer_->stop();
  try {
    handlers_.FormDestroy();
  } catch (...) {
    // Destruction reports nothing.
  }
}

template <class Handler>
void TForm1::guarded(Handler&& handler) noexcept {
  QString text;
  try {
    handler();
    return;
  } catch (const std::exception& e) {
    text = exceptionText(e);
  } catch (...) {
    text = QStringLiteral("Bilinmeyen hata");
  }
  try {
    dialogs_.showError(kApplicationTitle, errorDisplayText(text));
  } catch (...) {
    LogLine(QStringLiteral("error box failed: %1").arg(text));
  }
}

void TForm1::buildToolBar() {
  toolBar_ = new ToolBarFrame(content_);
  toolBar_->setObjectName(QStringLiteral("ToolBar1"));
  toolBar_->setGeometry(0, 0, kContentWidth, kToolBarHeight);

  struct Button {
    const char* name;
    const char* hint;
    const char* picture;
    int pictureSize;
    void (*click)(FormHandlers&);
  };
  const Button buttons[] = {
      {"SpeedButton1", "DOSYA AÇ", "open", 32, [](FormHandlers& h) { h.SpeedButton1Click(); }},
      {"SpeedButton5", "SEÇİLİ KAYDI SİL", "delete", 32, [](FormHandlers& h) { h.SpeedButton5Click(); }},
      {"SpeedButton6", "YAZICI ÇIKTI", "printer", 48, [](FormHandlers& h) { h.SpeedButton6Click(); }},
      {"SpeedButton2", "PDF ÇIKTI", "pdf", 48, [](FormHandlers& h) { h.SpeedButton2Click(); }},
      {"SpeedButton3", "HTML ÇIKTI", "html", 32, [](FormHandlers& h) { h.SpeedButton3Click(); }},
      {"SpeedButton4", "TÜM KAYITLARI EXCELE AKTAR", "excel_all", 48, [](FormHandlers& h) { h.SpeedButton4Click(); }},
      {"SpeedButton8", "SEÇİLİ KAYDI EXCELE AKTAR", "excel_one", 32, [](FormHandlers& h) { h.SpeedButton8Click(); }},
      {"SpeedButton9", "PLC BAĞLAN", "plc_connect", 48, [](FormHandlers& h) { h.SpeedButton7Click(); }},
      {"SpeedButton7", "HAKKINDA", "about", 48, [](FormHandlers& h) { h.SpeedButton7Click(); }},
  };
  int left = 0;
  for (const Button& b : buttons) {
    auto* button = new QToolButton(toolBar_);
    button->setObjectName(QString::fromLatin1(b.name));
    button->setGeometry(left, 2, 56, 56);
    button->setAutoRaise(true);  // flat: a border only while the mouse is over it
    button->setFocusPolicy(Qt::NoFocus);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setToolTip(QString::fromUtf8(b.hint));
    button->setIcon(QIcon(QStringLiteral(":/pictures/%1.png").arg(QLatin1String(b.picture))));
    button->setIconSize(QSize(b.pictureSize, b.pictureSize));
    const auto click = b.click;
    connect(button, &QToolButton::clicked, this, [this, click] { guarded([&] { click(handlers_); }); });
    if (button->objectName() == QLatin1String("SpeedButton1")) speedButton1_ = button;
    left += 56;
  }
}

void TForm1::buildGrid() {
  grid_ = new DbGrid(content_);
  grid_->setObjectName(QStringLiteral("DBGrid1"));
  grid_->setGeometry(3, 70, 870, 339);
  connect(grid_, &DbGrid::cellClicked, this, [this] { guarded([this] { handlers_.DBGrid1CellClick(); }); });
  connect(grid_, &DbGrid::keyReleased, this, [this] { guarded([this] { handlers_.DBGrid1KeyUp(); }); });
  connect(grid_, &DbGrid::ctrlDeletePressed, this, [this] { guarded([this] { handlers_.DBGrid1CtrlDelete(); }); });
}

QTableView* TForm1::DBGrid1() const { return grid_; }

void TForm1::bindRecordModel(QAbstractItemModel* model) { grid_->bindRecordModel(model); }

void TForm1::buildChart() {
  auto* chart = new QChart;
  chart->setObjectName(QStringLiteral("Chart1Chart"));
  chart->setTitle(QStringLiteral("GRAFİK"));
  chart->setBackgroundBrush(kWindowBlue);
  chart->setBackgroundRoundness(0);
  chart->setPlotAreaBackgroundVisible(false);  // the back wall is not filled
  chart->setAnimationOptions(QChart::GridAxisAnimations | QChart::SeriesAnimations);
  chart->legend()->hide();

  auto* series = new QLineSeries;
  series->setObjectName(QStringLiteral("Series1"));
  series->setColor(kRed);
  series->setPointsVisible(false);
  series->setPointLabelsVisible(false);
  chart->addSeries(series);
  auto* x = new QValueAxis;
  auto* y = new QValueAxis;
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  series->attachAxis(x);
  series->attachAxis(y);

  auto* view = new QChartView(chart, content_);
  view->setObjectName(QStringLiteral("Chart1"));
  view->setGeometry(687, 416, 450, 270);
  view->setRenderHint(QPainter::Antialiasing);
  view->setRubberBand(QChartView::RectangleRubberBand);  // mouse zoom, animated by the chart
  view->setFrameShape(QFrame::NoFrame);
  view->setBackgroundBrush(kWindowBlue);
}

void TForm1::buildPanels() {
  const QFont title = fonts::msSansSerif(19, true);
  const QFont serial = fonts::msSansSerif(16, true);
  const QFont value = fonts::msSansSerif(13, true);
  const QString heads[] = {QStringLiteral("BASINÇ (bar)"), QStringLiteral("PRES (kg)"),
                           QStringLiteral("EN (cm)"), QStringLiteral("BOY (cm)")};
  const int headLeft[] = {186, 319, 443, 561};
  const int headWidth[] = {125, 97, 78, 91};
  const int columnLeft[] = {186, 307, 428, 549};
  const int rowTop[] = {25, 49, 73, 97};

  struct PanelSpec {
    const char* name;
    int top;
    const char* titleName;
    QRect titleRect;
    QString titleText;
    const char* serialLabel;
    QRect serialLabelRect;
    int serialEdit;
    int firstHeadLabel;
    int firstValueEdit;
  };
  const PanelSpec panels[] = {
      {"Panel2", 418, "Label18", QRect(16, 26, 147, 24), QStringLiteral("TABLO DETAYI"), "Label8",
       QRect(47, 56, 84, 24), ctl::Edit6, 9, ctl::Edit9},
      {"Panel3", 554, "Label19", QRect(15, 26, 160, 24), QStringLiteral("PLC DEĞERLERİ"), "Label13",
       QRect(39, 56, 84, 24), ctl::Edit25, 14, ctl::Edit26},
  };
  for (const PanelSpec& s : panels) {
    QFrame* p = panel(content_, s.name, QRect(8, s.top, 673, 132), kPanelTeal);
    label(p, s.titleName, s.titleRect, s.titleText, title);
    label(p, s.serialLabel, s.serialLabelRect, QStringLiteral("SERİ NO"), title);

    auto* serialEdit = new QLineEdit(p);
    serialEdit->setObjectName(QStringLiteral("Edit%1").arg(s.serialEdit));
    serialEdit->setGeometry(6, 88, 173, 28);
    serialEdit->setFont(serial);
    setColors(serialEdit, QPalette::Base, kPanelTeal, QPalette::Text, Qt::white);
    edits_[s.serialEdit] = serialEdit;

    for (int c = 0; c < 4; ++c) {
      const QByteArray name = "Label" + QByteArray::number(s.firstHeadLabel + c);
      label(p, name.constData(), QRect(headLeft[c], 2, headWidth[c], 24), heads[c], title);
    }
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) {
        const int number = s.firstValueEdit + r * 4 + c;
        auto* e = new QLineEdit(p);
        e->setObjectName(QStringLiteral("Edit%1").arg(number));
        e->setGeometry(columnLeft[c], rowTop[r], 121, 24);
        e->setFont(value);
        setColors(e, QPalette::Base, kSilver, QPalette::Text, Qt::black);
        edits_[number] = e;
      }
    }
  }
}

void TForm1::buildLiveReadings() {
  QFrame* p = panel(content_, "Panel1", QRect(8, 691, 1137, 81), kMaroon);
  const QFont caption = fonts::arial(16, true);
  const QFont unit = fonts::arial(27, true);

  struct Reading {
    const char* group;
    QRect groupRect;
    QString title;
    int edit;
    QPoint editPos;
    QFont editFont;
    const char* unitLabel;
    QRect unitRect;
    QString unitText;
  };
  const Reading readings[] = {
      {"GroupBox1", QRect(10, 8, 250, 65), QStringLiteral("HAVA BASINCI"), ctl::Edit2, QPoint(8, 21),
       fonts::arial(27, true), "Label1", QRect(192, 26, 46, 32), QStringLiteral("Bar")},
      {"GroupBox2", QRect(295, 9, 250, 65), QStringLiteral("LOADCELL"), ctl::Edit3, QPoint(9, 21),
       fonts::arialBlack(27), "Label2", QRect(200, 24, 41, 32), QStringLiteral("KG")},
      {"GroupBox3", QRect(591, 9, 250, 65), QStringLiteral("LAZER"), ctl::Edit4, QPoint(9, 21),
       fonts::arialBlack(27), "Label3", QRect(192, 23, 46, 32), QStringLiteral("Cm")},
      {"GroupBox4", QRect(880, 9, 250, 65), QStringLiteral("CETVEL"), ctl::Edit5, QPoint(9, 21),
       fonts::arialBlack(27), "Label4", QRect(192, 27, 46, 32), QStringLiteral("Cm")},
  };
  for (const Reading& r : readings) {
    auto* g = new QGroupBox(r.title, p);
    g->setObjectName(QString::fromLatin1(r.group));
    g->setGeometry(r.groupRect);
    g->setFont(caption);
    g->setAutoFillBackground(true);
    QPalette pal = g->palette();
    pal.setColor(QPalette::Window, kMaroon);
    pal.setColor(QPalette::WindowText, Qt::white);
    pal.setColor(QPalette::Text, Qt::white);  // some styles draw the caption in Text
    g->setPalette(pal);

    auto* e = new QLineEdit(g);
    e->setObjectName(QStringLiteral("Edit%1").arg(r.edit));
    e->setGeometry(QRect(r.editPos, QSize(177, 36)));
    e->setFrame(false);
    e->setFont(r.editFont);
    setColors(e, QPalette::Base, kMaroon, QPalette::Text, Qt::white);
    edits_[r.edit] = e;

    label(g, r.unitLabel, r.unitRect, r.unitText, unit);
  }
}

void TForm1::buildIndicators() {
  const QFont font = fonts::msSansSerif(19, true);
  const struct {
    int edit;
    int top;
    QColor color;
  } indicators[] = {{ctl::Edit1, 72, kLime}, {ctl::Edit7, 112, kRed}, {ctl::Edit8, 153, kLime}};
  for (const auto& i : indicators) {
    auto* e = new QLineEdit(content_);
    e->setObjectName(QStringLiteral("Edit%1").arg(i.edit));
    e->setGeometry(880, i.top, 265, 32);
    e->setFont(font);
    setColors(e, QPalette::Base, i.color, QPalette::Text, windowText());
    edits_[i.edit] = e;
  }
}

void TForm1::buildStatusBar() {
  auto* bar = new QStatusBar(content_);
  bar->setObjectName(QStringLiteral("StatusBar1"));
  bar->setSizeGripEnabled(false);
  bar->setAutoFillBackground(true);
  setColors(bar, QPalette::Window, kSilver, QPalette::WindowText, windowText());
  const Qt::Alignment align[] = {Qt::AlignCenter, Qt::AlignLeft | Qt::AlignVCenter, Qt::AlignLeft | Qt::AlignVCenter};
  for (int i = 0; i < 3; ++i) {
    auto* l = new QLabel(bar);
    l->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i));
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setAlignment(align[i]);
    if (i < 2) {
      l->setFixedWidth(200);
      bar->addWidget(l, 0);
    } else {
      bar->addWidget(l, 1);  // the rest of the bar
    }
    statusPanels_[i] = l;
  }
  statusBar_ = bar;
}

void TForm1::bindState() {
  for (int e = 1; e <= ctl::kLastEdit; ++e) {
    QLineEdit* edit = edits_[e];
    edit->setText(state_.text(e));
    edit->setCursorPosition(0);
    edit->setReadOnly(e != ctl::Edit8);  // read-only boxes stay focusable and selectable
    const QColor color = state_.color(e);
    if (color.isValid()) setColors(edit, QPalette::Base, color, QPalette::Text, edit->palette().color(QPalette::Text));
  }
  connect(&state_, &FormState::textChanged, this, [this](int e) {
    QLineEdit* edit = edits_.at(e);
    if (edit->text() != state_.text(e)) {
      edit->setText(state_.text(e));
      edit->setCursorPosition(0);
    }
  });
  connect(&state_, &FormState::colorChanged, this, [this](int e) {
    const QColor color = state_.color(e);
    if (!color.isValid()) return;
    QLineEdit* edit = edits_.at(e);
    setColors(edit, QPalette::Base, color, QPalette::Text, edit->palette().color(QPalette::Text));
  });
  // Typing in Edit8 goes into the state; textEdited fires for the operator only, so
  // the state's echo finds equal text and stops there.
  connect(edits_[ctl::Edit8], &QLineEdit::textEdited, this,
          [this](const QString& text) { state_.setText(ctl::Edit8, text); });

  speedButton1_->setEnabled(state_.speedButton1Enabled());
  connect(&state_, &FormState::speedButton1EnabledChanged, speedButton1_, &QToolButton::setEnabled);

  for (int i = 0; i < 3; ++i) statusPanels_[i]->setText(state_.statusPanel(i));
  connect(&state_, &FormState::statusPanelChanged, this,
          [this](int i) { statusPanels_.at(i)->setText(state_.statusPanel(i)); });

  showCaption();
  connect(&state_, &FormState::captionChanged, this, [this] { showCaption(); });
}

void TForm1::showCaption() {
  // Qt's window systems never show a title that is wholly empty: they put the application
  // name there instead. A blank keeps the title bar as empty as the caption.
  const QString caption = state_.caption();
  setWindowTitle(caption.isEmpty() ? QStringLiteral(" ") : caption);
}

void TForm1::runFormCreate() { guarded([this] { handlers_.FormCreate(); }); }

void TForm1::enableTicks() {
  ticksEnabled_ = true;
  if (!timer_->isActive()) timer_->start();
}

void TForm1::tick() {
  // A tick that waits in a nested event loop (a box, a dialog) is not overlapped by
  // the next one.
  if (!ticksEnabled_ || inTick_) return;
  inTick_ = true;
  try {
    handlers_.Timer1Timer();
    inTick_ = false;
    return;
  } catch (const std::exception& e) {
    LogLine(QStringLiteral("poll tick failed: %1").arg(exceptionText(e)));
  } catch (...) {
    LogLine(QStringLiteral("poll tick failed"));
  }
  inTick_ = false;
  timer_->stop();
  ticksEnabled_ = false;
  close();
}

bool TForm1::inNormalFrame() const {
  return !animating_ &&
         !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized));
}

// The frame is fixed but the window can be maximised. Window managers drop the maximise
// action of a window whose minimum and maximum sizes are equal, so the maximum stays
// open and a size the operator drags in the normal state is put back.
void TForm1::applyFrameConstraints() {
  if (animating_) return;
  if (!inNormalFrame()) {
    setMinimumSize(0, 0);
  } else {
    setMinimumSize(kClientWidth, kClientHeight);
    resize(kClientWidth, kClientHeight);
  }
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (inNormalFrame() && size() != QSize(kClientWidth, kClientHeight))
    QTimer::singleShot(0, this, [this] {
      if (inNormalFrame()) resize(kClientWidth, kClientHeight);
    });
}

void TForm1::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowStateChange) applyFrameConstraints();
  QWidget::changeEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == content_ && event->type() == QEvent::Resize) layOutDockedBars();
  return QWidget::eventFilter(watched, event);
}

void TForm1::layOutDockedBars() {
  // The content is at least its designed size and grows with the client area, so its
  // width is the wider of the two; the bars follow its top and bottom edge.
  const QSize size = content_->size().expandedTo(QSize(kContentWidth, kContentHeight));
  toolBar_->setGeometry(0, 0, size.width(), kToolBarHeight);
  statusBar_->setGeometry(0, size.height() - kStatusBarHeight, size.width(), kStatusBarHeight);
}

void TForm1::AnimateWindow(int durationMs) {
  QRect target = geometry();
  if (!isVisible() && !testAttribute(Qt::WA_Moved)) {
    if (QScreen* screen = this->screen()) {
      target.moveCenter(screen->availableGeometry().center());
    }
  }
  animating_ = true;
  setMinimumSize(1, 1);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  const QRect start(target.center(), QSize(1, 1));
  if (durationMs > 0) {
    setGeometry(start);
    show();
    QPropertyAnimation grow(this, "geometry");
    grow.setDuration(durationMs);
    grow.setStartValue(start);
    grow.setEndValue(target);
    QEventLoop loop;
    connect(&grow, &QPropertyAnimation::finished, &loop, &QEventLoop::quit);
    grow.start();
    if (grow.state() == QAbstractAnimation::Running) loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  animating_ = false;
  setGeometry(target);
  applyFrameConstraints();
  show();
  raise();
  activateWindow();
}

}  // namespace velta
