#pragma once
#include <QColor>
#include <QString>
#include <QTableWidget>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "app/ChartSetup.h"
#include "data/DailyRecord.h"

class QLabel;

namespace zyn::app {

// Names and values in column pairs, read like a list and copied like a sheet: the selected
// cells go to the clipboard as tab-separated lines (Ctrl+C or the context menu).
class TValuesTable : public QTableWidget {
    Q_OBJECT
public:
    explicit TValuesTable(QWidget* parent);

    struct TCell {
        QString Name, Value;
        QColor Color;  // of the name; invalid: the text colour
    };
    // Columns of (name, value) pairs, each listed top to bottom; the texts of an equal layout
    // are replaced in place, so following the crosshair repaints only what changed.
    void SetColumns(const std::vector<std::vector<TCell>>& columns);
    // The selected cells, rows as lines and columns separated by tabs; cells of the selection's
    // rectangle that are not selected stay empty.
    QString SelectedText() const;
    void CopySelection() const;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

// The pane below the chart: the values of the shown day (the crosshair's or the key cursor's,
// else the newest) with each line's name in its colour, so that it is the chart's legend too;
// beside it the levels the newest record works out for the next trading day, which the chart
// with its projection cannot show.
class TValuesPane : public QWidget {
    Q_OBJECT
public:
    explicit TValuesPane(QWidget* parent);

    // The values of the shown day of the chart and the newest record's levels.
    void ShowValues(chart::TChart& chart, const TChart1Series& series, const RecordList& records,
                    const std::string& instrument, int cursorDay);
    // A sentence instead of the values (no file loaded, a file without days).
    void ShowMessage(const QString& text);

    QLabel* DayHeading = nullptr;
    TValuesTable* DayTable = nullptr;
    QLabel* NextDayHeading = nullptr;
    TValuesTable* NextDayTable = nullptr;
    QLabel* Message = nullptr;

private:
    QWidget* values_ = nullptr;
};

}  // namespace zyn::app
