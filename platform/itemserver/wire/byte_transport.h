#pragma once
// A byte stream to the PLC (TCP socket or serial line) for the native protocol.
// Failures raise PlcLinkError ConnectionLost; a read that finds nothing within its
// time-out returns 0. One thread at a time.
#include <QString>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/itemserver/wire/serial_settings.h"

namespace velta {

class ByteTransport {
 public:
  virtual ~ByteTransport();
  virtual void open(std::chrono::milliseconds timeout) = 0;
  void close();
  // Closes at once, throwing away anything still queued for sending (sockets: reset).
  void drop();
  bool isOpen() const { return fd_ >= 0; }
  void write(std::string_view bytes, std::chrono::milliseconds timeout);
  // Up to max bytes; waits at most timeout for the first; 0 when none came.
  std::size_t read(char* buffer, std::size_t max, std::chrono::milliseconds timeout);
  // Drops whatever has arrived and not been read.
  virtual void discardInput();
  // True when a late reply can be ruled out only by reopening (stream sockets).
  virtual bool reopenAfterTimeout() const = 0;
  virtual QString describe() const = 0;

 protected:
  [[noreturn]] void failed(const char* what, int err);
  int fd_ = -1;
};

class TcpTransport : public ByteTransport {
 public:
  TcpTransport(std::string host, int port) : host_(std::move(host)), port_(port) {}
  void open(std::chrono::milliseconds timeout) override;
  bool reopenAfterTimeout() const override { return true; }
  QString describe() const override;

 private:
  std::string host_;
  int port_;
};

class SerialTransport : public ByteTransport {
 public:
  explicit SerialTransport(SerialSettings settings) : settings_(std::move(settings)) {}
  void open(std::chrono::milliseconds timeout) override;
  void discardInput() override;
  bool reopenAfterTimeout() const override { return false; }
  QString describe() const override;

 private:
  SerialSettings settings_;
};

}  // namespace velta
