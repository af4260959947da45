#include "chart/qt/ChartInteraction.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QStandardPaths>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <stdexcept>

#include "chart/qt/ChartExport.h"
#include "chart/qt/ChartWidget.h"
#include "chart/qt/QtCanvas.h"

namespace zyn::chart {

namespace {

// Left and Right move the view by this share of its width.
constexpr double kScrollStep = 0.1;

// The types a chart is saved as, by extension; the first is the frame's own.
struct TFileType {
    const char* Suffix;
    const char* Filter;
};
enum TFileKind { kPng, kPdf, kSvg };  // indices into kFileTypes
constexpr TFileType kFileTypes[] = {
    {"png", "PNG-Bild (*.png)"}, {"pdf", "PDF-Dokument (*.pdf)"}, {"svg", "SVG-Grafik (*.svg)"}};

// The type of a file name's extension; -1 for none of them.
int FileTypeOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (int i = 0; i < int(std::size(kFileTypes)); ++i)
        if (suffix == QLatin1String(kFileTypes[i].Suffix)) return i;
    return -1;
}

QString AskWithDialog(QWidget* parent, const QString& proposed) {
    QFileDialog dialog(parent, QStringLiteral("Bild speichern"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    QStringList filters;
    for (const TFileType& type : kFileTypes) filters << QString::fromUtf8(type.Filter);
    dialog.setNameFilters(filters);
    int chosen = std::max<int>(kPng, FileTypeOf(proposed));
    dialog.selectNameFilter(filters[chosen]);
    dialog.setDefaultSuffix(QString::fromLatin1(kFileTypes[chosen].Suffix));
    // Another type gives the name its extension, as the user would otherwise have to.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        const int type = filters.indexOf(filter);
        if (type < 0) return;
        chosen = type;
        const QString suffix = QString::fromLatin1(kFileTypes[type].Suffix);
        dialog.setDefaultSuffix(suffix);
        const QFileInfo typed(dialog.selectedFiles().value(0));
        if (!typed.fileName().isEmpty() && FileTypeOf(typed.fileName()) >= 0)
            dialog.selectFile(typed.completeBaseName() + u'.' + suffix);
    });
    dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    QString path = dialog.selectedFiles().front();
    // A name with an extension of none of the types gets the chosen type's.
    if (FileTypeOf(path) < 0) path += u'.' + QString::fromLatin1(kFileTypes[chosen].Suffix);
    return path;
}

// Writes the bytes unbuffered and again after a short write: a write that stops part-way
// (a full disk) leaves no reason, the next one, which writes nothing, gives it.
bool WriteAll(QSaveFile& file, const QByteArray& bytes) {
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) return false;
        done += written;
    }
    return true;
}

}  // namespace

TChartInteraction::~TChartInteraction() = default;

TChartInteraction::TChartInteraction(TChartWidget* widget) : QObject(widget), widget_(widget) {
    hoverTimer_.setSingleShot(true);
    hoverTimer_.setInterval(HoverDelay);
    connect(&hoverTimer_, &QTimer::timeout, this, &TChartInteraction::ShowDayValues);
    AskSaveFileName = [this](const QString& proposed) { return AskWithDialog(widget_, proposed); };
    // A click or Tab gives the chart the keys.
    widget_->setFocusPolicy(Qt::StrongFocus);
    copyAction_ = NewAction(QStringLiteral("Bild kopieren"), {QKeySequence::Copy}, Qt::WindowShortcut,
                            [this] { CopyImage(); });
    saveAction_ = NewAction(QStringLiteral("Bild speichern \u2026"), {QKeySequence::Save}, Qt::WindowShortcut,
                            [this] { SaveImage(); });
    printAction_ = NewAction(QStringLiteral("Drucken \u2026"), {QKeySequence::Print}, Qt::WindowShortcut,
                             [this] { Print(); });
    resetAction_ = NewAction(QStringLiteral("Zoom zurücksetzen"), {Qt::Key_Escape, Qt::Key_Home}, Qt::WidgetShortcut,
                             [this] { ResetZoom(); });
    widget_->installEventFilter(this);
    widget_->OnPaintOverlay = [this](QPainter& painter) {
        const TCrosshair crosshair = Crosshair();
        crosshair.Paint(painter);
        crosshairPainted_ = crosshair.Region();
    };
    connect(widget_, &TChartWidget::FrameDrawn, this, &TChartInteraction::FollowFrame);
}

QAction* TChartInteraction::NewAction(const QString& text, const QList<QKeySequence>& keys,
                                      Qt::ShortcutContext context, const std::function<void()>& command) {
    auto* action = new QAction(text, this);
    action->setShortcuts(keys);
    action->setShortcutContext(context);
    // A drag in progress keeps its ranges and its frame.
    connect(action, &QAction::triggered, this, [this, command] {
        if (!DragActive()) Run(command);
    });
    widget_->addAction(action);
    return action;
}

void TChartInteraction::Run(const std::function<void()>& command) const {
    if (Dispatch)
        Dispatch(command);
    else
        command();
}

bool TChartInteraction::DragActive() const {
    const TChart& c = widget_->Chart();
    return c.ZoomDrag.Active || c.PanDrag.Active;
}

bool TChartInteraction::Zoomed() const {
    const TChart& c = widget_->Chart();
    return c.HasSavedScales || c.IsZoomed;
}

int TChartInteraction::DayAt(QPoint pixel) const {
    TChart& c = widget_->Chart();
    if (!c.PlotRect.Contains(pixel.x(), pixel.y()) || c.BottomAxis().PixelLength < 1) return -1;
    double lo = 0, hi = 0;
    c.VisibleHorizontalRange(lo, hi);
    const double first = std::ceil(lo), last = std::floor(hi);
    if (!(first <= last) || last < INT32_MIN || first > INT32_MAX) return -1;
    const double day = std::clamp(std::round(c.BottomAxis().PixelToValue(pixel.x())), first, last);
    return static_cast<int>(day);
}

// ---- crosshair and day cursor ----

TCrosshair TChartInteraction::Crosshair() const {
    if (cursorSource_ == TCursorSource::None || crosshairHidden_ || DragActive()) return {};
    TChart& c = widget_->Chart();
    if (cursorSource_ == TCursorSource::Pointer) return TCrosshair::At(c, cursorDay_, pointerAt_.y());
    // The key cursor stands on the day's last value on the price axis: a candle's close.
    for (TChartSeries* s : c.SeriesList()) {
        if (!s->Active() || s->GetVertAxis() != &c.RightAxis()) continue;
        const TChartValueList& xs = s->XValues();
        const int i = xs.FirstAtLeast(cursorDay_);
        if (i < xs.Count() && xs.Value(i) == cursorDay_) return TCrosshair::At(c, cursorDay_, 0, s->ValuesLists().back()->Value(i));
    }
    return TCrosshair::At(c, cursorDay_, -1);
}

void TChartInteraction::SetCursor(TCursorSource source, int day) {
    if (day < 0) source = TCursorSource::None;
    if (source == TCursorSource::None) day = -1;
    cursorSource_ = source;
    if (day == cursorDay_) return;
    cursorDay_ = day;
    emit CursorDayChanged(day);
    // With a frame pending (a scroll, new series) the frame tells, once the view is laid out.
    if (widget_->Chart().Canvas().BufferValid) widget_->NotifyAccessibility();
}

void TChartInteraction::RefreshCrosshair() {
    const QRegion now = Crosshair().Region();
    if (now.isEmpty() && crosshairPainted_.isEmpty()) return;
    widget_->update(crosshairPainted_ + now);
}

void TChartInteraction::PointerMoved(QPoint at) {
    pointerAt_ = at;
    crosshairHidden_ = false;
    const int day = DayAt(at);
    if (day >= 0)
        SetCursor(TCursorSource::Pointer, day);
    else if (cursorSource_ == TCursorSource::Pointer)
        SetCursor(TCursorSource::None, -1);
    RefreshCrosshair();
}

void TChartInteraction::HideCrosshair() {
    if (cursorSource_ == TCursorSource::Pointer) SetCursor(TCursorSource::None, -1);
    RefreshCrosshair();
}

void TChartInteraction::FollowFrame() {
    // The whole widget is presented with the frame: no region to refresh.
    if (cursorSource_ == TCursorSource::Pointer) {
        SetCursor(TCursorSource::Pointer, DayAt(pointerAt_));
    } else if (cursorSource_ == TCursorSource::Keys) {
        int first = 0, last = 0;
        if (!DayRange(first, last) || cursorDay_ < first || cursorDay_ > last) SetCursor(TCursorSource::None, -1);
    }
}

bool TChartInteraction::DayRange(int& first, int& last) const {
    TChart& c = widget_->Chart();
    TChartAxis& bottom = c.BottomAxis();
    bool any = false;
    for (const TChartSeries* s : c.SeriesList()) any = any || (s->Active() && s->Count() > 0 && s->UsesAxis(&bottom));
    if (!any) return false;
    const double lo = std::ceil(c.LowestX(bottom)), hi = std::floor(c.HighestX(bottom));
    if (!(lo <= hi) || lo < INT32_MIN || hi > INT32_MAX) return false;
    first = static_cast<int>(lo);
    last = static_cast<int>(hi);
    return true;
}

void TChartInteraction::BringIntoView(int day) {
    TChart& c = widget_->Chart();
    double lo = 0, hi = 0;
    c.VisibleHorizontalRange(lo, hi);
    if (!(hi > lo)) return;
    double days = 0;
    if (day < std::ceil(lo))
        days = day - std::ceil(lo);
    else if (day > std::floor(hi))
        days = day - std::floor(hi);
    if (days != 0) c.ScrollHorizontal(days / (hi - lo));
}

void TChartInteraction::SetCursorDay(int day) {
    int first = 0, last = 0;
    if (day >= 0 && DayRange(first, last))
        SetCursor(TCursorSource::Keys, std::clamp(day, first, last));
    else
        SetCursor(TCursorSource::None, -1);
    crosshairHidden_ = false;
    RefreshCrosshair();
}

void TChartInteraction::StepCursor(int days) {
    int first = 0, last = 0;
    if (!DayRange(first, last)) return;
    int day = cursorDay_;
    if (day < 0) {
        double lo = 0, hi = 0;
        widget_->Chart().VisibleHorizontalRange(lo, hi);
        day = static_cast<int>(std::clamp(std::floor(hi), double(first), double(last)));
    } else {
        day = std::clamp(day + days, first, last);
    }
    BringIntoView(day);
    SetCursorDay(day);
}

void TChartInteraction::CursorToNewest() {
    int first = 0, last = 0;
    if (!DayRange(first, last)) return;
    BringIntoView(last);
    SetCursorDay(last);
}

QImage TChartInteraction::Frame() const {
    TChart& c = widget_->Chart();
    c.PaintChart();  // draws only when the buffer is not valid
    return widget_->QtCanvas().Image().copy();
}

void TChartInteraction::CopyImage() const { QApplication::clipboard()->setImage(Frame()); }

QString TChartInteraction::SaveFolder() const {
    const auto writable = [](const QString& folder) {
        const QFileInfo info(folder);
        return !folder.isEmpty() && info.isDir() && info.isWritable();
    };
    // Started from the desktop menu the current directory may be the installed samples.
    for (const QString& folder : {lastFolder_, QDir::currentPath(),
                                  QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)}) {
        if (writable(folder)) return folder;
    }
    return QDir::homePath();
}

QString TChartInteraction::DocumentName() const {
    const QString name = ImageName ? ImageName() : QString();
    return name.isEmpty() ? QStringLiteral("Chart") : name;
}

void TChartInteraction::SaveImage() {
    const QString path = AskSaveFileName(QDir(SaveFolder()).filePath(DocumentName() + u'.' + lastSuffix_));
    if (path.isEmpty()) return;
    SaveImageTo(path);
    lastFolder_ = QFileInfo(path).absolutePath();
    if (const int type = FileTypeOf(path); type >= 0) lastSuffix_ = QString::fromLatin1(kFileTypes[type].Suffix);
}

bool TChartInteraction::Encode(const QString& path, QByteArray& bytes, QString& reason) const {
    TChart& c = widget_->Chart();
    switch (FileTypeOf(path)) {
        case kPdf: bytes = ChartPdf(c, c.Width(), c.Height(), DocumentName()); return true;
        case kSvg: bytes = ChartSvg(c, c.Width(), c.Height(), DocumentName()); return true;
        default: break;
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (writer.write(Frame())) return true;
    reason = writer.errorString();
    return false;
}

void TChartInteraction::SaveImageTo(const QString& path) {
    // Encoded first, so that a failure of the file is told apart from one of the encoding.
    QByteArray bytes;
    QString reason;
    if (Encode(path, bytes, reason)) {
        QSaveFile file(path);
        if (WriteAll(file, bytes) && file.commit()) return;
        reason = file.errorString();
    }
    std::string message = "Das Bild kann nicht gespeichert werden: " + path.toStdString();
    if (!reason.isEmpty()) message += "\n" + reason.toStdString();
    if (QFileInfo::exists(path)) {
        if (!reason.isEmpty() && !reason.endsWith(u'.')) message += '.';
        message += "\nDie vorhandene Datei ist unverändert";
    }
    throw std::runtime_error(message);
}

void TChartInteraction::Print() {
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer_->setPageOrientation(QPageLayout::Landscape);
    }
    printer_->setDocName(DocumentName());
    QPrintPreviewDialog preview(printer_.get(), widget_->window());
    preview.resize(widget_->window()->size() * 0.9);
    // The page is drawn inside the dialog's loop: its errors go to the box from there.
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* printer) { Run([this, printer] { PrintTo(*printer); }); });
    preview.exec();
}

void TChartInteraction::PrintTo(QPrinter& printer) {
    TChart& c = widget_->Chart();
    c.PaintChart();  // the footer names what the frame shows
    const QString left = PrintFooter ? PrintFooter() : DocumentName();
    const QString right = QStringLiteral("Gedruckt am %1 Uhr")
                              .arg(QLocale(QLocale::German).toString(QDateTime::currentDateTime(),
                                                                     QStringLiteral("dd.MM.yyyy, HH:mm")));
    PrintChart(c, c.Width(), c.Height(), printer, left, right);
}

void TChartInteraction::ResetZoom() {
    if (Zoomed()) widget_->Chart().RevertZoom();
}

void TChartInteraction::ZoomAround(double notches, double centre) {
    widget_->Chart().ZoomHorizontal(std::pow(ZoomFactor, notches), centre);
}

void TChartInteraction::ShowDayValues() {
    if (DragActive() || QApplication::mouseButtons() != Qt::NoButton) return;
    const int day = DayAt(hoverAt_);
    const QString text = day >= 0 && DayText ? DayText(day) : QString();
    if (text.isEmpty()) {
        HideDayValues();
        return;
    }
    QToolTip::showText(widget_->mapToGlobal(hoverAt_), text, widget_);
    shownDay_ = day;
}

void TChartInteraction::HideDayValues() {
    hoverTimer_.stop();
    if (shownDay_ >= 0) QToolTip::hideText();
    shownDay_ = -1;
}

void TChartInteraction::OpenContextMenu(QPoint at) {
    if (menu_) menu_->close();
    menu_ = new QMenu(widget_);
    menu_->setAttribute(Qt::WA_DeleteOnClose);
    connect(menu_, &QObject::destroyed, this, [this, menu = menu_] {
        if (menu_ == menu) menu_ = nullptr;
    });
    menu_->addAction(copyAction_);
    menu_->addAction(saveAction_);
    menu_->addAction(printAction_);
    if (Zoomed()) menu_->addAction(resetAction_);
    menu_->popup(widget_->mapToGlobal(at));
}

bool TChartInteraction::KeyPress(QKeyEvent* e) {
    // Ctrl with an arrow steps the day cursor; otherwise plain keys only (the keypad's + and −
    // count). A drag in progress keeps its ranges.
    const bool left = e->key() == Qt::Key_Left;
    if ((left || e->key() == Qt::Key_Right) && (e->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
        if (!DragActive()) Run([this, left] { StepCursor(left ? -1 : 1); });
        return true;
    }
    if (e->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) return false;
    TChart& c = widget_->Chart();
    double lo = 0, hi = 0;
    c.VisibleHorizontalRange(lo, hi);
    switch (e->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Minus: {
            const double notches = e->key() == Qt::Key_Plus ? 1 : -1;
            if (!DragActive()) Run([this, notches, lo, hi] { ZoomAround(notches, (lo + hi) / 2); });
            return true;
        }
        case Qt::Key_Left:
        case Qt::Key_Right: {
            const double step = e->key() == Qt::Key_Left ? -kScrollStep : kScrollStep;
            if (!DragActive()) Run([&c, step] { c.ScrollHorizontal(step); });
            return true;
        }
        case Qt::Key_End:
            if (!DragActive()) Run([this] { CursorToNewest(); });
            return true;
        default: return false;
    }
}

bool TChartInteraction::eventFilter(QObject* watched, QEvent* event) {
    if (watched != widget_) return false;
    switch (event->type()) {
        case QEvent::MouseMove: {
            const auto* e = static_cast<QMouseEvent*>(event);
            const QPoint p = e->position().toPoint();
            if (e->buttons() != Qt::NoButton || DragActive()) {
                HideDayValues();
                if (!crosshairHidden_) {
                    crosshairHidden_ = true;
                    RefreshCrosshair();
                }
                break;
            }
            PointerMoved(p);
            hoverAt_ = p;
            const int day = DayAt(p);
            if (day < 0) {
                HideDayValues();
            } else if (shownDay_ >= 0 && QToolTip::isVisible()) {
                // Once shown, the values follow the pointer from day to day.
                if (day != shownDay_) ShowDayValues();
            } else {
                shownDay_ = -1;
                hoverTimer_.start();
            }
            break;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            HideDayValues();
            // A press may start a drag, which shows the chart without the crosshair.
            crosshairHidden_ = true;
            RefreshCrosshair();
            const auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() == Qt::RightButton) {
                rightPressed_ = true;
                rightPressAt_ = e->position().toPoint();
            }
            break;
        }
        case QEvent::MouseButtonRelease: {
            const auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() != Qt::RightButton || !rightPressed_) break;
            rightPressed_ = false;
            const QPoint p = e->position().toPoint();
            // Opened after the chart has seen the release, so the scrolling ends first.
            if ((p - rightPressAt_).manhattanLength() < QApplication::startDragDistance())
                QMetaObject::invokeMethod(this, [this, p] { OpenContextMenu(p); }, Qt::QueuedConnection);
            break;
        }
        case QEvent::Wheel: {
            auto* e = static_cast<QWheelEvent*>(event);
            HideDayValues();
            const QPoint p = e->position().toPoint();
            TChart& c = widget_->Chart();
            if (DragActive() || !c.PlotRect.Contains(p.x(), p.y())) break;
            const double notches = e->angleDelta().y() / 120.0;
            if (notches == 0) break;
            const double centre = c.BottomAxis().PixelToValue(p.x());
            Run([this, notches, centre] { ZoomAround(notches, centre); });
            e->accept();
            return true;
        }
        case QEvent::KeyPress:
            HideDayValues();
            return KeyPress(static_cast<QKeyEvent*>(event));
        case QEvent::Leave:
        case QEvent::Hide:
            HideDayValues();
            HideCrosshair();
            break;
        default: break;
    }
    return false;
}

}  // namespace zyn::chart
