#pragma once
#include <QAccessibleWidget>

namespace zyn::chart {

class TChartWidget;

// The chart as assistive technology sees it: an object of the chart role whose name,
// description and value the widget's host supplies (TChartWidget::AccessibleTexts).
class TChartAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit TChartAccessible(TChartWidget* widget);
    QString text(QAccessible::Text t) const override;
    void* interface_cast(QAccessible::InterfaceType t) override;

    // The value as a number, where the texts give one (read only).
    QVariant currentValue() const override;
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override { return 0.0; }

    // Made for every chart widget once installed (the widget installs it).
    static QAccessibleInterface* Factory(const QString& className, QObject* object);
};

}  // namespace zyn::chart
