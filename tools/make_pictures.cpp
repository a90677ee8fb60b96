// Draws the window icon and the nine toolbar pictures into the folder given
// (resources/pictures/). Run it again after changing a drawing:
//   build/tools/velta-make-pictures resources/pictures
// Pictures marked 24-bit are opaque on the toolbar's white; 32-bit ones keep alpha;
// the window icon is reduced to a 256-colour palette.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <functional>

namespace {

const QColor kInk(40, 40, 40);

QImage canvas(int size, bool alpha) {
  QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
  img.fill(alpha ? Qt::transparent : Qt::white);
  return img;
}

QFont boldFont(int px) {
  QFont f(QStringLiteral("Liberation Sans"));
  f.setPixelSize(px);
  f.setBold(true);
  return f;
}

void folder(QPainter& p) {  // 32
  p.setPen(QPen(QColor(150, 100, 0), 1));
  p.setBrush(QColor(230, 180, 40));
  p.drawRect(3, 8, 26, 19);
  p.drawRect(3, 5, 11, 4);
  p.setBrush(QColor(255, 215, 90));
  QPolygon front;
  front << QPoint(7, 13) << QPoint(31, 13) << QPoint(27, 27) << QPoint(3, 27);
  p.drawPolygon(front);
}

void deleteRecord(QPainter& p) {  // 32
  p.setPen(QPen(kInk, 1));
  p.setBrush(Qt::white);
  p.drawRect(5, 3, 18, 24);
  for (int y = 8; y <= 22; y += 4) p.drawLine(8, y, 20, y);
  p.setPen(QPen(QColor(220, 0, 0), 4, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(15, 15, 28, 28);
  p.drawLine(28, 15, 15, 28);
}

void printer(QPainter& p) {  // 48
  p.setPen(QPen(kInk, 1.5));
  p.setBrush(Qt::white);
  p.drawRect(13, 4, 22, 16);  // paper in
  p.setBrush(QColor(170, 170, 180));
  p.drawRoundedRect(4, 18, 40, 18, 3, 3);
  p.setBrush(QColor(110, 110, 120));
  p.drawRect(10, 30, 28, 6);
  p.setBrush(Qt::white);
  p.drawRect(12, 33, 24, 12);  // paper out
  p.drawLine(15, 38, 33, 38);
  p.drawLine(15, 41, 29, 41);
  p.setBrush(QColor(0, 200, 0));
  p.drawEllipse(37, 22, 4, 4);
}

void document(QPainter& p, int size, const QColor& band, const QString& text) {
  const qreal s = size / 48.0;
  QPainterPath page;
  page.moveTo(8 * s, 3 * s);
  page.lineTo(31 * s, 3 * s);
  page.lineTo(40 * s, 12 * s);
  page.lineTo(40 * s, 45 * s);
  page.lineTo(8 * s, 45 * s);
  page.closeSubpath();
  p.setPen(QPen(kInk, 1.2));
  p.setBrush(Qt::white);
  p.drawPath(page);
  p.drawLine(QPointF(31 * s, 3 * s), QPointF(31 * s, 12 * s));
  p.drawLine(QPointF(31 * s, 12 * s), QPointF(40 * s, 12 * s));
  p.setPen(Qt::NoPen);
  p.setBrush(band);
  const QRectF label(3 * s, 22 * s, 42 * s, 15 * s);
  p.drawRoundedRect(label, 2 * s, 2 * s);
  p.setPen(Qt::white);
  p.setFont(boldFont(int(11 * s + 0.5) + (size == 48 ? 1 : 0)));
  p.drawText(label, Qt::AlignCenter, text);
}

void pdf(QPainter& p) { document(p, 48, QColor(200, 20, 20), QStringLiteral("PDF")); }
void html(QPainter& p) { document(p, 32, QColor(20, 90, 200), QStringLiteral("HTML")); }

void sheetGrid(QPainter& p, int size, int rowsFilled) {
  const qreal s = size / 48.0;
  const QColor green(16, 124, 65);
  p.setPen(QPen(green, 1.5));
  p.setBrush(Qt::white);
  const QRectF sheet(3 * s, 5 * s, 42 * s, 38 * s);
  p.drawRect(sheet);
  p.setBrush(green);
  p.drawRect(QRectF(3 * s, 5 * s, 42 * s, 8 * s));
  const qreal rowH = 30 * s / 5.0;
  for (int r = 0; r < 5; ++r) {
    const qreal y = 13 * s + r * rowH;
    if (r < rowsFilled) {
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(180, 230, 190));
      p.drawRect(QRectF(3.75 * s, y, 40.5 * s, rowH));
    }
    p.setPen(QPen(green, 1));
    p.drawLine(QPointF(3 * s, y), QPointF(45 * s, y));
  }
  for (int c = 1; c < 4; ++c) {
    const qreal x = 3 * s + c * 42 * s / 4.0;
    p.drawLine(QPointF(x, 13 * s), QPointF(x, 43 * s));
  }
}

void spreadsheetAll(QPainter& p) { sheetGrid(p, 48, 5); }

void spreadsheetOne(QPainter& p) {  // 32: one highlighted record and an arrow out
  sheetGrid(p, 32, 0);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 190, 0));
  p.drawRect(QRectF(2.5, 15, 27, 4));
  p.setBrush(QColor(16, 124, 65));
  QPolygonF arrow;
  arrow << QPointF(18, 22) << QPointF(25, 22) << QPointF(25, 19) << QPointF(31, 25) << QPointF(25, 31)
        << QPointF(25, 28) << QPointF(18, 28);
  p.drawPolygon(arrow);
}

void plcConnect(QPainter& p) {  // 48: a PLC module with a plug
  p.setPen(QPen(kInk, 1.5));
  p.setBrush(QColor(70, 110, 160));
  p.drawRect(4, 8, 24, 32);
  p.setBrush(QColor(0, 220, 0));
  for (int i = 0; i < 4; ++i) p.drawRect(8, 12 + i * 7, 5, 4);
  p.setBrush(QColor(230, 230, 230));
  for (int i = 0; i < 4; ++i) p.drawRect(17, 12 + i * 7, 7, 4);
  p.setPen(QPen(QColor(20, 20, 20), 3));
  p.setBrush(Qt::NoBrush);
  QPainterPath cable;
  cable.moveTo(28, 24);
  cable.cubicTo(36, 24, 34, 40, 44, 40);
  p.drawPath(cable);
  p.setPen(QPen(kInk, 1));
  p.setBrush(QColor(240, 200, 0));
  p.drawRect(28, 20, 6, 8);
  p.setPen(QPen(QColor(240, 200, 0), 2));
  p.drawLine(38, 6, 33, 14);
  p.drawLine(33, 14, 40, 14);
  p.drawLine(40, 14, 35, 22);
}

void about(QPainter& p) {  // 48
  p.setPen(QPen(QColor(0, 60, 150), 2));
  p.setBrush(QColor(30, 110, 220));
  p.drawEllipse(4, 4, 40, 40);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(21, 10, 7, 7);
  p.drawRoundedRect(21, 20, 7, 18, 2, 2);
}

void stationIcon(QPainter& p) {  // 48: the window icon, a gauge over the station's blue
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 128, 255));
  p.drawRoundedRect(1, 1, 46, 46, 8, 8);
  p.setBrush(QColor(128, 0, 0));
  p.drawEllipse(6, 8, 36, 36);
  p.setPen(QPen(Qt::white, 2));
  p.setBrush(Qt::NoBrush);
  p.drawArc(10, 12, 28, 28, 30 * 16, 120 * 16);
  p.setPen(QPen(QColor(0, 255, 0), 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(24, 26, 33, 15);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(21, 23, 6, 6);
  p.setPen(Qt::white);
  p.setFont(boldFont(10));
  p.drawText(QRect(6, 31, 36, 12), Qt::AlignCenter, QStringLiteral("VELTA"));
}

struct Picture {
  const char* file;
  int size;
  int depth;  // 24, 32, or 8 (256 colours)
  std::function<void(QPainter&)> draw;
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: velta-make-pictures <output folder>\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  const Picture pictures[] = {
      {"open.png", 32, 24, folder},
      {"delete.png", 32, 24, deleteRecord},
      {"printer.png", 48, 24, printer},
      {"pdf.png", 48, 32, pdf},
      {"html.png", 32, 32, html},
      {"excel_all.png", 48, 32, spreadsheetAll},
      {"excel_one.png", 32, 24, spreadsheetOne},
      {"plc_connect.png", 48, 24, plcConnect},
      {"about.png", 48, 24, about},
      {"station.png", 48, 8, stationIcon},
  };
  for (const Picture& pic : pictures) {
    QImage img = canvas(pic.size, pic.depth != 24);
    {
      QPainter p(&img);
      p.setRenderHint(QPainter::Antialiasing);
      pic.draw(p);
    }
    switch (pic.depth) {
      case 24: img = img.convertToFormat(QImage::Format_RGB888); break;
      case 8: img = img.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither); break;
      default: img = img.convertToFormat(QImage::Format_ARGB32); break;
    }
    const QString path = out.filePath(QString::fromLatin1(pic.file));
    if (!img.save(path, "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  return 0;
}
