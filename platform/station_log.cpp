#include "platform/station_log.h"

#include <unistd.h>

#include <cerrno>

namespace velta {

QString LogLineText(const QDateTime& when, const QString& text) {
  QString oneLine = text;
  oneLine.replace(u'\n', u' ');
  return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + QStringLiteral(" velta-station: ") + oneLine;
}

void LogLine(const QString& text) {
  const QByteArray bytes = (LogLineText(QDateTime::currentDateTime(), text) + u'\n').toLocal8Bit();
  qsizetype done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(STDERR_FILENO, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nowhere to write: the history is lost, the station goes on
    done += n;
  }
}

}  // namespace velta
