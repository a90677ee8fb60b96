#include "platform/form_state.h"

#include <stdexcept>

namespace velta {

FormState::FormState() {
  texts_[1] = QStringLiteral("Edit1");
  texts_[2] = QStringLiteral("22");
  texts_[3] = QStringLiteral("1000");
  texts_[4] = QStringLiteral("1");
  texts_[5] = QStringLiteral("5");
  texts_[6] = QStringLiteral(" ");
  texts_[7] = QStringLiteral("Edit7");
  texts_[8] = QStringLiteral("SONUÇ  : POZİTİF");
  for (int e = 25; e <= 41; ++e) texts_[e] = QStringLiteral("1");
  colors_[1] = kLime;
  colors_[7] = kRed;
  colors_[8] = kLime;
}

void FormState::check(int edit) {
  if (edit < 1 || edit > ctl::kLastEdit) throw std::out_of_range("no such edit box");
}

const QString& FormState::text(int edit) const {
  check(edit);
  return texts_[edit];
}

void FormState::setText(int edit, const QString& text) {
  check(edit);
  if (texts_[edit] == text) return;
  texts_[edit] = text;
  emit textChanged(edit);
}

QColor FormState::color(int edit) const {
  check(edit);
  return colors_[edit];
}

void FormState::setColor(int edit, const QColor& color) {
  check(edit);
  if (colors_[edit] == color) return;
  colors_[edit] = color;
  emit colorChanged(edit);
}

void FormState::setSpeedButton1Enabled(bool enabled) {
  if (speedButton1Enabled_ == enabled) return;
  speedButton1Enabled_ = enabled;
  emit speedButton1EnabledChanged(enabled);
}

const QString& FormState::statusPanel(int panel) const { return status_.at(panel); }

void FormState::setStatusPanel(int panel, const QString& text) {
  if (status_.at(panel) == text) return;
  status_[panel] = text;
  emit statusPanelChanged(panel);
}

void FormState::setCaption(const QString& caption) {
  if (caption_ == caption) return;
  caption_ = caption;
  emit captionChanged();
}

void ClearPlcValues(FormState& form) {
  for (int e = ctl::Edit25; e <= ctl::Edit41; ++e) form.setText(e, QString());
}

}  // namespace velta
