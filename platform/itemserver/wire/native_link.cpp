#include "platform/itemserver/wire/native_link.h"

#include <algorithm>

namespace velta {

namespace {
using Clock = std::chrono::steady_clock;
}

NativeLink::NativeLink(std::unique_ptr<ByteTransport> transport, NativeSettings settings)
    : transport_(std::move(transport)), settings_(settings), backoff_(settings.backoff) {}

QString NativeLink::describe() const {
  return QStringLiteral("fatek %1 station %2").arg(transport_->describe()).arg(settings_.station);
}

void NativeLink::openNow() {
  scanner_.clear();
  try {
    transport_->open(settings_.connectTimeout);
  } catch (const PlcLinkError&) {
    backoff_.connectFailed();
    throw;
  }
  failuresInRow_ = 0;
  exchangedSinceOpen_ = false;
}

void NativeLink::connect() { openNow(); }

void NativeLink::close() {
  transport_->close();
  scanner_.clear();
}

void NativeLink::drop() {
  transport_->drop();
  scanner_.clear();
  // Every dropped connection spaces the next one (see ReconnectBackoff).
  backoff_.failed();
}

void NativeLink::afterFailure(const PlcLinkError& e) {
  ++failuresInRow_;
  const bool tooMany = failuresInRow_ >= settings_.failuresBeforeReopen;
  switch (e.kind()) {
    case PlcLinkErrorKind::ConnectionLost:
      drop();
      return;
    case PlcLinkErrorKind::Timeout:
      if (tooMany || transport_->reopenAfterTimeout()) drop();
      return;
    case PlcLinkErrorKind::Protocol:
      scanner_.clear();
      if (tooMany) drop();
      return;
    case PlcLinkErrorKind::ExceptionReply:
      failuresInRow_ = 0;  // an answer in step
      exchangedSinceOpen_ = true;
      return;
  }
}

fatek::Frame NativeLink::transact(const std::string& request, int command) {
  if (!transport_->isOpen()) {
    if (!backoff_.mayTryNow())
      throw PlcLinkError(PlcLinkErrorKind::ConnectionLost,
                         QStringLiteral("%1: bağlantı yok, yeniden bağlanma bekliyor").arg(describe()));
    openNow();
  }
  try {
    // Nothing that arrived before our request can be its reply.
    scanner_.clear();
    transport_->discardInput();
    const auto deadline = Clock::now() + settings_.responseTimeout;
    transport_->write(request, settings_.responseTimeout);
    char buf[256];
    for (;;) {
      if (auto frame = scanner_.next()) {
        fatek::Frame f = fatek::decodeReply(*frame, settings_.station, command);
        failuresInRow_ = 0;
        exchangedSinceOpen_ = true;
        return f;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0)
        throw PlcLinkError(PlcLinkErrorKind::Timeout,
                           QStringLiteral("%1: yanıt gelmedi (%2 ms)")
                               .arg(describe()).arg(settings_.responseTimeout.count()));
      const std::size_t n = transport_->read(buf, sizeof buf, left);
      scanner_.feed(std::string_view(buf, n));
    }
  } catch (const PlcLinkError& e) {
    afterFailure(e);
    throw;
  }
}

std::vector<std::uint16_t> NativeLink::readMixed(const std::vector<PlcElement>& elements) {
  std::vector<std::uint16_t> values;
  const std::size_t step = static_cast<std::size_t>(std::clamp(settings_.maxMixedElements, 1, fatek::kMaxMixedElements));
  for (std::size_t i = 0; i < elements.size(); i += step) {
    const std::vector<PlcElement> part(elements.begin() + static_cast<std::ptrdiff_t>(i),
                                       elements.begin() + static_cast<std::ptrdiff_t>(std::min(elements.size(), i + step)));
    const auto f = transact(fatek::encodeMixedRead(settings_.station, part), fatek::kMixedRead);
    try {
      const auto v = fatek::decodeMixedReadData(f.data, part);
      values.insert(values.end(), v.begin(), v.end());
    } catch (const PlcLinkError& e) {
      afterFailure(e);
      throw;
    }
  }
  return values;
}

std::vector<bool> NativeLink::readBits(int first, int count) {
  std::vector<PlcElement> elements;
  for (int i = 0; i < count; ++i) elements.push_back(PlcElement::bit(first + i));
  const auto v = readMixed(elements);
  return std::vector<bool>(v.begin(), v.end());
}

std::vector<std::uint16_t> NativeLink::readRegisters(int first, int count) {
  std::vector<PlcElement> elements;
  for (int i = 0; i < count; ++i) elements.push_back(PlcElement::reg(first + i));
  return readMixed(elements);
}

void NativeLink::writeBit(int m, bool value) {
  transact(fatek::encodeDiscreteControl(settings_.station,
                                        value ? fatek::DiscreteAction::Set : fatek::DiscreteAction::Reset, m),
           fatek::kDiscreteControl);
}

void NativeLink::writeBits(int first, const std::vector<bool>& values) {
  checkCount(values.size());
  transact(fatek::encodeWriteBits(settings_.station, first, values), fatek::kWriteBits);
}

void NativeLink::writeRegisters(int first, const std::vector<std::uint16_t>& values) {
  checkCount(values.size());
  transact(fatek::encodeWriteRegisters(settings_.station, first, values), fatek::kWriteRegisters);
}

void NativeLink::checkCount(std::size_t n) const {
  if (n < 1 || n > static_cast<std::size_t>(fatek::kMaxWriteCount))
    throw PlcLinkError(PlcLinkErrorKind::Protocol,
                       QStringLiteral("%1: %2 elements in one write").arg(describe()).arg(n));
}

void NativeLink::writeRegister(int r, std::uint16_t value) {
  transact(fatek::encodeWriteRegisters(settings_.station, r, {value}), fatek::kWriteRegisters);
}

ReadPlan NativeLink::planReads(const std::vector<PlcElement>& elements) const {
  return planMixedReads(elements, std::clamp(settings_.maxMixedElements, 1, fatek::kMaxMixedElements));
}

}  // namespace velta
