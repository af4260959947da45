// Mouse interaction cost on the viewer's chart at 1920 × 1080 with 2,600 days, against two
// baselines measured in the same run: filling an empty frame and copying the chart's buffer
// to a window-sized image (what presenting a finished frame costs).
//
// - band move: one pointer move during a zoom drag (the old band erased and the new one
//   drawn on the buffer) plus presenting the buffer; no chart redraw. Goal: under 2 × the
//   buffer copy.
// - pan step: one pointer move during a right drag, which shifts the axes, plus the one full
//   frame it asks for, presented. Goal: under one 60 Hz frame (16.7 ms).
// - wheel notch: the time axis zoomed around a value, the price axis fitted to the days in
//   view, and the one full frame it asks for, presented; against a full repaint of the same
//   run. Goal: one frame, a ratio of about 1.
// - crosshair move and day-cursor step, on the viewer's window at 1920 × 1080 with 30,000
//   days: a pointer move to another day and price, or Ctrl+Right / Ctrl+Left inside the view,
//   with everything it repaints (the crosshair's pixels, the values pane) presented; against a
//   full repaint of the same window's chart. Goal: no chart frame, well under one 60 Hz frame.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>

#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/ChartSetup.h"
#include "app/Main.h"
#include "chart/Chart.h"
#include "chart/qt/ChartInteraction.h"
#include "chart/qt/ChartWidget.h"
#include "chart/qt/QtCanvas.h"
#include "data/DailyRecord.h"
#include "tools/SampleData.h"

namespace {

using zyn::chart::TChart;
using zyn::chart::TChartWidget;
using zyn::chart::TMouseButton;
using zyn::chart::TQtCanvas;

constexpr int kWidth = 1920, kHeight = 1080, kDays = 2600;

// Days since 30 December 1899.
double DayCount(const zyn::sample::Date& d) {
    const int y = d.month <= 2 ? d.year - 1 : d.year;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (d.month + (d.month > 2 ? -3 : 9)) + 2) / 5 + d.day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long days1970 = long(era) * 146097 + doe - 719468;
    return double(days1970 + 25569);
}

zyn::RecordList SyntheticRecords() {
    const auto& dax = *zyn::sample::FindInstrument("DAX");
    zyn::sample::Options options;
    options.rows = kDays;
    std::vector<zyn::sample::Row> rows = zyn::sample::GenerateRows(dax, options);
    double scale = 1;
    for (int i = 0; i < dax.decimals; ++i) scale *= 10;
    zyn::RecordList records;
    records.reserve(rows.size());
    // The file lists the newest day first; so does the record list.
    for (const auto& r : rows) {
        zyn::DailyRecord d;
        d.Date = DayCount(r.date);
        d.Open = double(r.open) / scale;
        d.High = double(r.high) / scale;
        d.Low = double(r.low) / scale;
        d.Close = double(r.close) / scale;
        d.Midpoint = (d.High + d.Low) * 0.5;
        d.RangeHigh = double(r.rangeHigh) / scale;
        d.RangeLow = double(r.rangeLow) / scale;
        d.Pivot = double(r.pivot) / scale;
        d.R1 = double(r.r1) / scale;
        d.R2 = double(r.r2) / scale;
        d.R3 = double(r.r3) / scale;
        d.S1 = double(r.s1) / scale;
        d.S2 = double(r.s2) / scale;
        d.S3 = double(r.s3) / scale;
        d.Trend1 = r.trend[0];
        d.Trend2 = r.trend[1];
        d.Trend3 = r.trend[2];
        d.Trend4 = r.trend[3];
        d.Trend5 = r.trend[4];
        d.Trend6 = r.trend[5];
        d.TrendSum = d.Trend1 + d.Trend2 + d.Trend3 + d.Trend4 + d.Trend6;
        records.push_back(d);
    }
    return records;
}

// The viewer's chart, filled and drawn once.
struct TViewerChart {
    TQtCanvas* Canvas;
    std::unique_ptr<TChart> Chart;
    QImage Window{kWidth, kHeight, QImage::Format_RGB32};

    TViewerChart() {
        auto canvas = std::make_unique<TQtCanvas>();
        Canvas = canvas.get();
        Chart = std::make_unique<TChart>(std::move(canvas));
        const auto series = zyn::app::SetupChart1(*Chart);
        static const zyn::RecordList records = SyntheticRecords();
        zyn::app::FillChart1(*Chart, series, records, "DAX", true);
        Chart->SetBounds(kWidth, kHeight);
        Chart->PaintChart();
        Present();
    }
    // What the window's paint does with a valid buffer.
    void Present() {
        Chart->PaintChart();
        QPainter p(&Window);
        p.drawImage(0, 0, Canvas->Image());
    }
    int PlotX(double f) const { return Chart->PlotRect.Left + int(f * Chart->PlotWidth); }
    int PlotY(double f) const { return Chart->PlotRect.Top + int(f * Chart->PlotHeight); }
};

void BM_FloorEmptyFrame(benchmark::State& state) {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_BufferCopy(benchmark::State& state) {
    TViewerChart v;
    for (auto _ : state) {
        QPainter p(&v.Window);
        p.drawImage(0, 0, v.Canvas->Image());
        p.end();
        benchmark::DoNotOptimize(v.Window.constBits());
    }
}

// Erase + draw of a band covering most of the plot, without presenting.
void BM_BandOnly(benchmark::State& state) {
    TViewerChart v;
    TChart& c = *v.Chart;
    c.MouseDown(TMouseButton::mbLeft, 0, v.PlotX(0.1), v.PlotY(0.1));
    int i = 0;
    for (auto _ : state) {
        c.MouseMove(0, v.PlotX(0.8) + (i & 1), v.PlotY(0.8) + (i & 1));
        ++i;
    }
    if (c.FramesDrawn != 1) state.SkipWithError("a band move redrew the chart");
}

// The band move as the lead measure asks for it: the whole buffer presented after the move.
void BM_BandMoveFullCopy(benchmark::State& state) {
    TViewerChart v;
    TChart& c = *v.Chart;
    c.MouseDown(TMouseButton::mbLeft, 0, v.PlotX(0.1), v.PlotY(0.1));
    int i = 0;
    for (auto _ : state) {
        c.MouseMove(0, v.PlotX(0.8) + (i & 1), v.PlotY(0.8) + (i & 1));
        v.Present();
        ++i;
    }
    benchmark::DoNotOptimize(v.Window.constBits());
    if (c.FramesDrawn != 1) state.SkipWithError("a band move redrew the chart");
}

// The band move as the widget presents it: only the pixels under the old and the new outline.
void BM_BandMove(benchmark::State& state) {
    TViewerChart v;
    TChart& c = *v.Chart;
    c.MouseDown(TMouseButton::mbLeft, 0, v.PlotX(0.1), v.PlotY(0.1));
    int i = 0;
    for (auto _ : state) {
        QRegion dirty = TChartWidget::RubberBandRegion(c.ZoomDrag);
        c.MouseMove(0, v.PlotX(0.8) + (i & 1), v.PlotY(0.8) + (i & 1));
        dirty += TChartWidget::RubberBandRegion(c.ZoomDrag);
        v.Chart->PaintChart();
        QPainter p(&v.Window);
        p.setClipRegion(dirty);
        p.drawImage(0, 0, v.Canvas->Image());
        ++i;
    }
    benchmark::DoNotOptimize(v.Window.constBits());
    if (c.FramesDrawn != 1) state.SkipWithError("a band move redrew the chart");
}

// A right drag of 10 pixels back and forth across the whole, unzoomed chart.
void BM_PanStep(benchmark::State& state) {
    TViewerChart v;
    TChart& c = *v.Chart;
    const int x = v.PlotX(0.5), y = v.PlotY(0.4);
    c.MouseDown(TMouseButton::mbRight, 0, x, y);
    int i = 0;
    const long frames = c.FramesDrawn;
    for (auto _ : state) {
        c.MouseMove(0, x + ((i & 1) ? 0 : 10), y);
        v.Present();
        ++i;
    }
    benchmark::DoNotOptimize(v.Window.constBits());
    if (c.FramesDrawn - frames != i) state.SkipWithError("a pan step did not draw exactly one frame");
}

// A full repaint of the unzoomed chart, presented: the baseline of the wheel zoom.
void BM_FullRepaint(benchmark::State& state) {
    TViewerChart v;
    TChart& c = *v.Chart;
    const long frames = c.FramesDrawn;
    long i = 0;
    for (auto _ : state) {
        c.InvalidateChart();
        v.Present();
        ++i;
    }
    benchmark::DoNotOptimize(v.Window.constBits());
    if (c.FramesDrawn - frames != i) state.SkipWithError("a repaint did not draw exactly one frame");
}

// One wheel notch around the middle of the plot, in and out by turns, with the frame it asks
// for, presented: the time axis zoomed and the price axis fitted to the days in view.
void BM_WheelZoom(benchmark::State& state) {
    TViewerChart v;
    TChart& c = *v.Chart;
    const double centre = c.BottomAxis().PixelToValue(v.PlotX(0.6));
    const long frames = c.FramesDrawn;
    long i = 0;
    for (auto _ : state) {
        c.ZoomHorizontal((i & 1) ? 1 / 1.25 : 1.25, centre);
        v.Present();
        ++i;
    }
    benchmark::DoNotOptimize(v.Window.constBits());
    if (c.FramesDrawn - frames != i) state.SkipWithError("a wheel notch did not draw exactly one frame");
}

// The viewer's window at 1920 × 1080 with 30,000 days of DAX loaded and drawn, from a data
// folder of its own; made once and kept, as loading it takes a while.
class TViewerWindow {
public:
    static constexpr int kLongDays = 30000;
    static TViewerWindow& Instance() {
        if (!Slot()) Slot().reset(new TViewerWindow);
        return *Slot();
    }
    // Closes the window while the application object still exists.
    static void Release() { Slot().reset(); }
    zyn::TfrmMain& Form() { return *form_; }
    TChartWidget& Widget() { return *static_cast<TChartWidget*>(form_->Chart1Area); }
    TChart& Chart() { return *form_->Chart1; }
    bool Ready() const { return ready_; }
    QPoint InPlot(double fx, double fy) {
        const auto& r = Chart().PlotRect;
        return {r.Left + int(fx * (r.Right - r.Left)), r.Top + int(fy * (r.Bottom - r.Top))};
    }
    void Send(QEvent& event) {
        QApplication::sendEvent(&Widget(), &event);
        QCoreApplication::processEvents();  // serves the repaints the event asked for
    }
    ~TViewerWindow() {
        form_.reset();
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
    }

private:
    static std::unique_ptr<TViewerWindow>& Slot() {
        static std::unique_ptr<TViewerWindow> window;
        return window;
    }
    TViewerWindow() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zyn-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return;
        folder_ = pattern;
        std::filesystem::create_directories(folder_ / "Data");
        zyn::sample::Options options;
        options.rows = kLongDays;
        if (!zyn::sample::WriteSampleFile((folder_ / "Data" / "DAX.mht").string(), *zyn::sample::FindInstrument("DAX"),
                                          options))
            return;
        const std::filesystem::path previous = std::filesystem::current_path();
        std::filesystem::current_path(folder_);
        form_ = std::make_unique<zyn::TfrmMain>();
        std::filesystem::current_path(previous);
        form_->resize(1920, 1080);
        form_->show();
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 60000 &&
               !(form_->RecordList().size() == size_t(kLongDays) && Chart().Canvas().BufferValid))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        ready_ = form_->RecordList().size() == size_t(kLongDays);
    }
    std::filesystem::path folder_;
    std::unique_ptr<zyn::TfrmMain> form_;
    bool ready_ = false;
};

// A full repaint of the window's chart: a frame drawn and presented. The baseline of the two below.
void BM_WindowRepaint(benchmark::State& state) {
    TViewerWindow& w = TViewerWindow::Instance();
    if (!w.Ready()) return state.SkipWithError("the window did not load its file");
    const long frames = w.Chart().FramesDrawn;
    long i = 0;
    for (auto _ : state) {
        w.Chart().InvalidateChart();
        QCoreApplication::processEvents();
        ++i;
    }
    if (w.Chart().FramesDrawn - frames != i) state.SkipWithError("a repaint did not draw exactly one frame");
}

// The pointer to another day and price, by turns between two points of the plot.
void BM_CrosshairMove(benchmark::State& state) {
    TViewerWindow& w = TViewerWindow::Instance();
    if (!w.Ready()) return state.SkipWithError("the window did not load its file");
    const QPoint points[2] = {w.InPlot(0.4, 0.3), w.InPlot(0.6, 0.5)};
    const long frames = w.Chart().FramesDrawn;
    int i = 0;
    for (auto _ : state) {
        const QPoint at = points[i++ & 1];
        QMouseEvent move(QEvent::MouseMove, at, w.Widget().mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        w.Send(move);
    }
    if (w.Form().Chart1Interaction->CursorDay() < 0) state.SkipWithError("no crosshair");
    if (w.Chart().FramesDrawn != frames) state.SkipWithError("a crosshair move drew a chart frame");
    QEvent leave(QEvent::Leave);
    w.Send(leave);
}

// Ctrl+Right and Ctrl+Left by turns, from a day in the middle of the view.
void BM_CursorStep(benchmark::State& state) {
    TViewerWindow& w = TViewerWindow::Instance();
    if (!w.Ready()) return state.SkipWithError("the window did not load its file");
    zyn::chart::TChartInteraction& interaction = *w.Form().Chart1Interaction;
    interaction.SetCursorDay(TViewerWindow::kLongDays / 2);
    QCoreApplication::processEvents();
    const long frames = w.Chart().FramesDrawn;
    int i = 0;
    for (auto _ : state) {
        QKeyEvent key(QEvent::KeyPress, (i++ & 1) ? Qt::Key_Left : Qt::Key_Right, Qt::ControlModifier);
        w.Send(key);
    }
    if (interaction.CursorDay() < 0) state.SkipWithError("no cursor");
    if (w.Chart().FramesDrawn != frames) state.SkipWithError("a cursor step drew a chart frame");
    interaction.SetCursorDay(-1);
}

// Repeated runs, summarised by their median: the machine these run on is often shared.
BENCHMARK(BM_FloorEmptyFrame)->Unit(benchmark::kMicrosecond)->MinTime(0.5)->Repetitions(5);
BENCHMARK(BM_BufferCopy)->Unit(benchmark::kMicrosecond)->MinTime(0.5)->Repetitions(5);
BENCHMARK(BM_BandOnly)->Unit(benchmark::kMicrosecond)->MinTime(0.5)->Repetitions(5);
BENCHMARK(BM_BandMoveFullCopy)->Unit(benchmark::kMicrosecond)->MinTime(0.5)->Repetitions(5);
BENCHMARK(BM_BandMove)->Unit(benchmark::kMicrosecond)->MinTime(0.5)->Repetitions(5);
BENCHMARK(BM_PanStep)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->Repetitions(5);
BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->Repetitions(5);
BENCHMARK(BM_WheelZoom)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->Repetitions(5);
BENCHMARK(BM_WindowRepaint)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->Repetitions(5);
BENCHMARK(BM_CrosshairMove)->Unit(benchmark::kMicrosecond)->MinTime(0.5)->Repetitions(5);
BENCHMARK(BM_CursorStep)->Unit(benchmark::kMicrosecond)->MinTime(0.5)->Repetitions(5);

// Keeps each benchmark's median time per iteration (seconds), processor and wall clock. On a
// shared machine the wall clock mostly measures the other processes, and Qt's threaded fills
// wait for a worker there, so both are reported.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.aggregate_name == "median" && !run.error_occurred) {
                cpu[run.run_name.function_name] = run.GetAdjustedCPUTime() * 1e-6;  // reported in µs
                wall[run.run_name.function_name] = run.GetAdjustedRealTime() * 1e-6;
            }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> cpu, wall;
};

void PrintSummary(const char* clock, std::map<std::string, double>& s) {
    const double floor = s["BM_FloorEmptyFrame"], copy = s["BM_BufferCopy"], band = s["BM_BandOnly"],
                 full = s["BM_BandMoveFullCopy"], move = s["BM_BandMove"], pan = s["BM_PanStep"];
    if (!(floor > 0 && copy > 0 && full > 0 && move > 0 && pan > 0)) return;
    std::cout << std::fixed << std::setprecision(3) << "summary (" << clock << ", " << kWidth << "x" << kHeight << ", "
              << kDays << " days): empty frame " << floor * 1e3 << " ms, buffer copy " << copy * 1e3
              << " ms, band erase + draw " << band * 1e3 << " ms\n"
              << "  band move presenting the whole buffer " << full * 1e3 << " ms = " << std::setprecision(2)
              << full / copy << " x buffer copy (goal < 2)\n"
              << "  band move presenting the band's pixels (as the widget does) " << std::setprecision(3)
              << move * 1e3 << " ms = " << std::setprecision(2) << move / copy << " x buffer copy\n"
              << "  pan step (move + one full frame + presenting) " << std::setprecision(3) << pan * 1e3
              << " ms = " << std::setprecision(2) << pan * 60.0 << " of a 60 Hz frame (goal < 1), " << pan / floor
              << " x empty frame, " << pan / copy << " x buffer copy" << std::endl;
    const double repaint = s["BM_FullRepaint"], wheel = s["BM_WheelZoom"];
    if (repaint > 0 && wheel > 0)
        std::cout << std::setprecision(3) << "  wheel notch (zoom + fitted prices + one full frame + presenting) "
                  << wheel * 1e3 << " ms = " << std::setprecision(2) << wheel / repaint
                  << " x full repaint (goal: one frame, about 1)" << std::endl;
}

void PrintWindowSummary(const char* clock, std::map<std::string, double>& s) {
    const double window = s["BM_WindowRepaint"], crosshair = s["BM_CrosshairMove"], step = s["BM_CursorStep"];
    if (window > 0 && crosshair > 0 && step > 0)
        std::cout << std::fixed << std::setprecision(3) << "summary (" << clock << "): window at 1920x1080, "
                  << TViewerWindow::kLongDays << " days: full chart repaint " << window * 1e3 << " ms\n"
                  << "  crosshair move (no chart frame, crosshair and values pane presented) " << crosshair * 1e3
                  << " ms = " << std::setprecision(3) << crosshair / window << " x full repaint = "
                  << crosshair * 60.0 << " of a 60 Hz frame\n"
                  << std::setprecision(3) << "  cursor step inside the view (no chart frame) " << step * 1e3
                  << " ms = " << step / window << " x full repaint = " << step * 60.0 << " of a 60 Hz frame"
                  << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int qtArgc = 1;
    char name[] = "bench_zoom";
    char* qtArgv[] = {name, nullptr};
    QApplication application(qtArgc, qtArgv);

    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    TViewerWindow::Release();

    PrintSummary("median processor time", reporter.cpu);
    PrintSummary("median wall clock", reporter.wall);
    PrintWindowSummary("median processor time", reporter.cpu);
    PrintWindowSummary("median wall clock", reporter.wall);
    return 0;
}
