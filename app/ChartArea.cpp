#include "app/ChartSetup.h"
#include "app/LocaleSettings.h"
#include "app/Main.h"
#include "chart/qt/ChartWidget.h"

namespace zyn {

QWidget* TfrmMain::CreateChartArea(QWidget* parent) {
    auto* area = new chart::TChartWidget(parent);
    area->setObjectName(QStringLiteral("Chart1"));
    Chart1 = &area->Chart();
    Chart1->FormatSettings = app::SystemFormatSettings();
    Chart1Series = app::SetupChart1(*Chart1);
    return area;
}

}  // namespace zyn
