#include <QFileInfo>
#include <QProcess>

#include "platform/error.h"
#include "platform/spreadsheet/desktop_opener.h"

namespace velta {

namespace {

// The output of a short helper program, or a null string when it cannot be run.
QString runQuietly(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  if (!p.waitForStarted(5000) || !p.waitForFinished(5000) || p.exitStatus() != QProcess::NormalExit ||
      p.exitCode() != 0)
    return {};
  return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

}  // namespace

void XdgDesktopOpener::open(const QString& hostPath) {
  // Asked first, because xdg-open itself may wait for the program it starts and
  // reports nothing useful when started detached.
  const QString type = runQuietly(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("filetype"), hostPath});
  const QString program =
      type.isEmpty() ? QString() : runQuietly(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), type});
  if (program.isEmpty())
    throw Error(QStringLiteral("Bu dosyayı açacak hesap tablosu programı yok"));
  if (!QProcess::startDetached(QStringLiteral("xdg-open"), {QFileInfo(hostPath).absoluteFilePath()}))
    throw Error(QStringLiteral("Hesap tablosu programı başlatılamadı (xdg-open)"));
}

}  // namespace velta
