#pragma once
#include <QAccessibleWidget>

namespace zyn::chart {

class TChartWidget;

// The chart as assistive technology sees it: an object of the chart role whose name,
// description and value the widget's host supplies (TChartWidget::AccessibleTexts).
class TChartAccessible : public QAccessibleWidget {
public:
    explicit TChartAccessible(TChartWidget* widget);
    QString text(QAccessible::Text t) const override;

    // Made for every chart widget once installed (the widget installs it).
    static QAccessibleInterface* Factory(const QString& className, QObject* object);
};

}  // namespace zyn::chart
