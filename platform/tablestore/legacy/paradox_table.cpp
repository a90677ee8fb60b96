#include "platform/tablestore/legacy/paradox_table.h"

#include <stdio.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTime>
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <map>
#include <optional>

#include "platform/error.h"

// pxlib's header has no C++ guard.
extern "C" {
#include <paradox.h>
}

namespace velta::legacy {

namespace {

// Past this a file is not a daily file of the old program (those hold a few thousand
// records at most); refusing it keeps the whole-file read bounded.
constexpr qint64 kMaxFileBytes = qint64(256) * 1024 * 1024;
// A file damaged everywhere would otherwise bury the operator in lines.
constexpr int kMaxProblems = 200;
constexpr int kFallbackCodePage = 1254;
// Julian day of the day before 1 January of the year 1: Paradox counts dates from there.
constexpr qint64 kParadoxDateEpoch = 1721425;

// ---------------------------------------------------------------------------------------
// Code pages: bytes 0x80..0xFF; U+FFFD marks a byte the code page does not define.

constexpr char16_t kUndefined = 0xFFFD;

struct CodePage {
  int number = 0;
  std::array<char16_t, 128> high{};
};

// Windows 1252 and 1254 share 0x80..0x9F but for the two bytes 1254 leaves out.
constexpr std::array<char16_t, 32> kWindows80to9F = {
    0x20AC, kUndefined, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030,     0x0160, 0x2039, 0x0152, kUndefined, 0x017D, kUndefined,
    kUndefined, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122,     0x0161, 0x203A, 0x0153, kUndefined, 0x017E, 0x0178};

CodePage windowsCodePage(int number) {
  CodePage cp;
  cp.number = number;
  for (int i = 0; i < 32; ++i) cp.high[i] = kWindows80to9F[i];
  for (int i = 32; i < 128; ++i) cp.high[i] = char16_t(0x80 + i);
  if (number == 1254) {
    cp.high[0x8E - 0x80] = kUndefined;
    cp.high[0x9E - 0x80] = kUndefined;
    cp.high[0xD0 - 0x80] = 0x011E;  // Ğ
    cp.high[0xDD - 0x80] = 0x0130;  // İ
    cp.high[0xDE - 0x80] = 0x015E;  // Ş
    cp.high[0xF0 - 0x80] = 0x011F;  // ğ
    cp.high[0xFD - 0x80] = 0x0131;  // ı
    cp.high[0xFE - 0x80] = 0x015F;  // ş
  }
  return cp;
}

// The DOS code pages through Qt's converters, byte by byte: Qt marks their undefined
// bytes with U+FFFD (its Windows converters would map undefined bytes to C1 controls,
// hence the tables above). Empty when Qt has no such converter.
std::optional<CodePage> dosCodePage(int number, const char* name) {
  CodePage cp;
  cp.number = number;
  for (int i = 0; i < 128; ++i) {
    QStringDecoder decoder(name);
    if (!decoder.isValid()) return std::nullopt;
    const char byte = char(0x80 + i);
    const QString s = decoder.decode(QByteArrayView(&byte, 1));
    cp.high[i] = (decoder.hasError() || s.size() != 1) ? kUndefined : char16_t(s.at(0).unicode());
  }
  return cp;
}

// The code page of that number, or null when it is not one this reader knows.
const CodePage* knownCodePage(int number) {
  static const std::map<int, CodePage> pages = [] {
    std::map<int, CodePage> m;
    m.emplace(1252, windowsCodePage(1252));
    m.emplace(1254, windowsCodePage(1254));
    const std::pair<int, const char*> dos[] = {{857, "IBM857"}, {850, "IBM850"}, {437, "IBM437"}};
    for (const auto& [page, name] : dos)
      if (auto cp = dosCodePage(page, name)) m.emplace(page, *cp);
    // ICU reads 437's 0xE6 as the Greek letter mu; the Unicode mapping (and DOS usage:
    // the unit prefix) is the micro sign.
    if (auto it = m.find(437); it != m.end()) it->second.high[0xE6 - 0x80] = 0x00B5;
    return m;
  }();
  const auto it = pages.find(number);
  return it == pages.end() ? nullptr : &it->second;
}

// Decodes bytes (no NUL among them); appends each byte the page does not define.
QString decodeText(const char* bytes, int length, const CodePage& cp, QList<unsigned char>* undefinedBytes) {
  QString text;
  text.reserve(length);
  for (int i = 0; i < length; ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      text.append(QChar(char16_t(b)));
      continue;
    }
    const char16_t u = cp.high[b - 0x80];
    if (u == kUndefined && undefinedBytes) undefinedBytes->append(b);
    text.append(QChar(u));
  }
  return text;
}

// ---------------------------------------------------------------------------------------
// Bytes of the file.

unsigned u8(const QByteArray& b, qint64 at) { return static_cast<unsigned char>(b[qsizetype(at)]); }
unsigned le16(const QByteArray& b, qint64 at) { return u8(b, at) | (u8(b, at + 1) << 8); }
quint32 le32(const QByteArray& b, qint64 at) { return le16(b, at) | (quint32(le16(b, at + 2)) << 16); }

quint64 be(const char* p, int n) {
  quint64 v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | static_cast<unsigned char>(p[i]);
  return v;
}

bool allZero(const char* p, int n) {
  for (int i = 0; i < n; ++i)
    if (p[i] != 0) return false;
  return true;
}

Error fileError(const QString& path, const QString& reason) {
  return Error(QStringLiteral("The legacy file %1 cannot be read: %2").arg(QDir::toNativeSeparators(path), reason));
}

class Problems {
 public:
  explicit Problems(QStringList& out) : out_(out) {}
  void add(const QString& text) {
    if (out_.size() < kMaxProblems)
      out_.append(text);
    else
      ++dropped_;
  }
  void finish() {
    if (dropped_ > 0) out_.append(QStringLiteral("%1 more problems are not listed").arg(dropped_));
  }

 private:
  QStringList& out_;
  int dropped_ = 0;
};

// ---------------------------------------------------------------------------------------
// The header, checked here so that pxlib (which checks almost nothing it reads) only
// ever parses a header that lies whole within the file and is self-consistent.

struct RawField {
  int type = 0;
  int size = 0;  // bytes in a record
  QByteArray name;
};

struct Header {
  int recordSize = 0;
  qint64 headerSize = 0;
  qint64 blockSize = 0;
  qint64 numRecords = 0;
  int fileBlocks = 0;
  int firstBlock = 0;
  int lastBlock = 0;
  int codePage = 0;
  std::vector<RawField> fields;
};

// Record bytes of a field of that type and header size byte, or 0 for a type or size
// no Paradox table holds.
int fieldBytes(int type, int sizeByte) {
  switch (type) {
    case pxfAlpha:
    case pxfBytes:
      return sizeByte >= 1 ? sizeByte : 0;
    case pxfDate:
    case pxfLong:
    case pxfTime:
    case pxfAutoInc:
      return sizeByte == 4 ? 4 : 0;
    case pxfShort:
      return sizeByte == 2 ? 2 : 0;
    case pxfCurrency:
    case pxfNumber:
    case pxfTimestamp:
      return sizeByte == 8 ? 8 : 0;
    case pxfLogical:
      return sizeByte == 1 ? 1 : 0;
    case pxfMemoBLOb:
    case pxfBLOb:
    case pxfFmtMemoBLOb:
    case pxfOLE:
    case pxfGraphic:
      return sizeByte >= 10 ? sizeByte : 0;
    case pxfBCD:  // the size byte counts decimals; the field always takes 17 bytes
      return sizeByte <= 32 ? 17 : 0;
    default:
      return 0;
  }
}

Header checkHeader(const QByteArray& file, const QString& path) {
  const qint64 size = file.size();
  if (size == 0) throw fileError(path, QStringLiteral("the file is empty"));
  if (!looksLikeParadox(file))
    throw fileError(path, QStringLiteral("it is not a Paradox table"));
  // The common header runs to 0x58; a file shorter than that is cut inside it.
  if (size < 0x58) throw fileError(path, QStringLiteral("the file ends inside its header"));

  Header h;
  h.recordSize = int(le16(file, 0x00));
  h.headerSize = le16(file, 0x02);
  const int versionId = int(u8(file, 0x39));
  h.blockSize = qint64(u8(file, 0x05)) * 1024;
  h.numRecords = le32(file, 0x06);
  h.fileBlocks = int(le16(file, 0x0C));
  h.firstBlock = int(le16(file, 0x0E));
  h.lastBlock = int(le16(file, 0x10));
  const int numFields = int(le16(file, 0x21));

  // Tables from version 4 on have a data header at 0x58 with the code page (and the
  // real encryption word when the first one holds the marker 0xFF00FF00).
  const bool dataHeader = versionId >= 5;
  const qint64 fieldInfo = dataHeader ? 0x78 : 0x58;
  if (size < fieldInfo) throw fileError(path, QStringLiteral("the file ends inside its header"));
  quint32 encryption = le32(file, 0x25);
  if (encryption == 0xFF00FF00u) encryption = dataHeader ? le32(file, 0x5C) : 0;
  if (encryption != 0)
    throw fileError(path, QStringLiteral("the table is password protected (encrypted)"));
  h.codePage = dataHeader ? int(le16(file, 0x6A)) : 0;

  if (numFields < 1 || numFields > 255)
    throw fileError(path, QStringLiteral("its header gives %1 fields").arg(numFields));

  const qint64 tableNameLength = versionId >= 12 ? 261 : 79;
  const qint64 namesStart = fieldInfo + qint64(numFields) * 2 + 4 + qint64(numFields) * 4 + tableNameLength;
  if (size < namesStart || h.headerSize < namesStart)
    throw fileError(path, size < namesStart ? QStringLiteral("the file ends inside its header")
                                            : QStringLiteral("its header is too small for its fields"));
  const qint64 tableName = namesStart - tableNameLength;
  const qint64 tableNameEnd = file.indexOf('\0', qsizetype(tableName));
  if (tableNameEnd < 0 || tableNameEnd >= namesStart)
    throw fileError(path, QStringLiteral("its header is damaged (table name)"));

  int sum = 0;
  qint64 at = namesStart;
  for (int i = 0; i < numFields; ++i) {
    RawField f;
    f.type = int(u8(file, fieldInfo + 2 * i));
    f.size = fieldBytes(f.type, int(u8(file, fieldInfo + 2 * i + 1)));
    if (f.size == 0)
      throw fileError(path, QStringLiteral("field %1 has a type (0x%2) or size (%3) no Paradox table holds")
                                .arg(i + 1)
                                .arg(f.type, 2, 16, QLatin1Char('0'))
                                .arg(u8(file, fieldInfo + 2 * i + 1)));
    // pxlib copies a name into a 300-byte buffer; real names are at most 25 characters.
    const qint64 end = file.indexOf('\0', qsizetype(at));
    if (end < 0 || end >= h.headerSize || end - at > 255)
      throw fileError(path, end < 0 && h.headerSize > size ? QStringLiteral("the file ends inside its header")
                                                           : QStringLiteral("its header is damaged (field names)"));
    f.name = file.mid(qsizetype(at), qsizetype(end - at));
    at = end + 1;
    sum += f.size;
    h.fields.push_back(std::move(f));
  }
  if (sum != h.recordSize)
    throw fileError(path, QStringLiteral("its header gives records of %1 bytes, its fields take %2")
                              .arg(h.recordSize)
                              .arg(sum));
  if (h.recordSize > h.blockSize - 6)
    throw fileError(path, QStringLiteral("its records (%1 bytes) do not fit its blocks (%2 bytes)")
                              .arg(h.recordSize)
                              .arg(h.blockSize));
  return h;
}

// ---------------------------------------------------------------------------------------
// pxlib's view of the header.

// pxlib's own handler prints to standard output; this one only keeps the last word.
void keepPxMessage(pxdoc_t*, int, const char* message, void* data) {
  if (data && message) *static_cast<QString*>(data) = QString::fromLocal8Bit(message);
}

struct PxFile {
  QString lastMessage;
  FILE* stream = nullptr;
  pxdoc_t* doc = nullptr;
  ~PxFile() {
    if (doc) PX_delete(doc);
    if (stream) fclose(stream);
  }
};

// Opens the checked header through pxlib, from memory, so that pxlib parses exactly the
// bytes that were checked. The copy claims no blocks and no records: pxlib would walk
// the block chain on opening, and on a chain leading out of the file it frees its block
// list twice; on a record count it does not find it prints to standard output.
void openWithPxlib(PxFile& px, QByteArray& header, const QString& path) {
  for (int at : {0x06, 0x08, 0x0C, 0x0E, 0x10}) header[at] = header[at + 1] = '\0';
  px.stream = fmemopen(header.data(), size_t(header.size()), "r");
  if (!px.stream) throw fileError(path, QStringLiteral("out of memory"));
  px.doc = PX_new3(keepPxMessage, nullptr, nullptr, nullptr, &px.lastMessage);
  if (!px.doc) throw fileError(path, QStringLiteral("out of memory"));
  if (PX_open_fp(px.doc, px.stream) < 0)
    throw fileError(path, QStringLiteral("pxlib cannot open it (%1)").arg(px.lastMessage));
}

// ---------------------------------------------------------------------------------------
// Field values.

ParadoxKind kindOf(int pxType) {
  switch (pxType) {
    case pxfAlpha:
      return ParadoxKind::Alpha;
    case pxfNumber:
    case pxfCurrency:  // stored as a Number; only its display differs
      return ParadoxKind::Number;
    case pxfShort:
      return ParadoxKind::Short;
    case pxfLong:
      return ParadoxKind::Long;
    case pxfAutoInc:
      return ParadoxKind::AutoInc;
    case pxfDate:
      return ParadoxKind::Date;
    case pxfTime:
      return ParadoxKind::Time;
    case pxfLogical:
      return ParadoxKind::Logical;
    default:
      return ParadoxKind::Other;
  }
}

class RecordDecoder {
 public:
  RecordDecoder(const std::vector<ParadoxField>& fields, const CodePage& cp, bool codePageGuessed,
                int headerCodePage, Problems& problems)
      : fields_(fields), cp_(cp), guessed_(codePageGuessed), headerCodePage_(headerCodePage), problems_(problems) {}

  // The record at p (the table's record size); number is its 1-based place in the read.
  std::vector<QVariant> decode(const char* p, qint64 number, int block) {
    std::vector<QVariant> values;
    values.reserve(fields_.size());
    for (const ParadoxField& f : fields_) {
      values.push_back(value(f, p, number, block));
      p += f.size;
    }
    return values;
  }

 private:
  QVariant value(const ParadoxField& f, const char* p, qint64 number, int block) {
    if (allZero(p, f.size)) return {};
    const auto damaged = [&](const QString& what) {
      problems_.add(QStringLiteral("record %1 (block %2), field %3: %4; left empty")
                        .arg(number)
                        .arg(block)
                        .arg(f.name, what));
      return QVariant();
    };
    switch (f.kind) {
      case ParadoxKind::Alpha: {
        const int length = int(qstrnlen(p, uint(f.size)));
        if (length == 0) return {};
        QList<unsigned char> undefined;
        const QString text = decodeText(p, length, cp_, &undefined);
        for (unsigned char b : undefined)
          problems_.add(QStringLiteral("record %1 (block %2), field %3: byte 0x%4 is not a character in code page %5; "
                                       "read as U+FFFD")
                            .arg(number)
                            .arg(block)
                            .arg(f.name)
                            .arg(b, 2, 16, QLatin1Char('0'))
                            .arg(cp_.number));
        if (guessed_ && headerCodePage_ != 0 && !noteGiven_ && std::any_of(p, p + length, [](char c) { return c & 0x80; })) {
          noteGiven_ = true;
          problems_.add(QStringLiteral("the table's code page %1 is not known here; its text was read as code page %2")
                            .arg(headerCodePage_)
                            .arg(cp_.number));
        }
        return text;
      }
      case ParadoxKind::Number: {
        // Big-endian; a positive value has its sign bit flipped, a negative one every bit.
        quint64 raw = be(p, 8);
        raw = (raw & 0x8000000000000000ull) ? (raw & ~0x8000000000000000ull) : ~raw;
        const double d = std::bit_cast<double>(raw);
        if (!std::isfinite(d)) return damaged(QStringLiteral("the stored value is not a finite number"));
        return d;
      }
      case ParadoxKind::Short:
        return qlonglong(qint16(quint16(be(p, 2) ^ 0x8000u)));
      case ParadoxKind::Long:
      case ParadoxKind::AutoInc:
        return qlonglong(qint32(quint32(be(p, 4) ^ 0x80000000u)));
      case ParadoxKind::Date: {
        const qint32 days = qint32(quint32(be(p, 4) ^ 0x80000000u));
        const QDate date = QDate::fromJulianDay(kParadoxDateEpoch + days);
        if (days < 1 || !date.isValid() || date.year() > 9999)
          return damaged(QStringLiteral("day number %1 is not a date").arg(days));
        return date;
      }
      case ParadoxKind::Time: {
        const qint32 ms = qint32(quint32(be(p, 4) ^ 0x80000000u));
        if (ms < 0 || ms >= 86400000) return damaged(QStringLiteral("%1 ms is not a time of day").arg(ms));
        return QTime::fromMSecsSinceStartOfDay(ms);
      }
      case ParadoxKind::Logical: {
        const auto b = static_cast<unsigned char>(*p);
        if (b == 0x80) return false;
        if (b == 0x81) return true;
        return damaged(QStringLiteral("byte 0x%1 is not a logical value").arg(b, 2, 16, QLatin1Char('0')));
      }
      case ParadoxKind::Other:
        return QByteArray(p, f.size);
    }
    return {};
  }

  const std::vector<ParadoxField>& fields_;
  const CodePage& cp_;
  bool guessed_;
  int headerCodePage_;
  Problems& problems_;
  bool noteGiven_ = false;
};

// ---------------------------------------------------------------------------------------
// The data blocks: a doubly linked chain from the header's first block, each block a
// 6-byte head (next, previous, offset of its last record) and its records.

class BlockReader {
 public:
  BlockReader(const QByteArray& file, const Header& h, RecordDecoder& decoder, ParadoxTable& table,
              Problems& problems)
      : file_(file), h_(h), decoder_(decoder), table_(table), problems_(problems), visited_(65536, false) {}

  void readChain() {
    int previous = 0;
    int n = h_.firstBlock;
    bool broken = false;
    while (n != 0) {
      if (!headPresent(n)) {
        // A block the header counts is missing when the file was cut short; any other
        // number is a damaged link.
        if (n <= h_.fileBlocks || previous == 0)
          problems_.add(QStringLiteral("the file ends before block %1; the records from there on are missing").arg(n));
        else
          problems_.add(QStringLiteral("block %1 links to block %2, which the file does not hold; the block chain "
                                       "ends there")
                            .arg(previous)
                            .arg(n));
        broken = true;
        break;
      }
      if (visited_[n]) {
        problems_.add(QStringLiteral("block %1 links back to block %2, read before; the block chain ends there")
                          .arg(previous)
                          .arg(n));
        broken = true;
        break;
      }
      visited_[n] = true;
      const int back = int(le16(file_, start(n) + 2));
      if (back != previous)
        problems_.add(QStringLiteral("block %1 does not link back to block %2 before it; records between them "
                                     "may be missing")
                          .arg(n)
                          .arg(previous));
      readBlock(n);
      previous = n;
      n = int(le16(file_, start(n)));
    }
    // A chain cut short may still be whole from its far end: follow it back from the
    // header's last block as far as it goes.
    if (h_.lastBlock != 0 && h_.lastBlock < int(visited_.size()) && !visited_[h_.lastBlock] &&
        (broken || previous != h_.lastBlock)) {
      std::vector<int> tail;
      for (int m = h_.lastBlock; m != 0 && headPresent(m) && !visited_[m]; m = int(le16(file_, start(m) + 2))) {
        visited_[m] = true;
        tail.push_back(m);
      }
      if (!tail.empty()) {
        const QString where = previous == 0 ? QStringLiteral("the block chain has no readable start")
                                            : QStringLiteral("the block chain is broken after block %1").arg(previous);
        problems_.add(QStringLiteral("%1; %2 blocks were found back from the last block (%3), records between "
                                     "may be missing")
                          .arg(where)
                          .arg(tail.size())
                          .arg(h_.lastBlock));
        for (auto it = tail.rbegin(); it != tail.rend(); ++it) readBlock(*it);
      }
    }
  }

 private:
  qint64 start(int n) const { return h_.headerSize + qint64(n - 1) * h_.blockSize; }
  bool headPresent(int n) const { return n >= 1 && start(n) + 6 <= file_.size(); }

  void readBlock(int n) {
    const qint64 at = start(n);
    const int lastOffset = qint16(quint16(le16(file_, at + 4)));
    const qint64 capacity = (h_.blockSize - 6) / h_.recordSize;
    // An empty block says -recordSize; otherwise the offset of its last record.
    if (lastOffset < -h_.recordSize || lastOffset % h_.recordSize != 0 || lastOffset / h_.recordSize + 1 > capacity) {
      problems_.add(QStringLiteral("block %1 is damaged (its record count is unreadable); its records were skipped")
                        .arg(n));
      return;
    }
    const qint64 count = lastOffset / h_.recordSize + 1;
    const qint64 present = std::min(count, (file_.size() - at - 6) / h_.recordSize);
    if (present < count)
      problems_.add(QStringLiteral("the file ends inside block %1: %2 of its %3 records were read")
                        .arg(n)
                        .arg(present)
                        .arg(count));
    for (qint64 i = 0; i < present; ++i) {
      const char* p = file_.constData() + at + 6 + i * h_.recordSize;
      table_.records.push_back(decoder_.decode(p, qint64(table_.records.size()) + 1, n));
    }
  }

  const QByteArray& file_;
  const Header& h_;
  RecordDecoder& decoder_;
  ParadoxTable& table_;
  Problems& problems_;
  std::vector<bool> visited_;  // by block number (16 bits)
};

QByteArray readWholeFile(const QString& path) {
  const QFileInfo info(path);
  if (!info.exists()) throw fileError(path, QStringLiteral("there is no such file"));
  // A device or pipe could be read forever.
  if (!info.isFile()) throw fileError(path, QStringLiteral("it is not a file"));
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) throw fileError(path, f.errorString());
  if (f.size() > kMaxFileBytes) throw fileError(path, QStringLiteral("it is far larger than any daily file"));
  QByteArray bytes = f.readAll();
  if (f.error() != QFileDevice::NoError) throw fileError(path, f.errorString());
  if (bytes.size() > kMaxFileBytes)  // grown meanwhile
    throw fileError(path, QStringLiteral("it is far larger than any daily file"));
  return bytes;
}

}  // namespace

bool looksLikeParadox(const QByteArray& head) {
  if (head.size() < 0x3A) return false;
  const unsigned recordSize = le16(head, 0x00);
  const unsigned headerSize = le16(head, 0x02);
  const unsigned type = u8(head, 0x04);
  const unsigned blockCode = u8(head, 0x05);
  const unsigned version = u8(head, 0x39);
  return recordSize != 0 && headerSize != 0 && headerSize % 0x800 == 0 && (type == 0 || type == 2) &&
         blockCode >= 1 && blockCode <= 32 && version >= 3 && version <= 12;
}

ParadoxTable readParadoxTable(const QString& hostPath) {
  const QByteArray file = readWholeFile(hostPath);
  const Header h = checkHeader(file, hostPath);

  QByteArray header = file.left(qsizetype(std::min<qint64>(file.size(), h.headerSize)));
  PxFile px;
  openWithPxlib(px, header, hostPath);
  const pxhead_t* head = px.doc->px_head;
  const pxfield_t* pxFields = PX_get_fields(px.doc);
  // The blocks are read with this side's geometry: pxlib must have seen the same table.
  if (!head || !pxFields || PX_get_num_fields(px.doc) != int(h.fields.size()) ||
      PX_get_recordsize(px.doc) != h.recordSize || head->px_headersize != h.headerSize)
    throw fileError(hostPath, QStringLiteral("pxlib reads its header differently"));

  ParadoxTable table;
  table.codePage = head->px_doscodepage;
  const CodePage* cp = knownCodePage(table.codePage);
  const bool guessed = cp == nullptr;
  if (!cp) cp = knownCodePage(kFallbackCodePage);

  Problems problems(table.problems);
  for (size_t i = 0; i < h.fields.size(); ++i) {
    const pxfield_t& pf = pxFields[i];
    const RawField& raw = h.fields[i];
    if (static_cast<unsigned char>(pf.px_ftype) != raw.type || pf.px_flen != raw.size || !pf.px_fname ||
        raw.name != QByteArray(pf.px_fname))
      throw fileError(hostPath, QStringLiteral("pxlib reads field %1 differently").arg(i + 1));
    QList<unsigned char> undefined;
    const QString name = decodeText(raw.name.constData(), int(raw.name.size()), *cp, &undefined);
    if (!undefined.isEmpty())
      problems.add(QStringLiteral("the name of field %1 holds bytes code page %2 does not define").arg(i + 1).arg(cp->number));
    table.fields.push_back(ParadoxField{name, kindOf(raw.type), raw.size, raw.type});
  }

  RecordDecoder decoder(table.fields, *cp, guessed, table.codePage, problems);
  BlockReader blocks(file, h, decoder, table, problems);
  blocks.readChain();

  if (h.numRecords != qint64(table.records.size()))
    problems.add(
        QStringLiteral("the header counts %1 records; %2 were read").arg(h.numRecords).arg(table.records.size()));
  problems.finish();
  return table;
}

}  // namespace velta::legacy
