#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>

#include <cstdlib>
#include <memory>

#include "chart/CandleSeries.h"
#include "chart/Chart.h"
#include "chart/LineSeries.h"
#include "TestApplication.h"
#include "chart/qt/QtCanvas.h"

namespace zyn::chart {
namespace {

QRgb Px(const QImage& image, int x, int y) { return image.pixel(x, y) | 0xFF000000u; }

constexpr QRgb White = 0xFFFFFFFF, Black = 0xFF000000, Green = 0xFF008000, Red = 0xFFFF0000, Blue = 0xFF0000FF;

// A rising and a falling candle in the viewer's colours and a two-point stair line on a
// 600 × 400 plot whose axes show 0 … 600 and 0 … 400 (value v at row 400 − v).
TEST(SeriesPaintTest, CandlesAndStairsReachThePixels) {
    test::EnsureApplication();
    TChart chart(std::make_unique<TQtCanvas>());
    chart.SetBounds(600, 400);
    chart.SetColor(clWhite);
    chart.SetMargins(0, 0, 0, 0);
    chart.SetBevelOuter(TPanelBevel::bvNone);
    chart.SetAxisVisible(false);
    chart.SetView3D(false);
    chart.BottomAxis().SetRange(0, 600);
    chart.LeftAxis().SetRange(0, 400);

    auto& candles = chart.Add(std::make_unique<TCandleSeries>());
    candles.SetSeriesColor(clRed);
    candles.SetUpCloseColor(clGreen);
    candles.SetCandleWidth(8);
    candles.Pen().Width = 3;
    candles.AddCandlePoint(100, 100, 250, 50, 200);  // rising: body rows 200 … 300
    candles.AddCandlePoint(200, 200, 250, 50, 100);  // falling

    auto& stairs = chart.Add(std::make_unique<TLineSeries>());
    stairs.SetStairs(true);
    stairs.AddPoint(300, 100, "", clBlue);
    stairs.AddPoint(400, 200, "", clBlue);

    chart.DrawChart(TRect{0, 0, 600, 400});
    const QImage image = static_cast<TQtCanvas&>(chart.Canvas()).Image();
    ASSERT_EQ(image.width(), 600);

    // Rising candle: green body inside a 3-pixel black outline, black wick above and below.
    EXPECT_EQ(Px(image, 99, 250), Green);
    EXPECT_EQ(Px(image, 101, 250), Green);
    EXPECT_EQ(Px(image, 96, 250), Black);
    EXPECT_EQ(Px(image, 104, 250), Black);
    EXPECT_EQ(Px(image, 100, 170), Black);
    EXPECT_EQ(Px(image, 99, 330), Black);
    EXPECT_EQ(Px(image, 100, 360), White);
    EXPECT_EQ(Px(image, 110, 250), White);
    // Falling candle: red body.
    EXPECT_EQ(Px(image, 199, 250), Red);
    EXPECT_EQ(Px(image, 202, 250), Red);
    EXPECT_EQ(Px(image, 200, 170), Black);
    // Stair: along the first level to the second point's x, then up to its level.
    EXPECT_EQ(Px(image, 301, 300), Blue);
    EXPECT_EQ(Px(image, 350, 300), Blue);
    EXPECT_EQ(Px(image, 400, 250), Blue);
    EXPECT_EQ(Px(image, 400, 201), Blue);
    EXPECT_EQ(Px(image, 350, 250), White);
    EXPECT_EQ(Px(image, 350, 200), White);
}

}  // namespace
}  // namespace zyn::chart
