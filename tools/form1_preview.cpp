// Shows the main window with its initial texts and no logic behind it, for looking at
// the layout and taking screenshots: velta-form1-preview [--maximised]
// Without a window manager a maximised window is given the screen's available area.
#include <QApplication>
#include <QScreen>
#include <QTimer>

#include "platform/qt_operator_dialogs.h"
#include "ui/form1.h"

namespace {

class IdleHandlers : public velta::FormHandlers {
 public:
  void FormCreate() override {}
  void Timer1Timer() override {}
  void SpeedButton1Click() override {}
  void SpeedButton5Click() override {}
  void SpeedButton6Click() override {}
  void SpeedButton2Click() override {}
  void SpeedButton3Click() override {}
  void SpeedButton4Click() override {}
  void SpeedButton8Click() override {}
  void SpeedButton7Click() override {}
  void DBGrid1CellClick() override {}
  void DBGrid1KeyUp() override {}
  void DBGrid1CtrlDelete() override {}
};

}  // namespace

int main(int argc, char** argv) {
  using namespace velta;
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName(kApplicationTitle);
  const bool maximised = app.arguments().contains(QStringLiteral("--maximised"));
  FormState state;
  IdleHandlers handlers;
  QtOperatorDialogs dialogs;
  TForm1 form(state, handlers, dialogs);
  if (maximised) {
    form.showMaximized();
    if (QScreen* screen = form.screen()) form.setGeometry(screen->availableGeometry());
  } else {
    form.show();
  }
  return app.exec();
}
