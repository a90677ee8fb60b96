#pragma once
// The working values of the main window without its widgets: the texts of the edit
// boxes Edit1 .. Edit41, the indicator colours, SpeedButton1's enabled state, the
// status bar panels and the window title. The logic reads and writes controls here by
// their names; Form1 shows this state and feeds the operator's typing in Edit8 back.
// UI thread only.
#include <QColor>
#include <QObject>
#include <QString>
#include <array>

namespace velta {

// Edit box numbers as the window names them: ctl::Edit25 is Edit25.
namespace ctl {
inline constexpr int Edit1 = 1, Edit2 = 2, Edit3 = 3, Edit4 = 4, Edit5 = 5, Edit6 = 6, Edit7 = 7,
                     Edit8 = 8, Edit9 = 9, Edit24 = 24, Edit25 = 25, Edit26 = 26, Edit41 = 41;
inline constexpr int kLastEdit = 41;
}  // namespace ctl

// The application title: task bar, message and error box captions.
inline const QString kApplicationTitle = QStringLiteral("VELTA RUZEDIVE ");

inline const QColor kLime{0, 255, 0};
inline const QColor kRed{255, 0, 0};

class FormState : public QObject {
  Q_OBJECT
 public:
  FormState();  // the initial texts and colours of the window's definition

  const QString& text(int edit) const;
  void setText(int edit, const QString& text);
  QColor color(int edit) const;
  void setColor(int edit, const QColor& color);

  bool speedButton1Enabled() const { return speedButton1Enabled_; }
  void setSpeedButton1Enabled(bool enabled);

  const QString& statusPanel(int panel) const;  // 0, 1, 2
  void setStatusPanel(int panel, const QString& text);

  const QString& caption() const { return caption_; }
  void setCaption(const QString& caption);

 signals:
  void textChanged(int edit);
  void colorChanged(int edit);
  void speedButton1EnabledChanged(bool enabled);
  void statusPanelChanged(int panel);
  void captionChanged();

 private:
  static void check(int edit);
  std::array<QString, ctl::kLastEdit + 1> texts_;
  std::array<QColor, ctl::kLastEdit + 1> colors_;
  bool speedButton1Enabled_ = true;
  std::array<QString, 3> status_;
  QString caption_;
};

// Empties Edit25, Edit26, ..., Edit41 in that order, touching nothing else.
void ClearPlcValues(FormState& form);

}  // namespace velta
