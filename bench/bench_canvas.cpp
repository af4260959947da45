// One chart-like frame of 1920 x 1080 pixels on the QPainter canvas, against a baseline
// measured in the same run: the same geometry drawn with plain QPainter calls (cosmetic pens,
// a pen and brush set per call, Qt's own pixel rules). The frame holds a panel fill, dotted
// grid, labels, 5000 candles with 3-pixel outlines, three line series, seven stair series,
// 5000 circle pointers and 5000 bars: about 90 000 primitives.
#include <benchmark/benchmark.h>

#include "BenchSummary.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "chart/qt/QtCanvas.h"

namespace {

using namespace zyn::chart;

constexpr int W = 1920, H = 1080, N = 5000;

struct TScene {
    TRect Plot{60, 40, W - 80, H - 40};
    std::vector<int> X, Open, Close, High, Low, Bar;
    std::vector<std::vector<int>> Lines, Stairs;
    std::vector<std::string> Labels;
};

TScene MakeScene() {
    TScene s;
    const double step = double(s.Plot.Width()) / N;
    auto y = [&](double v) { return int(s.Plot.Top + s.Plot.Height() * 0.85 * (0.5 - 0.4 * v)); };
    for (int i = 0; i < N; ++i) {
        const double mid = std::sin(i * 0.01) * 0.8 + 0.1 * std::sin(i * 0.37);
        const double o = mid - 0.03 * std::sin(i * 1.3), c = mid + 0.03 * std::sin(i * 1.3);
        s.X.push_back(s.Plot.Left + int((i + 0.5) * step));
        s.Open.push_back(y(o));
        s.Close.push_back(y(c));
        s.High.push_back(y(std::max(o, c) + 0.05));
        s.Low.push_back(y(std::min(o, c) - 0.05));
        s.Bar.push_back(int(20 * std::sin(i * 0.05)));
    }
    for (int k = 0; k < 3; ++k) {
        s.Lines.emplace_back();
        for (int i = 0; i < N; ++i) s.Lines.back().push_back(y(std::sin(i * 0.01) * 0.8 + 0.1 * (k - 1)));
    }
    for (int k = 0; k < 7; ++k) {
        s.Stairs.emplace_back();
        for (int i = 0; i < N; ++i) s.Stairs.back().push_back(y(std::sin(i * 0.01) * 0.8 + 0.05 * (k - 3)));
    }
    char buf[32];
    for (int i = 0; i < 60; ++i) {
        std::snprintf(buf, sizeof buf, "%d,%02d", 16000 + 17 * i, i);
        s.Labels.push_back(buf);
    }
    return s;
}

const TScene& Scene() {
    static const TScene scene = MakeScene();
    return scene;
}

void DrawCanvas(TQtCanvas& c, const TScene& s) {
    const TRect& p = s.Plot;
    c.BeginFrame(W, H);
    c.Brush = TCanvasBrush{};
    c.FillRect(TRect{0, 0, W, H});
    c.Pen = TCanvasPen{};
    c.Brush.Style = TBrushStyle::bsClear;
    TRect r{0, 0, W, H};
    c.Frame3D(r, clBtnHighlight, clBtnShadow, 1);
    c.Rectangle(p.Left, p.Top, p.Right + 1, p.Bottom);
    c.SetBackgroundMode(TBackMode::Transparent);
    c.Pen.Color = clGray;
    c.Pen.Style = TPenStyle::psDot;
    for (int x = p.Left + 50; x < p.Right; x += 50) c.Line(x, p.Top, x, p.Bottom);
    for (int y = p.Top + 40; y < p.Bottom; y += 40) c.Line(p.Left, y, p.Right, y);
    c.Font.Name = "Arial";
    c.Font.Size = 8;
    for (std::size_t i = 0; i < s.Labels.size(); ++i) c.TextOut(p.Right + 6, p.Top + 16 * int(i), s.Labels[i]);
    c.SetClip(TRect{p.Left + 1, p.Top + 1, p.Right, p.Bottom - 1});
    c.Pen = TCanvasPen{};
    c.Pen.Width = 3;
    c.Brush.Style = TBrushStyle::bsSolid;
    for (int i = 0; i < N; ++i) {
        const int x = s.X[i];
        c.VerticalLine(x, s.Low[i], s.High[i]);
        c.Brush.Color = s.Open[i] > s.Close[i] ? clGreen : clRed;
        const TPoint body[] = {{x - 4, s.Open[i]}, {x + 4, s.Open[i]}, {x + 4, s.Close[i]}, {x - 4, s.Close[i]}};
        c.Polygon(body);
    }
    c.Pen = TCanvasPen{};
    for (std::size_t k = 0; k < s.Lines.size(); ++k) {
        c.Pen.Color = k == 0 ? clFuchsia : clBlue;
        c.MoveTo(p.Left, s.Lines[k][0]);
        for (int i = 0; i < N; ++i) c.LineTo(s.X[i], s.Lines[k][i]);
    }
    for (std::size_t k = 0; k < s.Stairs.size(); ++k) {
        c.Pen.Color = k < 3 ? clGreen : clRed;
        c.Pen.Width = k == 3 ? 2 : 1;
        int px = p.Left, py = s.Stairs[k][0];
        for (int i = 0; i < N; ++i) {
            c.HorizontalLine(px, s.X[i], py);
            c.LineTo(s.X[i], s.Stairs[k][i]);
            px = s.X[i];
            py = s.Stairs[k][i];
        }
    }
    c.Pen = TCanvasPen{};
    c.Brush.Color = clFuchsia;
    for (int i = 0; i < N; ++i) c.Ellipse(s.X[i] - 2, s.Lines[0][i] - 2, s.X[i] + 2, s.Lines[0][i] + 2);
    const int base = p.Top + int(p.Height() * 0.92);
    for (int i = 0; i < N; ++i) {
        c.Brush.Color = s.Bar[i] > 0 ? clGreen : clRed;
        c.Rectangle(s.X[i] - 1, std::min(base, base - s.Bar[i]), s.X[i] + 1, std::max(base, base - s.Bar[i]));
    }
    c.ClearClip();
    c.EndFrame();
}

QColor Q(TColor c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

void DrawPlain(QImage& img, const TScene& s) {
    const TRect& p = s.Plot;
    QPainter g(&img);
    g.fillRect(0, 0, W, H, Qt::white);
    g.setPen(QPen(QColor(0x9f, 0x9f, 0x9f), 0));
    g.drawRect(0, 0, W - 1, H - 1);
    g.setPen(QPen(Qt::black, 0));
    g.drawRect(p.Left, p.Top, p.Width(), p.Height() - 1);
    g.setPen(QPen(Qt::gray, 0, Qt::DotLine));
    for (int x = p.Left + 50; x < p.Right; x += 50) g.drawLine(x, p.Top, x, p.Bottom);
    for (int y = p.Top + 40; y < p.Bottom; y += 40) g.drawLine(p.Left, y, p.Right, y);
    QFont f("Arial");
    f.setPixelSize(11);
    g.setFont(f);
    g.setPen(Qt::black);
    for (std::size_t i = 0; i < s.Labels.size(); ++i)
        g.drawText(QPoint(p.Right + 6, p.Top + 16 * int(i) + 10), QString::fromStdString(s.Labels[i]));
    g.setClipRect(QRect(p.Left + 1, p.Top + 1, p.Width() - 1, p.Height() - 2));
    for (int i = 0; i < N; ++i) {
        const int x = s.X[i];
        g.setPen(QPen(Qt::black, 3));
        g.drawLine(x, s.Low[i], x, s.High[i]);
        g.setBrush(Q(s.Open[i] > s.Close[i] ? clGreen : clRed));
        const QPoint body[] = {{x - 4, s.Open[i]}, {x + 4, s.Open[i]}, {x + 4, s.Close[i]}, {x - 4, s.Close[i]}};
        g.drawPolygon(body, 4);
    }
    g.setBrush(Qt::NoBrush);
    for (std::size_t k = 0; k < s.Lines.size(); ++k) {
        QPoint from(p.Left, s.Lines[k][0]);
        for (int i = 0; i < N; ++i) {
            g.setPen(QPen(Q(k == 0 ? clFuchsia : clBlue), 0));
            const QPoint to(s.X[i], s.Lines[k][i]);
            g.drawLine(from, to);
            from = to;
        }
    }
    for (std::size_t k = 0; k < s.Stairs.size(); ++k) {
        int px = p.Left, py = s.Stairs[k][0];
        for (int i = 0; i < N; ++i) {
            g.setPen(QPen(Q(k < 3 ? clGreen : clRed), k == 3 ? 2 : 0));
            g.drawLine(px, py, s.X[i], py);
            g.drawLine(s.X[i], py, s.X[i], s.Stairs[k][i]);
            px = s.X[i];
            py = s.Stairs[k][i];
        }
    }
    g.setPen(QPen(Qt::black, 0));
    g.setBrush(Q(clFuchsia));
    for (int i = 0; i < N; ++i) g.drawEllipse(QRect(s.X[i] - 2, s.Lines[0][i] - 2, 3, 3));
    const int base = p.Top + int(p.Height() * 0.92);
    for (int i = 0; i < N; ++i) {
        g.setBrush(Q(s.Bar[i] > 0 ? clGreen : clRed));
        g.drawRect(QRect(QPoint(s.X[i] - 1, std::min(base, base - s.Bar[i])),
                         QPoint(s.X[i], std::max(base, base - s.Bar[i]) - 1)));
    }
}

void BM_BaselinePlainQPainter(benchmark::State& state) {
    QImage img(W, H, QImage::Format_RGB32);
    for (auto _ : state) {
        DrawPlain(img, Scene());
        benchmark::DoNotOptimize(img.constBits());
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_QtCanvasFrame(benchmark::State& state) {
    TQtCanvas canvas;
    canvas.SetDevicePixelRatio(state.range(0));
    for (auto _ : state) {
        DrawCanvas(canvas, Scene());
        benchmark::DoNotOptimize(canvas.Image().constBits());
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_BaselinePlainQPainter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtCanvasFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);


}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    zyn::bench::TSummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double base = reporter.ItemsPerSecond["BM_BaselinePlainQPainter"];
    if (base > 0) {
        std::printf("summary: baseline plain QPainter %.2f ms/frame", 1e3 / base);
        for (const auto& [name, rate] : reporter.ItemsPerSecond) {
            if (name == "BM_BaselinePlainQPainter" || rate <= 0) continue;
            std::printf("; %s %.2f ms/frame (%.2fx baseline time)", name.c_str(), 1e3 / rate, base / rate);
        }
        std::printf("\n");
    }
    return 0;
}
