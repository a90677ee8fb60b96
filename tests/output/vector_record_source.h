#pragma once
// RecordSource over rows held in the test; can fail while walking.
#include <vector>

#include "output/record_source.h"
#include "platform/error.h"

namespace velta::test {

inline QStringList testRecordFields() {
  return {"SIRANO", "SERiNO", "HAVA", "PRES", "EN", "BOY", "HAVA1", "PRES1", "EN1",
          "BOY1", "HAVA2", "PRES2", "EN2", "BOY2", "HAVA3", "PRES3", "EN3", "BOY3"};
}

class VectorRecordSource : public RecordSource {
 public:
  QString name = QStringLiteral("T09032026K.tkv");
  QStringList fields = testRecordFields();
  std::vector<QStringList> rows;
  int failAtRow = 0;  // 1-based row whose reading fails; 0: none
  int rowsRead = 0;

  QString tableName() const override { return name; }
  QStringList fieldNames() const override { return fields; }
  std::unique_ptr<RecordWalk> snapshot() override { return std::make_unique<Walk>(*this, rows); }

 private:
  class Walk : public RecordWalk {
   public:
    Walk(VectorRecordSource& src, std::vector<QStringList> rows) : src_(src), rows_(std::move(rows)) {}
    qint64 count() const override { return static_cast<qint64>(rows_.size()); }
    bool next(QStringList& texts) override {
      if (at_ >= rows_.size()) return false;
      if (src_.failAtRow == static_cast<int>(at_) + 1) throw Error(QStringLiteral("Table read failed"));
      texts = rows_[at_++];
      ++src_.rowsRead;
      return true;
    }

   private:
    VectorRecordSource& src_;
    std::vector<QStringList> rows_;  // the snapshot: later changes to the source do not show
    size_t at_ = 0;
  };
};

// A record whose every field text names its row and field: "r2f5".
inline QStringList testRecord(int row) {
  QStringList r;
  for (int f = 1; f <= 18; ++f) r << QStringLiteral("r%1f%2").arg(row).arg(f);
  return r;
}

}  // namespace velta::test
