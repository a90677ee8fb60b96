#include <gtest/gtest.h>

#include <memory>

#include "platform/fakes/fake_platform.h"
#include "plc/poll_cycle.h"
#include "recording_server.h"

namespace velta {
namespace {

using test::RecordingServer;

const QString kConnect = QStringLiteral("Set System/Connect text \"1\"");
const QStringList kRegisterReads = {"Get R5", "Get R7", "Get R8", "Get R10", "Get R11"};

class PollCycleTest : public ::testing::Test {
 protected:
  PollCycleTest() {
    server = std::make_shared<RecordingServer>();
    ref = server;
    server->values = {{"Update", 1},   {"UpdateTime", "12:00:00.100"},
                      {"M0", 1},       {"M8", 1},
                      {"R5", 6543},    {"R7", 1234},
                      {"R8", 12345},   {"R10", 34464},
                      {"R11", 1}};
    poll.setFailureSink([this](const QString& reason) { failures << reason; });
    poll.setTestCycle([this] {
      server->calls << QStringLiteral("RunTestCycle");
      if (testCycle) testCycle();
    });
  }

  // The texts of Edit1 .. Edit8 and the status panels, to tell what a tick changed.
  QStringList displays() const {
    QStringList d;
    for (int e = ctl::Edit1; e <= ctl::Edit8; ++e) d << form.text(e);
    for (int p = 0; p < 3; ++p) d << form.statusPanel(p);
    return d;
  }

  FormState form;
  std::shared_ptr<RecordingServer> server;
  PlcServerRef ref;
  ObjectRegistry registry;
  RecordingShutdown shutdown;
  RecordingTermination termination;
  RegionalSettings regional;  // "." as decimal separator
  PollCycle poll{form, ref, registry, shutdown, termination, regional};
  std::function<void()> testCycle;
  QStringList failures;
};

TEST_F(PollCycleTest, DataTransferOffReadsNoLabelPrinterBit) {
  server->values["M0"] = 0;
  server->values["M8"] = 1;
  form.setSpeedButton1Enabled(false);
  poll.Timer1Timer();

  const QStringList expected = QStringList{kConnect, "Get Update", "Get M7", "RunTestCycle", "Get M0"} +
                               kRegisterReads + QStringList{"Get UpdateTime"};
  EXPECT_EQ(server->calls, expected);
  EXPECT_TRUE(form.speedButton1Enabled());
  EXPECT_EQ(form.text(ctl::Edit1), kTransferOff);
  EXPECT_EQ(form.color(ctl::Edit1), kRed);
  EXPECT_EQ(form.text(ctl::Edit7), kPrinterOff);
  EXPECT_EQ(form.color(ctl::Edit7), kRed);
  EXPECT_EQ(termination.requests, 0);
  EXPECT_TRUE(failures.isEmpty());
}

TEST_F(PollCycleTest, DataTransferOnShowsTheLabelPrinter) {
  for (const int m8 : {1, 0}) {
    server->calls.clear();
    server->values["M8"] = m8;
    poll.Timer1Timer();
    const QStringList expected = QStringList{kConnect, "Get Update", "Get M7", "RunTestCycle", "Get M0", "Get M8"} +
                                 kRegisterReads + QStringList{"Get UpdateTime"};
    EXPECT_EQ(server->calls, expected);
    EXPECT_FALSE(form.speedButton1Enabled());
    EXPECT_EQ(form.text(ctl::Edit1), kTransferOn);
    EXPECT_EQ(form.color(ctl::Edit1), kLime);
    EXPECT_EQ(form.text(ctl::Edit7), m8 ? kPrinterOn : kPrinterOff);
    EXPECT_EQ(form.color(ctl::Edit7), m8 ? kLime : kRed);
  }
  // The file-open button comes back on the first tick that finds M0 at 0.
  server->values["M0"] = 0;
  poll.Timer1Timer();
  EXPECT_TRUE(form.speedButton1Enabled());
}

TEST_F(PollCycleTest, AWholeTickWritesReadingsAndStatusBar) {
  poll.Timer1Timer();
  EXPECT_EQ(form.text(ctl::Edit2), "6.543");
  EXPECT_EQ(form.text(ctl::Edit3), "100.000");
  EXPECT_EQ(form.text(ctl::Edit4), "123.4");
  EXPECT_EQ(form.text(ctl::Edit5), "123.45");
  EXPECT_EQ(form.statusPanel(0), kConnectionUp);
  EXPECT_EQ(form.statusPanel(1), "12:00:00.100");
  EXPECT_EQ(form.statusPanel(2), kMakerBanner);
  EXPECT_FALSE(kMakerBanner.isEmpty());
}

TEST_F(PollCycleTest, TheSequencersCallsMakeTheLongestTick) {
  // Seven reads and five acknowledgements, as a sequencer serving every bit makes them.
  testCycle = [this] {
    PlcItemServer& s = requireServer(ref);
    const QString g = QString::fromLatin1(kItemGroup);
    s.GetItem(g, "M0");
    for (const char* bit : {"M2", "M3", "M4", "M5", "M6"}) {
      s.GetItem(g, bit);
      s.SetItem(g, bit, 0);
    }
    s.GetItem(g, "M0");
  };
  poll.Timer1Timer();
  const int serverCalls = server->calls.size() - 1;  // without the RunTestCycle marker
  EXPECT_EQ(serverCalls, 23);
  EXPECT_EQ(server->calls.indexOf("RunTestCycle"), 3);
  EXPECT_EQ(server->calls.at(4), "Get M0");
  EXPECT_EQ(server->calls.at(6), "Set M2 integer 0");
  EXPECT_EQ(server->calls.at(16), "Get M0");  // the poll's own read after the sequencer
  EXPECT_TRUE(failures.isEmpty());
}

TEST_F(PollCycleTest, ShutdownCommandInItsOrderAndTheTickRunsToItsEnd) {
  QStringList events;
  server->sharedLog = &events;
  server->values["M7"] = 1;
  QObject::connect(&form, &FormState::textChanged, [&](int edit) {
    if (edit == ctl::Edit8) events << QStringLiteral("Edit8 ") + form.text(ctl::Edit8);
  });
  shutdown.onRequest = [&] { events << "PowerOff"; };
  termination.onRequest = [&] { events << "Terminate"; };
  testCycle = [&] { events << "RunTestCycle"; };

  poll.Timer1Timer();

  const QStringList expected = QStringList{kConnect, "Get Update", "Get M7", "Edit8 Bilgisayar kapat komutu",
                                           "PowerOff", "Terminate", "RunTestCycle", "Get M0", "Get M8"} +
                               kRegisterReads + QStringList{"Get UpdateTime"};
  EXPECT_EQ(events, expected);
  EXPECT_EQ(shutdown.powerOffRequests, 1);
  EXPECT_EQ(termination.requests, 1);
  EXPECT_EQ(form.statusPanel(2), kMakerBanner);
  EXPECT_TRUE(failures.isEmpty());
  EXPECT_FALSE(server->calls.contains(QStringLiteral("Set M7 integer 0")));
}

TEST_F(PollCycleTest, ShutdownBitOnlyWhenItIsOne) {
  for (const Variant& v : {Variant(0), Variant(2), Variant(true), Variant::null(), Variant()}) {
    server->values["M7"] = v;
    poll.Timer1Timer();
  }
  EXPECT_EQ(shutdown.powerOffRequests, 0);
  EXPECT_EQ(termination.requests, 0);
  EXPECT_NE(form.text(ctl::Edit8), kShutdownCommandText);
}

TEST_F(PollCycleTest, ConnectionDownIsShownAndTheTickGoesOn) {
  struct Case {
    Variant update;
    QString shown;
  };
  for (const auto& c : {Case{0, kConnectionDown}, Case{"0", kConnectionDown}, Case{Variant(), kConnectionDown},
                        Case{1, kConnectionUp}, Case{Variant::null(), kConnectionUp}, Case{true, kConnectionUp}}) {
    server->values["Update"] = c.update;
    server->values["R5"] = 500;
    poll.Timer1Timer();
    EXPECT_EQ(form.statusPanel(0), c.shown) << c.update.describe().toStdString();
    EXPECT_EQ(form.text(ctl::Edit2), "0.500");
    server->values["R5"] = 6543;
    poll.Timer1Timer();
    EXPECT_EQ(form.text(ctl::Edit2), "6.543");
  }
  EXPECT_EQ(termination.requests, 0);
}

TEST_F(PollCycleTest, EmptyUpdateTimeShowsNothingAndTheTickCompletes) {
  form.setStatusPanel(1, "old");
  server->values["UpdateTime"] = Variant("");
  poll.Timer1Timer();
  EXPECT_EQ(form.statusPanel(1), QString());
  EXPECT_EQ(form.statusPanel(2), kMakerBanner);
  server->values["UpdateTime"] = Variant();
  form.setStatusPanel(1, "old");
  poll.Timer1Timer();
  EXPECT_EQ(form.statusPanel(1), QString());
  EXPECT_EQ(termination.requests, 0);
}

TEST_F(PollCycleTest, FirstTickSequencerSeesTheReadoutsInitialTexts) {
  QStringList seen;
  testCycle = [&] {
    for (int e = ctl::Edit2; e <= ctl::Edit5; ++e) seen << form.text(e);
  };
  poll.Timer1Timer();
  EXPECT_EQ(seen, (QStringList{"22", "1000", "1", "5"}));
  seen.clear();
  poll.Timer1Timer();
  EXPECT_EQ(seen, (QStringList{"6.543", "100.000", "123.4", "123.45"}));
}

// Registers to readouts, with the regional decimal separator ",".
TEST_F(PollCycleTest, ReadingsInTheRegionalFormat) {
  regional.decimalSeparator = u',';
  struct Case {
    Variant r5, r7, r8, r10, r11;
    QStringList texts;
  };
  for (const auto& c :
       {Case{6543, 1234, 12345, 34464, 1, {"6,543", "100,000", "123,4", "123,45"}},
        Case{500, 7, 5, 65535, 65535, {"0,500", "4294967,000", "0,7", "0,05"}},
        Case{-1250, "$10", " 0x10", -1, 0, {"-1,250", "65,535", "1,6", "0,16"}},
        Case{123456, 0, 0, "2,5", Variant(), {"123,460", "0,002", "0,0", "0,00"}},
        Case{"123456789", 0, 0, true, 0, {"1,2346E005", "65,535", "0,0", "0,00"}}}) {
    server->values["R5"] = c.r5;
    server->values["R7"] = c.r7;
    server->values["R8"] = c.r8;
    server->values["R10"] = c.r10;
    server->values["R11"] = c.r11;
    poll.Timer1Timer();
    QStringList texts;
    for (int e = ctl::Edit2; e <= ctl::Edit5; ++e) texts << form.text(e);
    EXPECT_EQ(texts, c.texts);
  }
  EXPECT_TRUE(failures.isEmpty());
}

// A failure ends the tick at its step: earlier displays keep their new texts, later
// ones the previous tick's; termination is requested once and one line reports it.
struct FailureCase {
  const char* item;
  Variant value;
  const char* lastCall;
  int updatedDisplays;  // how many of: indicators (step 5), readouts (7), panel 0, panels 1-2
};

class PollCycleFailure : public PollCycleTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(PollCycleFailure, AbandonsTheTickAndRequestsTermination) {
  const auto& c = GetParam();
  server->values["M0"] = 0;
  poll.Timer1Timer();  // the previous tick
  ASSERT_EQ(termination.requests, 0);
  const QStringList before = displays();

  server->values["M0"] = 1;  // step 5 would change the indicators
  server->values["R5"] = 500;
  server->values["R8"] = 5;
  server->values["R10"] = 0;
  server->values["Update"] = 0;
  server->values["UpdateTime"] = "13:00:00.000";
  server->values[c.item] = c.value;
  server->calls.clear();
  poll.Timer1Timer();

  EXPECT_EQ(termination.requests, 1);
  ASSERT_EQ(failures.size(), 1);
  EXPECT_TRUE(failures[0].contains(QLatin1StringView(c.item))) << failures[0].toStdString();
  EXPECT_EQ(server->calls.last(), QLatin1StringView(c.lastCall));
  EXPECT_EQ(shutdown.powerOffRequests, 0);

  const QStringList after = displays();
  // Edit1 .. Edit8 are 0 .. 7, panels 8 .. 10.
  const bool indicators = c.updatedDisplays >= 1, readouts = c.updatedDisplays >= 2,
             panel0 = c.updatedDisplays >= 3;
  EXPECT_EQ(after[0] != before[0], indicators) << "Edit1";
  const bool edit7 = indicators && QLatin1StringView(c.item) != QLatin1StringView("M8");
  EXPECT_EQ(after[6] != before[6], edit7) << "Edit7";
  EXPECT_EQ(form.speedButton1Enabled(), !indicators);
  EXPECT_EQ(after[1] != before[1], readouts) << "Edit2";
  EXPECT_EQ(after[4] != before[4], readouts) << "Edit5";
  EXPECT_EQ(after[8] != before[8], panel0) << "panel 0";
  EXPECT_EQ(after[9], before[9]) << "panel 1";
  EXPECT_EQ(after[7], before[7]) << "Edit8";
}

INSTANTIATE_TEST_SUITE_P(
    Items, PollCycleFailure,
    ::testing::Values(FailureCase{"Update", "up", "Get Update", 0}, FailureCase{"M7", "x", "Get M7", 0},
                      FailureCase{"M0", "", "Get M0", 0}, FailureCase{"M8", "on", "Get M8", 1},
                      FailureCase{"R5", "12.5", "Get R5", 1}, FailureCase{"R5", "", "Get R5", 1},
                      FailureCase{"R5", Variant::null(), "Get R5", 1},
                      FailureCase{"R7", "2147483648", "Get R7", 1}, FailureCase{"R8", "1 2", "Get R8", 1},
                      FailureCase{"R10", Variant::null(), "Get R10", 1},
                      FailureCase{"R11", "abc", "Get R11", 1},
                      FailureCase{"UpdateTime", Variant::null(), "Get UpdateTime", 3}));

TEST_F(PollCycleTest, AFailingServerCallEndsTheTick) {
  server->failing["R8"] = "Link timeout on R8";
  poll.Timer1Timer();
  EXPECT_EQ(termination.requests, 1);
  ASSERT_EQ(failures.size(), 1);
  EXPECT_TRUE(failures[0].contains("Link timeout on R8"));
  EXPECT_EQ(server->calls.last(), "Get R8");
}

TEST_F(PollCycleTest, AFailureInTheSequencerEndsTheTick) {
  const QStringList before = displays();
  testCycle = [] { throw Error("Table is not open"); };
  poll.Timer1Timer();
  EXPECT_EQ(termination.requests, 1);
  ASSERT_EQ(failures.size(), 1);
  EXPECT_TRUE(failures[0].contains("Table is not open"));
  EXPECT_EQ(server->calls.last(), "RunTestCycle");
  EXPECT_EQ(displays(), before);
}

TEST_F(PollCycleTest, NoServerObjectFailsTheTick) {
  ref.reset();
  const QStringList before = displays();
  poll.Timer1Timer();
  EXPECT_EQ(termination.requests, 1);
  EXPECT_EQ(failures.size(), 1);
  EXPECT_EQ(displays(), before);
  EXPECT_TRUE(server->calls.isEmpty());
}

TEST_F(PollCycleTest, ShutdownThenFailureRequestsTerminationTwiceAndStops) {
  server->values["M7"] = 1;
  server->values["R5"] = "x";
  poll.Timer1Timer();
  EXPECT_EQ(shutdown.powerOffRequests, 1);
  EXPECT_EQ(termination.requests, 2);
  EXPECT_EQ(failures.size(), 1);
  EXPECT_EQ(form.text(ctl::Edit8), kShutdownCommandText);
}

// SpeedButton7Click: a new server replaces PlcServer, opens the project, connects.
class ReconnectTest : public PollCycleTest {
 protected:
  ReconnectTest() {
    registry.registerClass(QString::fromLatin1(kPlcServerProgId), [this] {
      auto s = std::make_shared<RecordingServer>();
      made.push_back(s);
      return s;
    });
  }
  std::vector<std::shared_ptr<RecordingServer>> made;
};

TEST_F(ReconnectTest, ReplacesTheServerOpensTheProjectAndConnects) {
  std::weak_ptr<RecordingServer> old = server;
  server.reset();
  poll.SpeedButton7Click();
  EXPECT_TRUE(old.expired());
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(ref.get(), made[0].get());
  EXPECT_EQ(made[0]->calls, (QStringList{"Open D:\\rododezuz\\sistem\\fatekserver.fcs",
                                         "Set System/connect text \"1\""}));
}

TEST_F(ReconnectTest, ErrorsReachTheCaller) {
  registry.unregisterClass(QString::fromLatin1(kPlcServerProgId));
  EXPECT_THROW(poll.SpeedButton7Click(), Error);
  EXPECT_EQ(ref.get(), server.get());  // nothing was replaced

  struct Failing : RecordingServer {
    void OpenProject(const QString&) override { throw Error("PLC server project missing"); }
  };
  registry.registerClass(QString::fromLatin1(kPlcServerProgId), [] { return std::make_shared<Failing>(); });
  EXPECT_THROW(poll.SpeedButton7Click(), Error);
  EXPECT_TRUE(dynamic_cast<Failing*>(ref.get()));
  EXPECT_EQ(termination.requests, 0);
}

}  // namespace
}  // namespace velta
