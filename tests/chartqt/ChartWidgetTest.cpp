#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QRegion>
#include <QTest>

#include <cstdlib>
#include <memory>

#include "TestApplication.h"
#include "chart/BarSeries.h"
#include "chart/LineSeries.h"
#include "chart/qt/ChartWidget.h"
#include "chart/qt/QtCanvas.h"

namespace zyn::chart {
namespace {

// The application object the widgets need.
class TWidgetEnvironment : public ::testing::Environment {
public:
    void SetUp() override { test::EnsureApplication(); }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new TWidgetEnvironment);

// A white chart with a price line on the right axis (upper 85 %) and signal bars on the
// fixed left axis −6 … 6 (lower 15 %).
void FillChart(TChart& c, int days = 60) {
    c.SetColor(clWhite);
    c.SetBorderWidth(2);
    c.SetBevelInner(TPanelBevel::bvLowered);
    c.SetView3D(false);
    c.Legend.Visible = false;
    c.Title.SetText({"DAX"});
    c.RightAxis().SetEndPosition(85);
    c.LeftAxis().SetStartPosition(85);
    c.LeftAxis().SetAutomatic(false);
    c.LeftAxis().SetMaximum(6);
    c.LeftAxis().SetMinimum(-6);
    auto& prices = c.Add(std::make_unique<TLineSeries>());
    prices.SetSeriesColor(clRed);
    prices.SetVertAxis(TVertAxis::aRightAxis);
    auto& bars = c.Add(std::make_unique<TBarSeries>());
    bars.SetSeriesColor(clGreen);
    for (int i = 0; i < days; ++i) {
        prices.AddPoint(i, 5000 + 9 * i - (i % 5) * 30);
        bars.AddPoint(i, i % 13 - 6);
    }
}

QImage Copy(TQtCanvas& canvas) { return canvas.Image().copy(); }

// ---- the band on the QPainter canvas ----

TEST(QtRubberBand, IsDrawnOnTheFrameAndErasesItself) {
    for (qreal ratio : {1.0, 2.0}) {
        for (TColor panel : {clWhite, clBtnFace}) {
            auto owned = std::make_unique<TQtCanvas>();
            TQtCanvas& canvas = *owned;
            canvas.SetDevicePixelRatio(ratio);
            TChart c(std::move(owned));
            c.SetBounds(600, 400);
            FillChart(c);
            c.SetColor(panel);
            c.PaintChart();
            const QImage before = Copy(canvas);
            const long frames = c.FramesDrawn;
            const int x0 = c.PlotRect.Left + 100, y0 = c.PlotRect.Top + 40;

            c.MouseDown(TMouseButton::mbLeft, 0, x0, y0);
            EXPECT_EQ(Copy(canvas), before);  // a zero-size band paints nothing
            c.MouseMove(0, x0 + 60, y0 + 50);
            const QImage during = Copy(canvas);
            EXPECT_NE(during, before);
            // The top edge of the band is inverted, the pixels inside are untouched.
            const int px = int((x0 + 30) * ratio), py = int(y0 * ratio);
            EXPECT_NE(during.pixel(px, py), before.pixel(px, py));
            const int ix = int((x0 + 30) * ratio), iy = int((y0 + 25) * ratio);
            EXPECT_EQ(during.pixel(ix, iy), before.pixel(ix, iy));
            // Up and left of the press, across the series and out of the control.
            c.MouseMove(0, x0 - 80, y0 - 30);
            c.MouseMove(0, -40, 500);
            c.MouseMove(0, x0 + 10, y0 + 300);
            c.MouseUp(TMouseButton::mbLeft, 0, x0 + 10, y0 + 8);  // too small: no zoom
            EXPECT_EQ(Copy(canvas), before) << ratio << " " << panel;
            EXPECT_EQ(c.FramesDrawn, frames);
            EXPECT_FALSE(c.IsZoomed);
        }
    }
}

// ---- the widget ----

struct TShownWidget {
    TChartWidget w;
    TShownWidget() {
        w.resize(600, 400);
        FillChart(w.Chart());
        w.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.repaint();
    }
    TChart& C() { return w.Chart(); }
    QPoint In(int dx, int dy) { return QPoint(C().PlotRect.Left + dx, C().PlotRect.Top + dy); }
};

TEST(ChartWidget, LeftDragZoomsWithoutRedrawingWhileTheBandMoves) {
    TShownWidget t;
    TChart& c = t.C();
    ASSERT_GT(c.FramesDrawn, 0);
    const QPoint a = t.In(80, 40), b = t.In(320, 220);
    const double bottomMin = c.BottomAxis().PixelToValue(a.x()), bottomMax = c.BottomAxis().PixelToValue(b.x());
    const double rightMin = c.RightAxis().PixelToValue(b.y()), rightMax = c.RightAxis().PixelToValue(a.y());
    const QImage before = Copy(t.w.QtCanvas());
    const long frames = c.FramesDrawn;

    QTest::mousePress(&t.w, Qt::LeftButton, Qt::NoModifier, a);
    QTest::mouseMove(&t.w, t.In(200, 100));
    QTest::mouseMove(&t.w, b);
    QApplication::processEvents();
    EXPECT_TRUE(c.ZoomDrag.Active);
    EXPECT_EQ(c.FramesDrawn, frames);  // the band moves on the presented frame only
    EXPECT_NE(Copy(t.w.QtCanvas()), before);
    const QImage shown = t.w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_NE(shown.pixel(a.x() + 5, a.y()), before.pixel(a.x() + 5, a.y()) | 0xFF000000);

    QTest::mouseRelease(&t.w, Qt::LeftButton, Qt::NoModifier, b);
    EXPECT_TRUE(c.IsZoomed);
    EXPECT_EQ(c.BottomAxis().Minimum(), bottomMin);
    EXPECT_EQ(c.BottomAxis().Maximum(), bottomMax);
    EXPECT_EQ(c.RightAxis().Minimum(), rightMin);
    EXPECT_EQ(c.RightAxis().Maximum(), rightMax);
    t.w.repaint();
    EXPECT_EQ(c.FramesDrawn, frames + 1);

    // Dragging up and left undoes it.
    QTest::mousePress(&t.w, Qt::LeftButton, Qt::NoModifier, b);
    QTest::mouseMove(&t.w, a);
    QTest::mouseRelease(&t.w, Qt::LeftButton, Qt::NoModifier, a);
    EXPECT_FALSE(c.IsZoomed);
    EXPECT_TRUE(c.BottomAxis().Automatic());
}

TEST(ChartWidget, SmallDragLeavesThePicture) {
    TShownWidget t;
    const QImage before = Copy(t.w.QtCanvas());
    QTest::mousePress(&t.w, Qt::LeftButton, Qt::NoModifier, t.In(100, 100));
    QTest::mouseMove(&t.w, t.In(150, 160));
    QTest::mouseMove(&t.w, t.In(110, 108));
    QTest::mouseRelease(&t.w, Qt::LeftButton, Qt::NoModifier, t.In(110, 108));
    QApplication::processEvents();
    EXPECT_EQ(Copy(t.w.QtCanvas()), before);
    EXPECT_FALSE(t.C().IsZoomed);
}

TEST(ChartWidget, RightDragPans) {
    TShownWidget t;
    TChart& c = t.C();
    const QPoint a = t.In(200, 100), b = t.In(150, 100);
    const double shift = c.BottomAxis().PixelToValue(a.x()) - c.BottomAxis().PixelToValue(b.x());
    const double min = c.BottomAxis().Minimum(), max = c.BottomAxis().Maximum();
    QTest::mousePress(&t.w, Qt::RightButton, Qt::NoModifier, a);
    QTest::mouseMove(&t.w, b);
    QTest::mouseRelease(&t.w, Qt::RightButton, Qt::NoModifier, b);
    EXPECT_DOUBLE_EQ(c.BottomAxis().Minimum(), min + shift);
    EXPECT_DOUBLE_EQ(c.BottomAxis().Maximum(), max + shift);
    EXPECT_GT(shift, 0);  // dragged left: later days come in
    EXPECT_FALSE(c.PanDrag.Active);
}

TEST(ChartWidget, PressOutsideThePlotDoesNothing) {
    TShownWidget t;
    TChart& c = t.C();
    const QImage before = Copy(t.w.QtCanvas());
    const double min = c.BottomAxis().Minimum(), max = c.BottomAxis().Maximum();
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        QTest::mousePress(&t.w, button, Qt::NoModifier, QPoint(2, 2));
        QTest::mouseMove(&t.w, t.In(200, 200));
        QTest::mouseRelease(&t.w, button, Qt::NoModifier, t.In(200, 200));
    }
    QApplication::processEvents();
    EXPECT_EQ(c.BottomAxis().Minimum(), min);
    EXPECT_EQ(c.BottomAxis().Maximum(), max);
    EXPECT_FALSE(c.IsZoomed);
    EXPECT_EQ(Copy(t.w.QtCanvas()), before);
}

TEST(ChartWidget, ALostReleaseEndsTheDragWithoutZooming) {
    TShownWidget t;
    TChart& c = t.C();
    const QImage before = Copy(t.w.QtCanvas());
    QTest::mousePress(&t.w, Qt::LeftButton, Qt::NoModifier, t.In(50, 50));
    QTest::mouseMove(&t.w, t.In(250, 200));
    // The release went to another window; the next move arrives with no button held.
    QMouseEvent move(QEvent::MouseMove, QPointF(t.In(260, 210)), QPointF(t.w.mapToGlobal(t.In(260, 210))),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&t.w, &move);
    EXPECT_FALSE(c.ZoomDrag.Active);
    EXPECT_FALSE(c.IsZoomed);
    EXPECT_EQ(Copy(t.w.QtCanvas()), before);
    QTest::mouseRelease(&t.w, Qt::LeftButton, Qt::NoModifier, t.In(260, 210));  // late: nothing
    EXPECT_FALSE(c.IsZoomed);
}

// Counts the paint events a widget receives and keeps the region they asked for.
class TPaintCounter : public QObject {
public:
    int Paints = 0;
    QRegion Painted;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            ++Paints;
            Painted += static_cast<QPaintEvent*>(e)->region();
        }
        return false;
    }
};

TEST(ChartWidget, ABandMovePresentsOnlyTheOutlines) {
    TShownWidget t;
    TChart& c = t.C();
    const QPoint a = t.In(80, 40), b = t.In(300, 200), d = t.In(250, 230);
    QTest::mousePress(&t.w, Qt::LeftButton, Qt::NoModifier, a);
    QTest::mouseMove(&t.w, b);
    QApplication::processEvents();
    TPaintCounter counter;
    t.w.installEventFilter(&counter);
    const long frames = c.FramesDrawn;
    QTest::mouseMove(&t.w, d);
    QApplication::processEvents();
    t.w.removeEventFilter(&counter);
    EXPECT_EQ(c.FramesDrawn, frames);
    ASSERT_GE(counter.Paints, 1);
    for (QPoint p : {QPoint(a.x(), a.y() + 50), QPoint(a.x() + 60, a.y()), QPoint(b.x() - 1, a.y() + 70),
                     QPoint(a.x() + 90, b.y() - 1), QPoint(d.x() - 1, a.y() + 100), QPoint(a.x() + 30, d.y() - 1)})
        EXPECT_TRUE(counter.Painted.contains(p)) << p.x() << "," << p.y();
    EXPECT_FALSE(counter.Painted.contains(QPoint(a.x() + 100, a.y() + 100)));  // inside the band
    EXPECT_FALSE(counter.Painted.contains(QPoint(5, 5)));
    // What the window shows is the buffer with the band.
    const QImage shown = t.w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, Copy(t.w.QtCanvas()).convertToFormat(QImage::Format_RGB32));
    QTest::mouseRelease(&t.w, Qt::LeftButton, Qt::NoModifier, a);
}

TEST(ChartWidget, AnimatedZoomShowsEveryStepBeforeTheReleaseReturns) {
    TShownWidget t;
    TChart& c = t.C();
    c.AnimatedZoom = true;
    c.AnimatedZoomSteps = 5;
    TPaintCounter counter;
    t.w.installEventFilter(&counter);
    const long frames = c.FramesDrawn;
    QTest::mousePress(&t.w, Qt::LeftButton, Qt::NoModifier, t.In(50, 50));
    QTest::mouseMove(&t.w, t.In(250, 200));
    QTest::mouseRelease(&t.w, Qt::LeftButton, Qt::NoModifier, t.In(250, 200));
    EXPECT_EQ(c.FramesDrawn - frames, 4);
    EXPECT_GE(counter.Paints, 4);
    t.w.removeEventFilter(&counter);
}

TEST(ChartWidget, CursorDefaultWhileDraggingSavedAfterLeaving) {
    TShownWidget t;
    TChart& c = t.C();
    c.SavedCursor = crCross;
    c.SetCursor(crCross);
    EXPECT_EQ(t.w.cursor().shape(), Qt::CrossCursor);
    QTest::mousePress(&t.w, Qt::LeftButton, Qt::NoModifier, t.In(50, 50));
    EXPECT_EQ(t.w.cursor().shape(), Qt::ArrowCursor);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&t.w, &leave);
    EXPECT_EQ(t.w.cursor().shape(), Qt::CrossCursor);
    EXPECT_TRUE(c.ZoomDrag.Active);  // the zoom drag survives leaving
    QTest::mouseRelease(&t.w, Qt::LeftButton, Qt::NoModifier, t.In(52, 52));
}

}  // namespace
}  // namespace zyn::chart
