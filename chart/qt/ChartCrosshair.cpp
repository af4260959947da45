#include "chart/qt/ChartCrosshair.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

#include "chart/Chart.h"
#include "chart/qt/QtCanvas.h"

namespace zyn::chart {

namespace {

const QColor kLineColor(64, 64, 64);
const QColor kBoxColor(48, 48, 48);
const QColor kBoxTextColor(255, 255, 255);
constexpr int kBoxPadding = 4;  // left and right of a readout's text
constexpr int kAxisGap = 2;     // keeps the axis line, two pixels wide, visible beside a box

// The axis whose band holds the pixel row: the price band first, where the two bands meet.
TCustomChartAxis* BandAxis(TCustomChart& chart, int y) {
    for (TCustomChartAxis* axis : {static_cast<TCustomChartAxis*>(&chart.RightAxis()),
                                   static_cast<TCustomChartAxis*>(&chart.LeftAxis())}) {
        if (chart.AxisShown(*axis) && y >= axis->StartPixel && y <= axis->EndPixel) return axis;
    }
    return nullptr;
}

QFont LabelFont(const TChartFont& font) {
    QFont qf(QString::fromStdString(font.Name));
    qf.setPixelSize(std::max(1, TQtCanvas::FontPixelSize(font.Size)));
    qf.setBold(font.Bold);
    return qf;
}

QRect BoxAround(const QFontMetrics& metrics, const QString& text) {
    return QRect(0, 0, metrics.horizontalAdvance(text) + 2 * kBoxPadding, metrics.height() + 2);
}

}  // namespace

QString TCrosshair::DayLabel(TCustomChart& chart, int day) {
    TChartAxis& bottom = chart.BottomAxis();
    for (TChartSeries* s : chart.SeriesList()) {
        if (!s->Active() || !s->UsesAxis(&bottom)) continue;
        const TChartValueList& xs = s->XValues();
        const int i = xs.FirstAtLeast(day);
        if (i < xs.Count() && xs.Value(i) == day && !s->XLabel(i).empty()) {
            const std::string_view label = s->XLabel(i);
            return QString::fromUtf8(label.data(), qsizetype(label.size()));
        }
    }
    return QString::fromStdString(bottom.AxisLabelText(day));
}

TCrosshair TCrosshair::At(TCustomChart& chart, int day, int y, std::optional<double> rightValue) {
    TCrosshair c;
    const TRect& p = chart.PlotRect;
    c.Plot = QRect(p.Left, p.Top, p.Right - p.Left, p.Bottom - p.Top);
    if (c.Plot.isEmpty()) return c;
    c.Font = LabelFont(chart.RightAxis().LabelsFont);
    const QFontMetrics metrics(c.Font);
    const int width = chart.Width();

    TChartAxis& bottom = chart.BottomAxis();
    c.X = bottom.ValueToPixel(day);
    c.DayLine = c.X >= p.Left && c.X < p.Right;
    if (c.DayLine) {
        c.DateText = DayLabel(chart, day);
        c.DateBox = BoxAround(metrics, c.DateText);
        const int left = std::clamp(c.X - c.DateBox.width() / 2, 0, std::max(0, width - c.DateBox.width()));
        c.DateBox.moveTo(left, bottom.LinePosition + kAxisGap);
    }

    c.Y = rightValue ? chart.RightAxis().ValueToPixel(*rightValue) : y;
    TCustomChartAxis* axis = rightValue ? &chart.RightAxis() : BandAxis(chart, c.Y);
    c.ValueLine = axis && c.Y >= p.Top && c.Y < p.Bottom;
    if (c.ValueLine) {
        c.ValueText = QString::fromStdString(axis->AxisLabelText(rightValue ? *rightValue : axis->PixelToValue(c.Y)));
        c.ValueBox = BoxAround(metrics, c.ValueText);
        const int left = axis->FarSide ? axis->LinePosition + kAxisGap
                                       : axis->LinePosition - kAxisGap - c.ValueBox.width() + 1;
        c.ValueBox.moveTo(left, c.Y - c.ValueBox.height() / 2);
    }
    return c;
}

QRegion TCrosshair::Region() const {
    QRegion region;
    // A pixel on either side covers the line however the pen rounds.
    if (DayLine) region += QRect(X - 1, Plot.top(), 3, Plot.height()) | DateBox.adjusted(-1, -1, 1, 1);
    if (ValueLine) region += QRect(Plot.left(), Y - 1, Plot.width(), 3) | ValueBox.adjusted(-1, -1, 1, 1);
    return region;
}

void TCrosshair::Paint(QPainter& painter) const {
    if (!Visible()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(kLineColor, 1, Qt::CustomDashLine);
    pen.setDashPattern({4, 3});
    painter.setPen(pen);
    if (DayLine) painter.drawLine(X, Plot.top(), X, Plot.bottom());
    if (ValueLine) painter.drawLine(Plot.left(), Y, Plot.right(), Y);
    painter.setFont(Font);
    const auto box = [&](const QRect& rect, const QString& text) {
        painter.fillRect(rect, kBoxColor);
        painter.setPen(kBoxTextColor);
        painter.drawText(rect, Qt::AlignCenter, text);
    };
    if (DayLine) box(DateBox, DateText);
    if (ValueLine) box(ValueBox, ValueText);
    painter.restore();
}

}  // namespace zyn::chart
