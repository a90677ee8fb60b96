#include "platform/spreadsheet/spreadsheet_application.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "platform/error.h"
#include "platform/number_text.h"
#include "platform/spreadsheet/xlsx_book_writer.h"

namespace velta {

namespace {

constexpr int kMaxRow = kSheetLastRow;
constexpr int kMaxColumn = kSheetLastColumn;

qint64 wholeNumber(const Variant& v, const char* what) {
  if (v.type() == Variant::Type::Int) return v.asInt();
  if (v.type() == Variant::Type::Double && std::trunc(v.asDouble()) == v.asDouble() && std::abs(v.asDouble()) < 1e15)
    return static_cast<qint64>(v.asDouble());
  throw Error(QStringLiteral("Type mismatch: %1 expects a whole number, got %2").arg(QString::fromUtf8(what), v.describe()));
}

double number(const Variant& v, const char* what) {
  if (v.type() == Variant::Type::Int) return static_cast<double>(v.asInt());
  if (v.type() == Variant::Type::Double) return v.asDouble();
  throw Error(QStringLiteral("Type mismatch: %1 expects a number, got %2").arg(QString::fromUtf8(what), v.describe()));
}

bool boolean(const Variant& v, const char* what) {
  if (v.type() == Variant::Type::Bool) return v.asBool();
  if (v.type() == Variant::Type::Int) return v.asInt() != 0;
  throw Error(QStringLiteral("Type mismatch: %1 expects a boolean, got %2").arg(QString::fromUtf8(what), v.describe()));
}

int checkedIndex(const Variant& v, int max, const char* what) {
  const qint64 i = wholeNumber(v, what);
  if (i < 1 || i > max) throw Error(QStringLiteral("%1 %2 is out of range").arg(QString::fromUtf8(what)).arg(i));
  return static_cast<int>(i);
}

// "B7" -> row 7, column 2.
std::pair<int, int> cellName(const Variant& v) {
  const QString name = v.type() == Variant::Type::Text ? v.asText() : QString();
  qsizetype i = 0;
  qint64 column = 0, row = 0;
  while (i < name.size() && name[i].toUpper() >= u'A' && name[i].toUpper() <= u'Z' && column <= kMaxColumn)
    column = column * 26 + (name[i++].toUpper().unicode() - u'A' + 1);
  const qsizetype digitsStart = i;
  while (i < name.size() && name[i] >= u'0' && name[i] <= u'9' && row <= kMaxRow)
    row = row * 10 + (name[i++].unicode() - u'0');
  if (column < 1 || column > kMaxColumn || digitsStart == i || i != name.size() || row < 1 || row > kMaxRow)
    throw Error(QStringLiteral("Range %1 is not the name of a cell").arg(v.describe()));
  return {static_cast<int>(row), static_cast<int>(column)};
}

struct CellData {
  Variant value;
  bool bold = false;
  double size = 0;
};

// One workbook with its one sheet and the file it goes to.
class Book {
 public:
  Book(QString path, const RegionalSettings& regional) : writer_(std::move(path)), regional_(regional) {}

  const QString& path() const { return writer_.path(); }
  bool handedOver() const { return handedOver_; }

  void setValue(int row, int col, const Variant& v) {
    Variant stored = v;
    if (v.type() == Variant::Type::Text) {
      if (auto n = NumberFromText(v.asText(), regional_.decimalSeparator)) stored = *n;
    }
    cell(row, col).value = std::move(stored);
  }
  void setBold(int row, int col, bool bold) { cell(row, col).bold = bold; }
  void setSize(int row, int col, double size) { cell(row, col).size = size; }
  void setWidth(int col, double width) {
    live();
    writer_.setColumnWidth(col, width);
  }
  void setCaption(const QString& caption) {
    live();
    writer_.setTitle(caption);
  }

  // Streams every waiting row and completes the file.
  void finish() {
    handedOver_ = true;
    flushBefore(kMaxRow + 1);
    writer_.close();
  }

 private:
  void live() const {
    if (handedOver_) throw Error(QStringLiteral("The workbook %1 has been handed to the operator").arg(path()));
  }

  CellData& cell(int row, int col) {
    live();
    if (row <= streamedThrough_)
      throw Error(QStringLiteral("Row %1 of %2 is already written to the file and cannot change").arg(row).arg(path()));
    if (waitingCells_ >= kSpreadsheetStreamWindowCells) flushBefore(row);
    Row& r = waiting_[row];
    // Cells of a row come left to right as a rule: append then, else keep the order.
    if (r.empty() || r.back().first < col) {
      ++waitingCells_;
      return r.emplace_back(col, CellData{}).second;
    }
    auto it = std::lower_bound(r.begin(), r.end(), col,
                               [](const auto& c, int wanted) { return c.first < wanted; });
    if (it == r.end() || it->first != col) {
      ++waitingCells_;
      it = r.insert(it, {col, CellData{}});
    }
    return it->second;
  }

  void flushBefore(int row) {
    std::vector<XlsxCell> out;
    while (!waiting_.empty() && waiting_.begin()->first < row) {
      auto node = waiting_.extract(waiting_.begin());
      out.clear();
      out.reserve(node.mapped().size());
      for (auto& [col, c] : node.mapped()) out.push_back({col, std::move(c.value), c.bold, c.size});
      waitingCells_ -= static_cast<int>(node.mapped().size());
      streamedThrough_ = node.key();
      writer_.writeRow(node.key(), out);
    }
  }

  using Row = std::vector<std::pair<int, CellData>>;  // by column, ascending
  XlsxBookWriter writer_;
  RegionalSettings regional_;
  std::map<int, Row> waiting_;
  int waitingCells_ = 0;
  int streamedThrough_ = 0;
  bool handedOver_ = false;
};

class Core {
 public:
  explicit Core(SpreadsheetEnvironment env) : env_(std::move(env)) {}
  ~Core() { handOver(); }

  std::shared_ptr<Book> add() {
    if (!QDir().mkpath(env_.unsavedFolder))
      throw Error(QStringLiteral("Klasör oluşturulamadı: %1").arg(env_.unsavedFolder));
    for (int n = 1; n <= 1000000; ++n) {
      const QString path = QDir(env_.unsavedFolder).filePath(QStringLiteral("Kitap%1.xlsx").arg(n));
      QFile reserve(path);  // created here so that no other workbook takes the name
      if (reserve.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        reserve.close();
        try {
          books_.push_back(std::make_shared<Book>(path, env_.regional));
        } catch (...) {
          QFile::remove(path);
          throw;
        }
        return books_.back();
      }
      if (!QFile::exists(path))
        throw Error(QStringLiteral("Dosya oluşturulamadı: %1").arg(path));
    }
    throw Error(QStringLiteral("Klasörde yer kalmadı: %1").arg(env_.unsavedFolder));
  }

  std::shared_ptr<Book> item(int index) const {
    if (index < 1 || index > static_cast<int>(books_.size()))
      throw Error(QStringLiteral("Workbook %1 does not exist").arg(index));
    return books_[static_cast<size_t>(index - 1)];
  }

  std::shared_ptr<Book> active() const {
    if (books_.empty()) throw Error(QStringLiteral("No workbook is open"));
    return books_.back();
  }

  void handOver() noexcept {
    auto books = std::move(books_);
    books_.clear();
    for (auto& book : books) handOver(*book);
  }

  bool visible = false;

 private:
  void handOver(Book& book) noexcept {
    try {
      try {
        book.finish();
      } catch (const Error& e) {
        report(QStringLiteral("Çalışma kitabı yazılamadı: %1").arg(e.text()));
        return;
      }
      try {
        env_.opener.open(book.path());
      } catch (const Error& e) {
        report(QStringLiteral("Çalışma kitabı %1 dosyasına yazıldı, ancak açılamadı: %2").arg(book.path(), e.text()));
      }
    } catch (const std::exception& e) {
      report(QStringLiteral("Çalışma kitabı %1: %2").arg(book.path(), exceptionText(e)));
    }
  }

  void report(const QString& text) noexcept {
    try {
      env_.dialogs.showError(env_.errorCaption, errorDisplayText(text));
    } catch (...) {
    }
  }

  SpreadsheetEnvironment env_;
  std::vector<std::shared_ptr<Book>> books_;
};

using CorePtr = std::shared_ptr<Core>;
using BookPtr = std::shared_ptr<Book>;

class FontImpl : public SpreadsheetFont {
 public:
  FontImpl(CorePtr core, BookPtr book, int row, int col) : core_(std::move(core)), book_(std::move(book)), row_(row), col_(col) {}
  void putBold(const Variant& bold) override { book_->setBold(row_, col_, boolean(bold, "Bold")); }
  void putSize(const Variant& points) override {
    const double size = number(points, "Size");
    if (size < 1 || size > 409) throw Error(QStringLiteral("Font size %1 is out of range").arg(size));
    book_->setSize(row_, col_, size);
  }

 private:
  CorePtr core_;
  BookPtr book_;
  int row_, col_;
};

// A cell (row and column), one column (row 0) or all columns (row 0, column 0).
class RangeImpl : public SpreadsheetRange {
 public:
  RangeImpl(CorePtr core, BookPtr book, int row, int col) : core_(std::move(core)), book_(std::move(book)), row_(row), col_(col) {}

  void putValue2(const Variant& value) override {
    requireCell("Value2");
    book_->setValue(row_, col_, value);
  }
  std::shared_ptr<SpreadsheetRange> Next() override {
    requireCell("Next");
    if (col_ >= kMaxColumn) throw Error(QStringLiteral("Next: no cell to the right of column %1").arg(col_));
    return std::make_shared<RangeImpl>(core_, book_, row_, col_ + 1);
  }
  std::shared_ptr<SpreadsheetFont> Font() override {
    requireCell("Font");
    return std::make_shared<FontImpl>(core_, book_, row_, col_);
  }
  std::shared_ptr<SpreadsheetRange> Columns(const Variant& index) override {
    if (row_ != 0 || col_ != 0) throw Error(QStringLiteral("Columns(n) is offered on the columns of a sheet only"));
    return std::make_shared<RangeImpl>(core_, book_, 0, checkedIndex(index, kMaxColumn, "Column"));
  }
  void putColumnWidth(const Variant& width) override {
    if (row_ != 0 || col_ == 0) throw Error(QStringLiteral("ColumnWidth is offered on one column only"));
    const double w = number(width, "ColumnWidth");
    if (w < 0 || w > 255) throw Error(QStringLiteral("Column width %1 is out of range").arg(w));
    book_->setWidth(col_, w);
  }

 private:
  void requireCell(const char* member) const {
    if (row_ == 0) throw Error(QStringLiteral("%1 is offered on a single cell only").arg(QString::fromUtf8(member)));
  }
  CorePtr core_;
  BookPtr book_;
  int row_, col_;
};

class SheetImpl : public SpreadsheetWorksheet {
 public:
  SheetImpl(CorePtr core, BookPtr book) : core_(std::move(core)), book_(std::move(book)) {}
  std::shared_ptr<SpreadsheetRange> Cells(const Variant& row, const Variant& column) override {
    return std::make_shared<RangeImpl>(core_, book_, checkedIndex(row, kMaxRow, "Row"),
                                       checkedIndex(column, kMaxColumn, "Column"));
  }
  void putCells(const Variant& row, const Variant& column, const Variant& value) override {
    book_->setValue(checkedIndex(row, kMaxRow, "Row"), checkedIndex(column, kMaxColumn, "Column"), value);
  }
  std::shared_ptr<SpreadsheetRange> Columns() override { return std::make_shared<RangeImpl>(core_, book_, 0, 0); }

 private:
  CorePtr core_;
  BookPtr book_;
};

class WorkbookImpl : public SpreadsheetWorkbook {
 public:
  WorkbookImpl(CorePtr core, BookPtr book) : core_(std::move(core)), book_(std::move(book)) {}
  std::shared_ptr<SpreadsheetWorksheet> WorkSheets(const Variant& index) override {
    checkedIndex(index, 1, "Worksheet");
    return std::make_shared<SheetImpl>(core_, book_);
  }

 private:
  CorePtr core_;
  BookPtr book_;
};

class WindowImpl : public SpreadsheetWindow {
 public:
  WindowImpl(CorePtr core, BookPtr book) : core_(std::move(core)), book_(std::move(book)) {}
  void putCaption(const Variant& caption) override {
    if (caption.type() != Variant::Type::Text) throw Error(QStringLiteral("Caption expects a text, got %1").arg(caption.describe()));
    book_->setCaption(caption.asText());
  }

 private:
  CorePtr core_;
  BookPtr book_;
};

class WorkbooksImpl : public SpreadsheetWorkbooks {
 public:
  explicit WorkbooksImpl(CorePtr core) : core_(std::move(core)) {}
  std::shared_ptr<SpreadsheetWorkbook> Add() override { return std::make_shared<WorkbookImpl>(core_, core_->add()); }
  std::shared_ptr<SpreadsheetWorkbook> Add(const Variant& templateArg) override {
    if (!templateArg.isEmpty() && templateArg.type() != Variant::Type::Int)
      throw Error(QStringLiteral("Workbooks.Add: template %1 is not offered").arg(templateArg.describe()));
    return Add();
  }
  std::shared_ptr<SpreadsheetWorkbook> Item(const Variant& index) override {
    return std::make_shared<WorkbookImpl>(core_, core_->item(checkedIndex(index, 1 << 30, "Workbook")));
  }

 private:
  CorePtr core_;
};

class ApplicationImpl : public SpreadsheetApplication {
 public:
  explicit ApplicationImpl(const SpreadsheetEnvironment& env) : core_(std::make_shared<Core>(env)) {}

  void putVisible(const Variant& visible) override { core_->visible = boolean(visible, "Visible"); }
  std::shared_ptr<SpreadsheetWorkbooks> Workbooks() override { return std::make_shared<WorkbooksImpl>(core_); }
  std::shared_ptr<SpreadsheetWorkbook> Workbooks(const Variant& index) override { return Workbooks()->Item(index); }
  std::shared_ptr<SpreadsheetWindow> ActiveWindow() override { return std::make_shared<WindowImpl>(core_, core_->active()); }
  std::shared_ptr<SpreadsheetWorksheet> ActiveSheet() override { return std::make_shared<SheetImpl>(core_, core_->active()); }
  std::shared_ptr<SpreadsheetRange> ActiveCell() override {
    // Cell selection is not offered, so the active cell stays A1.
    return std::make_shared<RangeImpl>(core_, core_->active(), 1, 1);
  }
  std::shared_ptr<SpreadsheetRange> Range(const Variant& cell1, const Variant& cell2) override {
    const auto a = cellName(cell1), b = cellName(cell2);
    if (a != b) throw Error(QStringLiteral("Range: only a single cell is offered"));
    return std::make_shared<RangeImpl>(core_, core_->active(), a.first, a.second);
  }
  void HandOverWorkbooks() noexcept override { core_->handOver(); }

 private:
  CorePtr core_;
};

}  // namespace

QString unsavedWorkbooksFolder(const QString& stationRoot) {
  return QDir(stationRoot).filePath(QStringLiteral("unsaved-workbooks"));
}

std::shared_ptr<SpreadsheetApplication> makeSpreadsheetApplication(const SpreadsheetEnvironment& env) {
  return std::make_shared<ApplicationImpl>(env);
}

void registerSpreadsheetApplication(ObjectRegistry& registry, const SpreadsheetEnvironment& env) {
  registry.registerClass(kSpreadsheetProgId, [env] { return makeSpreadsheetApplication(env); });
}

}  // namespace velta
