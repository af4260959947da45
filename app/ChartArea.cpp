#include "app/Application.h"
#include "app/ChartReading.h"
#include "app/ChartSetup.h"
#include "app/DayValues.h"
#include "app/LocaleSettings.h"
#include "app/Main.h"
#include "chart/qt/ChartInteraction.h"
#include "chart/qt/ChartWidget.h"

namespace zyn {

QWidget* TfrmMain::CreateChartArea(QWidget* parent) {
    auto* area = new chart::TChartWidget(parent);
    area->setObjectName(QStringLiteral("Chart1"));
    Chart1 = &area->Chart();
    Chart1->FormatSettings = app::SystemFormatSettings();
    Chart1Series = app::SetupChart1(*Chart1);

    Chart1Interaction = new chart::TChartInteraction(area);
    Chart1Interaction->DayText = [this](int day) { return app::DayValuesText(app::DayValues(*Chart1, day)); };
    // The picture shows the loaded records, whatever the tree has selected since.
    Chart1Interaction->ImageName = [this] {
        return FLoadedInstrument ? QString::fromStdString(*FLoadedInstrument) : QString();
    };
    // A printed page names the instrument and the days in view.
    Chart1Interaction->PrintFooter = [this] {
        QString text = FLoadedInstrument ? QString::fromStdString(*FLoadedInstrument) : QString();
        const chart::TCandleSeries& candles = *Chart1Series.SeriesKurse;
        if (candles.FirstVisibleIndex >= 0 && candles.LastVisibleIndex >= candles.FirstVisibleIndex) {
            const auto date = [&](int i) { return QString::fromStdString(std::string(candles.XLabel(i))); };
            if (!text.isEmpty()) text += QStringLiteral(", ");
            text += QStringLiteral("%1 bis %2").arg(date(candles.FirstVisibleIndex), date(candles.LastVisibleIndex));
        }
        return text;
    };
    Chart1Interaction->Dispatch = [](const std::function<void()>& command) { TApplication::Dispatch(command); };
    area->AccessibleTexts = [this] {
        return app::ChartAccessibleTexts(*Chart1, Chart1Series, FRecordList, FLoadedInstrument,
                                         Chart1Interaction->CursorDay());
    };
    return area;
}

}  // namespace zyn
