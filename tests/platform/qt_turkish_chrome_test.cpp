// Qt's own dialog texts in Turkish: the buttons of the station's message boxes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "platform/qt_turkish_chrome.h"

namespace velta {
namespace {

QString buttonText(QMessageBox& box, QMessageBox::StandardButton b) {
  return box.button(b)->text().remove(u'&');
}

TEST(TurkishQtChrome, MessageBoxButtonsSpeakTurkishOnAnyLocale) {
  QMessageBox before(QMessageBox::Question, "c", "t", QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(buttonText(before, QMessageBox::Yes), QStringLiteral("Yes"));  // Qt's own English
  ASSERT_TRUE(InstallTurkishQtTranslations(*qApp)) << "qt6-translations-l10n is not installed";
  QMessageBox yesNo(QMessageBox::Question, "c", "t", QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(buttonText(yesNo, QMessageBox::Yes), QStringLiteral("Evet"));
  EXPECT_EQ(buttonText(yesNo, QMessageBox::No), QStringLiteral("Hayır"));
  QMessageBox okCancel(QMessageBox::Question, "c", "t", QMessageBox::Ok | QMessageBox::Cancel);
  EXPECT_EQ(buttonText(okCancel, QMessageBox::Ok), QStringLiteral("Tamam"));
  EXPECT_EQ(buttonText(okCancel, QMessageBox::Cancel), QStringLiteral("İptal"));
  // The program's own texts stay as they are.
  EXPECT_EQ(yesNo.windowTitle(), QStringLiteral("c"));
}

}  // namespace
}  // namespace velta
