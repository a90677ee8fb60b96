#include "ui/tool_bar.h"

#include <QPainter>

namespace velta {

ToolBarFrame::ToolBarFrame(QWidget* parent) : QWidget(parent) {
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);
}

void ToolBarFrame::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect r = rect();
  p.setPen(QColor(160, 160, 160));  // border
  p.drawRect(r.adjusted(0, 0, -1, -1));
  p.setPen(QColor(128, 128, 128));  // lowered top edge: shadow over highlight
  p.drawLine(r.left(), r.top() + 1, r.right(), r.top() + 1);
  p.setPen(Qt::white);
  p.drawLine(r.left(), r.top() + 2, r.right(), r.top() + 2);
}

}  // namespace velta
