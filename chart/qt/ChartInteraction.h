#pragma once
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QTimer>
#include <functional>

class QKeyEvent;
class QMenu;

namespace zyn::chart {

class TChartWidget;

// What a chart widget offers beyond its drags: the values of the day under a resting pointer
// in a tooltip, wheel and keyboard zoom and scrolling of the time axis, copying and saving the
// frame, and a context menu on a right click that did not move. It watches the widget's events
// and leaves the drags to the chart; with the pointer still and no key pressed it draws nothing.
class TChartInteraction : public QObject {
    Q_OBJECT
public:
    explicit TChartInteraction(TChartWidget* widget);

    // The tooltip text of a day position; empty for none.
    std::function<QString(int day)> DayText;
    // The file name, without folder and suffix, a saved picture is proposed under.
    std::function<QString()> ImageName;
    // Asks where to save, starting from the proposed path; empty when the user cancels.
    std::function<QString(const QString& proposed)> AskSaveFileName;
    // Runs a command of a key or menu entry; the host routes its errors to the error box.
    std::function<void(const std::function<void()>&)> Dispatch;

    // The nearest day position in the visible range to a pixel of the plot, or -1 when the
    // pixel is outside the plot or no day position is in view.
    int DayAt(QPoint pixel) const;

    // The frame the widget shows (drawn first when a repaint is pending).
    QImage Frame() const;
    void CopyImage() const;
    // Asks for a file name and saves the frame as PNG there.
    void SaveImage() const;
    void SaveImageTo(const QString& path) const;
    void ResetZoom();
    // Zooms the time axis in (notches > 0) or out around a value of the bottom axis.
    void ZoomAround(double notches, double centre);

    // The context menu while it is open, else null.
    QMenu* ContextMenu() const { return menu_; }

    static constexpr int HoverDelay = 500;   // ms a pointer rests before the values show
    static constexpr double ZoomFactor = 1.25;  // per wheel notch or key press

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowDayValues();
    void HideDayValues();
    void OpenContextMenu(QPoint at);
    bool KeyPress(QKeyEvent* e);
    bool DragActive() const;
    // Whether an undo has ranges to go back to.
    bool Zoomed() const;
    void Run(const std::function<void()>& command) const;

    TChartWidget* widget_;
    QTimer hoverTimer_;
    QPoint hoverAt_;
    int shownDay_ = -1;
    QPoint rightPressAt_;
    bool rightPressed_ = false;
    QMenu* menu_ = nullptr;
};

}  // namespace zyn::chart
