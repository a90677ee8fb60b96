#include "platform/report/widgets/qt_report_dialogs.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "platform/error.h"
#include "platform/report/report_document.h"

namespace velta {

namespace {

class StatusWindow : public ReportStatus {
 public:
  StatusWindow(QWidget* parent, const QString& title) : window_(parent, Qt::Dialog) {
    window_.setWindowTitle(title);
    window_.setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(&window_);
    label_ = new QLabel(&window_);
    label_->setMinimumWidth(260);
    label_->setAlignment(Qt::AlignCenter);
    layout->addWidget(label_);
    window_.show();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  void setText(const QString& text) override {
    label_->setText(text);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }

 private:
  QWidget window_;
  QLabel* label_ = nullptr;
};

void setUpPrinter(QPrinter& printer, const ReportDocument& doc, const PrintJob& job) {
  printer.setPageLayout(doc.pageLayout());
  printer.setDocName(job.jobTitle);
  printer.setCopyCount(std::max(1, job.copies));
  printer.setCollateCopies(job.collate);
  const int last = doc.pageCount();
  const int from = std::clamp(job.fromPage, 1, last);
  const int to = job.toPage <= 0 ? last : std::clamp(job.toPage, from, last);
  printer.setFromTo(from, to);
  printer.setPrintRange(from == 1 && to == last ? QPrinter::AllPages : QPrinter::PageRange);
}

// Paints the pages the printer asks for; copies are left to the printer driver.
void paintOn(QPrinter& printer, const ReportDocument& doc, ReportStatus* status,
             const QString& statusText) {
  int from = 1, to = 0;
  if (printer.printRange() == QPrinter::PageRange) {
    from = printer.fromPage();
    to = printer.toPage();
  }
  doc.paint(printer, from, to, 1, true, [&](int page) {
    if (status) status->setText(QString(statusText).replace(QStringLiteral("%p"), QString::number(page)));
  });
}

}  // namespace

std::optional<OutputChoice> QtReportDialogs::chooseOutput(const OutputOptionsRequest& request) {
  QDialog dlg(parent_);
  dlg.setWindowTitle(request.title);
  auto* layout = new QVBoxLayout(&dlg);

  auto* destBox = new QGroupBox(QStringLiteral("Destination"), &dlg);
  auto* destLayout = new QGridLayout(destBox);
  auto* printer = new QRadioButton(QStringLiteral("Printer"), destBox);
  auto* preview = new QRadioButton(QStringLiteral("Preview"), destBox);
  auto* file = new QRadioButton(QStringLiteral("File"), destBox);
  printer->setEnabled(request.permissions.testFlag(ssAllowDestPrinter));
  preview->setEnabled(request.permissions.testFlag(ssAllowDestPreview));
  file->setEnabled(request.permissions.testFlag(ssAllowDestFile));
  auto* format = new QComboBox(destBox);
  format->addItems(request.fileFormats);
  for (int i = 0; i < format->count(); ++i)
    if (format->itemText(i).contains(QStringLiteral("(PDF)"))) format->setCurrentIndex(i);
  auto* fileName = new QLineEdit(request.defaultFileName, destBox);
  auto* browse = new QPushButton(QStringLiteral("..."), destBox);
  destLayout->addWidget(printer, 0, 0);
  destLayout->addWidget(preview, 1, 0);
  destLayout->addWidget(file, 2, 0);
  destLayout->addWidget(format, 2, 1, 1, 2);
  destLayout->addWidget(fileName, 3, 1);
  destLayout->addWidget(browse, 3, 2);
  layout->addWidget(destBox);

  auto* rangeBox = new QGroupBox(QStringLiteral("Pages and copies"), &dlg);
  auto* form = new QFormLayout(rangeBox);
  auto* fromPage = new QSpinBox(rangeBox);
  auto* toPage = new QSpinBox(rangeBox);
  fromPage->setRange(1, std::max(1, request.pageCount));
  toPage->setRange(1, std::max(1, request.pageCount));
  toPage->setValue(request.pageCount);
  auto* copies = new QSpinBox(rangeBox);
  copies->setRange(1, 99);
  copies->setEnabled(request.permissions.testFlag(ssAllowCopies));
  auto* collate = new QCheckBox(QStringLiteral("Collate"), rangeBox);
  collate->setChecked(true);
  collate->setEnabled(request.permissions.testFlag(ssAllowCollate));
  form->addRow(QStringLiteral("From page"), fromPage);
  form->addRow(QStringLiteral("To page"), toPage);
  form->addRow(QStringLiteral("Copies"), copies);
  form->addRow(QString(), collate);
  layout->addWidget(rangeBox);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);

  auto update = [=] {
    format->setEnabled(file->isChecked());
    fileName->setEnabled(file->isChecked());
    browse->setEnabled(file->isChecked());
    buttons->button(QDialogButtonBox::Ok)
        ->setEnabled(!file->isChecked() || !fileName->text().trimmed().isEmpty());
  };
  for (QRadioButton* b : {printer, preview, file}) QObject::connect(b, &QRadioButton::toggled, &dlg, update);
  QObject::connect(fileName, &QLineEdit::textChanged, &dlg, update);
  QObject::connect(browse, &QPushButton::clicked, &dlg, [&dlg, fileName, format] {
    const QString pattern = format->currentText().section(u'(', 1).section(u')', 0, 0).toLower();
    const QString chosen = QFileDialog::getSaveFileName(
        &dlg, QString(), fileName->text(),
        format->currentText() + QStringLiteral(" (*.") + pattern + u')');
    if (!chosen.isEmpty()) fileName->setText(chosen);
  });
  switch (request.preselected) {
    case ReportDestination::rdPrinter: printer->setChecked(true); break;
    case ReportDestination::rdFile: file->setChecked(true); break;
    case ReportDestination::rdPreview: preview->setChecked(true); break;
  }
  update();

  if (dlg.exec() != QDialog::Accepted) return std::nullopt;
  OutputChoice choice;
  choice.destination = printer->isChecked() ? ReportDestination::rdPrinter
                       : file->isChecked()  ? ReportDestination::rdFile
                                            : ReportDestination::rdPreview;
  choice.fileFormat = format->currentText();
  choice.fileName = fileName->text().trimmed();
  choice.copies = copies->value();
  choice.fromPage = fromPage->value();
  choice.toPage = std::max(fromPage->value(), toPage->value());
  choice.collate = collate->isChecked();
  return choice;
}

std::unique_ptr<ReportStatus> QtReportDialogs::openStatus(const QString& title) {
  return std::make_unique<StatusWindow>(parent_, title);
}

void QtReportDialogs::showPreview(const QString& title, const ReportDocument& doc,
                                  const PrintJob& job, bool allowPrint) {
  QPrinter printer(QPrinter::HighResolution);
  setUpPrinter(printer, doc, job);
  QPrintPreviewDialog dlg(&printer, parent_);
  dlg.setWindowTitle(title);
  dlg.setModal(true);
  if (!allowPrint) {
    // The preview's own print button is its toolbar's last action.
    for (QAction* a : dlg.findChildren<QAction*>())
      if (a->text().contains(QStringLiteral("Print"), Qt::CaseInsensitive) &&
          !a->text().contains(QStringLiteral("Preview"), Qt::CaseInsensitive))
        a->setVisible(false);
  }
  QObject::connect(&dlg, &QPrintPreviewDialog::paintRequested, &dlg,
                   [&](QPrinter* p) { paintOn(*p, doc, nullptr, QString()); });
  if (auto* view = dlg.findChild<QPrintPreviewWidget*>(); view && job.previewZoomPercent > 0) {
    view->setZoomMode(QPrintPreviewWidget::CustomZoom);
    view->setZoomFactor(job.previewZoomPercent / 100.0);
  }
  dlg.resize(900, 1000);
  dlg.exec();
}

void QtReportDialogs::print(const ReportDocument& doc, const PrintJob& job) {
  if (QPrinterInfo::availablePrinters().isEmpty())
    throw Error(QStringLiteral("There is no printer installed"));
  QPrinter printer(QPrinter::HighResolution);
  setUpPrinter(printer, doc, job);
  if (job.allowPrinterSetup) {
    QPrintDialog dlg(&printer, parent_);
    dlg.setMinMax(1, doc.pageCount());
    if (dlg.exec() != QDialog::Accepted) return;
  }
  std::unique_ptr<ReportStatus> status;
  if (job.showStatus) status = openStatus(job.statusTitle);
  paintOn(printer, doc, status.get(), job.statusText);
}

}  // namespace velta
