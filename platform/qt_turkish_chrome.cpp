#include "platform/qt_turkish_chrome.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace velta {

bool InstallTurkishQtTranslations(QCoreApplication& app) {
  auto* translator = new QTranslator(&app);
  const QLocale turkish(QLocale::Turkish, QLocale::Turkey);
  if (!translator->load(turkish, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace velta
