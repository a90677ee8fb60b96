#pragma once
// The PLC item server's project file ("fatekserver.fcs"): an INI-like text of our own
// that names the driver, its link settings, the simulated machine's settings and the
// map from item names to PLC addresses. The commented default file
// (resources/station/sistem/fatekserver.fcs) documents every key.
#include <QString>
#include <map>

#include "platform/itemserver/item_driver.h"

namespace velta {

struct ServerProject {
  enum class Parity { None, Even, Odd };

  QString fileName;  // the host file it was read from, for messages
  QString driver;    // "simulator", "modbus-tcp", "modbus-rtu", "native-tcp", "native-serial"

  // Link settings (wire drivers).
  QString host = QStringLiteral("192.168.1.5");
  int port = 0;  // 0: the driver's default, 502 for Modbus TCP, 500 for the native protocol
  QString serialDevice = QStringLiteral("/dev/ttyUSB0");
  int baud = 9600;
  Parity parity = Parity::Even;
  int dataBits = 7;
  int stopBits = 1;
  int unitId = 1;   // Modbus unit id
  int station = 1;  // the native protocol's station number
  int connectTimeoutMs = 1000;
  int responseTimeoutMs = 500;
  int writeTimeoutMs = 500;
  int refusedWriteRetryMs = 1000;  // pace of a write the PLC refused (exception reply)
  int refreshPeriodMs = 100;

  // The simulated machine.
  quint64 seed = 1;
  int pieceIntervalMs = 4000;  // from one piece's end acknowledged to the next piece's M2
  int phaseIntervalMs = 1000;  // from a phase acknowledged to the next phase bit
  bool dataTransfer = true;    // M0
  bool labelPrinter = true;    // M8
  int shutdownAfterPieces = 0;  // sets M7 once this many pieces are finished; 0: never

  // Item name (upper case) -> address. Holds the station's items by the PLC's standard
  // Modbus map, overridden or extended by the [items] section.
  std::map<QString, PlcAddress> items;
};

// The port a TCP driver uses: the project's, else the protocol's default.
int effectivePort(const ServerProject& project);

// The PLC's standard Modbus map: M<n> is coil 2000 + n (n <= 1001), R<n> is holding
// register n (n <= 4167). Throws Error for any other name.
PlcAddress standardAddress(const QString& itemName);

// Parses project text; errors name fileName and the line.
ServerProject parseServerProject(const QString& text, const QString& fileName);

// Reads and parses the file at hostPath; a missing or unreadable file is an Error naming it.
ServerProject readServerProject(const QString& hostPath);

}  // namespace velta
