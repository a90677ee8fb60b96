#include "platform/spreadsheet/xlsx_book_writer.h"

#include <xlsxwriter.h>

#include "platform/error.h"

namespace velta {

XlsxBookWriter::XlsxBookWriter(QString path) : path_(std::move(path)), pathUtf8_(path_.toUtf8()) {
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  book_ = workbook_new_opt(pathUtf8_.constData(), &options);
  if (book_) sheet_ = workbook_add_worksheet(book_, nullptr);
  if (!book_ || !sheet_) {
    if (book_) lxw_workbook_free(book_);
    book_ = nullptr;
    throw Error(QStringLiteral("Çalışma kitabı hazırlanamadı: %1").arg(path_));
  }
}

XlsxBookWriter::~XlsxBookWriter() {
  if (book_ && !closed_) lxw_workbook_free(book_);
}

void XlsxBookWriter::check(int code, const char* what) const {
  if (code != LXW_NO_ERROR)
    throw Error(QStringLiteral("%1: %2 (%3)")
                    .arg(path_, QString::fromUtf8(what), QString::fromUtf8(lxw_strerror(static_cast<lxw_error>(code)))));
}

lxw_format* XlsxBookWriter::format(bool bold, double size) {
  if (!bold && size <= 0) return nullptr;
  auto& f = formats_[{bold, size}];
  if (!f) {
    f = workbook_add_format(book_);
    if (!f) throw Error(QStringLiteral("%1: biçim eklenemedi").arg(path_));
    if (bold) format_set_bold(f);
    if (size > 0) format_set_font_size(f, size);
  }
  return f;
}

void XlsxBookWriter::setColumnWidth(int column, double width) {
  const auto c = static_cast<lxw_col_t>(column - 1);
  check(worksheet_set_column(sheet_, c, c, width, nullptr), "column width");
}

void XlsxBookWriter::setTitle(const QString& title) { title_ = title; }

void XlsxBookWriter::writeRow(int row, const std::vector<XlsxCell>& cells) {
  if (row <= lastRow_) throw Error(QStringLiteral("%1: satır %2 sırasız yazıldı").arg(path_).arg(row));
  lastRow_ = row;
  const auto r = static_cast<lxw_row_t>(row - 1);
  for (const XlsxCell& cell : cells) {
    const auto c = static_cast<lxw_col_t>(cell.column - 1);
    lxw_format* f = format(cell.bold, cell.fontSize);
    int rc = LXW_NO_ERROR;
    switch (cell.value.type()) {
      case Variant::Type::Empty:
      case Variant::Type::Null:
        rc = f ? worksheet_write_blank(sheet_, r, c, f) : LXW_NO_ERROR;
        break;
      case Variant::Type::Bool: rc = worksheet_write_boolean(sheet_, r, c, cell.value.asBool(), f); break;
      case Variant::Type::Int:
        rc = worksheet_write_number(sheet_, r, c, static_cast<double>(cell.value.asInt()), f);
        break;
      case Variant::Type::Double: rc = worksheet_write_number(sheet_, r, c, cell.value.asDouble(), f); break;
      case Variant::Type::Text: {
        const QByteArray utf8 = cell.value.asText().toUtf8();
        // libxlsxwriter refuses an empty string; a blank cell shows the same.
        rc = utf8.isEmpty() ? (f ? worksheet_write_blank(sheet_, r, c, f) : LXW_NO_ERROR)
                            : worksheet_write_string(sheet_, r, c, utf8.constData(), f);
        break;
      }
    }
    check(rc, "cell");
  }
}

void XlsxBookWriter::close() {
  if (closed_) return;
  QByteArray title = title_.toUtf8();
  if (!title_.isEmpty()) {
    lxw_doc_properties props{};
    props.title = title.data();
    check(workbook_set_properties(book_, &props), "title");
  }
  closed_ = true;  // workbook_close frees the workbook whatever it returns
  check(workbook_close(book_), "write");
  book_ = nullptr;
}

}  // namespace velta
