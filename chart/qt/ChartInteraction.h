#pragma once
#include <QImage>
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QTimer>
#include <QRegion>
#include <functional>
#include <memory>

#include "chart/qt/ChartCrosshair.h"

class QAction;
class QKeyEvent;
class QMenu;
class QPrinter;

namespace zyn::chart {

class TChartWidget;

// What a chart widget offers beyond its drags: a crosshair on the day under the pointer, a day
// cursor on the keys, the values of the day under a resting pointer in a tooltip, wheel and
// keyboard zoom and scrolling of the time axis, copying and saving the frame, and a context
// menu on a right click that did not move. It watches the widget's events and leaves the drags
// to the chart; with the pointer still and no key pressed it draws nothing. The crosshair is
// painted over the presented frame: moving it draws no chart frame.
// Copy (Ctrl+C) and save (Ctrl+S) are shortcuts of the whole window, so they reach the chart
// wherever the focus is, unless the focused widget uses the key itself (a text box copies its
// text); the other keys act while the chart has the focus.
class TChartInteraction : public QObject {
    Q_OBJECT
public:
    explicit TChartInteraction(TChartWidget* widget);
    ~TChartInteraction() override;

    // The tooltip text of a day position; empty for none.
    std::function<QString(int day)> DayText;
    // The file name, without folder and suffix, a saved picture is proposed under.
    std::function<QString()> ImageName;
    // Asks where to save, starting from the proposed path; empty when the user cancels. The
    // dialog offers PNG, PDF and SVG and gives a name without one of their extensions the
    // extension of the type chosen.
    std::function<QString(const QString& proposed)> AskSaveFileName;
    // What a printed page names below the chart (the instrument, the dates in view); the date
    // of printing is added to it.
    std::function<QString()> PrintFooter;
    // Runs a command of a key or menu entry; the host routes its errors to the error box.
    std::function<void(const std::function<void()>&)> Dispatch;

    // The nearest day position in the visible range to a pixel of the plot, or -1 when the
    // pixel is outside the plot or no day position is in view.
    int DayAt(QPoint pixel) const;

    // The day the crosshair (under the pointer) or the key cursor stands on; -1 for none.
    int CursorDay() const { return cursorDay_; }
    // Puts the key cursor on a day position, or takes it away (-1).
    void SetCursorDay(int day);
    // Moves the key cursor by whole days from the crosshair's day; with none it first appears
    // on the last day in view. The view scrolls as far as the day would leave it.
    void StepCursor(int days);
    // Puts the key cursor on the newest day and scrolls that day into view.
    void CursorToNewest();
    // The crosshair as the widget shows it (nothing while it is hidden).
    TCrosshair Crosshair() const;

    // The frame the widget shows (drawn first when a repaint is pending).
    QImage Frame() const;
    void CopyImage() const;
    // Asks for a file name, starting in SaveFolder(), and saves the chart there.
    void SaveImage();
    // Writes the chart by the name's extension: ".pdf" a PDF page of the chart's size in
    // points, ".svg" an SVG picture of the chart's size, both drawn as vectors, anything else
    // the frame as PNG. Into a temporary file beside the target, which replaces the target only
    // when complete, so a failed write leaves an existing file as it was.
    void SaveImageTo(const QString& path);
    // The print preview with the platform's print dialog, landscape unless the user chose
    // otherwise in this run.
    void Print();
    // The chart on one page of the printer, as vectors at its resolution, with the footer line.
    void PrintTo(QPrinter& printer);
    // Where a picture is proposed: the folder of the last picture saved, else the current
    // directory, else the user's pictures folder, else the home folder; the first that exists
    // and can be written.
    QString SaveFolder() const;
    void ResetZoom();
    // Zooms the time axis in (notches > 0) or out around a value of the bottom axis.
    void ZoomAround(double notches, double centre);

    // The context menu while it is open, else null.
    QMenu* ContextMenu() const { return menu_; }
    // The commands with their shortcuts, as the context menu shows them.
    QAction* CopyAction() const { return copyAction_; }
    QAction* SaveAction() const { return saveAction_; }
    QAction* PrintAction() const { return printAction_; }
    QAction* ResetAction() const { return resetAction_; }

    static constexpr int HoverDelay = 500;   // ms a pointer rests before the values show
    static constexpr double ZoomFactor = 1.25;  // per wheel notch or key press

signals:
    // The crosshair's or the key cursor's day changed; -1 when there is none.
    void CursorDayChanged(int day);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class TCursorSource { None, Pointer, Keys };
    void SetCursor(TCursorSource source, int day);
    void PointerMoved(QPoint at);
    void HideCrosshair();
    // Presents the crosshair's old and new pixels again.
    void RefreshCrosshair();
    // After a new frame: the pointer may stand over another day, the key cursor's day may be gone.
    void FollowFrame();
    // The first and last day position with a point; false for none.
    bool DayRange(int& first, int& last) const;
    // Scrolls the view by the whole days the day lies outside it.
    void BringIntoView(int day);
    void ShowDayValues();
    void HideDayValues();
    void OpenContextMenu(QPoint at);
    bool KeyPress(QKeyEvent* e);
    bool DragActive() const;
    // Whether an undo has ranges to go back to.
    bool Zoomed() const;
    void Run(const std::function<void()>& command) const;
    // The instrument's name for files and pages; "Chart" without one.
    QString DocumentName() const;
    // The bytes of the chart as the path's extension asks; false, with the reason, where the
    // picture cannot be encoded.
    bool Encode(const QString& path, QByteArray& bytes, QString& reason) const;
    QAction* NewAction(const QString& text, const QList<QKeySequence>& keys, Qt::ShortcutContext context,
                       const std::function<void()>& command);

    TChartWidget* widget_;
    TCursorSource cursorSource_ = TCursorSource::None;
    int cursorDay_ = -1;
    QPoint pointerAt_;
    bool crosshairHidden_ = false;  // from a press until the pointer moves without a button
    QRegion crosshairPainted_;
    QTimer hoverTimer_;
    QPoint hoverAt_;
    int shownDay_ = -1;
    QPoint rightPressAt_;
    bool rightPressed_ = false;
    QMenu* menu_ = nullptr;
    QAction* copyAction_ = nullptr;
    QAction* saveAction_ = nullptr;
    QAction* printAction_ = nullptr;
    QAction* resetAction_ = nullptr;
    QString lastFolder_;
    QString lastSuffix_ = QStringLiteral("png");  // of the last file saved
    std::unique_ptr<QPrinter> printer_;           // keeps the user's choices for the run
};

}  // namespace zyn::chart
