#pragma once
#include <QImage>

namespace zyn::chart {

// A frame image of width x height device pixels (RGB32, not yet filled), on huge pages where the
// system offers them: a strip of columns written row by row touches a page per row, and on
// ordinary pages each is a translation miss.
QImage NewFrameImage(int width, int height);

}  // namespace zyn::chart
