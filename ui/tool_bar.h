#pragma once
// ToolBar1: a white bar with a lowered edge along its top and a 1 px border. Its
// buttons are placed by Form1 at fixed positions; the bar only draws itself.
#include <QWidget>

namespace velta {

class ToolBarFrame : public QWidget {
  Q_OBJECT
 public:
  explicit ToolBarFrame(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace velta
