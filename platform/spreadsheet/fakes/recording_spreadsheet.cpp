#include "platform/spreadsheet/fakes/recording_spreadsheet.h"

#include "platform/error.h"
#include "platform/spreadsheet/spreadsheet_application.h"

namespace velta {

namespace {

using Fake = std::shared_ptr<RecordingSpreadsheet>;

// Counts itself among the fake's live objects.
class Counted {
 public:
  Counted(Fake fake, size_t instance) : fake_(std::move(fake)), instance_(instance) { ++fake_->liveObjects; }
  ~Counted() { --fake_->liveObjects; }
  Counted(const Counted&) = delete;

 protected:
  RecordingSpreadsheet::Instance& inst() { return fake_->instances[instance_]; }
  RecordingSpreadsheet::Workbook& book(size_t b) {
    if (b >= inst().workbooks.size()) throw Error(QStringLiteral("fake: no workbook %1").arg(b + 1));
    return inst().workbooks[b];
  }
  size_t active() {
    if (inst().workbooks.empty()) throw Error(QStringLiteral("fake: no workbook"));
    return inst().workbooks.size() - 1;
  }
  void record(const QString& call) { fake_->record(call); }
  static int whole(const Variant& v) { return v.type() == Variant::Type::Int ? static_cast<int>(v.asInt()) : -1; }
  Fake fake_;
  size_t instance_;
};

QString cell(int r, int c) { return QStringLiteral("(%1,%2)").arg(r).arg(c); }

class FontFake : public SpreadsheetFont, Counted {
 public:
  FontFake(Fake f, size_t i, size_t b, int r, int c) : Counted(std::move(f), i), b_(b), r_(r), c_(c) {}
  void putBold(const Variant& v) override {
    record(QStringLiteral("Font%1.Bold=%2").arg(cell(r_, c_), RecordingSpreadsheet::arg(v)));
    if (v == Variant(true)) book(b_).bold.insert({r_, c_});
    else book(b_).bold.erase({r_, c_});
  }
  void putSize(const Variant& v) override {
    record(QStringLiteral("Font%1.Size=%2").arg(cell(r_, c_), RecordingSpreadsheet::arg(v)));
    book(b_).sizes[{r_, c_}] = v;
  }

 private:
  size_t b_;
  int r_, c_;
};

class RangeFake : public SpreadsheetRange, Counted {
 public:
  // row 0: column c (c > 0) or all columns (c == 0)
  RangeFake(Fake f, size_t i, size_t b, int r, int c) : Counted(std::move(f), i), b_(b), r_(r), c_(c) {}
  void putValue2(const Variant& v) override {
    record(QStringLiteral("Cell%1.Value2=%2").arg(cell(r_, c_), RecordingSpreadsheet::arg(v)));
    book(b_).values[{r_, c_}] = v;
  }
  std::shared_ptr<SpreadsheetRange> Next() override {
    record(QStringLiteral("Cell%1.Next").arg(cell(r_, c_)));
    return std::make_shared<RangeFake>(fake_, instance_, b_, r_, c_ + 1);
  }
  std::shared_ptr<SpreadsheetFont> Font() override {
    record(QStringLiteral("Cell%1.Font").arg(cell(r_, c_)));
    return std::make_shared<FontFake>(fake_, instance_, b_, r_, c_);
  }
  std::shared_ptr<SpreadsheetRange> Columns(const Variant& index) override {
    record(QStringLiteral("Columns.Columns(%1)").arg(RecordingSpreadsheet::arg(index)));
    return std::make_shared<RangeFake>(fake_, instance_, b_, 0, whole(index));
  }
  void putColumnWidth(const Variant& v) override {
    record(QStringLiteral("Column(%1).ColumnWidth=%2").arg(c_).arg(RecordingSpreadsheet::arg(v)));
    book(b_).widths[c_] = v;
  }

 private:
  size_t b_;
  int r_, c_;
};

class SheetFake : public SpreadsheetWorksheet, Counted {
 public:
  SheetFake(Fake f, size_t i, size_t b) : Counted(std::move(f), i), b_(b) {}
  std::shared_ptr<SpreadsheetRange> Cells(const Variant& r, const Variant& c) override {
    record(QStringLiteral("Sheet.Cells(%1,%2)").arg(RecordingSpreadsheet::arg(r), RecordingSpreadsheet::arg(c)));
    return std::make_shared<RangeFake>(fake_, instance_, b_, whole(r), whole(c));
  }
  void putCells(const Variant& r, const Variant& c, const Variant& v) override {
    record(QStringLiteral("Sheet.Cells(%1,%2)=%3")
               .arg(RecordingSpreadsheet::arg(r), RecordingSpreadsheet::arg(c), RecordingSpreadsheet::arg(v)));
    book(b_).values[{whole(r), whole(c)}] = v;
  }
  std::shared_ptr<SpreadsheetRange> Columns() override {
    record(QStringLiteral("Sheet.Columns"));
    return std::make_shared<RangeFake>(fake_, instance_, b_, 0, 0);
  }

 private:
  size_t b_;
};

class WorkbookFake : public SpreadsheetWorkbook, Counted {
 public:
  WorkbookFake(Fake f, size_t i, size_t b) : Counted(std::move(f), i), b_(b) {}
  std::shared_ptr<SpreadsheetWorksheet> WorkSheets(const Variant& index) override {
    record(QStringLiteral("Workbook(%1).WorkSheets(%2)").arg(b_ + 1).arg(RecordingSpreadsheet::arg(index)));
    return std::make_shared<SheetFake>(fake_, instance_, b_);
  }

 private:
  size_t b_;
};

class WindowFake : public SpreadsheetWindow, Counted {
 public:
  WindowFake(Fake f, size_t i, size_t b) : Counted(std::move(f), i), b_(b) {}
  void putCaption(const Variant& v) override {
    record(QStringLiteral("Window(%1).Caption=%2").arg(b_ + 1).arg(RecordingSpreadsheet::arg(v)));
    book(b_).caption = v.type() == Variant::Type::Text ? v.asText() : v.describe();
  }

 private:
  size_t b_;
};

class WorkbooksFake : public SpreadsheetWorkbooks, Counted {
 public:
  WorkbooksFake(Fake f, size_t i) : Counted(std::move(f), i) {}
  std::shared_ptr<SpreadsheetWorkbook> Add() override {
    record(QStringLiteral("Workbooks.Add()"));
    return added();
  }
  std::shared_ptr<SpreadsheetWorkbook> Add(const Variant& t) override {
    record(QStringLiteral("Workbooks.Add(%1)").arg(RecordingSpreadsheet::arg(t)));
    return added();
  }
  std::shared_ptr<SpreadsheetWorkbook> Item(const Variant& index) override {
    record(QStringLiteral("Workbooks.Item(%1)").arg(RecordingSpreadsheet::arg(index)));
    book(static_cast<size_t>(whole(index) - 1));
    return std::make_shared<WorkbookFake>(fake_, instance_, static_cast<size_t>(whole(index) - 1));
  }

 private:
  std::shared_ptr<SpreadsheetWorkbook> added() {
    inst().workbooks.emplace_back();
    return std::make_shared<WorkbookFake>(fake_, instance_, inst().workbooks.size() - 1);
  }
};

class ApplicationFake : public SpreadsheetApplication, Counted {
 public:
  ApplicationFake(Fake f, size_t i) : Counted(std::move(f), i) {}
  void putVisible(const Variant& v) override {
    record(QStringLiteral("Visible=%1").arg(RecordingSpreadsheet::arg(v)));
    inst().visible = v == Variant(true);
  }
  std::shared_ptr<SpreadsheetWorkbooks> Workbooks() override {
    record(QStringLiteral("Workbooks"));
    return std::make_shared<WorkbooksFake>(fake_, instance_);
  }
  std::shared_ptr<SpreadsheetWorkbook> Workbooks(const Variant& index) override {
    record(QStringLiteral("Workbooks(%1)").arg(RecordingSpreadsheet::arg(index)));
    book(static_cast<size_t>(whole(index) - 1));
    return std::make_shared<WorkbookFake>(fake_, instance_, static_cast<size_t>(whole(index) - 1));
  }
  std::shared_ptr<SpreadsheetWindow> ActiveWindow() override {
    record(QStringLiteral("ActiveWindow"));
    return std::make_shared<WindowFake>(fake_, instance_, active());
  }
  std::shared_ptr<SpreadsheetWorksheet> ActiveSheet() override {
    record(QStringLiteral("ActiveSheet"));
    return std::make_shared<SheetFake>(fake_, instance_, active());
  }
  std::shared_ptr<SpreadsheetRange> ActiveCell() override {
    record(QStringLiteral("ActiveCell"));
    return std::make_shared<RangeFake>(fake_, instance_, active(), 1, 1);
  }
  std::shared_ptr<SpreadsheetRange> Range(const Variant& a, const Variant& b) override {
    record(QStringLiteral("Range(%1,%2)").arg(RecordingSpreadsheet::arg(a), RecordingSpreadsheet::arg(b)));
    // "A<n>" only, which is all the outputs use.
    const QString name = a.type() == Variant::Type::Text ? a.asText() : QString();
    bool ok = false;
    const int row = name.startsWith(u'A') ? name.mid(1).toInt(&ok) : 0;
    if (!ok) throw Error(QStringLiteral("fake: Range %1 not understood").arg(a.describe()));
    return std::make_shared<RangeFake>(fake_, instance_, active(), row, 1);
  }
  void HandOverWorkbooks() noexcept override {
    fake_->calls << QStringLiteral("HandOverWorkbooks");
    ++inst().handOvers;
  }
};

}  // namespace

QString RecordingSpreadsheet::arg(const Variant& v) {
  switch (v.type()) {
    case Variant::Type::Int: return QString::number(v.asInt());
    case Variant::Type::Bool: return v.asBool() ? QStringLiteral("True") : QStringLiteral("False");
    case Variant::Type::Text: return u'"' + v.asText() + u'"';
    default: return v.describe();
  }
}

void RecordingSpreadsheet::record(const QString& call) {
  calls << call;
  if (failIf && failIf(call)) throw Error(QStringLiteral("Call was rejected by callee: %1").arg(call));
}

void RecordingSpreadsheet::registerIn(ObjectRegistry& registry) {
  std::weak_ptr<RecordingSpreadsheet> weak = shared_from_this();
  registry.registerClass(kSpreadsheetProgId, [weak]() -> std::shared_ptr<AutomationObject> {
    auto self = weak.lock();
    if (!self || self->failCreate) throw Error(QStringLiteral("Cannot create object \"Excel.Application\""));
    self->instances.emplace_back();
    return std::make_shared<ApplicationFake>(self, self->instances.size() - 1);
  });
}

}  // namespace velta
