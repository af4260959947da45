// The viewer's chart pipeline against two plotting libraries that draw the same picture:
// candles, a midpoint line with small circles, two range lines, seven stair lines, a zero line
// and two side-by-side bar series, at 1920 x 1080 into a QImage without antialiasing.
//
// Per day count N (one synthetic data file each, written once):
//   Ours/LoadToFrame   data file on disk to a finished frame: read + fill + one full frame
//   Ours/FillFrame     the same from records already loaded: fill + one full frame
//   Ours/Load          data file on disk to filled series, no frame: what a load costs alone
//   Ours/Repaint       one full frame alone
//   Ours/PanStep       one step of a right-button drag: the axes move and a full frame follows
//   <Peer>/BuildFrame  the peer's series filled from the loaded records + one render
//   <Peer>/Repaint     one render alone
// The peers are compiled in only where their development packages are installed; the viewer
// itself never links them. The closing table divides our times by theirs.
//
// Options besides Google Benchmark's: --zyn_days=2600,15000 picks the day counts;
// --zyn_repetitions=3 sets how often each benchmark runs (the table takes the median);
// --zyn_images=DIR writes each contender's frame as PNG for a visual check.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QColor>
#include <QDate>
#include <QImage>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/ChartSetup.h"
#include "app/LocaleSettings.h"
#include "chart/Chart.h"
#include "chart/qt/QtCanvas.h"
#include "data/DataFile.h"
#include "tools/SampleData.h"

#ifdef ZYN_BENCH_QCUSTOMPLOT
#include <qcustomplot.h>
#endif

#ifdef ZYN_BENCH_QTCHARTS
#include <QBarSeries>
#include <QBarSet>
#include <QCandlestickSeries>
#include <QCandlestickSet>
#include <QCategoryAxis>
#include <QChart>
#include <QGraphicsScene>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>
#endif

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr const char* kTitle = "DAX";
// The check box starts checked: levels sit one day later.
constexpr bool kProjection = true;

std::vector<int> gDays = {2600, 15000, 30000, 100000};
std::string gImageDir;
int gRepetitions = 3;
std::map<int, std::string> gFiles;          // day count -> data file
std::map<int, zyn::RecordList> gRecords;    // day count -> records read from it

// Share of pixels that differ from white, so the table shows the pictures carry comparable ink.
double InkShare(const QImage& image) {
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    long inked = 0;
    for (int y = 0; y < img.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if ((row[x] & 0xFFFFFF) != 0xFFFFFF) ++inked;
    }
    return static_cast<double>(inked) / (static_cast<double>(img.width()) * img.height());
}

void SaveImage(const QImage& image, const std::string& who, int days) {
    if (gImageDir.empty()) return;
    const std::string path = gImageDir + "/" + who + "_" + std::to_string(days) + ".png";
    if (!image.save(QString::fromStdString(path))) std::fprintf(stderr, "cannot write %s\n", path.c_str());
}

#if defined(ZYN_BENCH_QCUSTOMPLOT) || defined(ZYN_BENCH_QTCHARTS)
// The record whose levels stand at day position k; null where there is none.
const zyn::DailyRecord* LevelRecord(const zyn::RecordList& records, int k) {
    const int n = static_cast<int>(records.size());
    const int j = kProjection ? n - k : n - 1 - k;
    return j > n - 1 ? nullptr : &records[static_cast<size_t>(j)];
}

QString DateText(double day) {
    return QDate(1899, 12, 30).addDays(static_cast<qint64>(day)).toString(QStringLiteral("dd.MM.yyyy"));
}
#endif

// ---------------------------------------------------------------------------------------------
// Ours

struct TOurs {
    zyn::chart::TChart Chart{std::make_unique<zyn::chart::TQtCanvas>()};
    zyn::app::TChart1Series Series;
    TOurs() {
        Chart.FormatSettings = zyn::app::SystemFormatSettings();
        Series = zyn::app::SetupChart1(Chart);
        Chart.SetBounds(kWidth, kHeight);
    }
    void Fill(const zyn::RecordList& records) { zyn::app::FillChart1(Chart, Series, records, kTitle, kProjection); }
    void Draw() { Chart.DrawChart(zyn::chart::TRect{0, 0, kWidth, kHeight}); }
    const QImage& Image() const { return static_cast<const zyn::chart::TQtCanvas&>(Chart.Canvas()).Image(); }
};

void BM_Ours_LoadToFrame(benchmark::State& state, int days) {
    TOurs ours;
    zyn::RecordList records;
    for (auto _ : state) {
        zyn::ReadDataFile(gFiles[days], records);
        ours.Fill(records);
        ours.Draw();
        benchmark::DoNotOptimize(ours.Image().constBits());
    }
    if (records.size() != static_cast<size_t>(days)) state.SkipWithError("wrong record count");
    state.counters["ink"] = InkShare(ours.Image());
    SaveImage(ours.Image(), "ours", days);
}

void BM_Ours_Load(benchmark::State& state, int days) {
    TOurs ours;
    zyn::RecordList records;
    for (auto _ : state) {
        zyn::ReadDataFile(gFiles[days], records);
        ours.Fill(records);
        benchmark::DoNotOptimize(ours.Chart.SeriesCount());
    }
}

void BM_Ours_FillFrame(benchmark::State& state, int days) {
    TOurs ours;
    const zyn::RecordList& records = gRecords[days];
    for (auto _ : state) {
        ours.Fill(records);
        ours.Draw();
        benchmark::DoNotOptimize(ours.Image().constBits());
    }
}

void BM_Ours_Repaint(benchmark::State& state, int days) {
    TOurs ours;
    ours.Fill(gRecords[days]);
    ours.Draw();
    for (auto _ : state) {
        ours.Chart.InvalidateChart();
        ours.Draw();
        benchmark::DoNotOptimize(ours.Image().constBits());
    }
    state.counters["frames"] = static_cast<double>(ours.Chart.FramesDrawn);
}

void BM_Ours_PanStep(benchmark::State& state, int days) {
    TOurs ours;
    ours.Fill(gRecords[days]);
    ours.Draw();
    const zyn::chart::TRect plot = ours.Chart.PlotRect;
    const int x = (plot.Left + plot.Right) / 2, y = (plot.Top + plot.Bottom) / 2;
    ours.Chart.MouseDown(zyn::chart::TMouseButton::mbRight, zyn::chart::ssRight, x, y);
    int step = 0;
    for (auto _ : state) {
        // Back and forth by a few pixels, so the drag stays inside the plot.
        ours.Chart.MouseMove(zyn::chart::ssRight, x + (step++ % 2 == 0 ? 3 : 0), y);
        ours.Draw();
        benchmark::DoNotOptimize(ours.Image().constBits());
    }
    ours.Chart.MouseUp(zyn::chart::TMouseButton::mbRight, 0, x, y);
}

// ---------------------------------------------------------------------------------------------
// QCustomPlot: two stacked axis rects (85 % prices on the right axis, 15 % indicators on the
// left one), candles, graphs (step-left for the levels, circles for the midpoint) and bars,
// the bars split by colour because a bar series has a single brush.

#ifdef ZYN_BENCH_QCUSTOMPLOT

// Tick labels are the candle dates, as the viewer's bottom axis shows them.
class TDayTicker : public QCPAxisTicker {
public:
    QVector<QString> Labels;

protected:
    QString getTickLabel(double tick, const QLocale&, QChar, int) override {
        const long i = std::lround(tick);
        return i >= 0 && i < Labels.size() ? Labels[static_cast<int>(i)] : QString();
    }
};

struct TQcp {
    QCustomPlot Plot;
    QCPTextElement* Title = nullptr;
    QCPAxisRect* Price = nullptr;
    QCPAxisRect* Ind = nullptr;
    QCPFinancial* Candles = nullptr;
    QCPGraph* Mid = nullptr;
    QCPGraph* Range[2]{};
    QCPGraph* Levels[7]{};
    QCPGraph* Zero = nullptr;
    QCPBars* Trend[2]{};  // rising, falling
    QCPBars* Sum[2]{};
    QSharedPointer<TDayTicker> Ticker{new TDayTicker};
    QImage Image{kWidth, kHeight, QImage::Format_RGB32};

    TQcp() {
        Plot.setNotAntialiasedElements(QCP::aeAll);
        Plot.plotLayout()->clear();
        Title = new QCPTextElement(&Plot, kTitle);
        Price = new QCPAxisRect(&Plot);
        Ind = new QCPAxisRect(&Plot);
        Plot.plotLayout()->addElement(0, 0, Title);
        Plot.plotLayout()->addElement(1, 0, Price);
        Plot.plotLayout()->addElement(2, 0, Ind);
        Plot.plotLayout()->setRowSpacing(0);
        Plot.plotLayout()->setRowStretchFactors({1, 85, 15});
        auto* group = new QCPMarginGroup(&Plot);
        Price->setMarginGroup(QCP::msLeft | QCP::msRight, group);
        Ind->setMarginGroup(QCP::msLeft | QCP::msRight, group);

        QCPAxis* priceX = Price->axis(QCPAxis::atBottom);
        QCPAxis* priceY = Price->axis(QCPAxis::atRight);
        Price->axis(QCPAxis::atLeft)->setVisible(false);
        priceY->setVisible(true);
        priceX->setTickLabels(false);
        QCPAxis* indX = Ind->axis(QCPAxis::atBottom);
        QCPAxis* indY = Ind->axis(QCPAxis::atLeft);
        indX->setTicker(Ticker);
        QSharedPointer<QCPAxisTickerFixed> step(new QCPAxisTickerFixed);
        step->setTickStep(2);
        indY->setTicker(step);
        indY->setRange(-6, 6);

        Candles = new QCPFinancial(priceX, priceY);
        Candles->setChartStyle(QCPFinancial::csCandlestick);
        Candles->setWidthType(QCPFinancial::wtAbsolute);
        Candles->setWidth(8);
        Candles->setTwoColored(true);
        Candles->setBrushPositive(QColor(0, 128, 0));
        Candles->setBrushNegative(QColor(255, 0, 0));
        Candles->setPenPositive(QPen(Qt::black, 3));
        Candles->setPenNegative(QPen(Qt::black, 3));

        auto graph = [](QCPAxis* x, QCPAxis* y, QColor color, int width, QCPGraph::LineStyle style) {
            auto* g = new QCPGraph(x, y);
            g->setPen(QPen(color, width));
            g->setLineStyle(style);
            return g;
        };
        Mid = graph(priceX, priceY, QColor(255, 0, 255), 1, QCPGraph::lsLine);
        Mid->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, QColor(255, 0, 255), QColor(255, 0, 255), 5));
        for (auto& g : Range) g = graph(priceX, priceY, QColor(0, 0, 255), 1, QCPGraph::lsLine);
        const QColor levelColors[7] = {QColor(0, 128, 0), QColor(0, 128, 0), QColor(0, 128, 0), QColor(128, 0, 0),
                                       QColor(255, 0, 0), QColor(255, 0, 0), QColor(255, 0, 0)};
        for (int i = 0; i < 7; ++i) Levels[i] = graph(priceX, priceY, levelColors[i], i == 3 ? 2 : 1, QCPGraph::lsStepLeft);
        Zero = graph(indX, indY, QColor(128, 128, 128), 1, QCPGraph::lsLine);

        auto bars = [&](QColor color) {
            auto* b = new QCPBars(indX, indY);
            b->setWidth(0.4);
            b->setPen(QPen(color));
            b->setBrush(color);
            return b;
        };
        Trend[0] = bars(QColor(0, 128, 0));
        Trend[1] = bars(QColor(255, 0, 0));
        Sum[0] = bars(QColor(0, 0, 255));
        Sum[1] = bars(QColor(128, 0, 0));
    }

    void Fill(const zyn::RecordList& records) {
        const int n = static_cast<int>(records.size());
        QVector<double> x(n), open(n), high(n), low(n), close(n), mid(n), zero(n, 0.0);
        QVector<double> trendKey[2], trendValue[2], sumKey[2], sumValue[2];
        Ticker->Labels.resize(n);
        for (int i = 0; i < n; ++i) {
            const zyn::DailyRecord& r = records[static_cast<size_t>(n - 1 - i)];
            x[i] = i;
            open[i] = r.Open;
            high[i] = r.High;
            low[i] = r.Low;
            close[i] = r.Close;
            mid[i] = r.Midpoint;
            Ticker->Labels[i] = DateText(r.Date);
            const int t = r.Trend6 > 0 ? 0 : 1, s = r.TrendSum > 0 ? 0 : 1;
            trendKey[t].push_back(i - 0.2);
            trendValue[t].push_back(r.Trend6);
            sumKey[s].push_back(i + 0.2);
            sumValue[s].push_back(r.TrendSum);
        }
        Candles->setData(x, open, high, low, close, true);
        Mid->setData(x, mid, true);
        Zero->setData(x, zero, true);
        for (int c = 0; c < 2; ++c) {
            Trend[c]->setData(trendKey[c], trendValue[c], true);
            Sum[c]->setData(sumKey[c], sumValue[c], true);
        }
        QVector<double> lx, ly[9];
        for (int k = 0; k < n; ++k) {
            const zyn::DailyRecord* r = LevelRecord(records, k);
            if (r == nullptr) continue;
            lx.push_back(k);
            const double v[9] = {r->RangeHigh, r->RangeLow, r->R3, r->R2, r->R1, r->Pivot, r->S1, r->S2, r->S3};
            for (int s = 0; s < 9; ++s) ly[s].push_back(v[s]);
        }
        Range[0]->setData(lx, ly[0], true);
        Range[1]->setData(lx, ly[1], true);
        for (int i = 0; i < 7; ++i) Levels[i]->setData(lx, ly[i + 2], true);
        Title->setText(kTitle);
        Price->axis(QCPAxis::atRight)->rescale();
        Price->axis(QCPAxis::atBottom)->setRange(-1, n);
        Ind->axis(QCPAxis::atBottom)->setRange(-1, n);
    }

    void Render() {
        QCPPainter painter(&Image);
        Plot.toPainter(&painter, kWidth, kHeight);
    }
};

void BM_Qcp_BuildFrame(benchmark::State& state, int days) {
    TQcp qcp;
    const zyn::RecordList& records = gRecords[days];
    for (auto _ : state) {
        qcp.Fill(records);
        qcp.Render();
        benchmark::DoNotOptimize(qcp.Image.constBits());
    }
    state.counters["ink"] = InkShare(qcp.Image);
    SaveImage(qcp.Image, "qcustomplot", days);
}

void BM_Qcp_Repaint(benchmark::State& state, int days) {
    TQcp qcp;
    qcp.Fill(gRecords[days]);
    qcp.Render();
    for (auto _ : state) {
        qcp.Render();
        benchmark::DoNotOptimize(qcp.Image.constBits());
    }
}

#endif  // ZYN_BENCH_QCUSTOMPLOT

// ---------------------------------------------------------------------------------------------
// Qt Charts: one plot area, so the bands are made with the axis ranges: the indicator axis runs
// from -6 far enough up that -6..6 fills the bottom 15 %, the price axis far enough down that
// the prices fill the top 85 %. Stairs are lines with doubled points; the two bar colours of a
// set are its colour and its selected colour. A set has one border colour, so a rising bar keeps
// the falling colour's outline, which shows where bars are narrower than three pixels.

#ifdef ZYN_BENCH_QTCHARTS

// Price extent over every series on the price axis, as an automatic axis takes it.
void PriceExtent(const zyn::RecordList& records, double& lo, double& hi) {
    lo = INFINITY;
    hi = -INFINITY;
    for (const zyn::DailyRecord& r : records) {
        for (double v : {r.Open, r.High, r.Low, r.Close, r.Midpoint, r.RangeHigh, r.RangeLow, r.Pivot, r.R1, r.R2,
                         r.R3, r.S1, r.S2, r.S3}) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    if (!(lo <= hi)) lo = hi = 0;
}

struct TQtCharts {
    QGraphicsScene Scene;
    QChart* Chart = new QChart;  // owned by the scene
    QCandlestickSeries* Candles = new QCandlestickSeries;
    QLineSeries* Mid = new QLineSeries;
    QScatterSeries* Circles = new QScatterSeries;
    QLineSeries* Range[2]{new QLineSeries, new QLineSeries};
    QLineSeries* Levels[7]{};
    QLineSeries* Zero = new QLineSeries;
    QBarSeries* Bars = new QBarSeries;
    QCategoryAxis* AxisX = new QCategoryAxis;
    QValueAxis* AxisPrice = new QValueAxis;
    QCategoryAxis* AxisInd = new QCategoryAxis;
    // Bars and candles accept only value or bar-category axes: hidden twins of the category axes.
    QValueAxis* BarX = new QValueAxis;
    QValueAxis* BarY = new QValueAxis;
    QImage Image{kWidth, kHeight, QImage::Format_RGB32};

    TQtCharts() {
        Chart->legend()->hide();
        Chart->setAnimationOptions(QChart::NoAnimation);
        Chart->setDropShadowEnabled(false);
        Chart->setBackgroundRoundness(0);
        Chart->setBackgroundBrush(Qt::white);
        Chart->setTitle(kTitle);

        Candles->setIncreasingColor(QColor(0, 128, 0));
        Candles->setDecreasingColor(QColor(255, 0, 0));
        Candles->setPen(QPen(Qt::black, 3));
        Candles->setBodyWidth(1.0);
        Candles->setMinimumColumnWidth(8);
        Candles->setMaximumColumnWidth(8);
        Candles->setCapsVisible(false);
        Mid->setPen(QPen(QColor(255, 0, 255), 1));
        Circles->setMarkerShape(QScatterSeries::MarkerShapeCircle);
        Circles->setMarkerSize(5);
        Circles->setColor(QColor(255, 0, 255));
        Circles->setBorderColor(QColor(255, 0, 255));
        for (auto* r : Range) r->setPen(QPen(QColor(0, 0, 255), 1));
        const QColor levelColors[7] = {QColor(0, 128, 0), QColor(0, 128, 0), QColor(0, 128, 0), QColor(128, 0, 0),
                                       QColor(255, 0, 0), QColor(255, 0, 0), QColor(255, 0, 0)};
        for (int i = 0; i < 7; ++i) {
            Levels[i] = new QLineSeries;
            Levels[i]->setPen(QPen(levelColors[i], i == 3 ? 2 : 1));
        }
        Zero->setPen(QPen(QColor(128, 128, 128), 1));
        Bars->setBarWidth(0.8);

        Chart->addAxis(AxisX, Qt::AlignBottom);
        Chart->addAxis(AxisPrice, Qt::AlignRight);
        Chart->addAxis(AxisInd, Qt::AlignLeft);
        AxisX->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        AxisInd->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        const double indTop = -6 + 12 / 0.15;
        AxisInd->setRange(-6, indTop);
        for (int v = -6; v <= 6; v += 2) AxisInd->append(QString::number(v), v);
        AxisInd->setGridLineVisible(false);
        Chart->addAxis(BarX, Qt::AlignBottom);
        Chart->addAxis(BarY, Qt::AlignLeft);
        BarX->setVisible(false);
        BarY->setVisible(false);
        BarY->setRange(-6, indTop);

        auto add = [&](QAbstractSeries* s, QAbstractAxis* y, QAbstractAxis* x = nullptr) {
            Chart->addSeries(s);
            s->attachAxis(x != nullptr ? x : AxisX);
            s->attachAxis(y);
        };
        add(Candles, AxisPrice, BarX);
        add(Mid, AxisPrice);
        add(Circles, AxisPrice);
        for (auto* r : Range) add(r, AxisPrice);
        for (auto* l : Levels) add(l, AxisPrice);
        add(Zero, AxisInd);
        add(Bars, BarY, BarX);

        Scene.addItem(Chart);
        Scene.setSceneRect(0, 0, kWidth, kHeight);
        Chart->setGeometry(0, 0, kWidth, kHeight);
    }

    void Fill(const zyn::RecordList& records) {
        const int n = static_cast<int>(records.size());
        Candles->clear();
        Bars->clear();
        QList<QCandlestickSet*> candles;
        QList<QPointF> mid, zero;
        QList<qreal> trend, sum;
        QList<int> trendUp, sumUp;
        candles.reserve(n);
        mid.reserve(n);
        zero.reserve(n);
        for (int i = 0; i < n; ++i) {
            const zyn::DailyRecord& r = records[static_cast<size_t>(n - 1 - i)];
            candles.append(new QCandlestickSet(r.Open, r.High, r.Low, r.Close, i));
            mid.append(QPointF(i, r.Midpoint));
            zero.append(QPointF(i, 0));
            trend.append(r.Trend6);
            sum.append(r.TrendSum);
            if (r.Trend6 > 0) trendUp.append(i);
            if (r.TrendSum > 0) sumUp.append(i);
        }
        Candles->append(candles);
        Mid->replace(mid);
        Circles->replace(mid);
        Zero->replace(zero);

        QList<QPointF> range[2], levels[7];
        double prev[7] = {};
        for (int k = 0; k < n; ++k) {
            const zyn::DailyRecord* r = LevelRecord(records, k);
            if (r == nullptr) continue;
            range[0].append(QPointF(k, r->RangeHigh));
            range[1].append(QPointF(k, r->RangeLow));
            const double v[7] = {r->R3, r->R2, r->R1, r->Pivot, r->S1, r->S2, r->S3};
            for (int s = 0; s < 7; ++s) {
                // A step: along at the previous level, then up or down to this one.
                if (!levels[s].isEmpty()) levels[s].append(QPointF(k, prev[s]));
                levels[s].append(QPointF(k, v[s]));
                prev[s] = v[s];
            }
        }
        Range[0]->replace(range[0]);
        Range[1]->replace(range[1]);
        for (int s = 0; s < 7; ++s) Levels[s]->replace(levels[s]);

        auto* trendSet = new QBarSet(QStringLiteral("ZYN_Trend"));
        auto* sumSet = new QBarSet(QStringLiteral("ZYN_Summe"));
        trendSet->append(trend);
        sumSet->append(sum);
        // Colours after appending: the chart's theme colours every set it receives.
        Bars->append({trendSet, sumSet});
        trendSet->setColor(QColor(255, 0, 0));
        trendSet->setSelectedColor(QColor(0, 128, 0));
        sumSet->setColor(QColor(128, 0, 0));
        sumSet->setSelectedColor(QColor(0, 0, 255));
        trendSet->setBorderColor(QColor(255, 0, 0));
        sumSet->setBorderColor(QColor(128, 0, 0));
        trendSet->selectBars(trendUp);
        sumSet->selectBars(sumUp);

        double lo = 0, hi = 0;
        PriceExtent(records, lo, hi);
        AxisPrice->setRange(lo - (hi - lo) * 15 / 85, hi);
        for (const QString& label : AxisX->categoriesLabels()) AxisX->remove(label);
        AxisX->setRange(-1, n);
        BarX->setRange(-1, n);
        const int step = std::max(1, n / 10);
        for (int i = 0; i < n; i += step) AxisX->append(DateText(records[static_cast<size_t>(n - 1 - i)].Date), i);
        Chart->setTitle(kTitle);
        // Geometry updates and the layout run from posted events.
        QCoreApplication::sendPostedEvents();
    }

    void Render() {
        Image.fill(Qt::white);
        QPainter painter(&Image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        Scene.render(&painter, QRectF(0, 0, kWidth, kHeight), QRectF(0, 0, kWidth, kHeight));
    }
};

void BM_QtCharts_BuildFrame(benchmark::State& state, int days) {
    TQtCharts charts;
    const zyn::RecordList& records = gRecords[days];
    for (auto _ : state) {
        charts.Fill(records);
        charts.Render();
        benchmark::DoNotOptimize(charts.Image.constBits());
    }
    state.counters["ink"] = InkShare(charts.Image);
    SaveImage(charts.Image, "qtcharts", days);
}

void BM_QtCharts_Repaint(benchmark::State& state, int days) {
    TQtCharts charts;
    charts.Fill(gRecords[days]);
    charts.Render();
    for (auto _ : state) {
        charts.Render();
        benchmark::DoNotOptimize(charts.Image.constBits());
    }
}

#endif  // ZYN_BENCH_QTCHARTS

// Keeps the median CPU time of every benchmark for the closing table. CPU time of the whole
// process (every thread Qt may use) rather than wall time: the machine is shared, and waiting
// for a core is no cost of the code measured.
class TSummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (single || median) Ms[run.run_name.function_name] = run.GetAdjustedCPUTime();  // ms
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> Ms;
};

std::string Name(const char* who, const char* what, int days) {
    return std::string(who) + "/" + what + "/" + std::to_string(days);
}

void Register(const char* who, const char* what, void (*fn)(benchmark::State&, int), int days) {
    benchmark::RegisterBenchmark(Name(who, what, days).c_str(), fn, days)
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime()
        ->Repetitions(gRepetitions)
        ->DisplayAggregatesOnly(true);
}

std::string Cell(double v) {
    char buf[32];
    if (v > 0)
        std::snprintf(buf, sizeof buf, "%.2f", v);
    else
        std::snprintf(buf, sizeof buf, "-");
    return buf;
}

std::string Ratio(double ours, double theirs) {
    char buf[32];
    if (ours > 0 && theirs > 0)
        std::snprintf(buf, sizeof buf, "%.3f", ours / theirs);
    else
        std::snprintf(buf, sizeof buf, "-");
    return buf;
}

void PrintSummary(std::map<std::string, double>& ms) {
    auto get = [&](const char* who, const char* what, int days) {
        const auto it = ms.find(Name(who, what, days));
        return it == ms.end() ? 0.0 : it->second;
    };
    std::printf("\nsummary (median process CPU time in ms; ratio = ours / theirs, below 1 means ours is faster)\n");
    std::printf("\nbuild + frame from loaded records (ours: fill + frame; load = read + fill + frame)\n");
    std::printf("%8s %10s %10s %12s %10s %10s %10s %10s %10s\n", "days", "ours load", "ours fill", "QCustomPlot",
                "Qt Charts", "load/QCP", "fill/QCP", "load/QtC", "fill/QtC");
    for (int d : gDays) {
        const double load = get("Ours", "LoadToFrame", d), fill = get("Ours", "FillFrame", d);
        const double qcp = get("QCustomPlot", "BuildFrame", d), qtc = get("QtCharts", "BuildFrame", d);
        std::printf("%8d %10s %10s %12s %10s %10s %10s %10s %10s\n", d, Cell(load).c_str(), Cell(fill).c_str(),
                    Cell(qcp).c_str(), Cell(qtc).c_str(), Ratio(load, qcp).c_str(), Ratio(fill, qcp).c_str(),
                    Ratio(load, qtc).c_str(), Ratio(fill, qtc).c_str());
    }
    std::printf("\nrepaint (one full frame)\n");
    std::printf("%8s %10s %12s %10s %10s %10s\n", "days", "ours", "QCustomPlot", "Qt Charts", "ours/QCP", "ours/QtC");
    bool repaintGoal = true, anyPeer = false;
    for (int d : gDays) {
        const double ours = get("Ours", "Repaint", d);
        const double qcp = get("QCustomPlot", "Repaint", d), qtc = get("QtCharts", "Repaint", d);
        std::printf("%8d %10s %12s %10s %10s %10s\n", d, Cell(ours).c_str(), Cell(qcp).c_str(), Cell(qtc).c_str(),
                    Ratio(ours, qcp).c_str(), Ratio(ours, qtc).c_str());
        for (double peer : {qcp, qtc}) {
            if (peer <= 0) continue;
            anyPeer = true;
            if (!(ours > 0 && ours < peer)) repaintGoal = false;
        }
    }
    std::printf("\ngoal: repaint faster than every installed peer at every day count: %s\n",
                !anyPeer ? "no peer measured" : repaintGoal ? "met" : "NOT met");
    const double load2600 = get("Ours", "LoadToFrame", 2600);
    if (load2600 > 0)
        std::printf("goal: 2,600 days from file to frame within one 60 Hz frame (16 ms): %.2f ms, %s\n", load2600,
                    load2600 <= 16.0 ? "met" : "NOT met");
    // Frame cost against the pixels rather than the days, in figures a script can read.
    auto ratioLine = [](const char* what, double a, double b) {
        if (a > 0 && b > 0) std::printf("ratio %s: %.2f\n", what, a / b);
    };
    std::printf("\n");
    const double repaint2600 = get("Ours", "Repaint", 2600);
    ratioLine("repaint 30000/2600", get("Ours", "Repaint", 30000), repaint2600);
    ratioLine("repaint 100000/2600", get("Ours", "Repaint", 100000), repaint2600);
    ratioLine("pan 30000 / 60Hz frame", get("Ours", "PanStep", 30000), 1000.0 / 60.0);
    ratioLine("first-frame/load 100000", get("Ours", "LoadToFrame", 100000), get("Ours", "Load", 100000));
#ifndef ZYN_BENCH_QCUSTOMPLOT
    std::printf("QCustomPlot not built in (its development package was not found)\n");
#endif
#ifndef ZYN_BENCH_QTCHARTS
    std::printf("Qt Charts not built in (its development package was not found)\n");
#endif
}

// Takes out this benchmark's own options before Google Benchmark sees the rest.
void ParseOwnOptions(int& argc, char** argv) {
    int out = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--zyn_days=", 0) == 0) {
            gDays.clear();
            std::string list = arg.substr(std::strlen("--zyn_days="));
            size_t pos = 0;
            while (pos <= list.size()) {
                const size_t comma = std::min(list.find(',', pos), list.size());
                const int d = std::atoi(list.substr(pos, comma - pos).c_str());
                if (d > 0) gDays.push_back(d);
                pos = comma + 1;
            }
        } else if (arg.rfind("--zyn_repetitions=", 0) == 0) {
            gRepetitions = std::max(1, std::atoi(arg.c_str() + std::strlen("--zyn_repetitions=")));
        } else if (arg.rfind("--zyn_images=", 0) == 0) {
            gImageDir = arg.substr(std::strlen("--zyn_images="));
        } else {
            argv[out++] = argv[i];
        }
    }
    argc = out;
    argv[argc] = nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    ParseOwnOptions(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);

    char dirTemplate[] = "/tmp/zyn-bench-viewer-XXXXXX";
    const char* dir = ::mkdtemp(dirTemplate);
    if (dir == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    int status = 0;
    for (int d : gDays) {
        const std::string path = std::string(dir) + "/DAX_" + std::to_string(d) + ".mht";
        zyn::sample::Options options;
        options.rows = d;
        if (!zyn::sample::WriteSampleFile(path, *zyn::sample::FindInstrument("DAX"), options)) {
            std::perror(path.c_str());
            status = 1;
            break;
        }
        gFiles[d] = path;
        zyn::ReadDataFile(path, gRecords[d]);
        if (gRecords[d].size() != static_cast<size_t>(d)) {
            std::fprintf(stderr, "%s: %zu records read, %d written\n", path.c_str(), gRecords[d].size(), d);
            status = 1;
            break;
        }
    }

    if (status == 0) {
        for (int d : gDays) {
            Register("Ours", "LoadToFrame", BM_Ours_LoadToFrame, d);
            Register("Ours", "Load", BM_Ours_Load, d);
            Register("Ours", "FillFrame", BM_Ours_FillFrame, d);
            Register("Ours", "Repaint", BM_Ours_Repaint, d);
            Register("Ours", "PanStep", BM_Ours_PanStep, d);
#ifdef ZYN_BENCH_QCUSTOMPLOT
            Register("QCustomPlot", "BuildFrame", BM_Qcp_BuildFrame, d);
            Register("QCustomPlot", "Repaint", BM_Qcp_Repaint, d);
#endif
#ifdef ZYN_BENCH_QTCHARTS
            Register("QtCharts", "BuildFrame", BM_QtCharts_BuildFrame, d);
            Register("QtCharts", "Repaint", BM_QtCharts_Repaint, d);
#endif
        }
        benchmark::Initialize(&argc, argv);
        TSummaryReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        benchmark::Shutdown();
        PrintSummary(reporter.Ms);
    }

    for (const auto& [d, path] : gFiles) std::remove(path.c_str());
    ::rmdir(dir);
    return status;
}
