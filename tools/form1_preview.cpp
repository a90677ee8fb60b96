// Shows the main window with its initial texts and no logic behind it, for looking at
// the layout and taking screenshots: velta-form1-preview [--maximised] [--sample-records]
// --sample-records fills the grid with three made-up records styled like a data file.
// Without a window manager a maximised window is given the screen's available area.
#include <QApplication>
#include <QScreen>
#include <QStandardItemModel>
#include <QTimer>

#include "platform/qt_operator_dialogs.h"
#include "ui/form1.h"
#include "ui/window_fonts.h"

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

void fillSampleRecords(QStandardItemModel& m) {
  const char* const titles[18] = {"SIRANO", "SERiNO", "HAVA (bar)", "PRES  (kg)", "EN   (cm)", "BOY  (cm)",
                                  "HAVA1", "PRES1", "EN1", "BOY1", "HAVA2", "PRES2",
                                  "EN2", "BOY2", "HAVA3", "PRES3", "EN3", "BOY3"};
  m.setColumnCount(18);
  for (int c = 0; c < 18; ++c) m.setHeaderData(c, Qt::Horizontal, QString::fromLatin1(titles[c]));
  const QFont bold = velta::fonts::msSansSerif(16, true);
  for (int r = 0; r < 3; ++r) {
    QList<QStandardItem*> row;
    for (int c = 0; c < 18; ++c) {
      auto* item = new QStandardItem(c == 0   ? QString::number(r + 1)
                                     : c == 1 ? QStringLiteral("0912202612%1").arg(30 + r)
                                              : QString::number(1.25 * (c + r), 'g', 15));
      item->setFont(bold);
      item->setTextAlignment(c < 2 ? Qt::AlignCenter : Qt::AlignRight | Qt::AlignVCenter);
      if (c == 0) item->setForeground(QColor(255, 0, 0));
      if (c == 1) item->setForeground(QColor(255, 255, 0));
      row << item;
    }
    m.appendRow(row);
  }
}

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
  QStandardItemModel records;
  if (app.arguments().contains(QStringLiteral("--sample-records"))) {
    fillSampleRecords(records);
    form.bindRecordModel(&records);
  }
  if (maximised) {
    form.showMaximized();
    if (QScreen* screen = form.screen()) form.setGeometry(screen->availableGeometry());
  } else {
    form.show();
  }
  return app.exec();
}
