#pragma once
// The one error type of the station. Failures are raised, never returned as codes;
// the text is what the operator sees (the general error display adds the full stop).
#include <QString>
#include <exception>
#include <QByteArray>

namespace velta {

class Error : public std::exception {
 public:
  explicit Error(QString text) : text_(std::move(text)), utf8_(text_.toUtf8()) {}
  const QString& text() const noexcept { return text_; }
  const char* what() const noexcept override { return utf8_.constData(); }

 private:
  QString text_;
  QByteArray utf8_;
};

// The error box's text: the message with a full stop appended when its last
// character has a higher code than the full stop.
QString errorDisplayText(const QString& message);

// Text of any caught exception as the operator should see it.
QString exceptionText(const std::exception& e);

}  // namespace velta
