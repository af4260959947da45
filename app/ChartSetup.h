#pragma once
#include <array>
#include <string>
#include <string_view>

#include "chart/BarSeries.h"
#include "chart/CandleSeries.h"
#include "chart/Chart.h"
#include "chart/LineSeries.h"
#include "data/DailyRecord.h"

namespace zyn::app {

// The fourteen series of Chart1, in series order.
struct TChart1Series {
    chart::TCandleSeries* SeriesKurse = nullptr;
    chart::TLineSeries* SeriesMidPoint = nullptr;
    chart::TLineSeries* SeriesRangeHigh = nullptr;
    chart::TLineSeries* SeriesRangeLow = nullptr;
    chart::TLineSeries* SeriesR3 = nullptr;
    chart::TLineSeries* SeriesR2 = nullptr;
    chart::TLineSeries* SeriesR1 = nullptr;
    chart::TLineSeries* SeriesPiv = nullptr;
    chart::TLineSeries* SeriesS1 = nullptr;
    chart::TLineSeries* SeriesS2 = nullptr;
    chart::TLineSeries* SeriesS3 = nullptr;
    chart::TLineSeries* SeriesZero = nullptr;
    chart::TBarSeries* SeriesZYN_Trend = nullptr;
    chart::TBarSeries* SeriesZYN_Summe = nullptr;

    // The nine level series, in the order of LevelLines.
    std::array<chart::TLineSeries*, 9> Levels() const {
        return {SeriesRangeHigh, SeriesRangeLow, SeriesR3, SeriesR2, SeriesR1, SeriesPiv, SeriesS1, SeriesS2, SeriesS3};
    }
};

// The levels a record works out for the next trading day, in series order: the title of their
// series, their field and the colour their points are drawn in.
struct TLevelLine {
    const char* Title;
    double DailyRecord::*Field;
    chart::TColor Color;
};
inline constexpr std::array<TLevelLine, 9> LevelLines{{
    {"RangeHigh", &DailyRecord::RangeHigh, chart::clBlue},
    {"RangeLow", &DailyRecord::RangeLow, chart::clBlue},
    {"R3", &DailyRecord::R3, chart::clGreen},
    {"R2", &DailyRecord::R2, chart::clGreen},
    {"R1", &DailyRecord::R1, chart::clGreen},
    {"Piv", &DailyRecord::Pivot, chart::clMaroon},
    {"S1", &DailyRecord::S1, chart::clRed},
    {"S2", &DailyRecord::S2, chart::clRed},
    {"S3", &DailyRecord::S3, chart::clRed},
}};

// Applies Chart1's fixed configuration to an empty chart and creates its series.
TChart1Series SetupChart1(chart::TChart& chart);

// Whether the instrument is one of the ten currency pairs.
bool IsCurrencyPair(std::string_view name);

// Rebuilds every series of Chart1 from the records: title, price format, candles with their
// date labels, the day's indicators, and the levels (one day later with the projection on).
void FillChart1(chart::TChart& chart, const TChart1Series& series, const RecordList& records,
                const std::string& title, bool projection);

}  // namespace zyn::app
