#include "platform/itemserver/wire/modbus_link.h"

#include <modbus/modbus.h>

#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace velta {

namespace {

void setTimeout(modbus_t* ctx, std::chrono::milliseconds t,
                int (*setter)(modbus_t*, uint32_t, uint32_t)) {
  const auto ms = std::max<long long>(1, t.count());
  setter(ctx, static_cast<uint32_t>(ms / 1000), static_cast<uint32_t>((ms % 1000) * 1000));
}

}  // namespace

ModbusLink::ModbusLink(ModbusSettings settings)
    : settings_(std::move(settings)), backoff_(settings_.backoff) {}

ModbusLink::~ModbusLink() {
  close();
  if (ctx_) modbus_free(ctx_);
}

QString ModbusLink::describe() const {
  if (settings_.mode == ModbusSettings::Mode::Tcp)
    return QStringLiteral("modbus-tcp %1:%2 unit %3")
        .arg(QString::fromStdString(settings_.host)).arg(settings_.port).arg(settings_.unitId);
  return QStringLiteral("modbus-rtu %1 %2 %3%4%5 unit %6")
      .arg(QString::fromStdString(settings_.serial.device)).arg(settings_.serial.baud)
      .arg(settings_.serial.dataBits).arg(QChar(settings_.serial.parity))
      .arg(settings_.serial.stopBits).arg(settings_.unitId);
}

void ModbusLink::openNow() {
  close();
  if (ctx_) {
    modbus_free(ctx_);
    ctx_ = nullptr;
  }
  if (settings_.mode == ModbusSettings::Mode::Tcp) {
    const std::string service = std::to_string(settings_.port);
    ctx_ = modbus_new_tcp_pi(settings_.host.c_str(), service.c_str());
  } else {
    const auto& s = settings_.serial;
    ctx_ = modbus_new_rtu(s.device.c_str(), s.baud, s.parity, s.dataBits, s.stopBits);
  }
  if (!ctx_)
    throw PlcLinkError(PlcLinkErrorKind::ConnectionLost,
                       QStringLiteral("%1: geçersiz bağlantı ayarları").arg(describe()));
  modbus_set_error_recovery(ctx_, MODBUS_ERROR_RECOVERY_NONE);
  if (modbus_set_slave(ctx_, settings_.unitId) != 0)
    throw PlcLinkError(PlcLinkErrorKind::ConnectionLost,
                       QStringLiteral("%1: geçersiz birim numarası").arg(describe()));
  // The response time-out also bounds the TCP connect.
  setTimeout(ctx_, settings_.responseTimeout, modbus_set_response_timeout);
  setTimeout(ctx_, settings_.byteTimeout, modbus_set_byte_timeout);
  if (modbus_connect(ctx_) != 0) {
    const int err = errno;
    backoff_.connectFailed();
    throw PlcLinkError(PlcLinkErrorKind::ConnectionLost,
                       QStringLiteral("%1: bağlantı kurulamadı (%2)")
                           .arg(describe(), QString::fromLocal8Bit(modbus_strerror(err))));
  }
  open_ = true;
  exchangedSinceOpen_ = false;
  flushBeforeNext_ = settings_.mode == ModbusSettings::Mode::Rtu;
  timeoutsInRow_ = 0;
}

void ModbusLink::connect() { openNow(); }

void ModbusLink::close() {
  if (ctx_ && open_) modbus_close(ctx_);
  open_ = false;
}

void ModbusLink::drop() {
  // An abortive close: a request still queued in the socket (cable pulled) is thrown
  // away instead of reaching the PLC late, and the PLC's connection slot is freed.
  if (ctx_ && open_ && settings_.mode == ModbusSettings::Mode::Tcp) {
    const linger hard{1, 0};
    ::setsockopt(modbus_get_socket(ctx_), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  }
  close();
  // Every failed exchange spaces the next connection, including on a connection that
  // had worked: a PLC that answers each new connection once and then badly must not be
  // reconnected at every refresh.
  backoff_.failed();
}

void ModbusLink::ensureOpen() {
  if (!open_) {
    if (!backoff_.mayTryNow())
      throw PlcLinkError(PlcLinkErrorKind::ConnectionLost,
                         QStringLiteral("%1: bağlantı yok, yeniden bağlanma bekliyor").arg(describe()));
    openNow();
  }
  if (flushBeforeNext_ || settings_.mode == ModbusSettings::Mode::Tcp) {
    // TCP: junk that trailed the last reply is still in the socket; read as the next
    // reply it would break an exchange that is in fact fine (one recv, no waiting).
    modbus_flush(ctx_);
    flushBeforeNext_ = false;
  }
}

void ModbusLink::succeeded() {
  timeoutsInRow_ = 0;
  exchangedSinceOpen_ = true;
}

void ModbusLink::fail(int err, const char* operation) {
  const QString text = QStringLiteral("%1: %2: %3")
                           .arg(describe(), QLatin1String(operation),
                                QString::fromLocal8Bit(modbus_strerror(err)));
  const bool tcp = settings_.mode == ModbusSettings::Mode::Tcp;
  if (err >= EMBXILFUN && err <= EMBXGTAR) {
    // The peer answered in step: the link is healthy.
    timeoutsInRow_ = 0;
    exchangedSinceOpen_ = true;
    throw PlcLinkError(PlcLinkErrorKind::ExceptionReply, text, err - MODBUS_ENOBASE);
  }
  if (err == ETIMEDOUT) {
    ++timeoutsInRow_;
    if (timeoutsInRow_ >= settings_.timeoutsBeforeReopen) {
      exchangedSinceOpen_ = false;  // a PLC that keeps silent: space the attempts
      drop();
    } else if (tcp) {
      drop();
    } else {
      flushBeforeNext_ = true;
    }
    throw PlcLinkError(PlcLinkErrorKind::Timeout, text);
  }
  if (err == EMBBADCRC || err == EMBBADDATA || err == EMBBADEXC || err == EMBUNKEXC ||
      err == EMBMDATA || err == EMBBADSLAVE) {
    if (tcp)
      drop();  // reopen: the stream may be out of step
    else
      flushBeforeNext_ = true;
    throw PlcLinkError(PlcLinkErrorKind::Protocol, text);
  }
  drop();
  throw PlcLinkError(PlcLinkErrorKind::ConnectionLost, text);
}

void ModbusLink::checkRange(int first, int count, int base, int max) const {
  if (first < 0 || count < 1 || count > max || base + first + count > 65536)
    throw PlcLinkError(PlcLinkErrorKind::Protocol,
                       QStringLiteral("%1: adres aralığı geçersiz (%2, %3)")
                           .arg(describe()).arg(first).arg(count));
}

std::vector<bool> ModbusLink::readBits(int first, int count) {
  checkRange(first, count, settings_.coilBase, MODBUS_MAX_READ_BITS);
  ensureOpen();
  std::vector<uint8_t> raw(static_cast<std::size_t>(count));
  const int rc = modbus_read_bits(ctx_, settings_.coilBase + first, count, raw.data());
  if (rc != count) fail(rc < 0 ? errno : EMBBADDATA, "bit okuma");
  succeeded();
  return std::vector<bool>(raw.begin(), raw.end());
}

std::vector<std::uint16_t> ModbusLink::readRegisters(int first, int count) {
  checkRange(first, count, settings_.registerBase, MODBUS_MAX_READ_REGISTERS);
  ensureOpen();
  std::vector<std::uint16_t> regs(static_cast<std::size_t>(count));
  const int rc = modbus_read_registers(ctx_, settings_.registerBase + first, count, regs.data());
  if (rc != count) fail(rc < 0 ? errno : EMBBADDATA, "register okuma");
  succeeded();
  return regs;
}

void ModbusLink::writeBit(int m, bool value) {
  checkRange(m, 1, settings_.coilBase, 1);
  ensureOpen();
  if (modbus_write_bit(ctx_, settings_.coilBase + m, value ? 1 : 0) != 1) fail(errno, "bit yazma");
  succeeded();
}

void ModbusLink::writeRegister(int r, std::uint16_t value) {
  checkRange(r, 1, settings_.registerBase, 1);
  ensureOpen();
  if (modbus_write_register(ctx_, settings_.registerBase + r, value) != 1)
    fail(errno, "register yazma");
  succeeded();
}

void ModbusLink::writeBits(int first, const std::vector<bool>& values) {
  const int count = static_cast<int>(values.size());
  checkRange(first, count, settings_.coilBase, MODBUS_MAX_WRITE_BITS);
  ensureOpen();
  const std::vector<uint8_t> raw(values.begin(), values.end());
  if (modbus_write_bits(ctx_, settings_.coilBase + first, count, raw.data()) != count)
    fail(errno, "bit yazma");
  succeeded();
}

void ModbusLink::writeRegisters(int first, const std::vector<std::uint16_t>& values) {
  const int count = static_cast<int>(values.size());
  checkRange(first, count, settings_.registerBase, MODBUS_MAX_WRITE_REGISTERS);
  ensureOpen();
  if (modbus_write_registers(ctx_, settings_.registerBase + first, count, values.data()) != count)
    fail(errno, "register yazma");
  succeeded();
}

ReadPlan ModbusLink::planReads(const std::vector<PlcElement>& elements) const {
  return planBlockReads(elements, settings_.blocks);
}

}  // namespace velta
