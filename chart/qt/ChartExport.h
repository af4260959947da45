#pragma once
#include <QByteArray>
#include <QString>

class QPrinter;

namespace zyn::chart {

class TCustomChartPanel;

// The chart's frame at width x height chart pixels, laid out as on a screen of that size and
// drawn as vectors (TVectorCanvas): a PDF document of one page of width x height points, or an
// SVG document of width x height pixels. The title goes into the document's properties.
QByteArray ChartPdf(TCustomChartPanel& chart, int width, int height, const QString& title);
QByteArray ChartSvg(TCustomChartPanel& chart, int width, int height, const QString& title);

// Prints the chart's frame at width x height chart pixels on one page of the printer, as
// vectors at the printer's resolution: the frame fills the printable area with its proportions
// kept, above a footer line of `left` and `right` texts along the frame's width. Throws when the
// printer cannot be opened.
void PrintChart(TCustomChartPanel& chart, int width, int height, QPrinter& printer, const QString& left,
                const QString& right);

}  // namespace zyn::chart
