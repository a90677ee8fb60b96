#pragma once
// Paradox tables for the legacy reader's tests, written with pxlib's own writer
// (PX_create_file, PX_put_data_*, PX_put_record, PX_delete_record), so that what a
// test expects is what was written, never what the reader makes of it. Also the byte
// geometry of such a file (taken straight from its header) for damaging it on purpose.
#include <QByteArray>
#include <QDate>
#include <QString>
#include <QVariant>
#include <vector>

namespace velta::test {

// One value to write and the value the reader must give back for it.
struct Cell {
  enum class Put { Empty, Integer, Number, Text, Logical, Date, Raw };
  Put put = Put::Empty;
  qint64 integer = 0;
  double number = 0;
  QByteArray bytes;  // Text: code page bytes; Raw: the field's stored bytes
  QDate date;
  QVariant expected;

  static Cell empty() { return {}; }
  static Cell integerValue(qint64 v);                       // Short, Long, AutoInc: PX_put_data_short/long
  static Cell numberValue(double v);                        // Number: PX_put_data_double
  static Cell text(const QByteArray& bytes, const QString& expected);  // Alpha: PX_put_data_alpha
  static Cell logical(bool v);                              // Logical: PX_put_data_byte
  static Cell dateValue(QDate d);                           // Date: PX_GregorianToSdn, stored as a long
  static Cell raw(const QByteArray& stored, const QVariant& expected);  // PX_put_data_bytes
};

struct FixtureField {
  QByteArray name;
  int pxType;  // pxfAlpha, pxfNumber, ...
  int size;    // record bytes
};

using FixtureRow = std::vector<Cell>;

struct FixtureTable {
  std::vector<FixtureField> fields;
  std::vector<FixtureRow> rows;
  int codePage = 1254;   // written into the header
  int blockKiB = 0;      // 0: as pxlib chooses (16 KiB for the daily layout)
  int paradoxVersion = 70;  // pxlib writes 70 (header byte 0x0C) or 50 (0x0B, shorter table name)
  std::vector<int> deletions;  // positions deleted one after another once all rows are in
};

// Writes the table at path; throws std::runtime_error when pxlib refuses.
void writeParadox(const QString& path, const FixtureTable& table);

// The rows as the file holds them after table.deletions.
std::vector<FixtureRow> rowsAfterDeletions(const FixtureTable& table);

// The old program's daily layout: SIRANO (AutoInc), SERiNO (Alpha 15), 16 Numbers.
std::vector<FixtureField> dailyFields();
// n daily records: SIRANO with gaps, text in code page 1254 (Turkish letters, a full
// 15-byte serial, empty serials), empty numbers, stored zeros, negative and large values.
std::vector<FixtureRow> dailyRows(int n);

// Where things are in a written file, read straight from its header bytes.
struct ParadoxGeometry {
  qint64 headerSize = 0;
  qint64 blockSize = 0;
  int recordSize = 0;
  int fileBlocks = 0;
  qint64 blockStart(int n) const { return headerSize + qint64(n - 1) * blockSize; }
  int recordsPerBlock() const { return int((blockSize - 6) / recordSize); }
};
ParadoxGeometry geometryOf(const QByteArray& file);

void putLe16(QByteArray& file, qint64 at, unsigned value);
void putLe32(QByteArray& file, qint64 at, quint32 value);

// Header offsets used by the damage cases (Paradox table header, little endian).
namespace paradox_offsets {
inline constexpr int kRecordSize = 0x00, kHeaderSize = 0x02, kFileType = 0x04, kBlockCode = 0x05,
                     kNumRecords = 0x06, kFirstBlock = 0x0E, kLastBlock = 0x10, kNumFields = 0x21,
                     kEncryption1 = 0x25, kVersion = 0x39, kEncryption2 = 0x5C, kCodePage = 0x6A,
                     kFieldInfo = 0x78;
// Block head: next, previous, offset of the last record.
inline constexpr int kNext = 0, kPrev = 2, kLastOffset = 4;
}  // namespace paradox_offsets

// Rewrites the block chain to run through the blocks in the given order (header's first
// and last block included): the order the blocks hold the records, not their place.
void relinkBlocks(QByteArray& file, const std::vector<int>& order);

}  // namespace velta::test
