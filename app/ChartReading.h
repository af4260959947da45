#pragma once
#include <QString>
#include <optional>
#include <string>

#include "app/ChartSetup.h"
#include "chart/Chart.h"
#include "data/DailyRecord.h"

namespace zyn::app {

// What the reading aids (values pane, screen reader) say about Chart1, in its price format
// and the platform's number format.

// The day position the reading aids show: the cursor's when a candle stands there, else the
// newest day; -1 without candles.
int ShownDay(const TChart1Series& series, int cursorDay);

// A price in the right axis's format.
QString PriceText(const chart::TChart& chart, double value);

// The chart's accessible name: the loaded instrument.
QString ChartName(const std::optional<std::string>& instrument);
// The range in view (first and last date, lowest and highest price), the newest close and the
// next day's pivot.
QString ViewDescription(chart::TChart& chart, const TChart1Series& series, const RecordList& records);
// The shown day with its close.
QString DayValueText(const chart::TChart& chart, const TChart1Series& series, int cursorDay);

}  // namespace zyn::app
