#pragma once
// The station's history for the plant engineer: one line on standard error per event
// (link down and up, each stored piece, each failed store, each new item server, every
// reason the program ends), which the system journal or the autostart session's log
// keeps. Each line is "<yyyy-MM-dd HH:mm:ss.zzz> velta-station: <text>" in the PC's
// local time, written with one write() so that lines from the poll thread and the
// link's threads never run into each other. The operator sees none of it. Any thread.
#include <QDateTime>
#include <QString>

namespace velta {

void LogLine(const QString& text);
// The line as LogLine writes it (without its line break).
QString LogLineText(const QDateTime& when, const QString& text);

}  // namespace velta
