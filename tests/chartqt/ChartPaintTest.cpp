#include <gtest/gtest.h>

#include <QImage>
#include <memory>

#include "TestApplication.h"
#include "chart/Chart.h"
#include "chart/qt/QtCanvas.h"

namespace zyn::chart {
namespace {

class TFlatSeries : public TChartSeries {};

QRgb Px(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

QRgb Resolved(TColor c) {
    QColor q;
    TQtCanvas::ResolveColor(c, q);
    return q.rgb() & 0xFFFFFF;
}

// The viewer's chart frame: white panel, raised outer and lowered inner bevel, border 2.
struct TPaintedChart {
    TChart chart{std::make_unique<TQtCanvas>()};
    TPaintedChart() {
        test::EnsureApplication();
        chart.SetColor(clWhite);
        chart.SetBevelInner(TPanelBevel::bvLowered);
        chart.SetBorderWidth(2);
        chart.SetView3D(false);
        chart.BackWall.Brush.Style = TBrushStyle::bsClear;
        TChartAxis& left = chart.LeftAxis();
        left.SetAutomatic(false);
        left.SetIncrement(2);
        left.SetMaximum(6);
        left.SetMinimum(-6);
    }
    const QImage& Draw(int w, int h) {
        chart.SetBounds(w, h);
        chart.DrawChart(TRect{0, 0, w, h});
        return static_cast<TQtCanvas&>(chart.Canvas()).Image();
    }
};

TEST(ChartPaint, BevelRingsAndBackWallFrame) {
    TPaintedChart t;
    const QImage& image = t.Draw(300, 200);
    const QRgb highlight = Resolved(clBtnHighlight), shadow = Resolved(clBtnShadow);
    ASSERT_NE(highlight, shadow);
    // outer raised ring: highlight top and left, shadow bottom and right
    EXPECT_EQ(Px(image, 0, 100), highlight);
    EXPECT_EQ(Px(image, 150, 0), highlight);
    EXPECT_EQ(Px(image, 299, 100), shadow);
    EXPECT_EQ(Px(image, 150, 199), shadow);
    EXPECT_EQ(Px(image, 0, 199), shadow);  // both far corners belong to the bottom/right colour
    EXPECT_EQ(Px(image, 299, 0), shadow);
    EXPECT_EQ(Px(image, 0, 0), highlight);
    // two rings in the panel colour, then the lowered inner ring
    EXPECT_EQ(Px(image, 1, 100), 0xFFFFFFu);
    EXPECT_EQ(Px(image, 2, 100), 0xFFFFFFu);
    EXPECT_EQ(Px(image, 3, 100), shadow);
    EXPECT_EQ(Px(image, 150, 3), shadow);
    EXPECT_EQ(Px(image, 296, 100), highlight);
    EXPECT_EQ(Px(image, 150, 196), highlight);
    EXPECT_EQ(Px(image, 4, 100), 0xFFFFFFu);
    // the back wall: a black one-pixel frame around the plot, white inside
    const TRect p = t.chart.PlotRect;
    const int midY = (p.Top + p.Bottom) / 2, midX = (p.Left + p.Right) / 2;
    EXPECT_EQ(Px(image, p.Left, midY), 0u);
    EXPECT_EQ(Px(image, p.Right, midY), 0u);
    EXPECT_EQ(Px(image, midX, p.Top), 0u);
    EXPECT_EQ(Px(image, midX + 1, p.Bottom - 1), 0u);
    EXPECT_EQ(Px(image, p.Right + 1, midY), 0xFFFFFFu);
}

TEST(ChartPaint, DottedGrayGridAndLabelText) {
    TPaintedChart t;
    auto& s = t.chart.Add(std::make_unique<TFlatSeries>());
    s.AddPoint(0, 0);
    s.AddPoint(10, 1);
    t.Draw(400, 300);
    const QImage& image = t.Draw(400, 300);
    const TCustomChartAxis& left = t.chart.LeftAxis();
    ASSERT_FALSE(left.DrawnLabels.empty());
    const TRect p = t.chart.PlotRect;
    const int row = left.DrawnLabels[1].Pixel;  // an inner label: its grid line is not the frame
    int gray = 0, white = 0, other = 0;
    for (int x = p.Left + 5; x < p.Right - 5; ++x) {
        const QRgb c = Px(image, x, row);
        gray += c == 0x808080;
        white += c == 0xFFFFFF;
        other += c != 0x808080 && c != 0xFFFFFF;
    }
    EXPECT_GT(gray, 20);
    EXPECT_GT(white, 20);  // dotted: the gaps stay unpainted
    EXPECT_EQ(other, 0);
    // the label text: dark pixels in the band left of the axis, around the label's row
    int dark = 0;
    for (int y = row - 8; y <= row + 8; ++y)
        for (int x = left.LabelsPosition - 25; x < left.LabelsPosition; ++x) dark += qGray(image.pixel(x, y)) < 128;
    EXPECT_GT(dark, 3);
}

}  // namespace
}  // namespace zyn::chart
