#pragma once
#include <QRegion>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QAccessibleEvent;
class QPainter;

#include "chart/Chart.h"

namespace zyn::chart {

class TQtCanvas;

// Hosts a TChart in a widget: paint, resize, invalidation and the mouse go in; the chart
// does the rest. The chart draws into the canvas's off-screen image, which is copied here.
// The keyboard focus is shown over the copied image, never in it: the chart's frame, and so
// a copied or saved picture, stays the same whichever widget has the focus.
class TChartWidget : public QWidget {
    Q_OBJECT
public:
    explicit TChartWidget(QWidget* parent = nullptr);
    ~TChartWidget() override;

    TChart& Chart() { return *chart_; }
    TQtCanvas& QtCanvas() { return *canvas_; }

    // The pixels the outline of a zoom drag's band can cover: all a band change needs to
    // present again.
    static QRegion RubberBandRegion(const TZoomPanningRecord& drag);

    // Paints over the presented frame, after it and before the focus ring (a crosshair).
    std::function<void(QPainter&)> OnPaintOverlay;

    // What assistive technology reads of the chart, asked for when it reads; without a
    // provider the name is the chart's title.
    // Value is the text of the value; Number, Lowest and Highest its number and range, for the
    // platforms whose bridges carry a value only as a number.
    struct TAccessibleTexts {
        QString Name, Description, Value;
        std::optional<double> Number, Lowest, Highest;
    };
    std::function<TAccessibleTexts()> AccessibleTexts;
    TAccessibleTexts CurrentAccessibleTexts() const;
    // Tells assistive technology, when one listens, which of the texts changed since it was
    // last told; every drawn frame does so too (a load, a zoom or a scroll).
    void NotifyAccessibility();
    // Takes the events instead of the platform's bridge when set (where there is none, as on
    // the offscreen platform).
    static void (*AccessibilityListener)(QAccessibleEvent* event);

signals:
    // A full frame was drawn into the buffer (the view or the series changed).
    void FrameDrawn();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void DrawFocus(QPainter& painter);

    TQtCanvas* canvas_;  // owned by the chart
    std::unique_ptr<TChart> chart_;
    TAccessibleTexts told_;  // as assistive technology was last told
};

}  // namespace zyn::chart
