#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QPalette>

#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <cmath>

#include "TestApplication.h"
#include "chart/qt/QtCanvas.h"

namespace zyn::chart {
namespace {

// The application object the canvas needs for fonts and the palette.
class TQtEnvironment : public ::testing::Environment {
public:
    void SetUp() override { test::EnsureApplication(); }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Red = 0xFFFF0000;
constexpr QRgb Blue = 0xFF0000FF;
constexpr QRgb Black = 0xFF000000;

QRgb Px(const QImage& img, int x, int y) { return img.pixel(x, y) | 0xFF000000; }

// The painted pixels (not white) of a row or column, as "x0..x1" runs.
std::string Row(const QImage& img, int y) {
    std::string s;
    for (int x = 0; x < img.width();) {
        if (Px(img, x, y) == White) { ++x; continue; }
        int e = x;
        while (e + 1 < img.width() && Px(img, e + 1, y) != White) ++e;
        if (!s.empty()) s += " ";
        s += std::to_string(x) + ".." + std::to_string(e);
        x = e + 1;
    }
    return s;
}

std::string Column(const QImage& img, int x) {
    std::string s;
    for (int y = 0; y < img.height();) {
        if (Px(img, x, y) == White) { ++y; continue; }
        int e = y;
        while (e + 1 < img.height() && Px(img, x, e + 1) != White) ++e;
        if (!s.empty()) s += " ";
        s += std::to_string(y) + ".." + std::to_string(e);
        y = e + 1;
    }
    return s;
}

// The smallest rectangle holding every pixel that is not white (inclusive), or an empty one.
QRect Painted(const QImage& img) {
    QRect r;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (Px(img, x, y) != White) r |= QRect(x, y, 1, 1);
    return r;
}

int CountColor(const QImage& img, QRgb c) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (Px(img, x, y) == c) ++n;
    return n;
}

// Pixels of glyph ink (antialiased edges aside).
int Dark(const QImage& img, const QRect& r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (qGray(Px(img, x, y)) < 60) ++n;
    return n;
}

// A canvas with a white frame of the given size, the pen black, 1 pixel, solid, copy mode.
struct TFrame {
    TQtCanvas c;
    TFrame(int w, int h) {
        c.BeginFrame(w, h);
        c.Brush.Color = clWhite;
        c.Brush.Style = TBrushStyle::bsSolid;
        c.FillRect(TRect{0, 0, w, h});
    }
    const QImage& Done() {
        c.EndFrame();
        return c.Image();
    }
};

TEST(QtCanvasLines, LineToLeavesOutItsEndPixel) {
    TFrame f(20, 20);
    f.c.Line(2, 1, 10, 1);    // right
    f.c.Line(10, 3, 2, 3);    // left
    f.c.Line(15, 2, 15, 9);   // down
    f.c.Line(17, 9, 17, 2);   // up
    f.c.Line(2, 6, 8, 12);    // diagonal
    f.c.Line(5, 5, 5, 5);     // zero length: nothing
    const QImage& img = f.Done();
    EXPECT_EQ(Row(img, 1), "2..9");
    EXPECT_EQ(Row(img, 3), "3..10 15..15 17..17");
    EXPECT_EQ(Column(img, 15), "2..8");
    EXPECT_EQ(Column(img, 17), "3..9");
    for (int k = 0; k < 6; ++k) EXPECT_EQ(Px(img, 2 + k, 6 + k), Black) << k;
    EXPECT_EQ(Px(img, 8, 12), White);
    EXPECT_EQ(Row(img, 12), "");
    EXPECT_EQ(Px(img, 5, 5), White);
}

TEST(QtCanvasLines, ShallowLineHasOnePixelPerColumn) {
    TFrame f(20, 10);
    f.c.Line(0, 0, 12, 4);
    f.c.Line(19, 9, 7, 5);  // the same slope the other way
    const QImage& img = f.Done();
    for (int x = 0; x < 12; ++x) {
        int n = 0, y0 = -1;
        for (int y = 0; y < 5; ++y)
            if (Px(img, x, y) == Black) ++n, y0 = y;
        EXPECT_EQ(n, 1) << x;
        EXPECT_NEAR(y0, x / 3.0, 0.5) << x;  // the nearest row to the true line
    }
    EXPECT_EQ(Px(img, 12, 4), White);
    EXPECT_EQ(Px(img, 19, 9), Black);
    EXPECT_EQ(Px(img, 7, 5), White);
    EXPECT_EQ(CountColor(img, Black), 24);
}

TEST(QtCanvasLines, PolylineAndPolygonPaintEveryVertexOnceExceptTheLast) {
    TFrame f(20, 20);
    const TPoint pts[] = {{2, 2}, {8, 2}, {8, 6}, {2, 6}};
    f.c.Polyline(pts);
    const QImage& img = f.Done();
    EXPECT_EQ(Row(img, 2), "2..8");
    EXPECT_EQ(Column(img, 8), "2..6");
    EXPECT_EQ(Row(img, 6), "3..8");  // (2, 6) is the last point
    EXPECT_EQ(Column(img, 2), "2..2");

    // The same path as an inverting polygon: each pixel is touched exactly once, so the
    // outline inverts cleanly all the way round.
    TFrame g(20, 20);
    g.c.Pen.Mode = TPenMode::pmNotXor;
    g.c.Brush.Style = TBrushStyle::bsClear;
    g.c.Polygon(pts);
    const QImage& poly = g.Done();
    EXPECT_EQ(CountColor(poly, Black), 2 * 6 + 2 * 4);
    EXPECT_EQ(Row(poly, 6), "2..8");
    EXPECT_EQ(Column(poly, 2), "2..6");
}

TEST(QtCanvasLines, WidePenCoversBothEnds) {
    TFrame f(20, 20);
    f.c.Pen.Width = 3;
    f.c.VerticalLine(10, 15, 5);  // a candle wick
    f.c.Pen.Width = 2;
    f.c.HorizontalLine(2, 6, 18);  // an axis line
    const QImage& img = f.Done();
    // Three pixels wide, the square pen covering one more row beyond either end.
    EXPECT_EQ(Row(img, 10), "9..11");
    EXPECT_EQ(Row(img, 4), "9..11");
    EXPECT_EQ(Column(img, 10), "4..16");
    EXPECT_EQ(Column(img, 8), "");
    EXPECT_EQ(Column(img, 12), "");
    // Two pixels wide: one above the centre line, and one to the left of the start.
    EXPECT_EQ(Row(img, 17), "1..6");
    EXPECT_EQ(Row(img, 18), "1..6");
    EXPECT_EQ(Row(img, 19), "");
}

TEST(QtCanvasLines, LinesFarOutsideTheImageAreClipped) {
    TFrame f(20, 10);
    f.c.Line(-100000, 2, 100000, 2);
    f.c.Line(-1000000000, -1000000000, 1000000000, 1000000000);
    f.c.Line(1000000000, 8, -1000000000, 0);  // crosses the image almost flat
    const QImage& img = f.Done();
    EXPECT_EQ(Row(img, 2).substr(0, 6), "0..19");
    for (int k = 0; k < 10; ++k) EXPECT_EQ(Px(img, k, k), Black) << k;
    // The flat line lies halfway, in row 4, where it crosses the diagonal once.
    EXPECT_EQ(Row(img, 4), "0..19");
    EXPECT_EQ(CountColor(img, Black), 20 + (10 - 1) + (20 - 1));
}

TEST(QtCanvasLines, DottedPenGapsFollowTheBackgroundMode) {
    TFrame f(40, 6);
    f.c.Brush.Color = clRed;
    f.c.FillRect(TRect{0, 0, 40, 6});
    f.c.Pen.Color = clGray;
    f.c.Pen.Style = TPenStyle::psDot;
    f.c.SetBackgroundColor(clBlue);
    f.c.SetBackgroundMode(TBackMode::Transparent);
    f.c.HorizontalLine(0, 13, 1);
    f.c.SetBackgroundMode(TBackMode::Opaque);
    f.c.HorizontalLine(0, 13, 3);
    f.c.SetBackgroundMode(TBackMode::Transparent);
    f.c.Pen.SmallDots = true;
    f.c.HorizontalLine(0, 6, 5);
    const QImage& img = f.Done();
    const QRgb gray = 0xFF808080;
    const QRgb dots[] = {gray, gray, gray, Red, Red, Red, gray, gray, gray, Red, Red, Red, gray, Red};
    for (int x = 0; x < 14; ++x) {
        EXPECT_EQ(Px(img, x, 1), dots[x]) << x;
        EXPECT_EQ(Px(img, x, 3), dots[x] == Red ? (x == 13 ? Red : Blue) : gray) << x;
    }
    const QRgb small[] = {gray, Red, gray, Red, gray, Red, Red};
    for (int x = 0; x < 7; ++x) EXPECT_EQ(Px(img, x, 5), small[x]) << x;
}

TEST(QtCanvasLines, DashedStyleContinuesAlongConsecutiveLines) {
    TFrame f(20, 12);
    f.c.Pen.Style = TPenStyle::psDot;
    f.c.SetBackgroundMode(TBackMode::Transparent);
    f.c.MoveTo(0, 0);
    f.c.LineTo(4, 0);  // on on on off
    f.c.LineTo(4, 9);  // off off, then on on on off off off on
    const QImage& img = f.Done();
    EXPECT_EQ(Row(img, 0), "0..2");
    EXPECT_EQ(Column(img, 4), "2..4 8..8");
}

TEST(QtCanvasShapes, RectangleExcludesRightAndBottom) {
    TFrame f(12, 10);
    f.c.Pen.Color = clRed;
    f.c.Brush.Color = clBlue;
    f.c.Rectangle(2, 3, 8, 7);
    const QImage& img = f.Done();
    EXPECT_EQ(Painted(img), QRect(QPoint(2, 3), QPoint(7, 6)));
    for (int x = 2; x <= 7; ++x) {
        EXPECT_EQ(Px(img, x, 3), Red) << x;
        EXPECT_EQ(Px(img, x, 6), Red) << x;
    }
    for (int y = 3; y <= 6; ++y) {
        EXPECT_EQ(Px(img, 2, y), Red) << y;
        EXPECT_EQ(Px(img, 7, y), Red) << y;
    }
    EXPECT_EQ(CountColor(img, Blue), 4 * 2);
    EXPECT_EQ(Px(img, 3, 4), Blue);
}

TEST(QtCanvasShapes, RectangleWithoutPenOrBrush) {
    TFrame f(12, 10);
    f.c.Pen.Style = TPenStyle::psClear;
    f.c.Brush.Color = clBlue;
    f.c.Rectangle(8, 7, 2, 3);  // given the other way round
    f.c.Pen.Style = TPenStyle::psSolid;
    f.c.Brush.Style = TBrushStyle::bsClear;
    f.c.Rectangle(0, 0, 1, 10);  // one column wide
    const QImage& img = f.Done();
    EXPECT_EQ(CountColor(img, Blue), 6 * 4);
    EXPECT_EQ(Px(img, 7, 6), Blue);
    EXPECT_EQ(Column(img, 0), "0..9");
    EXPECT_EQ(Column(img, 1), "");
}

TEST(QtCanvasShapes, FillRectAndClipExcludeRightAndBottom) {
    TFrame f(20, 20);
    f.c.Brush.Color = clRed;
    f.c.FillRect(TRect{3, 4, 9, 6});
    f.c.SetClip(TRect{10, 10, 15, 13});
    f.c.Brush.Color = clBlue;
    f.c.FillRect(TRect{0, 0, 20, 20});
    f.c.Line(0, 11, 20, 11);
    f.c.ClearClip();
    f.c.Line(0, 19, 20, 19);
    const QImage& img = f.Done();
    EXPECT_EQ(CountColor(img, Red), 12);
    EXPECT_EQ(Px(img, 3, 4), Red);
    EXPECT_EQ(Px(img, 8, 5), Red);
    EXPECT_EQ(Px(img, 9, 5), White);
    EXPECT_EQ(Px(img, 8, 6), White);
    EXPECT_EQ(CountColor(img, Blue), 5 * 3 - 5);
    EXPECT_EQ(Row(img, 11), "10..14");
    EXPECT_EQ(Px(img, 15, 12), White);
    EXPECT_EQ(Px(img, 14, 13), White);
    EXPECT_EQ(Row(img, 19), "0..19");
}

TEST(QtCanvasShapes, EmptyClipPaintsNothing) {
    TFrame f(10, 10);
    f.c.SetClip(TRect{5, 5, 5, 9});
    f.c.Brush.Color = clRed;
    f.c.FillRect(TRect{0, 0, 10, 10});
    f.c.Line(0, 6, 9, 6);
    EXPECT_EQ(Painted(f.Done()), QRect());
}

TEST(QtCanvasShapes, EllipseFillsItsBox) {
    TFrame f(40, 30);
    f.c.Pen.Color = clRed;
    f.c.Brush.Color = clBlue;
    f.c.Ellipse(10, 10, 30, 20);
    f.c.Ellipse(2, 22, 6, 26);  // a 4 x 4 pointer circle
    const QImage& img = f.Done();
    EXPECT_EQ(Painted(img.copy(0, 0, 40, 21)), QRect(QPoint(10, 10), QPoint(29, 19)));
    EXPECT_EQ(Px(img, 20, 15), Blue);
    EXPECT_EQ(Px(img, 10, 15), Red);
    EXPECT_EQ(Px(img, 29, 14), Red);
    EXPECT_EQ(Px(img, 20, 10), Red);
    EXPECT_EQ(Px(img, 20, 19), Red);
    EXPECT_EQ(Px(img, 10, 10), White);  // the corners stay out
    EXPECT_EQ(Px(img, 29, 19), White);
    // The outline is closed: no blue pixel touches the white outside.
    for (int y = 10; y < 20; ++y) {
        for (int x = 10; x < 30; ++x) {
            if (Px(img, x, y) != Blue) continue;
            for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
                EXPECT_NE(Px(img, x + dx, y + dy), White) << x << "," << y;
        }
    }
    EXPECT_EQ(Row(img, 22), "3..4");
    EXPECT_EQ(Row(img, 23), "2..5");
    EXPECT_EQ(Row(img, 25), "3..4");
    EXPECT_EQ(Row(img, 26), "");
    EXPECT_EQ(Px(img, 3, 23), Blue);
}

TEST(QtCanvasShapes, PolygonFillsInsideAndOutlinesThroughTheCorners) {
    TFrame f(30, 30);
    f.c.Pen.Color = clRed;
    f.c.Brush.Color = clBlue;
    const TPoint tri[] = {{2, 2}, {20, 2}, {2, 20}};
    f.c.Polygon(tri);
    // A candle body with its 3-pixel outline.
    f.c.Pen.Color = clBlack;
    f.c.Pen.Width = 3;
    f.c.Brush.Color = clRed;
    const TPoint body[] = {{20, 15}, {28, 15}, {28, 25}, {20, 25}};
    f.c.Polygon(body);
    const QImage& img = f.Done();
    EXPECT_EQ(Px(img, 2, 2), Red);
    EXPECT_EQ(Px(img, 20, 2), Red);
    EXPECT_EQ(Px(img, 2, 20), Red);
    EXPECT_EQ(Px(img, 5, 5), Blue);
    EXPECT_EQ(Px(img, 12, 12), White);
    EXPECT_EQ(Row(img, 20), "2..2 19..29");
    EXPECT_EQ(Column(img, 24), "14..26");
    EXPECT_EQ(Px(img, 24, 16), Black);
    EXPECT_EQ(Px(img, 24, 17), Red);
    EXPECT_EQ(Px(img, 24, 23), Red);
    EXPECT_EQ(Px(img, 24, 24), Black);
    EXPECT_EQ(Px(img, 24, 20), Red);
    EXPECT_EQ(Px(img, 22, 20), Red);
    EXPECT_EQ(Px(img, 21, 20), Black);
}

TEST(QtCanvasShapes, HatchBrushHonoursTheBackgroundMode) {
    TFrame f(16, 16);
    f.c.Pen.Style = TPenStyle::psClear;
    f.c.PrepareFillBrush(clRed, TBrushStyle::bsHorizontal, clBlue);  // opaque, blue between
    f.c.Rectangle(0, 0, 16, 8);
    f.c.SetBackgroundMode(TBackMode::Transparent);
    f.c.Rectangle(0, 8, 16, 16);
    const QImage& img = f.Done();
    const int red = CountColor(img.copy(0, 0, 16, 8), Red);
    EXPECT_GT(red, 0);
    EXPECT_EQ(CountColor(img.copy(0, 0, 16, 8), Blue), 16 * 8 - red);
    EXPECT_GT(CountColor(img.copy(0, 8, 16, 8), Red), 0);
    EXPECT_EQ(CountColor(img.copy(0, 8, 16, 8), Blue), 0);
    EXPECT_GT(CountColor(img.copy(0, 8, 16, 8), White), 0);
}

TEST(QtCanvasFrame, Frame3DRingsOwnTheirCorners) {
    TFrame f(20, 16);
    TRect r{0, 0, 20, 16};
    f.c.Frame3D(r, clRed, clBlue, 2);
    EXPECT_EQ(r, (TRect{2, 2, 18, 14}));
    const QImage& img = f.Done();
    for (int ring = 0; ring < 2; ++ring) {
        const int L = ring, T = ring, R = 19 - ring, B = 15 - ring;
        EXPECT_EQ(Px(img, L, T), Red) << ring;
        EXPECT_EQ(Px(img, R - 1, T), Red) << ring;
        EXPECT_EQ(Px(img, L, B - 1), Red) << ring;
        EXPECT_EQ(Px(img, R, T), Blue) << ring;  // top right belongs to the bottom colour
        EXPECT_EQ(Px(img, L, B), Blue) << ring;  // so does bottom left
        EXPECT_EQ(Px(img, R, B), Blue) << ring;
        EXPECT_EQ(Px(img, (L + R) / 2, T), Red) << ring;
        EXPECT_EQ(Px(img, L, (T + B) / 2), Red) << ring;
        EXPECT_EQ(Px(img, (L + R) / 2, B), Blue) << ring;
        EXPECT_EQ(Px(img, R, (T + B) / 2), Blue) << ring;
    }
    EXPECT_EQ(Painted(img.copy(2, 2, 16, 12)), QRect());
    EXPECT_EQ(CountColor(img, Red) + CountColor(img, Blue), 20 * 16 - 16 * 12);
}

TEST(QtCanvasFrame, SystemColoursComeFromThePalette) {
    TFrame f(10, 10);
    f.c.Brush.Color = clBtnFace;
    f.c.FillRect(TRect{0, 0, 5, 5});
    TRect r{5, 0, 10, 5};
    f.c.Frame3D(r, clBtnHighlight, clBtnShadow, 1);
    f.c.Brush.Color = clAutoColor;  // no colour of its own: nothing is painted
    f.c.FillRect(TRect{0, 5, 10, 10});
    f.c.Pen.Color = clWindowText;
    f.c.Line(0, 9, 9, 9);
    const QImage& img = f.Done();
    const QPalette pal = QGuiApplication::palette();
    EXPECT_EQ(Px(img, 2, 2), pal.color(QPalette::Button).rgb());
    EXPECT_EQ(Px(img, 5, 0), pal.color(QPalette::Light).rgb());
    EXPECT_EQ(Px(img, 9, 4), pal.color(QPalette::Dark).rgb());
    EXPECT_EQ(Px(img, 2, 7), White);
    EXPECT_EQ(Px(img, 2, 9), pal.color(QPalette::WindowText).rgb());
}

TEST(QtCanvasFrame, NotXorRectangleDrawnTwiceRestoresThePixels) {
    TFrame f(30, 30);
    for (int i = 0; i < 30; ++i) {
        f.c.Brush.Color = TColor(0x010203u * i * 7);
        f.c.FillRect(TRect{i, 0, i + 1, 30});
    }
    const QImage before = f.Done().copy();
    // Between frames, as a rubber band follows the mouse.
    f.c.Pen.Mode = TPenMode::pmNotXor;
    f.c.Brush.Style = TBrushStyle::bsClear;
    f.c.Rectangle(3, 4, 25, 20);
    const QImage once = f.c.Image().copy();
    EXPECT_NE(once, before);
    EXPECT_EQ(Px(once, 3, 4), Px(before, 3, 4) ^ 0x00FFFFFF);
    EXPECT_EQ(Px(once, 24, 19), Px(before, 24, 19) ^ 0x00FFFFFF);
    EXPECT_EQ(Px(once, 25, 20), Px(before, 25, 20));
    EXPECT_EQ(Px(once, 10, 10), Px(before, 10, 10));
    f.c.Rectangle(3, 4, 25, 20);
    EXPECT_EQ(f.c.Image(), before);
}

TEST(QtCanvasFrame, PaintsOnAnotherDeviceUntilTold) {
    TFrame f(10, 10);
    f.Done();
    QImage other(10, 10, QImage::Format_RGB32);
    other.fill(Qt::white);
    f.c.BeginPaintOn(&other);
    f.c.SetClip(TRect{0, 0, 5, 10});
    f.c.Line(0, 3, 10, 3);
    f.c.EndPaintOn();
    EXPECT_EQ(Row(other, 3), "0..4");
    EXPECT_EQ(Painted(f.c.Image()), QRect());
    f.c.ClearClip();
    f.c.Line(0, 4, 10, 4);  // back on the frame image
    EXPECT_EQ(Row(f.c.Image(), 4), "0..9");
    EXPECT_EQ(Row(other, 4), "");
}

TEST(QtCanvasFrame, BufferIsKeptWhileTheSizeStays) {
    TQtCanvas c;
    EXPECT_FALSE(c.BufferValid);
    c.BeginFrame(10, 8);
    c.Brush.Color = clRed;
    c.FillRect(TRect{0, 0, 1, 1});
    c.EndFrame();
    EXPECT_TRUE(c.BufferValid);
    c.InvalidateBuffer();
    c.BeginFrame(10, 8);
    c.EndFrame();
    EXPECT_EQ(Px(c.Image(), 0, 0), Red);
    c.BeginFrame(12, 8);
    c.EndFrame();
    EXPECT_EQ(c.Image().size(), QSize(12, 8));
    EXPECT_EQ(Px(c.Image(), 0, 0), White);
}

TEST(QtCanvasFrame, HighDpiFrameScalesLogicalPixels) {
    TQtCanvas c;
    c.SetDevicePixelRatio(2.0);
    c.BeginFrame(20, 10);
    c.Brush.Color = clWhite;
    c.FillRect(TRect{0, 0, 20, 10});
    c.Line(1, 1, 5, 1);
    c.Rectangle(8, 2, 12, 6);
    c.SetClip(TRect{0, 8, 3, 10});
    c.Brush.Color = clRed;
    c.FillRect(TRect{0, 0, 20, 10});
    c.EndFrame();
    const QImage& img = c.Image();
    EXPECT_EQ(img.size(), QSize(40, 20));
    EXPECT_EQ(img.devicePixelRatio(), 2.0);
    EXPECT_EQ(Row(img, 1), "");
    EXPECT_EQ(Row(img, 2), "2..9");
    EXPECT_EQ(Row(img, 3), "2..9");
    EXPECT_EQ(Row(img, 4), "16..23");
    EXPECT_EQ(Row(img, 5), "16..23");
    EXPECT_EQ(Row(img, 6), "16..17 22..23");
    EXPECT_EQ(Column(img, 16), "4..11");
    EXPECT_EQ(Painted(img.copy(0, 16, 40, 4)), QRect(0, 0, 6, 4));
}

TEST(QtCanvasFrame, FractionalPixelRatioLeavesNoGaps) {
    TQtCanvas c;
    c.SetDevicePixelRatio(1.5);
    c.BeginFrame(15, 9);
    c.Brush.Color = clRed;
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 15; ++x) c.FillRect(TRect{x, y, x + 1, y + 1});
    c.EndFrame();
    const QImage& img = c.Image();
    EXPECT_EQ(img.size(), QSize(23, 14));
    EXPECT_EQ(CountColor(img.copy(0, 0, 22, 13), Red), 22 * 13);
}

TEST(QtCanvasFrame, FractionalPixelRatioKeepsLineThicknessAndGrid) {
    // Grid lines every third row and column, and a box outline: at 125, 150 and 175 % every
    // one-pixel line is ceil(ratio) device pixels thick and starts where its logical pixel
    // lies on the scaled grid.
    for (qreal r : {1.25, 1.5, 1.75}) {
        TQtCanvas c;
        c.SetDevicePixelRatio(r);
        c.BeginFrame(40, 40);
        c.Pen.Color = clBlack;
        for (int k = 1; k < 10; ++k) {
            c.HorizontalLine(0, 20, 3 * k);
            c.VerticalLine(20 + k, 0, 40);
        }
        c.EndFrame();
        const QImage& img = c.Image();
        const int thick = int(std::ceil(r));
        auto grid = [r](int v) { return int(std::floor(v * r + 0.5)); };
        std::string rows;
        for (int k = 1; k < 10; ++k) {
            if (!rows.empty()) rows += " ";
            rows += std::to_string(grid(3 * k)) + ".." + std::to_string(grid(3 * k) + thick - 1);
        }
        EXPECT_EQ(Column(img, 1), rows) << r;
        // The vertical lines stand side by side: adjacent, they leave no gap between them.
        EXPECT_EQ(Row(img, img.height() - 1), std::to_string(grid(21)) + ".." + std::to_string(grid(29) + thick - 1)) << r;
    }
}

TEST(QtCanvasFrame, FractionalPixelRatioBoxOutlineIsEvenAllRound) {
    for (qreal r : {1.25, 1.5, 1.75}) {
        TQtCanvas c;
        c.SetDevicePixelRatio(r);
        c.BeginFrame(30, 30);
        c.Pen.Color = clBlack;
        c.Brush.Color = clRed;
        c.Rectangle(3, 4, 20, 23);
        c.EndFrame();
        const QImage& img = c.Image();
        const int thick = int(std::ceil(r));
        auto grid = [r](int v) { return int(std::floor(v * r + 0.5)); };
        const int midX = grid(10), midY = grid(12);
        // Each side: thick black device pixels from its own pixel on, red right after.
        for (auto [x, y, dx, dy] : {std::tuple{grid(3), midY, 1, 0}, std::tuple{grid(19), midY, 1, 0},
                                    std::tuple{midX, grid(4), 0, 1}, std::tuple{midX, grid(22), 0, 1}}) {
            for (int i = 0; i < thick; ++i) EXPECT_EQ(Px(img, x + i * dx, y + i * dy), Black) << r;
            EXPECT_NE(Px(img, x + thick * dx, y + thick * dy), Black) << r;
            EXPECT_NE(Px(img, x - dx, y - dy), Black) << r;
        }
        EXPECT_EQ(Px(img, grid(3) + thick, midY), Red) << r;
        EXPECT_EQ(Px(img, midX, grid(4) + thick), Red) << r;
    }
}

TEST(QtCanvasText, ArialEightPointsIsElevenPixels) {
    TQtCanvas c;
    c.Font.Name = "Arial";
    c.Font.Size = 8;
    EXPECT_EQ(c.QtFont().pixelSize(), 11);
    const QFontInfo info(c.QtFont());
    EXPECT_EQ(info.pixelSize(), 11);
    const int h = c.TextHeight("W");
    EXPECT_EQ(h, c.TextHeight(""));
    EXPECT_GE(h, 11);
    EXPECT_LE(h, 15);
    EXPECT_EQ(c.TextWidth(""), 0);
    EXPECT_GT(c.TextWidth("W"), c.TextWidth("i"));
    EXPECT_GT(c.TextWidth("Kurse"), c.TextWidth("Kurs"));
    c.Font.Size = 16;
    EXPECT_GT(c.TextHeight("W"), h);
    c.Font.Size = 8;
    EXPECT_EQ(c.TextHeight("W"), h);
}

TEST(QtCanvasText, TextLiesInItsAlignedBox) {
    TFrame f(120, 60);
    f.c.Font.Name = "Arial";
    f.c.Font.Size = 8;
    f.c.Font.Color = clBlack;
    f.c.SetBackgroundMode(TBackMode::Transparent);
    const int w = f.c.TextWidth("Kurse"), h = f.c.TextHeight("Kurse");
    f.c.TextOut(10, 5, "Kurse");
    f.c.SetTextAlign(TA_RIGHT | TA_BOTTOM);
    f.c.TextOut(110, 55, "Kurse");
    f.c.SetTextAlign(TA_CENTER);
    f.c.SetBackgroundMode(TBackMode::Opaque);
    f.c.SetBackgroundColor(clRed);
    f.c.TextOut(60, 25, "ab");
    const int wab = f.c.TextWidth("ab");
    const QImage& img = f.Done();

    const QRect topLeft = Painted(img.copy(0, 0, 60, 20));
    ASSERT_FALSE(topLeft.isEmpty());
    EXPECT_GE(topLeft.left(), 10 - 1);
    EXPECT_LE(topLeft.right(), 10 + w);
    EXPECT_GE(topLeft.top(), 5);
    EXPECT_LE(topLeft.bottom(), 5 + h - 1);
    EXPECT_GT(Dark(img, QRect(10, 5, w, h)), 10);

    const QRect bottomRight = Painted(img.copy(60, 40, 60, 20)).translated(60, 40);
    ASSERT_FALSE(bottomRight.isEmpty());
    EXPECT_LE(bottomRight.right(), 110);
    EXPECT_GE(bottomRight.left(), 110 - w - 1);
    EXPECT_LE(bottomRight.bottom(), 54);
    EXPECT_GE(bottomRight.top(), 55 - h);

    // Opaque: the whole text box takes the background colour around the glyphs.
    const QRect box(60 - wab / 2, 25, wab, h);
    EXPECT_EQ(Painted(img.copy(30, 20, 60, 20)).translated(30, 20), box);
    EXPECT_EQ(Px(img, box.left(), box.top()), Red);
    EXPECT_EQ(Px(img, box.right(), box.bottom()), Red);
    EXPECT_GT(Dark(img, box), 5);
}

}  // namespace
}  // namespace zyn::chart
