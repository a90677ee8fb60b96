// Finding a serial number across stations and a day's workbook, from a real database
// that forwarders filled.
#include <QProcess>
#include <QTextStream>

#include "plantdb/plant_queries.h"
#include "tests/plantdb/station_fixture.h"
#include "tests/support/xlsx_reader.h"

namespace velta::test {
namespace {

// The first sheet as rows of cell texts (22 columns, empty for a blank cell).
std::vector<std::vector<QString>> readXlsxSheet(const QString& path) {
  std::vector<std::vector<QString>> rows;
  for (const auto& [name, cell] : readXlsx(path).cells) {
    int col = 0, i = 0;
    for (; i < name.size() && name[i].isLetter(); ++i) col = col * 26 + (name[i].unicode() - 'A' + 1);
    const size_t row = size_t(name.mid(i).toInt() - 1);
    if (rows.size() <= row) rows.resize(row + 1, std::vector<QString>(22));
    if (col >= 1 && col <= 22) rows[row][size_t(col - 1)] = cell.value;
  }
  return rows;
}

class QueriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    press1.addFile("T09032026K.tkv", range(1, 130));
    press1.addFile("T10032026K.tkv", range(1, 130));
    press2.addFile("T09032026K.tkv", range(1, 70));
    plantdb::PlantForwarder a(press1.settings(server.connection(), "PRESS-1"));
    plantdb::PlantForwarder b(press2.settings(server.connection(), "PRESS-2"));
    ASSERT_TRUE(drain(a));
    ASSERT_TRUE(drain(b));
    press2.remove("T09032026K.tkv", 61);
    ASSERT_TRUE(drain(b));
  }
  PgServer server;
  StationFiles press1, press2;
};

TEST_F(QueriesTest, FindGivesEveryStationsRecordsOfASerialNumber) {
  // SIRANO 61 of the 9th (01:01) on both stations; the other days' differ in the date.
  const QString serial = recordValues("T09032026K.tkv", 61).serino;
  ASSERT_EQ(serial, "T09032026K0101V");
  QProcess tool;
  tool.start(VELTA_PLANTDB_TOOL, {"--connection", server.connection(), "find", serial});
  ASSERT_TRUE(tool.waitForFinished());
  ASSERT_EQ(tool.exitCode(), 0);
  const QStringList lines = QString::fromUtf8(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3) << lines.join('\n').toStdString();
  EXPECT_TRUE(lines[0].startsWith("station\tday file\tSIRANO\tSERiNO\tHAVA\tPRES"));
  QStringList keys;
  for (int i = 1; i < lines.size(); ++i) {
    const QStringList cells = lines[i].split('\t');
    ASSERT_EQ(cells.size(), 22);
    keys << cells[0] + ' ' + cells[1] + ' ' + cells[2] + (cells[21].isEmpty() ? "" : " deleted");
    const KnownRecord k = recordValues(cells[1], cells[2].toLongLong());
    for (int v = 0; v < 16; ++v)
      EXPECT_EQ(cells[4 + v].isEmpty() ? std::optional<double>() : std::optional<double>(cells[4 + v].toDouble()),
                k.values[size_t(v)]);
  }
  keys.sort();
  EXPECT_EQ(keys.join(", "), "PRESS-1 T09032026K.tkv 61, PRESS-2 T09032026K.tkv 61 deleted");
}

TEST_F(QueriesTest, ExportWritesADaysRecordsOfAllStations) {
  const QString path = press1.root() + "/day.xlsx";
  QProcess tool;
  tool.start(VELTA_PLANTDB_TOOL, {"--connection", server.connection(), "export", "2026-03-09", path});
  ASSERT_TRUE(tool.waitForFinished());
  ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
  const auto sheet = readXlsxSheet(path);
  ASSERT_EQ(sheet.size(), size_t(1 + 130 + 70));
  EXPECT_EQ(sheet[0][0], "station");
  int deleted = 0;
  for (size_t r = 1; r < sheet.size(); ++r) {
    const auto& row = sheet[r];
    EXPECT_EQ(row[1], "T09032026K.tkv");
    const KnownRecord k = recordValues(row[1], row[2].toLongLong());
    EXPECT_EQ(row[3], k.serino);
    // A workbook holds a number to 16 significant digits (as the spreadsheet programs do).
    for (int v = 0; v < 16; ++v) {
      const auto& want = k.values[size_t(v)];
      EXPECT_EQ(row[4 + v].isEmpty(), !want) << r << " " << v;
      if (want && !row[4 + v].isEmpty()) {
        EXPECT_NEAR(row[4 + v].toDouble(), *want, 1e-15 * std::max(1.0, std::abs(*want)));
      }
    }
    if (row.size() > 21 && !row[21].isEmpty()) ++deleted;
  }
  EXPECT_EQ(deleted, 1);
}

}  // namespace
}  // namespace velta::test
