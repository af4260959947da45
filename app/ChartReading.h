#pragma once
#include <QString>
#include <optional>
#include <string>

#include "app/ChartSetup.h"
#include "chart/Chart.h"
#include "chart/qt/ChartWidget.h"
#include "data/DailyRecord.h"

namespace zyn::app {

// What the reading aids (values pane, screen reader) say about Chart1, in its price format
// and the platform's number format.

// The day position the reading aids show: the cursor's when a candle stands there, else the
// newest day; -1 without candles.
int ShownDay(const TChart1Series& series, int cursorDay);

// A price in the right axis's format.
QString PriceText(const chart::TChart& chart, double value);

// The candles in view: the first and the last (none when First > Last), the lowest low and the
// highest high among them.
struct TViewSummary {
    int First = 0, Last = -1;
    double Lowest = 0, Highest = 0;
};
TViewSummary SummarizeView(chart::TChart& chart, const TChart1Series& series);

// What a screen reader reads of the chart: the loaded instrument as its name; the range in
// view (first and last date, lowest and highest price), the newest close and the next day's
// pivot as its description; the shown day with its close as its value.
chart::TChartWidget::TAccessibleTexts ChartAccessibleTexts(chart::TChart& chart, const TChart1Series& series,
                                                           const RecordList& records,
                                                           const std::optional<std::string>& instrument, int cursorDay);

}  // namespace zyn::app
