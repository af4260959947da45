#include "app/DayValues.h"

#include <cmath>

#include "chart/BarSeries.h"
#include "chart/CandleSeries.h"
#include "chart/Format.h"
#include "chart/LineSeries.h"

namespace zyn::app {

using namespace zyn::chart;

namespace {

// The index of the point at x = day in a series whose x values ascend, or -1.
int PointAt(const TChartSeries& s, int day) {
    const TChartValueList& xs = s.XValues();
    const int a = xs.FirstAtLeast(day);
    return a < xs.Count() && xs.Value(a) == day ? a : -1;
}

}  // namespace

TDayValues DayValues(const TChart& chart, int day) {
    TDayValues rows;
    // The const chart is only read; the axis accessors are not const.
    TChart& c = const_cast<TChart&>(chart);
    const std::string& format = c.RightAxis().AxisValuesFormat();
    auto price = [&](double v) { return FormatFloat(format, v, chart.FormatSettings); };
    for (TChartSeries* s : chart.SeriesList()) {
        if (!s->Active()) continue;
        const int i = PointAt(*s, day);
        if (auto* candle = dynamic_cast<TCandleSeries*>(s)) {
            if (i < 0) return {};
            rows.emplace_back(std::string(candle->XLabel(i)), std::string());
            rows.emplace_back("Eröffnung", price(candle->YValues().Value(i)));
            rows.emplace_back("Hoch", price(candle->HighValues().Value(i)));
            rows.emplace_back("Tief", price(candle->LowValues().Value(i)));
            rows.emplace_back("Schluss", price(candle->CloseValues().Value(i)));
        } else if (i < 0) {
            continue;
        } else if (dynamic_cast<TLineSeries*>(s)) {
            // Lines on the price axis; the zero line of the trend band tells nothing.
            if (s->GetVertAxis() == &c.RightAxis()) rows.emplace_back(s->Title(), price(s->YValues().Value(i)));
        } else if (dynamic_cast<TBarSeries*>(s)) {
            rows.emplace_back(s->Title(), std::to_string(std::lround(s->YValues().Value(i))));
        }
    }
    return rows;
}

QString DayValuesText(const TDayValues& rows) {
    if (rows.empty()) return {};
    QString html = QStringLiteral("<b>%1</b><table cellspacing=0 cellpadding=0>")
                       .arg(QString::fromStdString(rows.front().first).toHtmlEscaped());
    for (size_t i = 1; i < rows.size(); ++i) {
        html += QStringLiteral("<tr><td>%1</td><td align=right style=\"padding-left:12px\">%2</td></tr>")
                    .arg(QString::fromStdString(rows[i].first).toHtmlEscaped(),
                         QString::fromStdString(rows[i].second).toHtmlEscaped());
    }
    return html + QStringLiteral("</table>");
}

}  // namespace zyn::app
