#include "app/ChartReading.h"

#include <algorithm>
#include <cmath>

#include "chart/Format.h"

namespace zyn::app {

namespace {

QString DateOf(const TChart1Series& s, int day) {
    const std::string_view label = s.SeriesKurse->XLabel(day);
    return QString::fromUtf8(label.data(), qsizetype(label.size()));
}

}  // namespace

int ShownDay(const TChart1Series& s, int cursorDay) {
    const int n = s.SeriesKurse->Count();
    return cursorDay >= 0 && cursorDay < n ? cursorDay : n - 1;
}

QString PriceText(const chart::TChart& chart, double value) {
    // The const chart is only read; the axis accessors are not const.
    auto& c = const_cast<chart::TChart&>(chart);
    return QString::fromStdString(chart::FormatFloat(c.RightAxis().AxisValuesFormat(), value, chart.FormatSettings));
}

QString ChartName(const std::optional<std::string>& instrument) {
    return instrument ? QString::fromStdString(*instrument) : QStringLiteral("Kein Instrument geladen");
}

QString ViewDescription(chart::TChart& chart, const TChart1Series& s, const RecordList& records) {
    const chart::TCandleSeries& candles = *s.SeriesKurse;
    const int n = candles.Count();
    if (n == 0) return QStringLiteral("Keine Kurse geladen.");
    double lo = 0, hi = 0;
    chart.VisibleHorizontalRange(lo, hi);
    // Day positions are the indexes of the candles.
    const int first = static_cast<int>(std::clamp(std::ceil(lo), 0.0, double(n)));
    const int last = static_cast<int>(std::clamp(std::floor(hi), -1.0, double(n - 1)));
    QString text;
    if (first <= last) {
        double low = candles.LowValues().Value(first), high = candles.HighValues().Value(first);
        for (int i = first + 1; i <= last; ++i) {
            low = std::min(low, candles.LowValues().Value(i));
            high = std::max(high, candles.HighValues().Value(i));
        }
        text = QStringLiteral("Zu sehen: %1 bis %2, Kurse von %3 bis %4.")
                   .arg(DateOf(s, first), DateOf(s, last), PriceText(chart, low), PriceText(chart, high));
    } else {
        text = QStringLiteral("Kein Tag im sichtbaren Bereich.");
    }
    text += QStringLiteral(" Letzter Schluss am %1: %2.")
                .arg(DateOf(s, n - 1), PriceText(chart, candles.CloseValues().Value(n - 1)));
    if (!records.empty())
        text += QStringLiteral(" Pivot für den nächsten Handelstag: %1.").arg(PriceText(chart, records.front().Pivot));
    return text;
}

QString DayValueText(const chart::TChart& chart, const TChart1Series& s, int cursorDay) {
    const int day = ShownDay(s, cursorDay);
    if (day < 0) return {};
    return QStringLiteral("%1, Schluss %2").arg(DateOf(s, day), PriceText(chart, s.SeriesKurse->CloseValues().Value(day)));
}

}  // namespace zyn::app
