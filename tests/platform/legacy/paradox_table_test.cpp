// The legacy reader against Paradox tables written by pxlib's own writer: every value
// as written, empty fields told from stored zeros, text by the table's code page, and
// damaged files giving an error that names the file or a read marked as partial.
#include <gtest/gtest.h>
#include <iconv.h>

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cfloat>
#include <cmath>
#include <functional>
#include <optional>

#include "paradox_fixture.h"
#include "platform/error.h"
#include "platform/tablestore/legacy/paradox_table.h"
#include "../../support/temp_station.h"

extern "C" {
#include <paradox.h>
}

using namespace velta;
using namespace velta::legacy;
using velta::test::Cell;
using velta::test::FixtureField;
using velta::test::FixtureRow;
using velta::test::FixtureTable;
namespace off = velta::test::paradox_offsets;

namespace {

QString describe(const QVariant& v) {
  if (!v.isValid()) return QStringLiteral("<empty>");
  if (v.typeId() == QMetaType::Double) return QStringLiteral("double ") + QString::number(v.toDouble(), 'g', 17);
  return QString::fromLatin1(v.typeName()) + QLatin1Char(' ') + v.toString();
}

::testing::AssertionResult sameValue(const QVariant& got, const QVariant& want) {
  const auto fail = [&] {
    return ::testing::AssertionFailure() << "got " << describe(got).toStdString() << ", wrote "
                                         << describe(want).toStdString();
  };
  if (got.isValid() != want.isValid() || (want.isValid() && got.typeId() != want.typeId())) return fail();
  if (!want.isValid()) return ::testing::AssertionSuccess();
  if (want.typeId() == QMetaType::Double) {
    const double a = got.toDouble(), b = want.toDouble();
    if (a != b || std::signbit(a) != std::signbit(b)) return fail();
    return ::testing::AssertionSuccess();
  }
  return got == want ? ::testing::AssertionSuccess() : fail();
}

// Compares the table with the rows written; stops after a few differences.
void expectRecords(const ParadoxTable& table, const std::vector<FixtureRow>& rows) {
  ASSERT_EQ(table.records.size(), rows.size());
  int failures = 0;
  for (size_t r = 0; r < rows.size() && failures < 5; ++r) {
    ASSERT_EQ(table.records[r].size(), rows[r].size()) << "record " << r;
    for (size_t f = 0; f < rows[r].size() && failures < 5; ++f) {
      const auto same = sameValue(table.records[r][f], rows[r][f].expected);
      if (!same) {
        ++failures;
        ADD_FAILURE() << "record " << r << ", field " << table.fields[f].name.toStdString() << ": "
                      << same.message();
      }
    }
  }
}

bool anyMentions(const QStringList& problems, const QString& part) {
  return std::any_of(problems.begin(), problems.end(), [&](const QString& p) { return p.contains(part); });
}

std::string joined(const QStringList& problems) { return problems.join(QStringLiteral(" | ")).toStdString(); }

FixtureTable dailyTable(int rows, int blockKiB = 0, std::vector<int> deletions = {}) {
  FixtureTable t;
  t.fields = test::dailyFields();
  t.rows = test::dailyRows(rows);
  t.blockKiB = blockKiB;
  t.deletions = std::move(deletions);
  return t;
}

QByteArray writtenBytes(const FixtureTable& t, const QTemporaryDir& dir) {
  const QString path = dir.filePath(QStringLiteral("written.tkv"));
  test::writeParadox(path, t);
  return test::fileBytes(path);
}

// The daily layout's field names start after the field descriptions, the name pointers
// and the table name (261 bytes in a version 7 table as pxlib writes it).
constexpr int kNamesStart = off::kFieldInfo + 18 * 2 + 4 + 18 * 4 + 261;

// ---------------------------------------------------------------------------------------

struct Layout {
  const char* name;
  int rows;
  int blockKiB;
  std::vector<int> deletions;
};

class DailyFileReading : public ::testing::TestWithParam<Layout> {};

TEST_P(DailyFileReading, EveryValueIsAsWrittenInTheOrderOfTheBlocks) {
  QTemporaryDir dir;
  const Layout& layout = GetParam();
  const FixtureTable t = dailyTable(layout.rows, layout.blockKiB, layout.deletions);
  const QString path = dir.filePath(QStringLiteral("20240105.tkv"));
  test::writeParadox(path, t);

  const ParadoxTable table = readParadoxTable(path);

  EXPECT_TRUE(table.problems.isEmpty()) << joined(table.problems);
  EXPECT_EQ(table.codePage, 1254);
  ASSERT_EQ(table.fields.size(), t.fields.size());
  for (size_t i = 0; i < t.fields.size(); ++i) {
    EXPECT_EQ(table.fields[i].name, QString::fromLatin1(t.fields[i].name));
    EXPECT_EQ(table.fields[i].size, t.fields[i].size);
    EXPECT_EQ(table.fields[i].pxType, t.fields[i].pxType);
    EXPECT_EQ(table.fields[i].kind, i == 0 ? ParadoxKind::AutoInc : i == 1 ? ParadoxKind::Alpha : ParadoxKind::Number)
        << i;
  }
  expectRecords(table, test::rowsAfterDeletions(t));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, DailyFileReading,
    ::testing::Values(Layout{"no_records", 0, 0, {}}, Layout{"one_record", 1, 0, {}},
                      Layout{"pxlib_blocks_with_deletions", 300, 0, {5, 150, 150, 280}},
                      Layout{"one_KiB_blocks_with_deletions", 300, 1, {0, 40, 41}},
                      // 6 records a 1 KiB block: the third block emptied but left in the chain
                      Layout{"a_block_emptied_by_deletion", 40, 1, {12, 12, 12, 12, 12, 12}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(DailyFileBlocks, RecordsFollowTheBlockChainNotThePlaceOfTheBlocks) {
  // Paradox links blocks in key order and puts a split-off block wherever there is room;
  // pxlib only ever appends, so the chain is relinked by hand.
  QTemporaryDir dir;
  const FixtureTable t = dailyTable(60, 1);
  QByteArray bytes = writtenBytes(t, dir);
  const auto g = test::geometryOf(bytes);
  ASSERT_EQ(g.fileBlocks, 10);
  const std::vector<int> order = {3, 1, 2, 10, 4, 5, 6, 7, 8, 9};
  test::relinkBlocks(bytes, order);
  const QString path = dir.filePath(QStringLiteral("relinked.tkv"));
  test::writeBytes(path, bytes);

  std::vector<FixtureRow> expected;
  const int per = g.recordsPerBlock();
  for (int block : order)
    for (int i = 0; i < per; ++i) expected.push_back(t.rows[size_t((block - 1) * per + i)]);

  const ParadoxTable table = readParadoxTable(path);
  EXPECT_TRUE(table.problems.isEmpty()) << joined(table.problems);
  expectRecords(table, expected);
}

TEST(DailyFileVersions, AParadox5TableReadsLikeAParadox7One) {
  // Version 5 headers hold a 79-byte table name (261 from version 7 on), so the field
  // names start elsewhere.
  QTemporaryDir dir;
  FixtureTable t = dailyTable(20, 1);
  t.paradoxVersion = 50;
  const QString path = dir.filePath(QStringLiteral("v5.tkv"));
  test::writeParadox(path, t);
  QByteArray bytes = test::fileBytes(path);
  ASSERT_EQ(bytes.at(off::kVersion), 0x0B);
  // pxlib rewrites its header in place: the version 7 layout of its first write (names
  // after a 261-byte table name) stays behind the shorter one. Cleared, so that only the
  // version 5 layout can be read.
  const auto g = test::geometryOf(bytes);
  bytes.replace(kNamesStart, int(g.headerSize) - kNamesStart, QByteArray(int(g.headerSize) - kNamesStart, '\0'));
  test::writeBytes(path, bytes);

  const ParadoxTable table = readParadoxTable(path);
  EXPECT_TRUE(table.problems.isEmpty()) << joined(table.problems);
  ASSERT_EQ(table.fields.size(), 18u);
  EXPECT_EQ(table.fields[17].name, QStringLiteral("BOY3"));
  expectRecords(table, t.rows);
}

TEST(DailyFileIndex, AMissingOrStaleIndexFileChangesNothing) {
  QTemporaryDir dir;
  const FixtureTable t = dailyTable(50, 1);
  const QString path = dir.filePath(QStringLiteral("20240105.tkv"));
  test::writeParadox(path, t);
  const QString index = dir.filePath(QStringLiteral("20240105.PX"));
  const std::vector<std::pair<const char*, std::function<void()>>> situations = {
      {"no index file", [] {}},
      {"index of another table", [&] { test::writeParadox(index, dailyTable(3)); }},
      {"garbage index file", [&] { test::writeBytes(index, QByteArray(4096, '\x5A')); }},
  };
  for (const auto& [name, make] : situations) {
    SCOPED_TRACE(name);
    make();
    const ParadoxTable table = readParadoxTable(path);
    EXPECT_TRUE(table.problems.isEmpty()) << joined(table.problems);
    expectRecords(table, t.rows);
  }
}

// ---------------------------------------------------------------------------------------
// The null rule: a field of all zero bytes is empty; every stored value, zero included,
// comes back as written.

struct ValueCase {
  const char* name;
  FixtureField field;
  Cell cell;
};

Cell expecting(Cell c, const QVariant& expected) {
  c.expected = expected;
  return c;
}

// A Paradox long as stored: big endian, sign bit flipped.
QByteArray storedLong(qint32 v) {
  const quint32 s = quint32(v) ^ 0x80000000u;
  const char bytes[4] = {char(s >> 24), char(s >> 16), char(s >> 8), char(s)};
  return QByteArray(bytes, 4);
}

const FixtureField kNumber{"HAVA", pxfNumber, 8};
const FixtureField kCurrency{"FIYAT", pxfCurrency, 8};
const FixtureField kShort{"ADET", pxfShort, 2};
const FixtureField kLong{"TOPLAM", pxfLong, 4};
const FixtureField kAutoInc{"SIRANO", pxfAutoInc, 4};
const FixtureField kDate{"TARIH", pxfDate, 4};
const FixtureField kTime{"SAAT", pxfTime, 4};
const FixtureField kLogical{"TAMAM", pxfLogical, 1};
const FixtureField kAlpha{"SERiNO", pxfAlpha, 15};

class NullRule : public ::testing::TestWithParam<ValueCase> {};

TEST_P(NullRule, EmptyIsEmptyAndEveryStoredValueComesBackAsWritten) {
  QTemporaryDir dir;
  FixtureTable t;
  t.fields = {GetParam().field};
  t.rows = {{GetParam().cell}};
  const QString path = dir.filePath(QStringLiteral("value.tkv"));
  test::writeParadox(path, t);

  const ParadoxTable table = readParadoxTable(path);
  EXPECT_TRUE(table.problems.isEmpty()) << joined(table.problems);
  ASSERT_EQ(table.records.size(), 1u);
  EXPECT_TRUE(sameValue(table.records[0][0], GetParam().cell.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Values, NullRule,
    ::testing::Values(
        ValueCase{"number_empty", kNumber, Cell::empty()},
        ValueCase{"number_stored_zero", kNumber, Cell::numberValue(0.0)},
        ValueCase{"number_negative_zero_as_paradox_stores_it", kNumber,
                  Cell::raw(QByteArray("\x7F\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8), -0.0)},
        ValueCase{"number_positive", kNumber, Cell::numberValue(1.5)},
        ValueCase{"number_negative", kNumber, Cell::numberValue(-1.5)},
        ValueCase{"number_negative_fraction", kNumber, Cell::numberValue(-0.001)},
        ValueCase{"number_large", kNumber, Cell::numberValue(123456.789)},
        // stored as 00 1E ..: a leading zero byte is no empty field
        ValueCase{"number_large_negative", kNumber, Cell::numberValue(-1e308)},
        ValueCase{"number_most_negative", kNumber, Cell::numberValue(-DBL_MAX)},
        ValueCase{"number_smallest_positive", kNumber, Cell::numberValue(std::numeric_limits<double>::denorm_min())},
        ValueCase{"number_smallest_negative", kNumber, Cell::numberValue(-std::numeric_limits<double>::denorm_min())},
        ValueCase{"currency_negative", kCurrency, Cell::numberValue(-12.34)},
        ValueCase{"currency_empty", kCurrency, Cell::empty()},
        ValueCase{"short_empty", kShort, Cell::empty()},
        ValueCase{"short_stored_zero", kShort, Cell::integerValue(0)},
        ValueCase{"short_minus_one", kShort, Cell::integerValue(-1)},
        ValueCase{"short_minus_256", kShort, Cell::integerValue(-256)},
        ValueCase{"short_largest", kShort, Cell::integerValue(32767)},
        ValueCase{"short_most_negative", kShort, Cell::integerValue(-32767)},
        ValueCase{"long_empty", kLong, Cell::empty()},
        ValueCase{"long_stored_zero", kLong, Cell::integerValue(0)},
        ValueCase{"long_minus_one", kLong, Cell::integerValue(-1)},
        ValueCase{"long_minus_2_24", kLong, Cell::integerValue(-16777216)},
        ValueCase{"long_largest", kLong, Cell::integerValue(2147483647)},
        ValueCase{"long_most_negative", kLong, Cell::integerValue(-2147483647)},
        ValueCase{"autoinc_empty", kAutoInc, Cell::empty()},
        ValueCase{"autoinc_stored_zero", kAutoInc, Cell::integerValue(0)},
        ValueCase{"autoinc_large", kAutoInc, Cell::integerValue(999999)},
        ValueCase{"date_empty", kDate, Cell::empty()},
        // day numbers from the Paradox 4 format description
        ValueCase{"date_lowest_paradox_date", kDate, Cell::raw(storedLong(36160), QDate(100, 1, 1))},
        ValueCase{"date_1996_05_04", kDate, Cell::raw(storedLong(728783), QDate(1996, 5, 4))},
        ValueCase{"date_leap_day_by_pxlib", kDate, Cell::dateValue(QDate(2024, 2, 29))},
        ValueCase{"date_last_by_pxlib", kDate, Cell::dateValue(QDate(9999, 12, 31))},
        ValueCase{"time_empty", kTime, Cell::empty()},
        ValueCase{"time_midnight_stored", kTime, expecting(Cell::integerValue(0), QTime(0, 0))},
        ValueCase{"time_with_milliseconds", kTime, expecting(Cell::integerValue(45296789), QTime(12, 34, 56, 789))},
        ValueCase{"time_last_millisecond", kTime, expecting(Cell::integerValue(86399999), QTime(23, 59, 59, 999))},
        ValueCase{"logical_empty", kLogical, Cell::empty()},
        ValueCase{"logical_false_stored", kLogical, Cell::logical(false)},
        ValueCase{"logical_true", kLogical, Cell::logical(true)},
        ValueCase{"timestamp_as_stored_bytes", FixtureField{"ZAMAN", pxfTimestamp, 8},
                  Cell::raw(QByteArray("\xC2\xCC\xE4\x5B\x40\x00\x00\x00", 8),
                            QByteArray("\xC2\xCC\xE4\x5B\x40\x00\x00\x00", 8))},
        ValueCase{"bytes_empty", FixtureField{"HAM", pxfBytes, 4}, Cell::empty()},
        ValueCase{"alpha_empty", kAlpha, Cell::empty()},
        ValueCase{"alpha_zero_digit", kAlpha, Cell::text("0", QStringLiteral("0"))},
        ValueCase{"alpha_a_space", kAlpha, Cell::text(" ", QStringLiteral(" "))}),
    [](const auto& p) { return std::string(p.param.name); });

// Values no Paradox program writes: the field is left empty and the record and field
// are named among the problems; the rest of the record stays.
struct DamagedValueCase {
  const char* name;
  FixtureField field;
  Cell cell;
  const char* mentions;
};

class DamagedValue : public ::testing::TestWithParam<DamagedValueCase> {};

TEST_P(DamagedValue, IsNamedNeverReadAsSomethingElse) {
  QTemporaryDir dir;
  FixtureTable t;
  t.fields = {kAutoInc, GetParam().field};
  t.rows = {{Cell::integerValue(1), Cell::empty()}, {Cell::integerValue(2), GetParam().cell}};
  const QString path = dir.filePath(QStringLiteral("value.tkv"));
  test::writeParadox(path, t);

  const ParadoxTable table = readParadoxTable(path);
  ASSERT_EQ(table.records.size(), 2u);
  EXPECT_TRUE(sameValue(table.records[1][0], qlonglong(2)));
  EXPECT_TRUE(sameValue(table.records[1][1], GetParam().cell.expected));
  ASSERT_EQ(table.problems.size(), 1) << joined(table.problems);
  EXPECT_TRUE(table.problems[0].contains(QStringLiteral("record 2 ")) &&
              table.problems[0].contains(QString::fromLatin1(GetParam().field.name)) &&
              table.problems[0].contains(QString::fromLatin1(GetParam().mentions)))
      << joined(table.problems);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DamagedValue,
    ::testing::Values(
        DamagedValueCase{"number_nan", kNumber, Cell::raw(QByteArray("\xFF\xF8\0\0\0\0\0\0", 8), QVariant()),
                         "finite"},
        DamagedValueCase{"number_infinity", kNumber, Cell::raw(QByteArray("\xFF\xF0\0\0\0\0\0\0", 8), QVariant()),
                         "finite"},
        DamagedValueCase{"date_day_zero", kDate, Cell::raw(storedLong(0), QVariant()), "date"},
        DamagedValueCase{"date_past_9999", kDate, Cell::raw(storedLong(3652060), QVariant()), "date"},
        DamagedValueCase{"time_a_day_long", kTime, Cell::raw(storedLong(86400000), QVariant()), "time"},
        DamagedValueCase{"time_negative", kTime, Cell::raw(storedLong(-1), QVariant()), "time"},
        DamagedValueCase{"logical_byte_0x82", kLogical, Cell::raw(QByteArray("\x82"), QVariant()), "0x82"},
        DamagedValueCase{"alpha_byte_1254_lacks", kAlpha,
                         Cell::raw(QByteArray("A\x81" "B"), QStringLiteral(u"A\uFFFDB")), "0x81"}),
    [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------------------
// Code pages.

struct CodePageCase {
  int headerCodePage;
  const char* iconvName;
};

// Every byte 0x80..0xFF against glibc's converter for the same code page: the same
// character, or U+FFFD and a problem naming the record where glibc knows no character.
class CodePageBytes : public ::testing::TestWithParam<CodePageCase> {};

TEST_P(CodePageBytes, EveryHighByteAsIconvReadsIt) {
  const CodePageCase c = GetParam();
  iconv_t cd = iconv_open("UTF-16LE", c.iconvName);
  ASSERT_NE(cd, iconv_t(-1)) << c.iconvName;
  std::vector<std::optional<char16_t>> truth;
  for (int b = 0x80; b <= 0xFF; ++b) {
    char in[1] = {char(b)};
    char16_t out[4] = {};
    char* ip = in;
    char* op = reinterpret_cast<char*>(out);
    size_t il = 1, ol = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const bool ok = iconv(cd, &ip, &il, &op, &ol) != size_t(-1) && il == 0 && ol == sizeof out - 2;
    truth.push_back(ok ? std::optional<char16_t>(out[0]) : std::nullopt);
  }
  iconv_close(cd);

  QTemporaryDir dir;
  FixtureTable t;
  t.fields = {kAlpha};
  t.codePage = c.headerCodePage;
  for (int b = 0x80; b <= 0xFF; ++b) t.rows.push_back({Cell::raw(QByteArray("<") + char(b) + '>', QVariant())});
  const QString path = dir.filePath(QStringLiteral("bytes.tkv"));
  test::writeParadox(path, t);
  const ParadoxTable table = readParadoxTable(path);
  EXPECT_EQ(table.codePage, c.headerCodePage);
  ASSERT_EQ(table.records.size(), 128u);

  int undefined = 0;
  for (int i = 0; i < 128; ++i) {
    const QString recordWord = QStringLiteral("record %1 ").arg(i + 1);
    const char16_t want = truth[size_t(i)].value_or(u'\uFFFD');
    EXPECT_EQ(table.records[size_t(i)][0].toString(), QString(u'<') + QChar(want) + u'>')
        << "byte 0x" << std::hex << (0x80 + i);
    EXPECT_EQ(anyMentions(table.problems, recordWord), !truth[size_t(i)].has_value())
        << "byte 0x" << std::hex << (0x80 + i) << ": " << joined(table.problems);
    if (!truth[size_t(i)]) ++undefined;
  }
  EXPECT_EQ(table.problems.size(), undefined) << joined(table.problems);
}

INSTANTIATE_TEST_SUITE_P(CodePages, CodePageBytes,
                         ::testing::Values(CodePageCase{1254, "CP1254"}, CodePageCase{1252, "CP1252"},
                                           CodePageCase{857, "CP857"}, CodePageCase{850, "CP850"},
                                           CodePageCase{437, "CP437"}),
                         [](const auto& p) { return std::to_string(p.param.headerCodePage); });

TEST(CodePageText, TheHeadersCodePageIsTrustedWhenKnownElse1254) {
  struct Case {
    const char* name;
    int codePage;
    QByteArray bytes;
    QString text;
    const char* problemMentions;  // nullptr: no problem
  };
  const QByteArray windowsTurkish("\xDE\xD0\xDD\xC7\xD6\xDC \xFE\xF0\xFD\xE7\xF6\xFC");
  const Case cases[] = {
      {"Turkish Windows", 1254, windowsTurkish, QStringLiteral(u"ŞĞİÇÖÜ şğıçöü"), nullptr},
      {"Turkish DOS", 857, QByteArray("\x9E\xA6\x98\x80\x99\x9A \x9F\xA7\x8D\x87\x94\x81"),
       QStringLiteral(u"ŞĞİÇÖÜ şğıçöü"), nullptr},
      {"Western Windows", 1252, windowsTurkish, QStringLiteral(u"ÞÐÝÇÖÜ þðýçöü"), nullptr},
      {"no code page given", 0, windowsTurkish, QStringLiteral(u"ŞĞİÇÖÜ şğıçöü"), nullptr},
      {"a code page not known here", 866, windowsTurkish, QStringLiteral(u"ŞĞİÇÖÜ şğıçöü"), "866"},
      {"unknown code page, plain text", 866, QByteArray("RZD-1"), QStringLiteral("RZD-1"), nullptr},
  };
  QTemporaryDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FixtureTable t;
    t.fields = {kAlpha};
    t.codePage = c.codePage;
    t.rows = {{Cell::text(c.bytes, c.text)}};
    const QString path = dir.filePath(QStringLiteral("text.tkv"));
    test::writeParadox(path, t);
    const ParadoxTable table = readParadoxTable(path);
    EXPECT_EQ(table.codePage, c.codePage);
    ASSERT_EQ(table.records.size(), 1u);
    EXPECT_TRUE(sameValue(table.records[0][0], c.text));
    if (c.problemMentions) {
      EXPECT_EQ(table.problems.size(), 1) << joined(table.problems);
      EXPECT_TRUE(anyMentions(table.problems, QString::fromLatin1(c.problemMentions))) << joined(table.problems);
    } else {
      EXPECT_TRUE(table.problems.isEmpty()) << joined(table.problems);
    }
  }
}

TEST(CodePageText, AFileFullOfUndefinedBytesGivesABoundedList) {
  QTemporaryDir dir;
  FixtureTable t;
  t.fields = {kAlpha};
  for (int i = 0; i < 300; ++i) t.rows.push_back({Cell::raw(QByteArray("\x81"), QString(QChar(0xFFFD)))});
  const QString path = dir.filePath(QStringLiteral("undefined.tkv"));
  test::writeParadox(path, t);
  const ParadoxTable table = readParadoxTable(path);
  expectRecords(table, t.rows);
  ASSERT_EQ(table.problems.size(), 201) << joined(table.problems);
  EXPECT_TRUE(table.problems[0].contains(QStringLiteral("record 1 ")));
  EXPECT_TRUE(table.problems[199].contains(QStringLiteral("record 200 ")));
  EXPECT_TRUE(table.problems[200].contains(QStringLiteral("100 more"))) << table.problems[200].toStdString();
}

// ---------------------------------------------------------------------------------------
// Damaged files. The base: 60 daily records in 1 KiB blocks, 6 a block, 10 blocks.

constexpr int kBaseRows = 60;
constexpr int kPerBlock = 6;

using Rows = std::vector<FixtureRow>;

Rows blocks(const Rows& all, std::initializer_list<int> numbers) {
  Rows out;
  for (int n : numbers)
    for (int i = 0; i < kPerBlock; ++i) out.push_back(all[size_t((n - 1) * kPerBlock + i)]);
  return out;
}

Rows firstRows(const Rows& all, int count) { return Rows(all.begin(), all.begin() + count); }


struct DamageCase {
  const char* name;
  std::function<void(QByteArray&, const test::ParadoxGeometry&)> damage;
  const char* mentions;
  // nullptr: the file cannot be read at all (velta::Error); else the records still read
  std::function<Rows(const Rows&)> partial;
};

class DamagedFile : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedFile, GivesAnErrorNamingTheFileOrAMarkedPartialRead) {
  const DamageCase& c = GetParam();
  QTemporaryDir dir;
  const FixtureTable t = dailyTable(kBaseRows, 1);
  QByteArray bytes = writtenBytes(t, dir);
  const auto g = test::geometryOf(bytes);
  ASSERT_EQ(g.recordsPerBlock(), kPerBlock);
  ASSERT_EQ(g.fileBlocks, kBaseRows / kPerBlock);
  c.damage(bytes, g);
  const QString path = dir.filePath(QStringLiteral("20240105.tkv"));
  test::writeBytes(path, bytes);

  if (!c.partial) {
    try {
      const ParadoxTable table = readParadoxTable(path);
      FAIL() << "read " << table.records.size() << " records; problems: " << joined(table.problems);
    } catch (const Error& e) {
      EXPECT_TRUE(e.text().contains(QDir::toNativeSeparators(path))) << e.text().toStdString();
      EXPECT_TRUE(e.text().contains(QString::fromLatin1(c.mentions))) << e.text().toStdString();
    }
    return;
  }
  const ParadoxTable table = readParadoxTable(path);
  EXPECT_TRUE(anyMentions(table.problems, QString::fromLatin1(c.mentions))) << joined(table.problems);
  expectRecords(table, c.partial(t.rows));
}

void cut(QByteArray& b, qint64 size) { b.truncate(qsizetype(size)); }

INSTANTIATE_TEST_SUITE_P(
    Damage, DamagedFile,
    ::testing::Values(
        // not a table at all
        DamageCase{"empty_file", [](QByteArray& b, auto&) { b.clear(); }, "empty", nullptr},
        DamageCase{"text_file", [](QByteArray& b, auto&) { b = "SIRANO;SERiNO;HAVA\n1;RZD-1;1,5\n"; },
                   "not a Paradox table", nullptr},
        DamageCase{"random_bytes",
                   [](QByteArray& b, auto&) {
                     QRandomGenerator gen(7);
                     for (char& ch : b) ch = char(gen.bounded(256));
                   },
                   "not a Paradox table", nullptr},
        DamageCase{"an_sqlite_file",
                   [](QByteArray& b, auto&) { b = QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\0'); },
                   "not a Paradox table", nullptr},
        // cut short inside the header
        DamageCase{"cut_at_16_bytes", [](QByteArray& b, auto&) { cut(b, 16); }, "not a Paradox table", nullptr},
        DamageCase{"cut_in_the_common_header", [](QByteArray& b, auto&) { cut(b, 0x50); }, "ends inside its header",
                   nullptr},
        DamageCase{"cut_in_the_field_descriptions", [](QByteArray& b, auto&) { cut(b, off::kFieldInfo + 11); },
                   "ends inside its header", nullptr},
        DamageCase{"cut_in_the_field_names", [](QByteArray& b, auto&) { cut(b, kNamesStart + 3); },
                   "ends inside its header", nullptr},
        // wrong header bytes
        DamageCase{"a_primary_index_file", [](QByteArray& b, auto&) { b[off::kFileType] = 1; }, "not a Paradox table",
                   nullptr},
        DamageCase{"block_size_code_zero", [](QByteArray& b, auto&) { b[off::kBlockCode] = 0; },
                   "not a Paradox table", nullptr},
        DamageCase{"version_byte_2", [](QByteArray& b, auto&) { b[off::kVersion] = 2; }, "not a Paradox table",
                   nullptr},
        DamageCase{"record_size_unlike_the_fields", [](QByteArray& b, auto&) { test::putLe16(b, off::kRecordSize, 150); },
                   "150 bytes", nullptr},
        DamageCase{"no_fields", [](QByteArray& b, auto&) { test::putLe16(b, off::kNumFields, 0); }, "0 fields",
                   nullptr},
        DamageCase{"more_fields_than_written", [](QByteArray& b, auto&) { test::putLe16(b, off::kNumFields, 200); },
                   "field", nullptr},
        DamageCase{"a_field_of_no_paradox_type", [](QByteArray& b, auto&) { b[off::kFieldInfo + 2 * 2] = 0x30; },
                   "field 3", nullptr},
        DamageCase{"a_number_field_of_4_bytes", [](QByteArray& b, auto&) { b[off::kFieldInfo + 2 * 2 + 1] = 4; },
                   "field 3", nullptr},
        DamageCase{"table_name_without_end",
                   [](QByteArray& b, auto&) { b.replace(kNamesStart - 261, 261, QByteArray(261, 'T')); }, "table name",
                   nullptr},
        DamageCase{"field_names_without_end",
                   [](QByteArray& b, const test::ParadoxGeometry& g) {
                     b.replace(kNamesStart, int(g.headerSize) - kNamesStart, QByteArray(int(g.headerSize) - kNamesStart, 'X'));
                   },
                   "field names", nullptr},
        DamageCase{"encrypted", [](QByteArray& b, auto&) { test::putLe32(b, off::kEncryption2, 0x1234ABCD); },
                   "password", nullptr},
        DamageCase{"encrypted_old_style", [](QByteArray& b, auto&) { test::putLe32(b, off::kEncryption1, 0x0BADF00D); },
                   "password", nullptr},
        // cut short inside the data: what is whole is read
        DamageCase{"cut_at_the_end_of_the_header", [](QByteArray& b, const auto& g) { cut(b, g.headerSize); },
                   "before block 1", [](const Rows&) { return Rows{}; }},
        DamageCase{"cut_inside_block_4",
                   [](QByteArray& b, const auto& g) { cut(b, g.blockStart(4) + 6 + 2 * g.recordSize + 50); },
                   "inside block 4: 2 of its 6",
                   [](const Rows& all) { return firstRows(all, 3 * kPerBlock + 2); }},
        DamageCase{"cut_after_block_5", [](QByteArray& b, const auto& g) { cut(b, g.blockStart(6)); }, "before block 6",
                   [](const Rows& all) { return firstRows(all, 5 * kPerBlock); }},
        DamageCase{"last_byte_missing",
                   [](QByteArray& b, const auto& g) { cut(b, g.blockStart(10) + 6 + kPerBlock * g.recordSize - 1); },
                   "inside block 10", [](const Rows& all) { return firstRows(all, kBaseRows - 1); }},
        DamageCase{"header_size_past_the_file", [](QByteArray& b, auto&) { test::putLe16(b, off::kHeaderSize, 0x800 * 30); },
                   "before block 1", [](const Rows&) { return Rows{}; }},
        // a damaged block costs its own records
        DamageCase{"block_3_record_count_garbage",
                   [](QByteArray& b, const auto& g) { test::putLe16(b, g.blockStart(3) + off::kLastOffset, 0x7FFF); },
                   "block 3 is damaged", [](const Rows& all) { return blocks(all, {1, 2, 4, 5, 6, 7, 8, 9, 10}); }},
        DamageCase{"block_3_record_count_not_whole",
                   [](QByteArray& b, const auto& g) { test::putLe16(b, g.blockStart(3) + off::kLastOffset, 5); },
                   "block 3 is damaged", [](const Rows& all) { return blocks(all, {1, 2, 4, 5, 6, 7, 8, 9, 10}); }},
        // a broken chain: what can be reached from either end is read
        DamageCase{"block_3_links_outside_the_file",
                   [](QByteArray& b, const auto& g) { test::putLe16(b, g.blockStart(3) + off::kNext, 500); },
                   "broken after block 3", [](const Rows& all) { return all; }},
        DamageCase{"block_3_links_back_to_block_1",
                   [](QByteArray& b, const auto& g) { test::putLe16(b, g.blockStart(3) + off::kNext, 1); },
                   "block 3 links back to block 1", [](const Rows& all) { return all; }},
        DamageCase{"block_3_ends_the_chain_early",
                   [](QByteArray& b, const auto& g) { test::putLe16(b, g.blockStart(3) + off::kNext, 0); },
                   "broken after block 3", [](const Rows& all) { return all; }},
        DamageCase{"block_3_skips_block_4",
                   [](QByteArray& b, const auto& g) { test::putLe16(b, g.blockStart(3) + off::kNext, 5); },
                   "block 5 does not link back to block 3",
                   [](const Rows& all) { return blocks(all, {1, 2, 3, 5, 6, 7, 8, 9, 10}); }},
        DamageCase{"chain_cut_in_two_places",
                   [](QByteArray& b, const auto& g) {
                     test::putLe16(b, g.blockStart(3) + off::kNext, 0);
                     test::putLe16(b, g.blockStart(7) + off::kPrev, 0);
                   },
                   "broken after block 3", [](const Rows& all) { return blocks(all, {1, 2, 3, 7, 8, 9, 10}); }},
        DamageCase{"first_block_zero", [](QByteArray& b, auto&) { test::putLe16(b, off::kFirstBlock, 0); },
                   "no readable start", [](const Rows& all) { return all; }},
        DamageCase{"header_counts_other_records", [](QByteArray& b, auto&) { test::putLe32(b, off::kNumRecords, 99); },
                   "header counts 99 records; 60 were read", [](const Rows& all) { return all; }}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(LegacyFileErrors, NoSuchFileAndAFolderNameThePath) {
  QTemporaryDir dir;
  const QString missing = dir.filePath(QStringLiteral("yok.tkv"));
  const QString folder = dir.filePath(QStringLiteral("folder.tkv"));
  ASSERT_TRUE(QDir().mkdir(folder));
  for (const QString& path : {missing, folder}) {
    try {
      readParadoxTable(path);
      ADD_FAILURE() << "no error for " << path.toStdString();
    } catch (const Error& e) {
      EXPECT_TRUE(e.text().contains(QDir::toNativeSeparators(path))) << e.text().toStdString();
    }
  }
}

// Arbitrary damage, seeded: any outcome but an Error naming the file or a table of whole
// records is a fault (and a crash or an out-of-bounds read shows under AddressSanitizer).
TEST(LegacyFileRobustness, ArbitraryDamageGivesAnErrorOrWholeRecords) {
  QTemporaryDir dir;
  const QByteArray good = writtenBytes(dailyTable(kBaseRows, 1), dir);
  const auto g = test::geometryOf(good);
  const qint64 interesting = g.blockStart(4);  // header and the first blocks' heads
  const QString path = dir.filePath(QStringLiteral("damaged.tkv"));
  QRandomGenerator gen(20240105);
  int errors = 0, partial = 0;
  for (int round = 0; round < 400; ++round) {
    QByteArray b = good;
    const int kind = int(gen.bounded(4));
    if (kind == 0) {
      b.truncate(qsizetype(gen.bounded(qint64(good.size()))));
    } else if (kind == 1) {  // a valid-looking header over random blocks
      for (qint64 i = g.headerSize; i < b.size(); ++i) b[qsizetype(i)] = char(gen.bounded(256));
    } else {
      const int changes = 1 + int(gen.bounded(kind == 2 ? 4 : 40));
      for (int k = 0; k < changes; ++k) b[qsizetype(gen.bounded(interesting))] = char(gen.bounded(256));
    }
    test::writeBytes(path, b);
    try {
      const ParadoxTable table = readParadoxTable(path);
      for (const auto& record : table.records) ASSERT_EQ(record.size(), table.fields.size()) << "round " << round;
      if (!table.problems.isEmpty()) ++partial;
    } catch (const Error& e) {
      ++errors;
      ASSERT_TRUE(e.text().contains(QDir::toNativeSeparators(path))) << "round " << round << ": " << e.text().toStdString();
    }
  }
  // The rounds must have reached both outcomes, or the sweep tested nothing.
  EXPECT_GT(errors, 0);
  EXPECT_GT(partial, 0);
}

TEST(LooksLikeParadox, TellsATableHeaderFromOtherFiles) {
  QTemporaryDir dir;
  const QByteArray good = writtenBytes(dailyTable(1), dir);
  struct Case {
    const char* name;
    std::function<void(QByteArray&)> change;
    bool expected;
  };
  const Case cases[] = {
      {"a table written by pxlib", [](QByteArray&) {}, true},
      {"one byte too short", [](QByteArray& b) { b.truncate(0x39); }, false},
      {"just long enough", [](QByteArray& b) { b.truncate(0x3A); }, true},
      {"an SQLite file", [](QByteArray& b) { b.replace(0, 16, QByteArray("SQLite format 3\0", 16)); }, false},
      {"header size not a multiple of 2 KiB", [](QByteArray& b) { test::putLe16(b, off::kHeaderSize, 0x700); }, false},
      {"an index file", [](QByteArray& b) { b[off::kFileType] = 1; }, false},
      {"an unkeyed table", [](QByteArray& b) { b[off::kFileType] = 2; }, true},
      {"block size code 33", [](QByteArray& b) { b[off::kBlockCode] = 33; }, false},
      {"version 13", [](QByteArray& b) { b[off::kVersion] = 13; }, false},
      {"version 3", [](QByteArray& b) { b[off::kVersion] = 3; }, true},
      {"record size 0", [](QByteArray& b) { test::putLe16(b, off::kRecordSize, 0); }, false},
  };
  for (const Case& c : cases) {
    QByteArray b = good;
    c.change(b);
    EXPECT_EQ(looksLikeParadox(b), c.expected) << c.name;
  }
}

}  // namespace
