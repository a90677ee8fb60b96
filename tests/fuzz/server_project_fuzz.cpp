// Fuzz target: the PLC item server's project file (fatekserver.fcs). Properties:
//   - a refused file gets an Error naming the file (and, for a line's fault, the line);
//   - an accepted file keeps every setting in its documented range and holds the
//     station's items;
//   - writing the parsed project out as a project file again and reading that gives the
//     same project (nothing is read differently the second time: case, comments,
//     blanks and the [items] overrides all settled at the first reading);
//   - readServerProject of the bytes in a file reads what parseServerProject reads.
#include <unistd.h>

#include <QFile>
#include <QString>
#include <QTextStream>

#include "platform/error.h"
#include "platform/itemserver/server_project.h"
#include "tests/fuzz/fuzz_input.h"

namespace velta {
namespace {

using fuzz::broken;

const QString kName = QStringLiteral("fuzz.fcs");

QString parityName(ServerProject::Parity p) {
  return p == ServerProject::Parity::None ? QStringLiteral("none")
         : p == ServerProject::Parity::Even ? QStringLiteral("even")
                                            : QStringLiteral("odd");
}

QString onOff(bool b) { return b ? QStringLiteral("on") : QStringLiteral("off"); }

// The project as a file, every key written out. No blank after "=": a value may start
// with "#" or ";", which after a blank would start a comment.
QString written(const ServerProject& p) {
  QString t;
  QTextStream s(&t);
  s << "[server]\n"
    << "driver =" << p.driver << "\n"
    << "host =" << p.host << "\n";
  if (p.port != 0) s << "port =" << p.port << "\n";
  s << "serial-device =" << p.serialDevice << "\n"
    << "baud =" << p.baud << "\n"
    << "parity =" << parityName(p.parity) << "\n"
    << "data-bits =" << p.dataBits << "\n"
    << "stop-bits =" << p.stopBits << "\n"
    << "unit-id =" << p.unitId << "\n"
    << "station =" << p.station << "\n"
    << "connect-timeout-ms =" << p.connectTimeoutMs << "\n"
    << "response-timeout-ms =" << p.responseTimeoutMs << "\n"
    << "write-timeout-ms =" << p.writeTimeoutMs << "\n"
    << "refused-write-retry-ms =" << p.refusedWriteRetryMs << "\n"
    << "refresh-period-ms =" << p.refreshPeriodMs << "\n"
    << "[simulator]\n"
    << "seed =" << p.seed << "\n"
    << "piece-interval-ms =" << p.pieceIntervalMs << "\n"
    << "phase-interval-ms =" << p.phaseIntervalMs << "\n"
    << "data-transfer =" << onOff(p.dataTransfer) << "\n"
    << "label-printer =" << onOff(p.labelPrinter) << "\n"
    << "shutdown-after-pieces =" << p.shutdownAfterPieces << "\n"
    << "[items]\n";
  for (const auto& [name, a] : p.items)
    s << name << " =" << (a.area == PlcAddress::Area::Coil ? "coil " : "register ") << a.index << "\n";
  s.flush();
  return t;
}

bool same(const ServerProject& a, const ServerProject& b) {
  auto items = [](const ServerProject& p) {
    std::vector<std::tuple<QString, int, int>> v;
    for (const auto& [n, address] : p.items) v.emplace_back(n, static_cast<int>(address.area), address.index);
    return v;
  };
  return a.driver == b.driver && a.host == b.host && a.port == b.port && a.serialDevice == b.serialDevice &&
         a.baud == b.baud && a.parity == b.parity && a.dataBits == b.dataBits && a.stopBits == b.stopBits &&
         a.unitId == b.unitId && a.station == b.station && a.connectTimeoutMs == b.connectTimeoutMs &&
         a.responseTimeoutMs == b.responseTimeoutMs && a.writeTimeoutMs == b.writeTimeoutMs &&
         a.refusedWriteRetryMs == b.refusedWriteRetryMs && a.refreshPeriodMs == b.refreshPeriodMs &&
         a.seed == b.seed && a.pieceIntervalMs == b.pieceIntervalMs && a.phaseIntervalMs == b.phaseIntervalMs &&
         a.dataTransfer == b.dataTransfer && a.labelPrinter == b.labelPrinter &&
         a.shutdownAfterPieces == b.shutdownAfterPieces && items(a) == items(b);
}

void checkRanges(const ServerProject& p) {
  const bool ok = (p.port == 0 || (p.port >= 1 && p.port <= 65535)) && p.baud >= 300 && p.baud <= 921600 &&
                  (p.dataBits == 7 || p.dataBits == 8) && (p.stopBits == 1 || p.stopBits == 2) &&
                  p.unitId >= 0 && p.unitId <= 255 && p.station >= 1 && p.station <= 254 &&
                  p.refreshPeriodMs >= 1 && p.responseTimeoutMs >= 1 && p.connectTimeoutMs >= 1;
  if (!ok)
    broken("setting out of its range", QStringLiteral("port %1 baud %2 bits %3/%4 unit %5 station %6 refresh %7 "
                                                     "response %8 connect %9")
                                           .arg(p.port).arg(p.baud).arg(p.dataBits).arg(p.stopBits).arg(p.unitId)
                                           .arg(p.station).arg(p.refreshPeriodMs).arg(p.responseTimeoutMs)
                                           .arg(p.connectTimeoutMs));
  const int port = effectivePort(p);
  if (port < 1 || port > 65535) broken("effective port out of range");
  for (const char* item : {"M0", "M2", "M3", "M4", "M5", "M6", "M7", "M8", "R5", "R7", "R8", "R10", "R11"})
    if (!p.items.count(QString::fromLatin1(item))) broken("station item missing", QString::fromLatin1(item));
  for (const auto& [name, a] : p.items)
    if (name != name.toUpper() || a.index < 0 || a.index > 65535) broken("item name or address", name);
}

const QString& scratchPath() {
  static const QString path = QStringLiteral("/tmp/velta-server-project-fuzz-%1.fcs").arg(::getpid());
  return path;
}

}  // namespace
}  // namespace velta

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velta;
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QString text = QString::fromUtf8(bytes);
  std::optional<ServerProject> parsed;
  QString refusal;
  try {
    parsed = parseServerProject(text, kName);
  } catch (const Error& e) {
    refusal = e.text();
    if (!refusal.contains(kName)) broken("error does not name the file", refusal);
  }
  if (parsed) {
    checkRanges(*parsed);
    const QString again = written(*parsed);
    try {
      if (!same(parseServerProject(again, kName), *parsed)) broken("written project reads differently", again);
    } catch (const Error& e) {
      broken("written project refused", e.text() + QStringLiteral("\n") + again);
    }
  }
  {
    QFile f(scratchPath());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    f.write(bytes);
  }
  try {
    const ServerProject fromFile = readServerProject(scratchPath());
    if (!parsed || !same(fromFile, *parsed)) broken("file reading differs from text parsing");
  } catch (const Error& e) {
    if (parsed) broken("file refused, text accepted", e.text());
    if (!e.text().contains(scratchPath())) broken("file error does not name the file", e.text());
  }
  return 0;
}
