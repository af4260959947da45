#pragma once
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
};

// Applies Chart1's fixed configuration to an empty chart and creates its series.
TChart1Series SetupChart1(chart::TChart& chart);

// Whether the instrument is one of the ten currency pairs.
bool IsCurrencyPair(std::string_view name);

// Rebuilds every series of Chart1 from the records: title, price format, candles with their
// date labels, the day's indicators, and the levels (one day later with the projection on).
void FillChart1(chart::TChart& chart, const TChart1Series& series, const RecordList& records,
                const std::string& title, bool projection);

}  // namespace zyn::app
