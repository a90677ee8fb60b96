#include "item_server_fixture.h"

#include "platform/error.h"

namespace velta {
namespace {

using test::kGroup;
using test::kProjectPath;

class ItemServerTest : public test::ItemServerFixture {};

void expectErrorNaming(const std::function<void()>& call, const QStringList& names) {
  try {
    call();
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    for (const QString& n : names) EXPECT_TRUE(e.text().contains(n)) << e.text().toStdString();
  }
}

TEST_F(ItemServerTest, EveryCreationGivesANewServer) {
  auto a = registry.createAs<PlcItemServer>(QString::fromLatin1(kPlcServerProgId));
  auto b = registry.createAs<PlcItemServer>(QString::fromLatin1(kPlcServerProgId));
  EXPECT_NE(a.get(), b.get());
}

TEST_F(ItemServerTest, OpensTheProjectAtTheMappedPathAndConnectsOnRequest) {
  writeProject("[server]\ndriver = simulator\n");
  auto s = registry.createAs<PlcItemServer>(QString::fromLatin1(kPlcServerProgId));
  s->OpenProject(kProjectPath);
  EXPECT_EQ(s->GetItem(kGroup, "Update"), Variant(0));
  EXPECT_EQ(s->GetItem(kGroup, "UpdateTime"), Variant(QString()));

  wall.time = QTime(14, 5, 9, 120);
  s->SetItem("System", "Connect", "1");
  EXPECT_EQ(s->GetItem(kGroup, "Update"), Variant(1));
  EXPECT_EQ(s->GetItem(kGroup, "UpdateTime"), Variant("14:05:09.120"));
  EXPECT_EQ(s->GetItem(kGroup, "M0"), Variant(1));
  EXPECT_EQ(s->GetItem(kGroup, "M8"), Variant(1));
  EXPECT_EQ(s->GetItem(kGroup, "M7"), Variant(0));

  // The refresh time moves with the refresh period.
  wall.time = QTime(14, 5, 9, 320);
  steady.advance(std::chrono::milliseconds(200));
  EXPECT_EQ(s->GetItem(kGroup, "UpdateTime"), Variant("14:05:09.320"));

  // Dropped and asked for again, as after re-creation ("connect").
  s->SetItem("System", "Connect", 0);
  EXPECT_EQ(s->GetItem(kGroup, "Update"), Variant(0));
  s->SetItem("System", "connect", "1");
  EXPECT_EQ(s->GetItem(kGroup, "Update"), Variant(1));
}

TEST_F(ItemServerTest, ProjectErrorsNameTheFileOrTheDriver) {
  auto s = registry.createAs<PlcItemServer>(QString::fromLatin1(kPlcServerProgId));
  const QString host = drives.toHost(kProjectPath);
  expectErrorNaming([&] { s->OpenProject(kProjectPath); }, {host});

  writeProject("[server]\ndriver = simulator\nbaud = fast\n");
  expectErrorNaming([&] { s->OpenProject(kProjectPath); }, {host, "line 3", "fast"});

  writeProject("[server]\ndriver = profibus\n");
  expectErrorNaming([&] { s->OpenProject(kProjectPath); }, {host, "profibus"});

  // The native protocol reaches only the standard map's coils and registers.
  writeProject("[server]\ndriver = native-serial\n[items]\nLAMP = coil 5\n");
  expectErrorNaming([&] { s->OpenProject(kProjectPath); }, {host, "LAMP", "coil 5", "native"});

  // Nothing opened: a link that is down, with nothing known and nowhere to write.
  EXPECT_EQ(get(*s, "Update"), 0);
  EXPECT_EQ(get(*s, "M0"), 0);
  EXPECT_EQ(get(*s, "R5"), 0);
  EXPECT_EQ(s->GetItem(kGroup, "UpdateTime").asText(), QString());
  EXPECT_NO_THROW(s->SetItem("System", "Connect", "1"));
  EXPECT_NO_THROW(s->SetItem(kGroup, "M2", 0));
  EXPECT_THROW(s->GetItem("Nonsense", "M0"), Error);
  // A good file opened later brings the link.
  writeProject("[server]\ndriver = simulator\n");
  s->OpenProject(kProjectPath);
  s->SetItem("System", "Connect", "1");
  EXPECT_EQ(get(*s, "Update"), 1);
}

TEST_F(ItemServerTest, UnknownGroupsItemsAndValuesAreErrorsNamingThem) {
  auto s = simulator();
  expectErrorNaming([&] { s->GetItem("Channel1.Station0.Group0", "M0"); }, {"Channel1.Station0.Group0"});
  expectErrorNaming([&] { s->GetItem(kGroup, "M99"); }, {"M99", kGroup});
  expectErrorNaming([&] { s->SetItem(kGroup, "R99", 1); }, {"R99"});
  expectErrorNaming([&] { s->GetItem("System", "Disconnect"); }, {"Disconnect"});
  expectErrorNaming([&] { s->SetItem(kGroup, "Update", 1); }, {"Update", "read-only"});
  expectErrorNaming([&] { s->SetItem(kGroup, "M2", 2); }, {"M2"});
  expectErrorNaming([&] { s->SetItem(kGroup, "M2", "yes"); }, {"M2", "yes"});
  expectErrorNaming([&] { s->SetItem(kGroup, "R5", 70000); }, {"R5", "70000"});
  expectErrorNaming([&] { s->SetItem("System", "Connect", "2"); }, {"Connect"});
}

TEST_F(ItemServerTest, ItemNamesIgnoreCaseAndMappedItemsAreServed) {
  writeProject("[server]\ndriver = simulator\n[items]\nSPARE = register 300\nM100 = coil 2100\n");
  auto s = registry.createAs<PlcItemServer>(QString::fromLatin1(kPlcServerProgId));
  s->OpenProject(kProjectPath);
  s->SetItem("system", "CONNECT", "1");
  s->SetItem(kGroup, "spare", 1234);
  EXPECT_EQ(s->GetItem(kGroup, "Spare"), Variant(1234));
  s->SetItem(kGroup, "m100", true);
  EXPECT_EQ(s->GetItem(kGroup, "M100"), Variant(1));
  s->SetItem(kGroup, "R5", -1);  // a register holds 16 bits
  EXPECT_EQ(s->GetItem("channel0.station0.group0", "r5").asInt(), 65535);
}

TEST_F(ItemServerTest, WhileTheLinkIsDownValuesAreKeptAndWritesWait) {
  auto s = simulator();
  auto* sim = dynamic_cast<ItemServer&>(*s).driver();
  ASSERT_TRUE(sim);
  steady.advance(std::chrono::milliseconds(3000));
  ASSERT_EQ(get(*s, "M2"), 1);

  s->SetItem("System", "Connect", "0");
  EXPECT_EQ(get(*s, "Update"), 0);
  const qint64 r5 = get(*s, "R5");
  steady.advance(std::chrono::milliseconds(700));
  EXPECT_EQ(get(*s, "R5"), r5);  // kept, not refreshed

  // The acknowledgement is taken at once and made when the link is back: no second
  // capture of M2, and the machine goes on to M3.
  s->SetItem(kGroup, "M2", 0);
  EXPECT_EQ(get(*s, "M2"), 0);
  steady.advance(std::chrono::milliseconds(2000));
  EXPECT_EQ(get(*s, "M3"), 0);
  s->SetItem("System", "Connect", "1");
  EXPECT_EQ(get(*s, "M2"), 0);
  steady.advance(std::chrono::milliseconds(1000));
  EXPECT_EQ(get(*s, "M3"), 1);
}

TEST_F(ItemServerTest, ReopeningReplacesTheProject) {
  auto s = simulator();
  writeProject("[server]\ndriver = simulator\n[simulator]\ndata-transfer = off\n");
  s->OpenProject(kProjectPath);
  s->SetItem("System", "Connect", "1");
  EXPECT_EQ(get(*s, "M0"), 0);
  // A project that fails to open leaves the one before in place.
  writeProject("[server]\ndriver = modbus-tcp\nport = 0\n");
  EXPECT_THROW(s->OpenProject(kProjectPath), Error);
  EXPECT_EQ(get(*s, "M0"), 0);
}

}  // namespace
}  // namespace velta
