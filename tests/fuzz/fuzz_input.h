#pragma once
// Takes a fuzz input apart into the values a target needs: whole numbers in a range,
// raw doubles, flags and the rest as bytes or text. Reading past the end gives zeros,
// so every input is usable and a shorter one means smaller values.
#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace velta::fuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  bool flag() { return byte() & 1; }
  std::uint64_t bits64() {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = v << 8 | byte();
    return v;
  }
  std::uint16_t bits16() { return static_cast<std::uint16_t>(byte() << 8 | byte()); }
  // lo..hi, both included.
  std::int64_t inRange(std::int64_t lo, std::int64_t hi) {
    const std::uint64_t span = static_cast<std::uint64_t>(hi) - static_cast<std::uint64_t>(lo) + 1;
    const std::uint64_t raw = span != 0 && span <= 256 ? byte() : span != 0 && span <= 65536 ? bits16() : bits64();
    return span == 0 ? static_cast<std::int64_t>(raw)
                     : static_cast<std::int64_t>(static_cast<std::uint64_t>(lo) + raw % span);
  }
  double rawDouble() {
    const std::uint64_t b = bits64();
    double d;
    std::memcpy(&d, &b, sizeof d);
    return d;
  }
  std::string_view rest() {
    const std::string_view r(reinterpret_cast<const char*>(data_) + pos_, size_ - pos_);
    pos_ = size_;
    return r;
  }
  QString restAsText() {
    const std::string_view r = rest();
    return QString::fromUtf8(r.data(), static_cast<qsizetype>(r.size()));
  }
  bool empty() const { return pos_ >= size_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// A broken promise of the code under test: print what and stop, so that libFuzzer keeps
// the input (and the replay test fails).
[[noreturn]] inline void broken(const char* what, const QString& detail = {}) {
  std::fprintf(stderr, "fuzz property broken: %s %s\n", what, detail.toUtf8().constData());
  std::abort();
}

}  // namespace velta::fuzz
