#include "app/ChartSetup.h"

#include <array>
#include <optional>

#include "chart/Format.h"

namespace zyn::app {

using namespace zyn::chart;

namespace {

enum class TKind { Candle, Line, Bar };

// How a line series draws: its pointer (the point marker) and its line.
struct TLineLook {
    bool PointerVisible;
    TSeriesPointerStyle PointerStyle;
    int PointerSize;   // HorizSize and VertSize
    bool Stairs;
    int LinePenWidth;  // also Pointer.Pen.Width, for the pivot line
};

// Chart1's series, read top to bottom in series (and drawing) order.
struct TSeriesRow {
    TKind Kind;
    const char* Name;
    const char* Title;
    TVertAxis Axis;
    TColor Color;
    const char* XValuesName;  // the candle's High, Low and Close lists are its own
    const char* YValuesName;
    std::optional<TLineLook> Line;  // line series only
};

constexpr TSeriesPointerStyle kRect = TSeriesPointerStyle::psRectangle;
constexpr TSeriesPointerStyle kCircle = TSeriesPointerStyle::psCircle;
constexpr TVertAxis kRight = TVertAxis::aRightAxis;
constexpr TVertAxis kLeft = TVertAxis::aLeftAxis;
// A line without pointer; the hidden pointer keeps the settings it would be shown with.
constexpr TLineLook kPlain{false, kRect, 4, false, 1};
constexpr TLineLook kStairs{false, kRect, 4, true, 1};

constexpr std::array<TSeriesRow, 14> kSeries{{
    // kind          name                title        axis    colour    x       y       line
    {TKind::Candle, "SeriesKurse",      "Kurse",     kRight, clRed,    "Date", "Open", std::nullopt},
    {TKind::Line,   "SeriesMidPoint",   "Midpoint",  kRight, clMaroon, "X",    "Y",    TLineLook{true, kCircle, 2, false, 1}},
    {TKind::Line,   "SeriesRangeHigh",  "RangeHigh", kRight, clGreen,  "X",    "Y",    kPlain},
    {TKind::Line,   "SeriesRangeLow",   "RangeLow",  kRight, clGreen,  "X",    "Y",    kPlain},
    {TKind::Line,   "SeriesR3",         "R3",        kRight, clGreen,  "X",    "Y",    kStairs},
    {TKind::Line,   "SeriesR2",         "R2",        kRight, clGreen,  "X",    "Y",    kStairs},
    {TKind::Line,   "SeriesR1",         "R1",        kRight, clGreen,  "X",    "Y",    kStairs},
    {TKind::Line,   "SeriesPiv",        "Piv",       kRight, clMaroon, "X",    "Y",    TLineLook{false, kRect, 4, true, 2}},
    {TKind::Line,   "SeriesS1",         "S1",        kRight, clGreen,  "X",    "Y",    kStairs},
    {TKind::Line,   "SeriesS2",         "S2",        kRight, clGreen,  "X",    "Y",    kStairs},
    {TKind::Line,   "SeriesS3",         "S3",        kRight, clGreen,  "X",    "Y",    kStairs},
    {TKind::Line,   "SeriesZero",       "Zero",      kLeft,  clGray,   "X",    "Y",    kPlain},
    {TKind::Bar,    "SeriesZYN_Trend",  "ZYN_Trend", kLeft,  0x408000, "X",    "Bar",  std::nullopt},
    {TKind::Bar,    "SeriesZYN_Summe",  "ZYN_Summe", kLeft,  clRed,    "X",    "Bar",  std::nullopt},
}};

// The candle series' own drawing settings.
constexpr int kCandleWidth = 8;
constexpr TColor kCandleUpColor = clGreen;
constexpr int kCandlePenWidth = 3;

constexpr std::array<std::string_view, 10> kCurrencyPairs{"AUDJPY", "AUDUSD", "GBPJPY", "GBPCHF", "GBPUSD",
                                                          "EURGBP", "EURJPY", "EURUSD", "USDCHF", "USDJPY"};

std::unique_ptr<TChartSeries> MakeSeries(const TSeriesRow& row) {
    std::unique_ptr<TChartSeries> series;
    switch (row.Kind) {
        case TKind::Candle: {
            auto candle = std::make_unique<TCandleSeries>();
            candle->SetCandleWidth(kCandleWidth);
            candle->SetUpCloseColor(kCandleUpColor);
            candle->Pen().Width = kCandlePenWidth;
            series = std::move(candle);
            break;
        }
        case TKind::Line: {
            const TLineLook& look = *row.Line;
            auto line = std::make_unique<TLineSeries>();
            line->Pointer.SetVisible(look.PointerVisible);
            line->Pointer.SetStyle(look.PointerStyle);
            line->Pointer.SetHorizSize(look.PointerSize);
            line->Pointer.SetVertSize(look.PointerSize);
            line->Pointer.SetInflateMargins(true);
            line->SetStairs(look.Stairs);
            line->LinePen.Width = look.LinePenWidth;
            line->Pointer.Pen.Width = look.LinePenWidth;
            series = std::move(line);
            break;
        }
        case TKind::Bar: series = std::make_unique<TBarSeries>(); break;
    }
    series->Name = row.Name;
    series->SetTitle(row.Title);
    series->SetVertAxis(row.Axis);
    series->SetHorizAxis(THorizAxis::aBottomAxis);
    series->SetSeriesColor(row.Color);
    series->MarksVisible = false;
    // Every multiplier stays 1; x lists ascending, y lists unordered.
    series->XValues().Name = row.XValuesName;
    series->YValues().Name = row.YValuesName;
    series->XValues().Order = TChartListOrder::loAscending;
    series->YValues().Order = TChartListOrder::loNone;
    return series;
}

}  // namespace

TChart1Series SetupChart1(TChart& chart) {
    chart.Loading = true;
    chart.SetColor(clWhite);
    chart.SetBevelInner(TPanelBevel::bvLowered);
    chart.SetBorderWidth(2);
    chart.SetView3D(false);
    chart.Legend.Visible = false;
    chart.BackWall.Brush.Color = clWhite;
    chart.BackWall.Brush.Style = TBrushStyle::bsClear;
    chart.Title.SetText({"TChart"});

    TChartAxis& left = chart.LeftAxis();
    left.SetAutomatic(false);
    left.SetAutomaticMinimum(false);
    left.SetAutomaticMaximum(false);
    left.SetIncrement(2);
    left.SetMaximum(6);
    left.SetMinimum(-6);
    left.SetExactDateTime(false);
    left.SetStartPosition(85);
    chart.RightAxis().SetEndPosition(85);
    chart.BottomAxis().SetDateTimeFormat("dd.MM.yyyy");

    std::array<TChartSeries*, kSeries.size()> made{};
    for (size_t i = 0; i < kSeries.size(); ++i) made[i] = &chart.AddSeries(MakeSeries(kSeries[i]));
    chart.Loading = false;
    chart.SavedCursor = chart.Cursor;

    TChart1Series s;
    s.SeriesKurse = static_cast<TCandleSeries*>(made[0]);
    TLineSeries** lines[] = {&s.SeriesMidPoint, &s.SeriesRangeHigh, &s.SeriesRangeLow, &s.SeriesR3,
                             &s.SeriesR2,       &s.SeriesR1,        &s.SeriesPiv,      &s.SeriesS1,
                             &s.SeriesS2,       &s.SeriesS3,        &s.SeriesZero};
    for (size_t i = 0; i < std::size(lines); ++i) *lines[i] = static_cast<TLineSeries*>(made[i + 1]);
    s.SeriesZYN_Trend = static_cast<TBarSeries*>(made[12]);
    s.SeriesZYN_Summe = static_cast<TBarSeries*>(made[13]);
    return s;
}

bool IsCurrencyPair(std::string_view name) {
    for (std::string_view pair : kCurrencyPairs)
        if (pair == name) return true;
    return false;
}

void FillChart1(TChart& chart, const TChart1Series& s, const RecordList& records, const std::string& title,
                bool projection) {
    for (TChartSeries* series : chart.SeriesList()) series->Clear();
    chart.Title.SetText({title});
    chart.RightAxis().SetAxisValuesFormat(IsCurrencyPair(title) ? "0.###0" : "0.#0");

    const int n = static_cast<int>(records.size());
    for (TChartSeries* series : chart.SeriesList()) series->Reserve(n);
    const TFormatSettings& fs = chart.FormatSettings;

    for (int i = 0; i < n; ++i) {
        const DailyRecord& r = records[static_cast<size_t>(n - 1 - i)];
        const double x = i;
        const int index = s.SeriesKurse->AddCandlePoint(x, r.Open, r.High, r.Low, r.Close);
        s.SeriesKurse->SetXLabel(index, FormatDateTime(fs.ShortDateFormat, r.Date, fs));
        s.SeriesMidPoint->AddPoint(x, r.Midpoint, "", clFuchsia);
        s.SeriesZero->AddPoint(x, 0, "", clAutoColor);
        s.SeriesZYN_Trend->AddPoint(x, r.Trend6, "", r.Trend6 > 0 ? clGreen : clRed);
        s.SeriesZYN_Summe->AddPoint(x, r.TrendSum, "", r.TrendSum > 0 ? clBlue : clMaroon);
    }

    const auto levels = s.Levels();
    for (int k = 0; k < n; ++k) {
        const int j = projection ? n - k : n - 1 - k;
        if (j > n - 1) continue;
        const DailyRecord& r = records[static_cast<size_t>(j)];
        for (size_t l = 0; l < LevelLines.size(); ++l)
            levels[l]->AddPoint(k, r.*LevelLines[l].Field, "", LevelLines[l].Color);
    }
}

}  // namespace zyn::app
