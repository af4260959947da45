#pragma once
#include <QString>
#include <string>
#include <utility>
#include <vector>

#include "chart/Chart.h"

namespace zyn::app {

// What the chart shows at one day position, as (name, value) rows in series order: the
// candle's date, "Eröffnung", "Hoch", "Tief" and "Schluss", then every price line by its title
// and every bar series by its title as an integer. Prices take the right axis's number format.
// A series without a point at that position gives no row; no candle there gives no rows.
using TDayValues = std::vector<std::pair<std::string, std::string>>;
TDayValues DayValues(const chart::TChart& chart, int day);

// The rows as the tooltip shows them: the date on top, then names and right-aligned values.
QString DayValuesText(const TDayValues& rows);

}  // namespace zyn::app
