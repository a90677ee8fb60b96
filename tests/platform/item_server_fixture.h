#pragma once
// A station root in a temporary folder with a server project file at the fixed path,
// test clocks, and an item server made through the registry as the program makes it.
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/fakes/fake_platform.h"
#include "platform/itemserver/item_server.h"

namespace velta::test {

inline const QString kProjectPath = QStringLiteral("D:\\rododezuz\\sistem\\fatekserver.fcs");
inline const QString kGroup = QString::fromLatin1(kItemGroup);

class ItemServerFixture : public ::testing::Test {
 protected:
  ItemServerFixture() : drives(root.path()) {
    registerItemServer(registry, ItemServerEnvironment{drives, &steady, &wall,
                                                       [this](const QString& l) { log << l; }});
  }

  void writeProject(const QString& text) {
    QDir().mkpath(root.path() + "/D/rododezuz/sistem");
    QFile f(root.path() + "/D/rododezuz/sistem/fatekserver.fcs");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
  }

  // A server on a simulator project with these [simulator] lines, connected.
  std::shared_ptr<PlcItemServer> simulator(const QString& simulatorLines = {}) {
    writeProject("[server]\ndriver = simulator\nrefresh-period-ms = 100\n[simulator]\n"
                 "piece-interval-ms = 3000\nphase-interval-ms = 1000\n" + simulatorLines);
    auto s = registry.createAs<PlcItemServer>(QString::fromLatin1(kPlcServerProgId));
    s->OpenProject(kProjectPath);
    s->SetItem("System", "Connect", "1");
    return s;
  }

  qint64 get(PlcItemServer& s, const char* item) { return s.GetItem(kGroup, item).asInt(); }

  QTemporaryDir root;
  DriveMap drives;
  ManualSteadyClock steady;
  FakeClock wall;
  QStringList log;
  ObjectRegistry registry;
};

}  // namespace velta::test
