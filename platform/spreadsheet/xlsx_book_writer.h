#pragma once
// Writes one workbook with one sheet as an .xlsx file through libxlsxwriter in its
// constant-memory mode: rows go to the file in ascending order and are not kept in
// memory. Column widths and the title may be set at any time before close(). Every
// failure throws Error naming the file. Not thread-safe.
#include <QString>
#include <map>
#include <vector>

#include "platform/variant.h"

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace velta {

struct XlsxCell {
  int column = 1;         // 1-based
  Variant value;          // empty: a blank cell that carries only its font
  bool bold = false;
  double fontSize = 0;    // points; 0 keeps the default size
};

class XlsxBookWriter {
 public:
  explicit XlsxBookWriter(QString path);
  ~XlsxBookWriter();
  XlsxBookWriter(const XlsxBookWriter&) = delete;
  XlsxBookWriter& operator=(const XlsxBookWriter&) = delete;

  const QString& path() const { return path_; }
  void setColumnWidth(int column, double width);  // 1-based column, characters
  void setTitle(const QString& title);
  // One row (1-based), its cells in ascending column order; rows ascending.
  void writeRow(int row, const std::vector<XlsxCell>& cells);
  void close();

 private:
  lxw_format* format(bool bold, double size);
  void check(int code, const char* what) const;

  QString path_;
  QByteArray pathUtf8_;
  lxw_workbook* book_ = nullptr;
  lxw_worksheet* sheet_ = nullptr;
  std::map<std::pair<bool, double>, lxw_format*> formats_;
  QString title_;
  int lastRow_ = 0;
  bool closed_ = false;
};

}  // namespace velta
