#pragma once
// A whole station on fakes: a temporary station root with real data files, a scripted
// PLC server behind "FaconSvr.FaconServer", a fake clock and scripted operator boxes.
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/station.h"
#include "platform/fakes/fake_platform.h"
#include "platform/fakes/scripted_dialogs.h"
#include "platform/tablestore/dataset.h"
#include "records/daily_file.h"
#include "tests/plc/recording_server.h"

namespace velta::test {

// The stored records of a data file as texts: SERiNO then the sixteen values.
inline std::vector<QStringList> storedRecords(const QString& hostPath) {
  Dataset t(QStringLiteral("Check"));
  t.setFieldDefs(DailyFileFields());
  t.setTableName(hostPath);
  t.open();
  std::vector<QStringList> rows;
  for (t.first(); !t.eof(); t.next()) {
    QStringList row;
    for (int f = 1; f < t.fieldCount(); ++f) row << t.fieldText(t.field(f).name);
    rows.push_back(row);
  }
  return rows;
}

class StationFixture : public ::testing::Test {
 protected:
  StationFixture() {
    QDir().mkpath(root.path() + "/D/rododezuz/data");
    QDir().mkpath(root.path() + "/D/rododezuz/sistem");
    registry.registerClass(QString::fromLatin1(kPlcServerProgId), [this] {
      auto s = std::make_shared<RecordingServer>();
      s->values = initialValues;
      server = s.get();
      return s;
    });
    station.pollCycle().setFailureSink([this](const QString& r) { failures << r; });
  }

  QString dataFile(const QString& name) const { return root.path() + "/D/rododezuz/data/" + name; }
  QString todaysFile() const { return dataFile(DailyTableName(clock)); }
  FormState& form() { return station.form(); }

  // Start-up, then the calls of the server recorded from here on.
  void startUp() {
    station.FormCreate();
    ASSERT_NE(server, nullptr);
    server->calls.clear();
  }
  void tick() { station.Timer1Timer(); }

  QTemporaryDir root;
  FakeClock clock{QDate(2026, 12, 9), QTime(14, 5, 30)};
  std::map<QString, Variant> initialValues{{"Update", 1}, {"M0", 1}, {"R5", 6543}};
  RecordingServer* server = nullptr;
  QStringList failures;
  ScriptedDialogs dialogs;
  ObjectRegistry registry;
  RecordingShutdown shutdown;
  RecordingTermination termination;
  Station station{{dialogs, registry, shutdown, termination, clock, RegionalSettings{},
                   DriveMap(root.path())}};
};

}  // namespace velta::test
