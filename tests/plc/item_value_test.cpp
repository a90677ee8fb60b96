#include <gtest/gtest.h>

#include "platform/error.h"
#include "plc/item_value.h"

namespace velta {
namespace {

const QString kItem = QStringLiteral("M2");

// The item test: how each value form compares with 0 and with 1.
struct ItemTestCase {
  Variant value;
  QChar separator;
  bool is0;
  bool is1;
};

class ItemTest : public ::testing::TestWithParam<ItemTestCase> {};

TEST_P(ItemTest, ComparesEachValueForm) {
  const auto& c = GetParam();
  EXPECT_EQ(itemIs(kItem, c.value, 0, c.separator), c.is0) << c.value.describe().toStdString();
  EXPECT_EQ(itemIs(kItem, c.value, 1, c.separator), c.is1) << c.value.describe().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ItemTest,
    ::testing::Values(ItemTestCase{Variant(0), u'.', true, false},
                      ItemTestCase{Variant(1), u'.', false, true},
                      ItemTestCase{Variant(2), u'.', false, false},
                      ItemTestCase{Variant(-1), u'.', false, false},
                      ItemTestCase{Variant(1.0), u'.', false, true},
                      ItemTestCase{Variant(0.0), u'.', true, false},
                      ItemTestCase{Variant(0.5), u'.', false, false},
                      ItemTestCase{Variant("1"), u'.', false, true},
                      ItemTestCase{Variant(" 1 "), u'.', false, true},
                      ItemTestCase{Variant("+1"), u'.', false, true},
                      ItemTestCase{Variant("0"), u'.', true, false},
                      ItemTestCase{Variant("1.0"), u'.', false, true},
                      ItemTestCase{Variant("1,0"), u',', false, true},
                      ItemTestCase{Variant("1E0"), u'.', false, true},
                      ItemTestCase{Variant("0,5"), u',', false, false},
                      ItemTestCase{Variant(true), u'.', false, false},
                      ItemTestCase{Variant(false), u'.', true, false},
                      ItemTestCase{Variant(), u'.', true, false},
                      ItemTestCase{Variant::null(), u'.', false, false}));

// Text that spells no number in the regional format fails the test.
class ItemTestFailure : public ::testing::TestWithParam<std::pair<const char*, QChar>> {};

TEST_P(ItemTestFailure, TextThatIsNoNumberFails) {
  const auto [text, sep] = GetParam();
  try {
    itemIs(kItem, Variant(text), 1, sep);
    FAIL() << "no error for " << text;
  } catch (const Error& e) {
    EXPECT_TRUE(e.text().contains(kItem)) << e.text().toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, ItemTestFailure,
                         ::testing::Values(std::pair{"", u'.'}, std::pair{"abc", u'.'},
                                           std::pair{"1x", u'.'}, std::pair{"1,0", u'.'},
                                           std::pair{"1.0", u','}, std::pair{"True", u'.'},
                                           std::pair{"1 0", u'.'}, std::pair{"1e", u'.'},
                                           std::pair{"-", u'.'}, std::pair{"1.000,5", u','}));

// R5, R7, R8: through text to a whole number.
struct TextCase {
  Variant value;
  std::optional<qint32> expected;  // nullopt: the conversion fails
};

class RegisterFromText : public ::testing::TestWithParam<TextCase> {};

TEST_P(RegisterFromText, ConvertsOrFails) {
  const auto& c = GetParam();
  if (c.expected) {
    EXPECT_EQ(registerFromText(QStringLiteral("R5"), c.value, u'.'), *c.expected)
        << c.value.describe().toStdString();
  } else {
    EXPECT_THROW(registerFromText(QStringLiteral("R5"), c.value, u'.'), Error)
        << c.value.describe().toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, RegisterFromText,
    ::testing::Values(TextCase{Variant(6543), 6543}, TextCase{Variant(-1250), -1250},
                      TextCase{Variant(6543.0), 6543}, TextCase{Variant("6543"), 6543},
                      TextCase{Variant("  42"), 42}, TextCase{Variant("-42"), -42},
                      TextCase{Variant("+42"), 42}, TextCase{Variant("$1F"), 31},
                      TextCase{Variant("0x1f"), 31}, TextCase{Variant("0X10"), 16},
                      TextCase{Variant("-$10"), -16}, TextCase{Variant("2147483647"), 2147483647},
                      TextCase{Variant("-2147483648"), INT32_MIN},
                      TextCase{Variant("2147483648"), std::nullopt},
                      TextCase{Variant(qint64{3000000000}), std::nullopt},
                      TextCase{Variant("$FFFFFFFF"), std::nullopt},
                      TextCase{Variant("12.5"), std::nullopt}, TextCase{Variant(12.5), std::nullopt},
                      TextCase{Variant(""), std::nullopt}, TextCase{Variant(), std::nullopt},
                      TextCase{Variant::null(), std::nullopt}, TextCase{Variant("42 "), std::nullopt},
                      TextCase{Variant("4 2"), std::nullopt}, TextCase{Variant("--4"), std::nullopt},
                      TextCase{Variant("$"), std::nullopt}, TextCase{Variant("0x"), std::nullopt},
                      TextCase{Variant("$G"), std::nullopt}, TextCase{Variant(true), std::nullopt},
                      TextCase{Variant("1e3"), std::nullopt}));

// R10, R11: straight to a whole number.
class RegisterStraight : public ::testing::TestWithParam<TextCase> {};

TEST_P(RegisterStraight, ConvertsOrFails) {
  const auto& c = GetParam();
  if (c.expected) {
    EXPECT_EQ(registerStraight(QStringLiteral("R10"), c.value, u','), *c.expected)
        << c.value.describe().toStdString();
  } else {
    EXPECT_THROW(registerStraight(QStringLiteral("R10"), c.value, u','), Error)
        << c.value.describe().toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, RegisterStraight,
    ::testing::Values(TextCase{Variant(34464), 34464}, TextCase{Variant(-1), -1},
                      TextCase{Variant(2.5), 2}, TextCase{Variant(3.5), 4},
                      TextCase{Variant(-2.5), -2}, TextCase{Variant(2.4), 2},
                      TextCase{Variant("2,5"), 2}, TextCase{Variant("3,5"), 4},
                      TextCase{Variant(" 7 "), 7}, TextCase{Variant("True"), 1},
                      TextCase{Variant("false"), 0}, TextCase{Variant(true), -1},
                      TextCase{Variant(false), 0}, TextCase{Variant(), 0},
                      TextCase{Variant::null(), std::nullopt}, TextCase{Variant("abc"), std::nullopt},
                      TextCase{Variant(""), std::nullopt}, TextCase{Variant("2.5"), std::nullopt},
                      TextCase{Variant(qint64{2147483648}), std::nullopt},
                      TextCase{Variant(2147483647.6), std::nullopt},
                      TextCase{Variant(-2147483648.4), INT32_MIN}));

TEST(ItemText, NumbersBecomeDigitsAndNullFails) {
  EXPECT_EQ(itemText(QStringLiteral("UpdateTime"), Variant(), u'.'), QString());
  EXPECT_EQ(itemText(QStringLiteral("UpdateTime"), Variant("12:00:01.250"), u'.'),
            QStringLiteral("12:00:01.250"));
  EXPECT_EQ(itemText(QStringLiteral("UpdateTime"), Variant(17), u'.'), QStringLiteral("17"));
  EXPECT_EQ(itemText(QStringLiteral("UpdateTime"), Variant(2.5), u','), QStringLiteral("2,5"));
  EXPECT_EQ(itemText(QStringLiteral("UpdateTime"), Variant(1e20), u'.'), QStringLiteral("1E20"));
  EXPECT_THROW(itemText(QStringLiteral("UpdateTime"), Variant::null(), u'.'), Error);
}

TEST(JoinLoad, HighHalfFromR11LowHalfFromR10SignsIgnored) {
  EXPECT_EQ(joinLoad(34464, 1), 100000u);
  EXPECT_EQ(joinLoad(65535, 65535), 4294967295u);
  EXPECT_EQ(joinLoad(-1, 0), 65535u);
  EXPECT_EQ(joinLoad(-1, -1), 4294967295u);
  EXPECT_EQ(joinLoad(0x12345, 0x10002), 0x00022345u);
}

}  // namespace
}  // namespace velta
