#pragma once
// Qt's own texts in Turkish (Yes/No, OK/Cancel, the file dialog's labels), from Qt's
// translations (Debian's qt6-translations-l10n), whatever the PC's locale: the station
// speaks Turkish, and its dialogs' chrome should too. The program's own texts are not
// touched. Returns false when the translation is not installed (Qt's English stays).
// UI thread, after the QApplication exists; the translator lives as long as the app.
class QCoreApplication;

namespace velta {

bool InstallTurkishQtTranslations(QCoreApplication& app);

}  // namespace velta
