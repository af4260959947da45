#pragma once
#include <QFont>
#include <QRect>
#include <QRegion>
#include <QString>
#include <optional>

class QPainter;

namespace zyn::chart {

class TCustomChart;

// Where a crosshair stands on a chart as its last paint laid it out, and what its readouts
// say: a vertical line on a day position, a horizontal line at a height of the plot, the value
// there in a box on the vertical axis of that band (price band: right, indicator band: left),
// and the day's label in a box on the bottom axis. Drawn over the presented frame, never into
// the chart's buffer: copies and saved pictures stay without it.
struct TCrosshair {
    bool DayLine = false;    // the vertical line and the date box
    bool ValueLine = false;  // the horizontal line and the value box
    int X = 0, Y = 0;
    QRect Plot;  // where the lines run
    QRect ValueBox, DateBox;
    QString ValueText, DateText;
    QFont Font;

    // The crosshair on a day at a height (in chart pixels), or at a value of the right axis;
    // a line whose position lies outside the plot is left out, with its box.
    static TCrosshair At(TCustomChart& chart, int day, int y, std::optional<double> rightValue = std::nullopt);
    // The label the bottom axis gives a day position: the first series' text label there, else
    // the axis's value label.
    static QString DayLabel(TCustomChart& chart, int day);

    bool Visible() const { return DayLine || ValueLine; }
    // Every pixel the crosshair can cover.
    QRegion Region() const;
    void Paint(QPainter& painter) const;
};

}  // namespace zyn::chart
