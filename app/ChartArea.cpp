#include <QWidget>

#include "app/Main.h"

namespace zyn {

QWidget* TfrmMain::CreateChartArea(QWidget* parent) {
    auto* area = new QWidget(parent);
    area->setObjectName(QStringLiteral("Chart1"));
    return area;
}

}  // namespace zyn
