#include "paradox_fixture.h"

#include <stdio.h>

#include <QFile>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

extern "C" {
#include <paradox.h>
}

namespace velta::test {

namespace {

void quiet(pxdoc_t*, int, const char* message, void* data) {
  if (data && message) *static_cast<std::string*>(data) = message;
}

// pxlib takes the field array and names over and frees them with free().
pxfield_t* pxFields(const std::vector<FixtureField>& fields) {
  auto* f = static_cast<pxfield_t*>(std::calloc(fields.size(), sizeof(pxfield_t)));
  for (size_t i = 0; i < fields.size(); ++i) {
    f[i].px_fname = strdup(fields[i].name.constData());
    f[i].px_ftype = char(fields[i].pxType);
    f[i].px_flen = fields[i].size;
    f[i].px_fdc = 0;
  }
  return f;
}

void putCell(pxdoc_t* px, char* p, const FixtureField& field, const Cell& cell) {
  switch (cell.put) {
    case Cell::Put::Empty:
      switch (field.pxType) {
        case pxfNumber:
        case pxfCurrency:
          PX_put_data_double(px, p, 0, 0);
          break;
        case pxfShort:
          PX_put_data_short(px, p, 0, 0);
          break;
        case pxfLong:
        case pxfAutoInc:
        case pxfDate:
        case pxfTime:
          PX_put_data_long(px, p, 0, 0);
          break;
        case pxfLogical:
          PX_put_data_byte(px, p, 0, 0);
          break;
        case pxfAlpha:
          PX_put_data_alpha(px, p, field.size, nullptr);
          break;
        default:
          std::memset(p, 0, size_t(field.size));
      }
      return;
    case Cell::Put::Integer:
      if (field.pxType == pxfShort)
        PX_put_data_short(px, p, 2, short(cell.integer));
      else
        PX_put_data_long(px, p, 4, int(cell.integer));
      return;
    case Cell::Put::Number:
      PX_put_data_double(px, p, 8, cell.number);
      return;
    case Cell::Put::Text: {
      QByteArray z = cell.bytes;  // PX_put_data_alpha wants a C string
      PX_put_data_alpha(px, p, field.size, z.data());
      return;
    }
    case Cell::Put::Logical:
      PX_put_data_byte(px, p, 1, char(cell.integer));
      return;
    case Cell::Put::Date: {
      pxval_t* v = PX_make_date(px, cell.date.year(), cell.date.month(), cell.date.day());
      PX_put_data_long(px, p, 4, int(v->value.lval));
      FREE_PXVAL(px, v);
      return;
    }
    case Cell::Put::Raw: {
      QByteArray b = cell.bytes;
      b.resize(field.size, '\0');
      PX_put_data_bytes(px, p, field.size, b.data());
      return;
    }
  }
}

}  // namespace

Cell Cell::integerValue(qint64 v) {
  Cell c;
  c.put = Put::Integer;
  c.integer = v;
  c.expected = qlonglong(v);
  return c;
}

Cell Cell::numberValue(double v) {
  Cell c;
  c.put = Put::Number;
  c.number = v;
  c.expected = v;
  return c;
}

Cell Cell::text(const QByteArray& bytes, const QString& expected) {
  Cell c;
  c.put = Put::Text;
  c.bytes = bytes;
  c.expected = expected;
  return c;
}

Cell Cell::logical(bool v) {
  Cell c;
  c.put = Put::Logical;
  c.integer = v ? 1 : 0;
  c.expected = v;
  return c;
}

Cell Cell::dateValue(QDate d) {
  Cell c;
  c.put = Put::Date;
  c.date = d;
  c.expected = d;
  return c;
}

Cell Cell::raw(const QByteArray& stored, const QVariant& expected) {
  Cell c;
  c.put = Put::Raw;
  c.bytes = stored;
  c.expected = expected;
  return c;
}

void writeParadox(const QString& path, const FixtureTable& table) {
  std::string message;
  pxdoc_t* px = PX_new3(quiet, nullptr, nullptr, nullptr, &message);
  const int n = int(table.fields.size());
  if (PX_create_file(px, pxFields(table.fields), n, QFile::encodeName(path).constData(), pxfFileTypNonIndexDB) < 0)
    throw std::runtime_error("PX_create_file: " + message);
  // Keyed on the first field, as the daily files are (their index lives in a file of its own).
  PX_set_value(px, "numprimkeys", 1);
  // pxlib has no setter for these two; its header struct is public and is written out
  // again with every record.
  px->px_head->px_doscodepage = table.codePage;
  if (table.blockKiB > 0) px->px_head->px_maxtablesize = table.blockKiB;
  px->px_head->px_fileversion = table.paradoxVersion;
  PX_set_tablename(px, "DAILY");  // writes the header now, for a table without records too

  int recordSize = 0;
  for (const FixtureField& f : table.fields) recordSize += f.size;
  std::vector<char> record(static_cast<size_t>(recordSize), 0);
  for (const FixtureRow& row : table.rows) {
    if (int(row.size()) != n) throw std::runtime_error("fixture row of the wrong width");
    char* p = record.data();
    for (int i = 0; i < n; ++i) {
      putCell(px, p, table.fields[size_t(i)], row[size_t(i)]);
      p += table.fields[size_t(i)].size;
    }
    if (PX_put_record(px, record.data()) < 0) throw std::runtime_error("PX_put_record: " + message);
  }
  for (int position : table.deletions)
    if (PX_delete_record(px, position) < 0) throw std::runtime_error("PX_delete_record: " + message);
  PX_close(px);
  PX_delete(px);
}

std::vector<FixtureRow> rowsAfterDeletions(const FixtureTable& table) {
  std::vector<FixtureRow> rows = table.rows;
  for (int position : table.deletions) rows.erase(rows.begin() + position);
  return rows;
}

std::vector<FixtureField> dailyFields() {
  std::vector<FixtureField> f = {{"SIRANO", pxfAutoInc, 4}, {"SERiNO", pxfAlpha, 15}};
  for (const char* group : {"", "1", "2", "3"})
    for (const char* name : {"HAVA", "PRES", "EN", "BOY"}) f.push_back({QByteArray(name) + group, pxfNumber, 8});
  return f;
}

std::vector<FixtureRow> dailyRows(int n) {
  std::vector<FixtureRow> rows;
  for (int i = 0; i < n; ++i) {
    FixtureRow row;
    row.push_back(Cell::integerValue(1 + i + i / 5));  // every sixth number skipped
    switch (i % 10) {
      case 3:
        row.push_back(Cell::empty());
        break;
      case 7:
        row.push_back(Cell::text("\xDE\xD0\xDD\xC7\xD6\xDC \xFE\xF0\xFD\xE7\xF6\xFC",
                                 QStringLiteral(u"ŞĞİÇÖÜ şğıçöü")));
        break;
      case 9: {  // all 15 bytes used: no terminating NUL in the record
        const QByteArray full = QByteArray::number(100000000000000LL + i);
        row.push_back(Cell::text(full, QString::fromLatin1(full)));
        break;
      }
      default: {
        const QByteArray serial = "RZD-" + QByteArray::number(i).rightJustified(6, '0');
        row.push_back(Cell::text(serial, QString::fromLatin1(serial)));
      }
    }
    for (int j = 0; j < 16; ++j) {
      const int k = i * 16 + j;
      if (k % 17 == 0)
        row.push_back(Cell::empty());
      else if (k % 19 == 0)
        row.push_back(Cell::numberValue(0.0));
      else if (j == 15)
        row.push_back(Cell::numberValue((i % 2 ? -1e300 : 1e300) / (i + 1)));
      else
        row.push_back(Cell::numberValue(((i * 131 + j * 71) % 2001 - 1000) / 8.0));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

ParadoxGeometry geometryOf(const QByteArray& file) {
  const auto b = [&file](int i) { return unsigned(static_cast<unsigned char>(file.at(i))); };
  ParadoxGeometry g;
  g.recordSize = int(b(0) | (b(1) << 8));
  g.headerSize = b(2) | (b(3) << 8);
  g.blockSize = qint64(b(5)) * 1024;
  g.fileBlocks = int(b(0x0C) | (b(0x0D) << 8));
  return g;
}

void putLe16(QByteArray& file, qint64 at, unsigned value) {
  file[qsizetype(at)] = char(value & 0xFF);
  file[qsizetype(at + 1)] = char((value >> 8) & 0xFF);
}

void putLe32(QByteArray& file, qint64 at, quint32 value) {
  putLe16(file, at, value & 0xFFFF);
  putLe16(file, at + 2, value >> 16);
}

void relinkBlocks(QByteArray& file, const std::vector<int>& order) {
  const ParadoxGeometry g = geometryOf(file);
  for (size_t i = 0; i < order.size(); ++i) {
    const qint64 at = g.blockStart(order[i]);
    putLe16(file, at + paradox_offsets::kNext, i + 1 < order.size() ? unsigned(order[i + 1]) : 0);
    putLe16(file, at + paradox_offsets::kPrev, i > 0 ? unsigned(order[i - 1]) : 0);
  }
  putLe16(file, paradox_offsets::kFirstBlock, unsigned(order.front()));
  putLe16(file, paradox_offsets::kLastBlock, unsigned(order.back()));
}

}  // namespace velta::test
