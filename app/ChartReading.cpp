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

TViewSummary SummarizeView(chart::TChart& chart, const TChart1Series& s) {
    const chart::TCandleSeries& candles = *s.SeriesKurse;
    const int n = candles.Count();
    TViewSummary view;
    if (n == 0) return view;
    double lo = 0, hi = 0;
    chart.VisibleHorizontalRange(lo, hi);
    // Day positions are the indexes of the candles.
    view.First = static_cast<int>(std::clamp(std::ceil(lo), 0.0, double(n)));
    view.Last = static_cast<int>(std::clamp(std::floor(hi), -1.0, double(n - 1)));
    if (view.First > view.Last) return view;
    view.Lowest = candles.LowValues().Value(view.First);
    view.Highest = candles.HighValues().Value(view.First);
    for (int i = view.First + 1; i <= view.Last; ++i) {
        view.Lowest = std::min(view.Lowest, candles.LowValues().Value(i));
        view.Highest = std::max(view.Highest, candles.HighValues().Value(i));
    }
    return view;
}

chart::TChartWidget::TAccessibleTexts ChartAccessibleTexts(chart::TChart& chart, const TChart1Series& s,
                                                           const RecordList& records,
                                                           const std::optional<std::string>& instrument, int cursorDay) {
    chart::TChartWidget::TAccessibleTexts texts;
    texts.Name = instrument ? QString::fromStdString(*instrument) : QStringLiteral("Kein Instrument geladen");
    const chart::TCandleSeries& candles = *s.SeriesKurse;
    const int n = candles.Count();
    if (n == 0) {
        texts.Description = QStringLiteral("Keine Kurse geladen.");
        return texts;
    }
    const TViewSummary view = SummarizeView(chart, s);
    if (view.First <= view.Last) {
        texts.Description = QStringLiteral("Zu sehen: %1 bis %2, Kurse von %3 bis %4.")
                                .arg(DateOf(s, view.First), DateOf(s, view.Last), PriceText(chart, view.Lowest),
                                     PriceText(chart, view.Highest));
        texts.Lowest = view.Lowest;
        texts.Highest = view.Highest;
    } else {
        texts.Description = QStringLiteral("Kein Tag im sichtbaren Bereich.");
    }
    texts.Description += QStringLiteral(" Letzter Schluss am %1: %2.")
                             .arg(DateOf(s, n - 1), PriceText(chart, candles.CloseValues().Value(n - 1)));
    if (!records.empty())
        texts.Description +=
            QStringLiteral(" Pivot für den nächsten Handelstag: %1.").arg(PriceText(chart, records.front().Pivot));

    const int day = ShownDay(s, cursorDay);
    texts.Number = candles.CloseValues().Value(day);
    texts.Value = QStringLiteral("%1, Schluss %2").arg(DateOf(s, day), PriceText(chart, *texts.Number));
    return texts;
}

}  // namespace zyn::app
