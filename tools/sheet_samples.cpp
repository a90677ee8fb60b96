// Writes the two spreadsheet outputs with fixed sample records into a folder, through
// the station's own spreadsheet application, and prints the files' paths, one a line:
// first the one-record sheet, then the all-records export. Used to check the files
// with other spreadsheet programs (tools/check-xlsx-with-libreoffice.sh).
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

#include "output/export_all.h"
#include "output/one_record_sheet.h"
#include "platform/spreadsheet/spreadsheet_application.h"

namespace velta {
namespace {

class PrintingOpener : public DesktopOpener {
 public:
  void open(const QString& hostPath) override { QTextStream(stdout) << hostPath << '\n'; }
};

class PrintingDialogs : public OperatorDialogs {
 public:
  void showMessage(const QString&, const QString& text) override { QTextStream(stderr) << text << '\n'; }
  void showError(const QString&, const QString& text) override {
    QTextStream(stderr) << "error: " << text << '\n';
    failed = true;
  }
  bool askYesNo(const QString&, const QString&) override { return false; }
  bool askOkCancel(const QString&, const QString&) override { return false; }
  std::optional<QString> chooseFile(const OpenFileRequest&) override { return std::nullopt; }
  bool failed = false;
};

class SampleRecords : public RecordSource {
 public:
  QString tableName() const override { return QStringLiteral("/home/operator/veri/T09032026K.tkv"); }
  QStringList fieldNames() const override {
    return {"SIRANO", "SERiNO", "HAVA", "PRES", "EN", "BOY", "HAVA1", "PRES1", "EN1",
            "BOY1", "HAVA2", "PRES2", "EN2", "BOY2", "HAVA3", "PRES3", "EN3", "BOY3"};
  }
  std::unique_ptr<RecordWalk> snapshot() override {
    class Walk : public RecordWalk {
     public:
      qint64 count() const override { return 3; }
      bool next(QStringList& t) override {
        if (row_ == 3) return false;
        ++row_;
        t.clear();
        t << QString::number(row_) << QStringLiteral("T09032026K14%1V").arg(row_, 2, 10, QChar(u'0'));
        for (int f = 1; f <= 16; ++f) t << QStringLiteral("%1,%2").arg(row_).arg(f);
        if (row_ == 2) {
          t[2] = QStringLiteral("2.5");  // not the regional format: stays text
          t[3] = QStringLiteral("1E-5");
          t[4] = QString();
        }
        return true;
      }

     private:
      int row_ = 0;
    };
    return std::make_unique<Walk>();
  }
};

}  // namespace
}  // namespace velta

int main(int argc, char** argv) {
  using namespace velta;
  QCoreApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: velta-sheet-samples <folder>\n");
    return 2;
  }
  PrintingOpener opener;
  PrintingDialogs dialogs;
  ObjectRegistry registry;
  registerSpreadsheetApplication(registry, {dialogs, opener, RegionalSettings::turkish(), QString::fromLocal8Bit(argv[1]),
                                            QStringLiteral("VELTA RUZEDIVE ")});
  try {
    FormState form;
    form.setText(ctl::Edit6, QStringLiteral("T09032026K1405V"));
    for (int e = ctl::Edit9; e <= ctl::Edit24; ++e) form.setText(e, QStringLiteral("%1,25").arg(e));
    form.setText(10, QStringLiteral("2.5"));
    form.setText(ctl::Edit24, QString());
    SpeedButton8Click(form, registry, dialogs);

    SpreadsheetConnection connection(registry);
    SampleRecords records;
    SilentProgress progress;
    SpeedButton4Click(connection, records, progress);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "error: %s\n", e.what());
    return 1;
  }
  return dialogs.failed ? 1 : 0;
}
