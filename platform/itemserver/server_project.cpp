#include "platform/itemserver/server_project.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <functional>
#include <set>

#include "platform/error.h"
#include "platform/settings_line.h"

namespace velta {

namespace {

// The items the station reads and writes, present in every table.
const char* const kStationItems[] = {"M0", "M2", "M3", "M4", "M5", "M6", "M7", "M8",
                                     "R5", "R7", "R8", "R10", "R11"};

struct LineError {
  QString text;
};

int parseInt(const QString& v, int lo, int hi) {
  bool ok = false;
  const qlonglong n = v.toLongLong(&ok, 10);
  // toLongLong stops at a NUL and still says ok: "1<NUL>00" must not read as 1.
  if (v.contains(QChar(0))) ok = false;
  if (!ok || n < lo || n > hi)
    throw LineError{QStringLiteral("\"%1\" is not a whole number from %2 to %3").arg(v).arg(lo).arg(hi)};
  return static_cast<int>(n);
}

bool parseOnOff(const QString& v) {
  const QString l = v.toLower();
  if (l == u"on" || l == u"1" || l == u"yes") return true;
  if (l == u"off" || l == u"0" || l == u"no") return false;
  throw LineError{QStringLiteral("\"%1\" is not on or off").arg(v)};
}

PlcAddress parseAddress(const QString& v) {
  const QStringList parts = v.split(u' ', Qt::SkipEmptyParts);
  if (parts.size() == 2) {
    const QString area = parts[0].toLower();
    if (area == u"coil") return {PlcAddress::Area::Coil, parseInt(parts[1], 0, 65535)};
    if (area == u"register") return {PlcAddress::Area::Register, parseInt(parts[1], 0, 65535)};
  }
  throw LineError{QStringLiteral("\"%1\" is no address (coil N or register N)").arg(v)};
}

using Setter = std::function<void(ServerProject&, const QString&)>;

const std::map<QString, Setter>& serverKeys() {
  static const std::map<QString, Setter> keys = {
      {"driver",
       [](ServerProject& p, const QString& v) {
         const QString l = v.toLower();
         if (l != u"simulator" && l != u"modbus-tcp" && l != u"modbus-rtu" && l != u"native-tcp" &&
             l != u"native-serial")
           throw LineError{QStringLiteral("unknown driver \"%1\" (simulator, modbus-tcp, modbus-rtu, "
                                          "native-tcp or native-serial)").arg(v)};
         p.driver = l;
       }},
      {"host", [](ServerProject& p, const QString& v) { p.host = v; }},
      {"port", [](ServerProject& p, const QString& v) { p.port = parseInt(v, 1, 65535); }},
      {"serial-device", [](ServerProject& p, const QString& v) { p.serialDevice = v; }},
      {"baud", [](ServerProject& p, const QString& v) { p.baud = parseInt(v, 300, 921600); }},
      {"parity",
       [](ServerProject& p, const QString& v) {
         const QString l = v.toLower();
         if (l == u"none") p.parity = ServerProject::Parity::None;
         else if (l == u"even") p.parity = ServerProject::Parity::Even;
         else if (l == u"odd") p.parity = ServerProject::Parity::Odd;
         else throw LineError{QStringLiteral("\"%1\" is not none, even or odd").arg(v)};
       }},
      {"data-bits", [](ServerProject& p, const QString& v) { p.dataBits = parseInt(v, 7, 8); }},
      {"stop-bits", [](ServerProject& p, const QString& v) { p.stopBits = parseInt(v, 1, 2); }},
      {"unit-id", [](ServerProject& p, const QString& v) { p.unitId = parseInt(v, 0, 255); }},
      {"station", [](ServerProject& p, const QString& v) { p.station = parseInt(v, 1, 254); }},
      {"connect-timeout-ms",
       [](ServerProject& p, const QString& v) { p.connectTimeoutMs = parseInt(v, 1, 60000); }},
      {"response-timeout-ms",
       [](ServerProject& p, const QString& v) { p.responseTimeoutMs = parseInt(v, 1, 60000); }},
      {"write-timeout-ms",
       [](ServerProject& p, const QString& v) { p.writeTimeoutMs = parseInt(v, 1, 60000); }},
      {"refused-write-retry-ms",
       [](ServerProject& p, const QString& v) { p.refusedWriteRetryMs = parseInt(v, 10, 600000); }},
      {"refresh-period-ms",
       [](ServerProject& p, const QString& v) { p.refreshPeriodMs = parseInt(v, 1, 60000); }},
  };
  return keys;
}

const std::map<QString, Setter>& simulatorKeys() {
  static const std::map<QString, Setter> keys = {
      {"seed",
       [](ServerProject& p, const QString& v) {
         bool ok = false;
         p.seed = v.toULongLong(&ok);
         if (!ok) throw LineError{QStringLiteral("\"%1\" is not a whole number").arg(v)};
       }},
      {"piece-interval-ms",
       [](ServerProject& p, const QString& v) { p.pieceIntervalMs = parseInt(v, 0, 3600000); }},
      {"phase-interval-ms",
       [](ServerProject& p, const QString& v) { p.phaseIntervalMs = parseInt(v, 0, 3600000); }},
      {"data-transfer", [](ServerProject& p, const QString& v) { p.dataTransfer = parseOnOff(v); }},
      {"label-printer", [](ServerProject& p, const QString& v) { p.labelPrinter = parseOnOff(v); }},
      {"shutdown-after-pieces",
       [](ServerProject& p, const QString& v) { p.shutdownAfterPieces = parseInt(v, 0, 1000000); }},
  };
  return keys;
}

// Drops a comment that starts a line or follows a blank.
}  // namespace

int effectivePort(const ServerProject& project) {
  if (project.port != 0) return project.port;
  return project.driver.startsWith(u"native") ? 500 : 502;
}

PlcAddress standardAddress(const QString& itemName) {
  static const QRegularExpression re(QStringLiteral("^([MR])([0-9]{1,4})$"),
                                     QRegularExpression::CaseInsensitiveOption);
  const auto m = re.match(itemName);
  if (m.hasMatch()) {
    const int n = m.captured(2).toInt();
    const bool bit = m.captured(1).toUpper() == u"M";
    if (bit && n <= 1001) return {PlcAddress::Area::Coil, 2000 + n};
    if (!bit && n <= 4167) return {PlcAddress::Area::Register, n};
  }
  throw Error(QStringLiteral("\"%1\" has no address in the PLC's standard map").arg(itemName));
}

ServerProject parseServerProject(const QString& text, const QString& fileName) {
  ServerProject p;
  p.fileName = fileName;
  for (const char* name : kStationItems) p.items[QString::fromLatin1(name)] = standardAddress(name);

  enum class Section { None, Server, Simulator, Items } section = Section::None;
  std::set<QString> seen;  // "section/key", to refuse a key given twice
  const QStringList lines = text.split(u'\n');
  static const QRegularExpression itemName(QStringLiteral("^[A-Za-z][A-Za-z0-9_.]*$"));
  for (qsizetype n = 0; n < lines.size(); ++n) {
    const QString line = StripSettingsComment(lines[n]).trimmed();
    if (line.isEmpty()) continue;
    try {
      if (line.startsWith(u'[')) {
        if (!line.endsWith(u']')) throw LineError{QStringLiteral("section header without \"]\"")};
        const QString name = line.mid(1, line.size() - 2).trimmed().toLower();
        if (name == u"server") section = Section::Server;
        else if (name == u"simulator") section = Section::Simulator;
        else if (name == u"items") section = Section::Items;
        else throw LineError{QStringLiteral("unknown section [%1]").arg(name)};
        continue;
      }
      const qsizetype eq = line.indexOf(u'=');
      if (eq < 0) throw LineError{QStringLiteral("expected key = value")};
      const QString key = line.left(eq).trimmed();
      const QString value = line.mid(eq + 1).trimmed();
      if (key.isEmpty()) throw LineError{QStringLiteral("key missing before \"=\"")};
      if (value.isEmpty()) throw LineError{QStringLiteral("no value for \"%1\"").arg(key)};
      if (section == Section::None) throw LineError{QStringLiteral("\"%1\" outside a section").arg(key)};
      const QString sectionName = section == Section::Server      ? QStringLiteral("server")
                                  : section == Section::Simulator ? QStringLiteral("simulator")
                                                                  : QStringLiteral("items");
      const QString lookup = section == Section::Items ? key.toUpper() : key.toLower();
      if (!seen.insert(sectionName + u'/' + lookup).second)
        throw LineError{QStringLiteral("\"%1\" given twice in [%2]").arg(key, sectionName)};
      if (section == Section::Items) {
        if (!itemName.match(key).hasMatch())
          throw LineError{QStringLiteral("\"%1\" is no item name").arg(key)};
        p.items[lookup] = parseAddress(value);
        continue;
      }
      const auto& keys = section == Section::Server ? serverKeys() : simulatorKeys();
      auto it = keys.find(lookup);
      if (it == keys.end())
        throw LineError{QStringLiteral("unknown key \"%1\" in [%2]").arg(key, sectionName)};
      it->second(p, value);
    } catch (const LineError& e) {
      throw Error(QStringLiteral("PLC server project \"%1\", line %2: %3")
                      .arg(fileName)
                      .arg(n + 1)
                      .arg(e.text));
    }
  }
  if (p.driver.isEmpty())
    throw Error(QStringLiteral("PLC server project \"%1\": no driver in [server]").arg(fileName));
  return p;
}

ServerProject readServerProject(const QString& hostPath) {
  QFile f(hostPath);
  if (!f.open(QIODevice::ReadOnly))
    throw Error(QStringLiteral("PLC server project \"%1\" cannot be opened: %2")
                    .arg(hostPath, f.errorString()));
  const QByteArray bytes = f.readAll();
  if (f.error() != QFileDevice::NoError)
    throw Error(QStringLiteral("PLC server project \"%1\" cannot be read: %2")
                    .arg(hostPath, f.errorString()));
  return parseServerProject(QString::fromUtf8(bytes), hostPath);
}

}  // namespace velta
