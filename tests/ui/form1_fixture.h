#pragma once
// A main window over a recording event table and scripted dialogs.
#include <QApplication>
#include <QStringList>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <map>

#include "platform/fakes/scripted_dialogs.h"
#include "ui/form1.h"

namespace velta::test {

// Records each handler call by name; a handler can be given an action (for instance
// one that throws) that runs when it is called.
class RecordingHandlers : public FormHandlers {
 public:
  QStringList calls;
  std::map<QString, std::function<void()>> actions;

  int count(const QString& name) const { return int(calls.count(name)); }

  void FormCreate() override { record("FormCreate"); }
  void FormDestroy() override { record("FormDestroy"); }
  void Timer1Timer() override { record("Timer1Timer"); }
  void SpeedButton1Click() override { record("SpeedButton1Click"); }
  void SpeedButton5Click() override { record("SpeedButton5Click"); }
  void SpeedButton6Click() override { record("SpeedButton6Click"); }
  void SpeedButton2Click() override { record("SpeedButton2Click"); }
  void SpeedButton3Click() override { record("SpeedButton3Click"); }
  void SpeedButton4Click() override { record("SpeedButton4Click"); }
  void SpeedButton8Click() override { record("SpeedButton8Click"); }
  void SpeedButton7Click() override { record("SpeedButton7Click"); }
  void DBGrid1CellClick() override { record("DBGrid1CellClick"); }
  void DBGrid1KeyUp() override { record("DBGrid1KeyUp"); }
  void DBGrid1CtrlDelete() override { record("DBGrid1CtrlDelete"); }

 private:
  void record(const char* name) {
    const QString n = QString::fromLatin1(name);
    calls << n;
    if (auto it = actions.find(n); it != actions.end() && it->second) it->second();
  }
};

class Form1Fixture : public ::testing::Test {
 protected:
  FormState state;
  RecordingHandlers handlers;
  ScriptedDialogs dialogs;
  TForm1 form{state, handlers, dialogs};

  template <class W = QWidget>
  W* control(const char* name) {
    W* w = form.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << "no control " << name;
    return w;
  }

  void showForm() {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  }
};

}  // namespace velta::test
