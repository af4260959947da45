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

void* TChartAccessible::interface_cast(QAccessible::InterfaceType t) {
    if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

namespace {

QVariant NumberOf(const std::optional<double>& number) { return number ? QVariant(*number) : QVariant(); }

}  // namespace

QVariant TChartAccessible::currentValue() const {
    return NumberOf(static_cast<const TChartWidget*>(widget())->CurrentAccessibleTexts().Number);
}

QVariant TChartAccessible::maximumValue() const {
    return NumberOf(static_cast<const TChartWidget*>(widget())->CurrentAccessibleTexts().Highest);
}

QVariant TChartAccessible::minimumValue() const {
    return NumberOf(static_cast<const TChartWidget*>(widget())->CurrentAccessibleTexts().Lowest);
}

QAccessibleInterface* TChartAccessible::Factory(const QString&, QObject* object) {
    if (auto* widget = qobject_cast<TChartWidget*>(object)) return new TChartAccessible(widget);
    return nullptr;
}

}  // namespace zyn::chart
