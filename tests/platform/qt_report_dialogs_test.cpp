// The real report windows, driven headless: titles, preselection, cancel and a file choice.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QAction>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "platform/report/report_document.h"
#include "platform/report/widgets/qt_report_dialogs.h"

namespace velta {
namespace {

QRadioButton* radio(QWidget* w, const QString& text) {
  for (QRadioButton* b : w->findChildren<QRadioButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

// Runs check on the modal window once it is up (the dialog's own event loop).
void whenModal(std::function<void(QWidget*)> check) {
  QTimer::singleShot(0, [check = std::move(check)] {
    QWidget* w = QApplication::activeModalWidget();
    ASSERT_NE(w, nullptr);
    check(w);
  });
}

OutputOptionsRequest request() {
  OutputOptionsRequest r;
  r.title = QStringLiteral("Output Options");
  r.preselected = ReportDestination::rdPreview;
  r.permissions = kAllSetupPermissions;
  r.fileFormats = {QStringLiteral("Rave Snapshot File (NDR)"), QStringLiteral("Native Printer Output (PRN)"),
                   QStringLiteral("Adobe Acrobat (PDF)"), QStringLiteral("Web Page (HTML)"),
                   QStringLiteral("Plain Text (TXT)")};
  r.pageCount = 3;
  return r;
}

TEST(QtReportDialogs, OutputOptionsOpensOnPreviewAndCancelGivesNothing) {
  QtReportDialogs dialogs;
  bool seen = false;
  whenModal([&](QWidget* w) {
    seen = true;
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Output Options"));
    ASSERT_NE(radio(w, QStringLiteral("Preview")), nullptr);
    EXPECT_TRUE(radio(w, QStringLiteral("Preview"))->isChecked());
    auto* box = w->findChild<QDialogButtonBox*>();
    QTest::mouseClick(box->button(QDialogButtonBox::Cancel), Qt::LeftButton);
  });
  EXPECT_FALSE(dialogs.chooseOutput(request()).has_value());
  EXPECT_TRUE(seen);
}

TEST(QtReportDialogs, OutputOptionsFileChoice) {
  QtReportDialogs dialogs;
  OutputOptionsRequest r = request();
  r.permissions &= ~SetupPermissions(ssAllowDestPrinter);
  whenModal([&](QWidget* w) {
    EXPECT_FALSE(radio(w, QStringLiteral("Printer"))->isEnabled());
    auto* box = w->findChild<QDialogButtonBox*>();
    QTest::mouseClick(radio(w, QStringLiteral("File")), Qt::LeftButton);
    EXPECT_FALSE(box->button(QDialogButtonBox::Ok)->isEnabled());  // no file name yet
    auto* format = w->findChild<QComboBox*>();
    EXPECT_EQ(format->currentText(), QStringLiteral("Adobe Acrobat (PDF)"));
    format->setCurrentText(QStringLiteral("Plain Text (TXT)"));
    QTest::keyClicks(w->findChild<QLineEdit*>(), QStringLiteral("/tmp/x.txt"));
    const auto spins = w->findChildren<QSpinBox*>();
    ASSERT_EQ(spins.size(), 3);
    spins[0]->setValue(2);  // from page
    spins[2]->setValue(4);  // copies
    QTest::mouseClick(box->button(QDialogButtonBox::Ok), Qt::LeftButton);
  });
  const auto choice = dialogs.chooseOutput(r);
  ASSERT_TRUE(choice.has_value());
  EXPECT_EQ(choice->destination, ReportDestination::rdFile);
  EXPECT_EQ(choice->fileFormat, QStringLiteral("Plain Text (TXT)"));
  EXPECT_EQ(choice->fileName, QStringLiteral("/tmp/x.txt"));
  EXPECT_EQ(choice->fromPage, 2);
  EXPECT_EQ(choice->toPage, 3);
  EXPECT_EQ(choice->copies, 4);
}

TEST(QtReportDialogs, StatusWindowShowsTheText) {
  QtReportDialogs dialogs;
  auto status = dialogs.openStatus(QStringLiteral("Report Status"));
  status->setText(QStringLiteral("Generating page 7"));
  QWidget* window = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->windowTitle() == QStringLiteral("Report Status")) window = w;
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->findChild<QLabel*>()->text(), QStringLiteral("Generating page 7"));
  status.reset();
  for (QWidget* w : QApplication::topLevelWidgets())
    EXPECT_FALSE(w->isVisible() && w->windowTitle() == QStringLiteral("Report Status"));
}

TEST(QtReportDialogs, PreviewIsModalTitledZoomedAndPrintsOnlyWhenAllowed) {
  ReportDefinition def;
  def.name = QStringLiteral("R");
  def.templateText = QStringLiteral("<p>preview text</p>");
  ReportDocument doc(def, {}, u',', QStringLiteral("p.rav"));
  QtReportDialogs dialogs;
  for (bool allowPrint : {true, false}) {
    bool seen = false;
    whenModal([&](QWidget* w) {
      seen = true;
      EXPECT_EQ(w->windowTitle(), QStringLiteral("Report Preview"));
      EXPECT_NE(qobject_cast<QPrintPreviewDialog*>(w), nullptr);
      auto* view = w->findChild<QPrintPreviewWidget*>();
      ASSERT_NE(view, nullptr);
      EXPECT_DOUBLE_EQ(view->zoomFactor(), 1.0);
      bool printVisible = false;
      for (QAction* a : w->findChildren<QAction*>())
        if (a->text() == QStringLiteral("Print") && a->isVisible()) printVisible = true;
      EXPECT_EQ(printVisible, allowPrint);
      w->close();
    });
    PrintJob job;
    job.previewZoomPercent = 100;
    dialogs.showPreview(QStringLiteral("Report Preview"), doc, job, allowPrint);
    EXPECT_TRUE(seen);
  }
}

}  // namespace
}  // namespace velta
