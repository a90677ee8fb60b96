// Planning reads for the station's items, and the reconnect back-off.
#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/itemserver/wire/read_plan.h"
#include "platform/itemserver/wire/reconnect_backoff.h"

namespace velta {
namespace {

std::vector<PlcElement> stationItems() {
  std::vector<PlcElement> v;
  for (const char* n : {"M0", "M2", "M3", "M4", "M5", "M6", "M7", "M8", "R5", "R7", "R8", "R10", "R11"})
    v.push_back(PlcElement::parse(QString::fromLatin1(n)));
  return v;
}

TEST(PlcElement, ParsesItemNames) {
  EXPECT_EQ(PlcElement::parse("M0"), PlcElement::bit(0));
  EXPECT_EQ(PlcElement::parse("r11"), PlcElement::reg(11));
  EXPECT_EQ(PlcElement::reg(10).name(), "R10");
  for (const char* bad : {"", "M", "X5", "M-1", "M1.5", "R 5", "M99999999", "Update"})
    EXPECT_THROW(PlcElement::parse(QString::fromLatin1(bad)), Error) << bad;
}

TEST(ReadPlan, StationItemsTakeOneCoilAndOneRegisterBlock) {
  const ReadPlan plan = planBlockReads(stationItems());
  ASSERT_EQ(plan.requests.size(), 2u);
  EXPECT_EQ(plan.requests[0].kind, ReadRequest::Kind::Bits);
  EXPECT_EQ(plan.requests[0].first, 0);
  EXPECT_EQ(plan.requests[0].count, 9);  // M0..M8
  EXPECT_EQ(plan.requests[1].kind, ReadRequest::Kind::Registers);
  EXPECT_EQ(plan.requests[1].first, 5);
  EXPECT_EQ(plan.requests[1].count, 7);  // R5..R11, R6 and R9 read along
  EXPECT_EQ(plan.elements.size(), 13u);
}

TEST(ReadPlan, StationItemsTakeOneMixedRead) {
  const ReadPlan plan = planMixedReads(stationItems());
  ASSERT_EQ(plan.requests.size(), 1u);
  EXPECT_EQ(plan.requests[0].kind, ReadRequest::Kind::Mixed);
  EXPECT_EQ(plan.requests[0].elements, planBlockReads(stationItems()).elements);
}

TEST(ReadPlan, FarApartOrTooManyElementsSplit) {
  const struct {
    const char* why;
    std::vector<PlcElement> elements;
    BlockLimits limits;
    std::vector<std::pair<int, int>> blocks;  // first, count
  } cases[] = {
      {"gap too wide", {PlcElement::reg(0), PlcElement::reg(3), PlcElement::reg(10)}, {2000, 125, 64, 2},
       {{0, 4}, {10, 1}}},
      {"gap just wide enough", {PlcElement::reg(0), PlcElement::reg(3)}, {2000, 125, 64, 2}, {{0, 4}}},
      {"block limit", {PlcElement::reg(0), PlcElement::reg(1), PlcElement::reg(2)}, {2000, 2, 64, 16},
       {{0, 2}, {2, 1}}},
      {"duplicates", {PlcElement::bit(4), PlcElement::bit(4)}, {}, {{4, 1}}},
      {"nothing", {}, {}, {}},
  };
  for (const auto& c : cases) {
    const ReadPlan plan = planBlockReads(c.elements, c.limits);
    std::vector<std::pair<int, int>> got;
    for (const auto& r : plan.requests) got.emplace_back(r.first, r.count);
    EXPECT_EQ(got, c.blocks) << c.why;
  }
  std::vector<PlcElement> many;
  for (int i = 0; i < 130; ++i) many.push_back(PlcElement::bit(i * 3));
  const ReadPlan mixed = planMixedReads(many, 64);
  ASSERT_EQ(mixed.requests.size(), 3u);
  EXPECT_EQ(mixed.requests[2].elements.size(), 2u);
}

// Each case: a sequence of events ('x' failed exchange, 'c' failed connection attempt,
// 'g' good refresh; two in a row make the link steady) and the wait after each event,
// in ms, ten seconds after the one before.
struct BackoffCase {
  const char* name;
  const char* events;
  std::vector<long long> waits;
};

class ReconnectBackoffRules : public ::testing::TestWithParam<BackoffCase> {};

TEST_P(ReconnectBackoffRules, WaitAfterEachEvent) {
  using namespace std::chrono;
  ReconnectBackoff b({milliseconds(100), milliseconds(350), 2});
  auto t = ReconnectBackoff::Clock::time_point{} + hours(1);
  EXPECT_TRUE(b.mayTryNow(t));
  std::vector<long long> waits;
  for (const char* e = GetParam().events; *e; ++e) {
    t += seconds(10);
    if (*e == 'x') b.failed(t);
    if (*e == 'c') b.connectFailed(t);
    if (*e == 'g') b.succeeded();
    // The wait: the first moment, in whole ms, at which an attempt is allowed.
    long long w = 0;
    while (!b.mayTryNow(t + milliseconds(w))) ++w;
    waits.push_back(w);
  }
  EXPECT_EQ(waits, GetParam().waits);
}

INSTANTIATE_TEST_SUITE_P(
    Backoff, ReconnectBackoffRules,
    ::testing::Values(
        BackoffCase{"BadExchangesDoubleUpToTheCap", "xxxxx", {0, 100, 200, 350, 350}},
        BackoffCase{"ABrokenConnectionIsRetriedAtOnceThenRefusalsAtTheInitialDelay", "xcccc",
                    {0, 100, 100, 100, 100}},
        BackoffCase{"RefusedAttemptsNeverGrowTheWait", "cccc", {100, 100, 100, 100}},
        BackoffCase{"RefusalsKeepAGrownWait", "xxxcc", {0, 100, 200, 200, 200}},
        BackoffCase{"ASteadyLinkResetsEverything", "xxxggx", {0, 100, 200, 0, 0, 0}},
        // A peer that answers now and then but keeps breaking the connection.
        BackoffCase{"OneGoodRefreshBetweenFailuresIsNoReset", "xxgxgx", {0, 100, 0, 200, 0, 350}}),
    [](const ::testing::TestParamInfo<BackoffCase>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace velta
