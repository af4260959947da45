#include "chart/qt/ChartAccessible.h"

#include "chart/qt/ChartWidget.h"

namespace zyn::chart {

TChartAccessible::TChartAccessible(TChartWidget* widget) : QAccessibleWidget(widget, QAccessible::Chart) {}

QString TChartAccessible::text(QAccessible::Text t) const {
    const auto* widget = static_cast<const TChartWidget*>(this->widget());
    const TChartWidget::TAccessibleTexts texts = widget->CurrentAccessibleTexts();
    switch (t) {
        case QAccessible::Name: return texts.Name;
        case QAccessible::Description: return texts.Description;
        case QAccessible::Value: return texts.Value;
        default: return QAccessibleWidget::text(t);
    }
}

QAccessibleInterface* TChartAccessible::Factory(const QString&, QObject* object) {
    if (auto* widget = qobject_cast<TChartWidget*>(object)) return new TChartAccessible(widget);
    return nullptr;
}

}  // namespace zyn::chart
