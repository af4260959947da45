#include "chart/qt/ChartWidget.h"

#include <QAccessible>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

#include "chart/qt/ChartAccessible.h"
#include "chart/qt/QtCanvas.h"

namespace zyn::chart {

namespace {

constexpr int kFocusWidth = 2;

TShiftState ShiftOf(const QMouseEvent* e) {
    TShiftState s = 0;
    const Qt::KeyboardModifiers m = e->modifiers();
    if (m & Qt::ShiftModifier) s |= ssShift;
    if (m & Qt::AltModifier) s |= ssAlt;
    if (m & Qt::ControlModifier) s |= ssCtrl;
    const Qt::MouseButtons b = e->buttons();
    if (b & Qt::LeftButton) s |= ssLeft;
    if (b & Qt::RightButton) s |= ssRight;
    if (b & Qt::MiddleButton) s |= ssMiddle;
    return s;
}

bool ButtonOf(const QMouseEvent* e, TMouseButton& out) {
    switch (e->button()) {
        case Qt::LeftButton: out = TMouseButton::mbLeft; return true;
        case Qt::RightButton: out = TMouseButton::mbRight; return true;
        case Qt::MiddleButton: out = TMouseButton::mbMiddle; return true;
        default: return false;
    }
}

Qt::CursorShape ShapeOf(TCursor c) {
    switch (c) {
        case crCross: return Qt::CrossCursor;
        case crHourGlass: return Qt::WaitCursor;
        case crHandPoint: return Qt::PointingHandCursor;
        default: return Qt::ArrowCursor;
    }
}

}  // namespace

TChartWidget::TChartWidget(QWidget* parent) : QWidget(parent) {
    static const bool accessibleFactory = (QAccessible::installFactory(&TChartAccessible::Factory), true);
    (void)accessibleFactory;
    auto canvas = std::make_unique<TQtCanvas>();
    canvas_ = canvas.get();
    chart_ = std::make_unique<TChart>(std::move(canvas));
    // The chart paints every pixel itself: no background erase before a paint.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    // A request is served by one later paint; a step of an animated zoom, already drawn into
    // the buffer, is shown at once.
    chart_->OnInvalidate = [this] { update(); };
    chart_->OnPresentFrame = [this] { repaint(); };
    chart_->OnRubberBandChanged = [this] { update(RubberBandRegion(chart_->ZoomDrag)); };
    chart_->OnCursorChange = [this](TCursor c) {
        if (c == crDefault)
            unsetCursor();
        else
            setCursor(ShapeOf(c));
    };
    canvas_->SetDevicePixelRatio(devicePixelRatioF());
    chart_->SetBounds(width(), height());
}

TChartWidget::~TChartWidget() = default;

QRegion TChartWidget::RubberBandRegion(const TZoomPanningRecord& drag) {
    const QRect outer(QPoint(std::min(drag.X0, drag.X1), std::min(drag.Y0, drag.Y1)),
                      QPoint(std::max(drag.X0, drag.X1), std::max(drag.Y0, drag.Y1)));
    // Two pixels on every side cover the outline whichever edge convention drew it.
    return QRegion(outer).subtracted(QRegion(outer.adjusted(2, 2, -2, -2)));
}

void TChartWidget::paintEvent(QPaintEvent*) {
    // A move to a screen with another pixel ratio renders the buffer anew at that ratio.
    if (canvas_->DevicePixelRatio() != devicePixelRatioF()) {
        canvas_->SetDevicePixelRatio(devicePixelRatioF());
        chart_->InvalidateChart();
    }
    const long frames = chart_->FramesDrawn;
    chart_->PaintChart();
    // Told before the overlay is painted, which may follow the new frame's mapping.
    const bool drawn = chart_->FramesDrawn != frames;
    if (drawn) emit FrameDrawn();
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), canvas_->Image());
    if (OnPaintOverlay) OnPaintOverlay(painter);
    if (hasFocus()) DrawFocus(painter);
    painter.end();
    if (drawn) NotifyAccessibility();
}

TChartWidget::TAccessibleTexts TChartWidget::CurrentAccessibleTexts() const {
    if (AccessibleTexts) return AccessibleTexts();
    QStringList title;
    for (const std::string& line : chart_->Title.Text()) title << QString::fromStdString(line);
    TAccessibleTexts texts;
    texts.Name = title.join(u' ');
    return texts;
}

void (*TChartWidget::AccessibilityListener)(QAccessibleEvent* event) = nullptr;

void TChartWidget::NotifyAccessibility() {
    // Nothing is worked out while no assistive technology listens.
    if (!AccessibilityListener && !QAccessible::isActive()) return;
    const auto send = [](QAccessibleEvent& event) {
        if (AccessibilityListener)
            AccessibilityListener(&event);
        else
            QAccessible::updateAccessibility(&event);
    };
    const TAccessibleTexts now = CurrentAccessibleTexts();
    if (now.Name != told_.Name) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        send(event);
    }
    if (now.Description != told_.Description) {
        QAccessibleEvent event(this, QAccessible::DescriptionChanged);
        send(event);
    }
    if (now.Value != told_.Value || now.Number != told_.Number) {
        QAccessibleValueChangeEvent event(this, now.Number ? QVariant(*now.Number) : QVariant(now.Value));
        send(event);
    }
    told_ = now;
}

// A ring in the selection colour over the panel's border, inside its outer bevel.
void TChartWidget::DrawFocus(QPainter& painter) {
    const QRect ring = rect().adjusted(1, 1, -1, -1);
    if (ring.width() <= 2 * kFocusWidth || ring.height() <= 2 * kFocusWidth) return;
    const QColor color = palette().color(QPalette::Highlight);
    painter.fillRect(QRect(ring.left(), ring.top(), ring.width(), kFocusWidth), color);
    painter.fillRect(QRect(ring.left(), ring.bottom() - kFocusWidth + 1, ring.width(), kFocusWidth), color);
    painter.fillRect(QRect(ring.left(), ring.top(), kFocusWidth, ring.height()), color);
    painter.fillRect(QRect(ring.right() - kFocusWidth + 1, ring.top(), kFocusWidth, ring.height()), color);
}

void TChartWidget::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();  // shows the buffer again with the focus; no chart frame is drawn
}

void TChartWidget::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void TChartWidget::resizeEvent(QResizeEvent*) {
    chart_->SetBounds(width(), height());
    chart_->InvalidateChart();
}

void TChartWidget::mousePressEvent(QMouseEvent* e) {
    TMouseButton b;
    if (!ButtonOf(e, b)) return;
    const QPoint p = e->position().toPoint();
    chart_->MouseDown(b, ShiftOf(e), p.x(), p.y());
}

void TChartWidget::mouseDoubleClickEvent(QMouseEvent* e) {
    TMouseButton b;
    if (!ButtonOf(e, b)) return;
    const QPoint p = e->position().toPoint();
    chart_->MouseDown(b, ShiftOf(e) | ssDouble, p.x(), p.y());
}

void TChartWidget::mouseMoveEvent(QMouseEvent* e) {
    // While a button is held Qt keeps sending moves here, also outside the widget.
    const QPoint p = e->position().toPoint();
    const TShiftState shift = ShiftOf(e);
    // A release that went elsewhere (a popup or another window took the mouse) must not leave
    // a drag running: the zoom drag ends at its press point, which neither zooms nor undoes.
    TChart& c = *chart_;
    if (c.ZoomDrag.Active && !(e->buttons() & Qt::LeftButton))
        c.MouseUp(TMouseButton::mbLeft, shift, c.ZoomDrag.X0, c.ZoomDrag.Y0);
    if (c.PanDrag.Active && !(e->buttons() & Qt::RightButton)) c.MouseUp(TMouseButton::mbRight, shift, p.x(), p.y());
    c.MouseMove(shift, p.x(), p.y());
}

void TChartWidget::mouseReleaseEvent(QMouseEvent* e) {
    TMouseButton b;
    if (!ButtonOf(e, b)) return;
    const QPoint p = e->position().toPoint();
    chart_->MouseUp(b, ShiftOf(e), p.x(), p.y());
}

void TChartWidget::leaveEvent(QEvent* event) {
    chart_->MouseLeave();
    QWidget::leaveEvent(event);
}

}  // namespace zyn::chart
