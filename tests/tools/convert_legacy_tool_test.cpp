// velta-convert-legacy run as a process, as the plant runs it, on daily files written
// with pxlib's own writer: what it converts holds every record, value and empty field
// that was written, what it skips or refuses is left alone, sources are never changed.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <unistd.h>
#include <map>

#include "../platform/legacy/paradox_fixture.h"
#include "../support/temp_station.h"
#include "platform/tablestore/dataset.h"
#include "records/daily_file.h"

using namespace velta;
using velta::test::FixtureRow;
using velta::test::FixtureTable;

namespace {

struct ToolRun {
  int exitCode = -1;
  QStringList lines;  // stdout
  QString err;
};

ToolRun runTool(const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral(VELTA_CONVERT_TOOL), args);
  ToolRun r;
  if (!p.waitForStarted() || !p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit) {
    r.err = QStringLiteral("<the tool did not run to its end: %1>").arg(p.errorString());
    return r;
  }
  r.exitCode = p.exitCode();
  r.lines = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
  r.err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

FixtureTable dailyTable(int rows, std::vector<int> deletions = {}) {
  FixtureTable t;
  t.fields = test::dailyFields();
  t.rows = test::dailyRows(rows);
  t.blockKiB = 1;  // several blocks even for a few dozen records
  t.deletions = std::move(deletions);
  return t;
}

QString describe(const QVariant& v) {
  if (!v.isValid()) return QStringLiteral("<empty>");
  if (v.typeId() == QMetaType::Double) return QStringLiteral("double ") + QString::number(v.toDouble(), 'g', 17);
  return QString::fromLatin1(v.typeName()) + QLatin1Char(' ') + v.toString();
}

bool sameValue(const QVariant& got, const QVariant& want) {
  if (got.isValid() != want.isValid()) return false;
  if (!want.isValid()) return true;
  if (got.typeId() != want.typeId()) return false;
  if (want.typeId() == QMetaType::Double)
    return got.toDouble() == want.toDouble() && std::signbit(got.toDouble()) == std::signbit(want.toDouble());
  return got == want;
}

// The converted file is a table file of this store with the daily fields, holding the
// rows as written (SIRANO, values, empty fields), in the order written.
void expectConverted(const QString& path, const std::vector<FixtureRow>& rows) {
  ASSERT_TRUE(test::fileBytes(path).startsWith(QByteArray("SQLite format 3\0", 16))) << path.toStdString();
  Dataset table(QStringLiteral("Check"));
  table.setFieldDefs(DailyFileFields());
  table.setTableName(path);
  table.open();
  EXPECT_FALSE(table.readOnly());
  ASSERT_EQ(table.recordCount(), int(rows.size())) << path.toStdString();
  int failures = 0;
  for (size_t r = 0; r < rows.size() && failures < 5; ++r) {
    const std::vector<QVariant> got = table.recordAt(int(r));
    ASSERT_EQ(got.size(), rows[r].size());
    for (size_t f = 0; f < got.size() && failures < 5; ++f)
      if (!sameValue(got[f], rows[r][f].expected)) {
        ++failures;
        ADD_FAILURE() << path.toStdString() << " record " << r << ", field "
                      << DailyFileFields()[f].name.toStdString() << ": got " << describe(got[f]).toStdString()
                      << ", wrote " << describe(rows[r][f].expected).toStdString();
      }
  }
}

// Every file below a folder with its bytes, hidden ones included.
std::map<QString, QByteArray> contents(const QString& folder) {
  std::map<QString, QByteArray> out;
  const QDir dir(folder);
  for (const QFileInfo& e : dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
    out[e.fileName()] = e.isDir() ? QByteArray("<folder>") : test::fileBytes(e.filePath());
  return out;
}

struct Line {
  QString word, source, rest;
};

Line parse(const QString& line) {
  const qsizetype space = line.indexOf(u' ');
  const qsizetype colon = line.indexOf(QStringLiteral(": "), space);
  if (space < 0 || colon < 0) return {line, {}, {}};
  return {line.left(space), line.mid(space + 1, colon - space - 1), line.mid(colon + 2)};
}

class ConvertLegacyTool : public ::testing::Test {
 protected:
  QString old(const QString& name) const { return QDir(root.path()).filePath(QStringLiteral("old/") + name); }
  QString into(const QString& name = {}) const {
    return QDir(root.path()).filePath(QStringLiteral("into") + (name.isEmpty() ? QString() : u'/' + name));
  }
  void SetUp() override {
    ASSERT_TRUE(root.isValid());
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("old")));
  }
  QTemporaryDir root;
};

// ---------------------------------------------------------------------------------------

TEST_F(ConvertLegacyTool, AnOldDataFolderIsConvertedFileByFileAndNothingIsOverwritten) {
  // Two old daily files: SIRANO gaps, empty serials and values, stored zeros, negative
  // and huge numbers, Turkish text; the second with deleted records and an upper-case
  // extension.
  const FixtureTable first = dailyTable(40);
  const FixtureTable second = dailyTable(12, {0, 5});
  test::writeParadox(old(QStringLiteral("T09122026K.tkv")), first);
  test::writeParadox(old(QStringLiteral("t10122026k.TKV")), second);
  // Already new-format: skipped, not copied.
  Dataset::createTable(old(QString()), QStringLiteral("T08122026K.tkv"), DailyFileFields(), DailyFileIndex());
  // Neither kind, and an empty file.
  test::writeBytes(old(QStringLiteral("notes.tkv")), "SIRANO;SERiNO;HAVA\n1;RZD-1;1,5\n");
  test::writeBytes(old(QStringLiteral("empty.tkv")), {});
  // An old table whose name is taken in the target folder.
  test::writeParadox(old(QStringLiteral("T11122026K.tkv")), dailyTable(3));
  ASSERT_TRUE(QDir().mkpath(into()));
  const QByteArray taken = "a file of the plant that must stay as it is";
  test::writeBytes(into(QStringLiteral("T11122026K.tkv")), taken);
  // An old table with other fields.
  FixtureTable other = dailyTable(2);
  other.fields[2].name = "HAVAX";
  test::writeParadox(old(QStringLiteral("T12122026K.tkv")), other);
  // Not looked at: another extension (though an old table), a folder named like a file.
  test::writeParadox(old(QStringLiteral("T07122026K.bak")), dailyTable(2));
  ASSERT_TRUE(QDir().mkpath(old(QStringLiteral("sub.tkv"))));
  const auto sourcesBefore = contents(old(QString()));

  const ToolRun run = runTool({QStringLiteral("--into"), into(), old(QString())});

  EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
  struct Want {
    const char* name;
    const char* word;
    QString mentions;
  };
  const auto records = [](size_t n) { return QStringLiteral("%1 records -> ").arg(n); };
  // Name order by code unit: upper-case letters before lower-case ones.
  const std::vector<Want> want = {
      {"T08122026K.tkv", "skipped", QStringLiteral("already a data file of this station")},
      {"T09122026K.tkv", "converted", records(first.rows.size())},
      {"T11122026K.tkv", "refused", QStringLiteral("already exists")},
      {"T12122026K.tkv", "refused", QStringLiteral("Field 'HAVA' not found")},
      {"empty.tkv", "refused", QStringLiteral("empty")},
      {"notes.tkv", "refused", QStringLiteral("neither an old daily file")},
      {"t10122026k.TKV", "converted", records(test::rowsAfterDeletions(second).size())},
  };
  ASSERT_EQ(run.lines.size(), qsizetype(want.size())) << run.lines.join(u'\n').toStdString();
  for (size_t i = 0; i < want.size(); ++i) {
    const Line line = parse(run.lines[qsizetype(i)]);
    SCOPED_TRACE(run.lines[qsizetype(i)].toStdString());
    EXPECT_EQ(line.word, QLatin1String(want[i].word));
    EXPECT_EQ(line.source, old(QLatin1String(want[i].name)));
    EXPECT_TRUE(line.rest.contains(want[i].mentions));
    // A converted file and a name taken are told with the file in the target folder.
    if (line.word == QLatin1String("converted")) {
      EXPECT_TRUE(line.rest.endsWith(into(QLatin1String(want[i].name))));
    } else if (line.rest.contains(QLatin1String("already exists"))) {
      EXPECT_TRUE(line.rest.contains(into(QLatin1String(want[i].name))));
    }
  }

  expectConverted(into(QStringLiteral("T09122026K.tkv")), first.rows);
  expectConverted(into(QStringLiteral("t10122026k.TKV")), test::rowsAfterDeletions(second));
  EXPECT_EQ(test::fileBytes(into(QStringLiteral("T11122026K.tkv"))), taken);
  // Nothing else in the target folder: no copy of what was skipped or refused, no
  // temporary file left behind.
  const auto made = contents(into());
  QStringList names;
  for (const auto& [name, bytes] : made) names << name;
  EXPECT_EQ(names, (QStringList{QStringLiteral("T09122026K.tkv"), QStringLiteral("T11122026K.tkv"),
                                QStringLiteral("t10122026k.TKV")}));
  EXPECT_EQ(contents(old(QString())), sourcesBefore);
}

TEST_F(ConvertLegacyTool, AFileIsToldByItsContentsAndTheTargetFolderIsMade) {
  // Named files are converted whatever their names; the target folder does not exist yet.
  const FixtureTable t = dailyTable(9, {4});
  test::writeParadox(old(QStringLiteral("yedek.DB")), t);
  const QByteArray before = test::fileBytes(old(QStringLiteral("yedek.DB")));
  const QString target = into(QStringLiteral("D/rododezuz/data"));

  const ToolRun run = runTool({QStringLiteral("--into"), target, old(QStringLiteral("yedek.DB"))});

  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  ASSERT_EQ(run.lines.size(), 1) << run.err.toStdString();
  const std::vector<FixtureRow> rows = test::rowsAfterDeletions(t);
  EXPECT_EQ(run.lines[0], QStringLiteral("converted %1: %2 records -> %3")
                              .arg(old(QStringLiteral("yedek.DB")), QString::number(rows.size()),
                                   QDir(target).filePath(QStringLiteral("yedek.DB"))));
  expectConverted(QDir(target).filePath(QStringLiteral("yedek.DB")), rows);
  EXPECT_EQ(test::fileBytes(old(QStringLiteral("yedek.DB"))), before);
}

TEST_F(ConvertLegacyTool, ADamagedFileKeepsWhatCouldBeReadAndListsTheLoss) {
  const FixtureTable t = dailyTable(40);
  const QString path = old(QStringLiteral("T09122026K.tkv"));
  test::writeParadox(path, t);
  QByteArray bytes = test::fileBytes(path);
  const test::ParadoxGeometry g = test::geometryOf(bytes);
  ASSERT_GT(g.fileBlocks, 4);
  bytes.truncate(qsizetype(g.blockStart(4)));  // cut after the third block
  test::writeBytes(path, bytes);
  const std::vector<FixtureRow> kept(t.rows.begin(), t.rows.begin() + 3 * g.recordsPerBlock());

  const ToolRun run = runTool({QStringLiteral("--into"), into(), path});

  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  ASSERT_EQ(run.lines.size(), 1) << run.err.toStdString();
  const QStringList problems = run.err.split(u'\n', Qt::SkipEmptyParts);
  ASSERT_FALSE(problems.isEmpty());
  for (const QString& p : problems) EXPECT_TRUE(p.startsWith(path + QStringLiteral(": "))) << p.toStdString();
  EXPECT_TRUE(problems.join(u'\n').contains(QStringLiteral("before block 4"))) << run.err.toStdString();
  EXPECT_EQ(run.lines[0],
            QStringLiteral("converted %1: %2 records -> %3 (partial read: %4 %5, listed on stderr)")
                .arg(path, QString::number(kept.size()), into(QStringLiteral("T09122026K.tkv")),
                     QString::number(problems.size()),
                     problems.size() == 1 ? QStringLiteral("problem") : QStringLiteral("problems")));
  expectConverted(into(QStringLiteral("T09122026K.tkv")), kept);
  EXPECT_EQ(test::fileBytes(path), bytes);
}

TEST_F(ConvertLegacyTool, AFileIsNeverItsOwnDestination) {
  const QString name = QStringLiteral("T09122026K.tkv");
  const QString path = old(name);
  test::writeParadox(path, dailyTable(5));
  ASSERT_TRUE(QDir().mkpath(into(QStringLiteral("hard"))));
  ASSERT_TRUE(QDir().mkpath(into(QStringLiteral("soft"))));
  // The source itself under the name it would get in the target folder.
  ASSERT_EQ(::link(QFile::encodeName(path).constData(),
                   QFile::encodeName(into(QStringLiteral("hard/") + name)).constData()),
            0);
  ASSERT_TRUE(QFile::link(path, into(QStringLiteral("soft/") + name)));
  const QByteArray before = test::fileBytes(path);

  for (const QString& target : {old(QString()), old(QStringLiteral("../old")), into(QStringLiteral("hard")),
                                into(QStringLiteral("soft"))}) {
    SCOPED_TRACE(target.toStdString());
    const ToolRun run = runTool({QStringLiteral("--into"), target, path});
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    ASSERT_EQ(run.lines.size(), 1) << run.err.toStdString();
    EXPECT_TRUE(run.lines[0].startsWith(QStringLiteral("refused %1: ").arg(path))) << run.lines[0].toStdString();
    EXPECT_TRUE(run.lines[0].contains(QStringLiteral("are the same file"))) << run.lines[0].toStdString();
  }
  EXPECT_EQ(test::fileBytes(path), before);
  EXPECT_EQ(QDir(old(QString())).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{name});
}

TEST_F(ConvertLegacyTool, WhatCannotBeConvertedIsNamedWithItsReason) {
  ASSERT_TRUE(QDir().mkpath(old(QStringLiteral("empty-folder"))));
  test::writeBytes(old(QStringLiteral("a-file")), "x");
  struct Case {
    const char* name;
    QStringList args;
    int exitCode;
    QStringList lines;
    const char* err;
  };
  const std::vector<Case> cases = {
      {"missing source", {QStringLiteral("--into"), into(), old(QStringLiteral("nowhere.tkv"))}, 1,
       {QStringLiteral("refused %1: no such file or folder").arg(old(QStringLiteral("nowhere.tkv")))}, ""},
      {"folder without daily files", {QStringLiteral("--into"), into(), old(QStringLiteral("empty-folder"))}, 0, {},
       "no .tkv file in"},
      {"target is a file", {QStringLiteral("--into"), old(QStringLiteral("a-file")), old(QString())}, 1, {},
       "is not a folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ToolRun run = runTool(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
    EXPECT_EQ(run.lines, c.lines);
    EXPECT_TRUE(run.err.contains(QLatin1String(c.err))) << run.err.toStdString();
  }
  EXPECT_EQ(test::fileBytes(old(QStringLiteral("a-file"))), QByteArray("x"));
}

TEST_F(ConvertLegacyTool, WrongUsageSaysHowAndTouchesNothing) {
  test::writeParadox(old(QStringLiteral("T09122026K.tkv")), dailyTable(2));
  const QString source = old(QStringLiteral("T09122026K.tkv"));
  const QString i = QStringLiteral("--into");
  struct Case {
    const char* name;
    QStringList args;
    const char* says;
  };
  for (const Case& c : std::vector<Case>{{"nothing", {}, "no --into FOLDER"},
                                         {"no target", {source}, "no --into FOLDER"},
                                         {"target without a folder", {source, i}, "--into needs a folder"},
                                         {"no source", {i, into()}, "no file or folder to convert"},
                                         {"two targets", {i, into(), i, into(QStringLiteral("b")), source},
                                          "--into given twice"},
                                         {"unknown option", {QStringLiteral("--force"), i, into(), source},
                                          "unknown option '--force'"}}) {
    SCOPED_TRACE(c.name);
    const ToolRun run = runTool(c.args);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.lines.isEmpty()) << run.lines.join(u'\n').toStdString();
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("velta-convert-legacy: ") + QLatin1String(c.says)))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("usage: velta-convert-legacy --into FOLDER FILE_OR_FOLDER...")));
    EXPECT_FALSE(QFileInfo::exists(into()));
  }
}

}  // namespace
