#pragma once
// The window's fonts by the names the station was designed with, at their pixel heights.
// Where MS Sans Serif, Arial or Arial Black are not installed, Liberation Sans (metric
// compatible with Arial) stands in; Arial Black's substitute is drawn at the heaviest
// weight so the live readings keep their look. Heights are pixels, never points.
#include <QFont>

namespace velta::fonts {

QFont msSansSerif(int pixelHeight, bool bold);
QFont arial(int pixelHeight, bool bold);
QFont arialBlack(int pixelHeight);

}  // namespace velta::fonts
