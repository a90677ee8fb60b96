#pragma once
// Form1, the station's one window. It shows FormState (texts of Edit1 .. Edit41,
// indicator colours, SpeedButton1's enabled state, status panels, title), feeds the
// operator's typing in Edit8 back into it, and runs the FormHandlers for the window's
// events. Every control carries its station name as objectName (Edit25, SpeedButton7,
// Panel3, GroupBox1, Label18, DBGrid1, Chart1, StatusBar1, ToolBar1, ...).
//
// The window's client area is 1028 x 502 and cannot be resized by dragging, but it can
// be maximised. Its content (1145 x 804, the "window" parent of the controls) scrolls
// inside the client area; ToolBar1 and StatusBar1 lie along the content's top and
// bottom edge, as wide as the content or the client area, whichever is wider.
//
// Destroying the window runs handlers.FormDestroy (whatever it throws is dropped).
//
// Errors: every handler but Timer1Timer runs under the general error display (any
// exception is shown with dialogs.showError(kApplicationTitle, ...), nothing reaches
// the event loop). Timer1Timer has its own guard; should anything still escape it, one
// line goes to stderr and the window closes.
// state, handlers and dialogs must outlive the window. UI thread only.
#include <QWidget>
#include <array>

#include "platform/operator_dialogs.h"
#include "ui/form_handlers.h"
#include "platform/form_state.h"

class QAbstractItemModel;
class QLabel;
class QLineEdit;
class QToolButton;
class QScrollArea;
class QTableView;
class QTimer;

namespace velta {

class DbGrid;

class TForm1 : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kClientWidth = 1028;
  static constexpr int kClientHeight = 502;
  static constexpr int kContentWidth = 1145;
  static constexpr int kContentHeight = 804;
  static constexpr int kTickMs = 200;

  TForm1(FormState& state, FormHandlers& handlers, OperatorDialogs& dialogs, QWidget* parent = nullptr);
  ~TForm1() override;

  // Timer1 is armed from construction, but its ticks reach Timer1Timer only after this
  // call (start-up makes it once FormCreate has returned).
  void enableTicks();
  // Runs FormCreate under the general error display (start-up calls it once).
  void runFormCreate();
  bool ticksEnabled() const { return ticksEnabled_; }

  // Shows the window growing from its centre to its full size within durationMs and
  // makes it the active window; returns when the animation has finished (it runs a
  // local event loop meanwhile).
  void AnimateWindow(int durationMs);

  // The record grid; bindRecordModel shows model (not owned, may be null) with the
  // grid's column layout.
  QTableView* DBGrid1() const;
  void bindRecordModel(QAbstractItemModel* model);

  // The scrolling area that holds the content (for the window's own layout and tests).
  QScrollArea* scrollArea() const { return scroll_; }
  QWidget* content() const { return content_; }

 protected:
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void showCaption();
  void buildToolBar();
  void buildGrid();
  void buildChart();
  void buildPanels();
  void buildLiveReadings();
  void buildIndicators();
  void buildStatusBar();
  void bindState();
  void applyFrameConstraints();
  bool inNormalFrame() const;
  void layOutDockedBars();
  void tick();
  template <class Handler>
  void guarded(Handler&& handler) noexcept;

  FormState& state_;
  FormHandlers& handlers_;
  OperatorDialogs& dialogs_;
  QScrollArea* scroll_ = nullptr;
  QWidget* content_ = nullptr;
  QWidget* toolBar_ = nullptr;
  QWidget* statusBar_ = nullptr;
  DbGrid* grid_ = nullptr;
  QTimer* timer_ = nullptr;
  std::array<QLineEdit*, ctl::kLastEdit + 1> edits_{};
  std::array<QLabel*, 3> statusPanels_{};
  QToolButton* speedButton1_ = nullptr;
  bool ticksEnabled_ = false;
  bool animating_ = false;
  bool inTick_ = false;
};

}  // namespace velta
