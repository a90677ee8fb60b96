#include "ui/window_fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace velta::fonts {
namespace {

QFont make(const QStringList& families, int pixelHeight, QFont::Weight weight) {
  QFont f;
  f.setFamilies(families);
  f.setPixelSize(pixelHeight);
  f.setWeight(weight);
  f.setStyleHint(QFont::SansSerif);
  return f;
}

}  // namespace

QFont msSansSerif(int pixelHeight, bool bold) {
  return make({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
               QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")},
              pixelHeight, bold ? QFont::Bold : QFont::Normal);
}

QFont arial(int pixelHeight, bool bold) {
  return make({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")},
              pixelHeight, bold ? QFont::Bold : QFont::Normal);
}

QFont arialBlack(int pixelHeight) {
  if (QFontDatabase::hasFamily(QStringLiteral("Arial Black")))
    return make({QStringLiteral("Arial Black")}, pixelHeight, QFont::Bold);
  return make({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")}, pixelHeight, QFont::Black);
}

}  // namespace velta::fonts
