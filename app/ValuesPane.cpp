#include "app/ValuesPane.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>
#include <algorithm>

#include "app/ChartReading.h"
#include "app/DayValues.h"
#include "chart/qt/QtCanvas.h"

namespace zyn::app {

using chart::TColor;

namespace {

constexpr int kPairGap = 18;  // after each value column, between the pairs

const QString kMissing = QStringLiteral("\u2013");

// The colour a series draws its point at a day position in, else its given colour.
QColor LineColor(const chart::TChartSeries& s, int day, TColor given) {
    const chart::TChartValueList& xs = s.XValues();
    const int i = xs.FirstAtLeast(day);
    TColor color = i < xs.Count() && xs.Value(i) == day ? s.PointColor(i) : given;
    if (color == chart::clAutoColor) color = s.SeriesColor();
    QColor out;
    return chart::TQtCanvas::ResolveColor(color, out) ? out : QColor();
}

void SetText(QLabel* label, const QString& text) {
    if (label->text() != text) label->setText(text);
}

bool IsShortcut(QKeyEvent* e) { return e->matches(QKeySequence::Copy) || e->matches(QKeySequence::SelectAll); }

}  // namespace

// ---- TValuesTable ----

TValuesTable::TValuesTable(QWidget* parent) : QTableWidget(parent) {
    horizontalHeader()->hide();
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 3);
    setShowGrid(false);
    setFrameShape(QFrame::NoFrame);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setWordWrap(false);
    // Tab leaves the table, as it leaves every other pane.
    setTabKeyNavigation(false);
    setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Read like the panel it stands on; the selection still shows.
    QPalette p = palette();
    p.setColor(QPalette::Base, p.color(QPalette::Window));
    setPalette(p);
}

void TValuesTable::SetColumns(const std::vector<std::vector<TCell>>& columns) {
    size_t rows = 0;
    for (const auto& column : columns) rows = std::max(rows, column.size());
    const int columnCount = static_cast<int>(2 * columns.size());
    const bool sameLayout = rowCount() == int(rows) && this->columnCount() == columnCount;
    if (!sameLayout) {
        clear();
        setRowCount(int(rows));
        setColumnCount(columnCount);
    }
    for (size_t c = 0; c < columns.size(); ++c) {
        for (size_t r = 0; r < rows; ++r) {
            const TCell cell = r < columns[c].size() ? columns[c][r] : TCell{};
            const int column = int(2 * c);
            if (!sameLayout) {
                auto* name = new QTableWidgetItem;
                auto* value = new QTableWidgetItem;
                value->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                if (cell.Name.isEmpty()) {
                    name->setFlags(Qt::NoItemFlags);
                    value->setFlags(Qt::NoItemFlags);
                }
                setItem(int(r), column, name);
                setItem(int(r), column + 1, value);
            }
            QTableWidgetItem* name = item(int(r), column);
            QTableWidgetItem* value = item(int(r), column + 1);
            if (name->text() != cell.Name) name->setText(cell.Name);
            const QColor color = cell.Color.isValid() ? cell.Color : palette().color(QPalette::Text);
            if (name->foreground().style() == Qt::NoBrush || name->foreground().color() != color)
                name->setForeground(color);
            if (value->text() != cell.Value) value->setText(cell.Value);
        }
    }
    // Columns only grow, so that values of changing length do not make the grid jump.
    for (int c = 0; c < columnCount; ++c) {
        const int wanted = sizeHintForColumn(c) + (c % 2 == 1 ? kPairGap : 4);
        if (!sameLayout || columnWidth(c) < wanted) setColumnWidth(c, wanted);
    }
}

QString TValuesTable::SelectedText() const {
    const QModelIndexList selected = selectedIndexes();
    if (selected.isEmpty()) return {};
    int top = rowCount(), bottom = -1, left = columnCount(), right = -1;
    for (const QModelIndex& index : selected) {
        top = std::min(top, index.row());
        bottom = std::max(bottom, index.row());
        left = std::min(left, index.column());
        right = std::max(right, index.column());
    }
    QStringList lines;
    for (int r = top; r <= bottom; ++r) {
        QStringList cells;
        for (int c = left; c <= right; ++c) {
            const QTableWidgetItem* cell = item(r, c);
            cells << (cell && cell->isSelected() ? cell->text() : QString());
        }
        lines << cells.join(u'\t');
    }
    return lines.join(u'\n') + u'\n';
}

void TValuesTable::CopySelection() const {
    const QString text = SelectedText();
    if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

bool TValuesTable::event(QEvent* event) {
    // Copy and select all act on the table, before the window's copy of the chart's picture.
    if (event->type() == QEvent::ShortcutOverride && IsShortcut(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QTableWidget::event(event);
}

void TValuesTable::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        CopySelection();
        event->accept();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void TValuesTable::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction(QStringLiteral("Kopieren"), this, &TValuesTable::CopySelection);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(!selectedIndexes().isEmpty());
    QAction* all = menu.addAction(QStringLiteral("Alles auswählen"), this, &QTableWidget::selectAll);
    all->setShortcut(QKeySequence::SelectAll);
    menu.exec(event->globalPos());
}

// ---- TValuesPane ----

TValuesPane::TValuesPane(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ValuesPane"));
    setAccessibleName(QStringLiteral("Tageswerte"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    Message = new QLabel(this);
    Message->setObjectName(QStringLiteral("ValuesMessage"));
    Message->setWordWrap(true);
    layout->addWidget(Message);

    values_ = new QWidget(this);
    auto* row = new QHBoxLayout(values_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(24);
    const auto group = [&](QLabel*& heading, TValuesTable*& table, const char* name, const QString& accessible) {
        auto* box = new QVBoxLayout;
        box->setSpacing(2);
        heading = new QLabel(values_);
        heading->setTextFormat(Qt::RichText);
        table = new TValuesTable(values_);
        table->setObjectName(QString::fromLatin1(name));
        table->setAccessibleName(accessible);
        heading->setBuddy(table);
        box->addWidget(heading);
        box->addWidget(table, 1);
        row->addLayout(box);
    };
    group(DayHeading, DayTable, "DayTable", QStringLiteral("Werte des Tages"));
    group(NextDayHeading, NextDayTable, "NextDayTable", QStringLiteral("Niveaus für den nächsten Handelstag"));
    row->addStretch(1);
    layout->addWidget(values_, 1);
    ShowMessage(QStringLiteral("Keine Kursdaten geladen. Wählen Sie links ein Instrument."));
}

void TValuesPane::ShowMessage(const QString& text) {
    Message->setText(text);
    Message->show();
    values_->hide();
}

void TValuesPane::ShowValues(chart::TChart& chart, const TChart1Series& s, const RecordList& records,
                             const std::string& instrument, int cursorDay) {
    const int day = ShownDay(s, cursorDay);
    if (day < 0 || records.empty()) {
        ShowMessage(QStringLiteral("Die Datei von %1 enthält keine Tage.").arg(QString::fromStdString(instrument)));
        return;
    }
    const TDayValues rows = DayValues(chart, day);
    const auto shown = [&](const char* name) {
        for (const auto& [n, v] : rows)
            if (n == name) return QString::fromStdString(v);
        return kMissing;
    };
    const auto line = [&](const chart::TChartSeries* series, TColor given) {
        return TValuesTable::TCell{QString::fromStdString(series->Title()), shown(series->Title().c_str()),
                                   LineColor(*series, day, given)};
    };
    const auto plain = [&](const char* name) { return TValuesTable::TCell{QString::fromUtf8(name), shown(name), {}}; };
    const auto levels = s.Levels();
    std::vector<TValuesTable::TCell> candle{{QStringLiteral("Datum"), QString::fromStdString(rows.front().first), {}},
                                            plain("Eröffnung"), plain("Hoch"), plain("Tief"), plain("Schluss"),
                                            line(s.SeriesMidPoint, chart::clFuchsia)};
    std::vector<TValuesTable::TCell> stairs, others;
    for (size_t l = 2; l < levels.size(); ++l) stairs.push_back(line(levels[l], LevelLines[l].Color));
    others = {line(levels[0], LevelLines[0].Color), line(levels[1], LevelLines[1].Color),
              line(s.SeriesZYN_Trend, s.SeriesZYN_Trend->SeriesColor()),
              line(s.SeriesZYN_Summe, s.SeriesZYN_Summe->SeriesColor())};
    DayTable->SetColumns({candle, stairs, others});

    // The newest record: its levels are meant for the day after it.
    const DailyRecord& newest = records.front();
    std::vector<TValuesTable::TCell> next, nextRange;
    QColor color;
    for (size_t l = 0; l < LevelLines.size(); ++l) {
        chart::TQtCanvas::ResolveColor(LevelLines[l].Color, color);
        TValuesTable::TCell cell{QString::fromLatin1(LevelLines[l].Title), PriceText(chart, newest.*LevelLines[l].Field), color};
        (l < 2 ? nextRange : next).push_back(cell);
    }
    NextDayTable->SetColumns({next, nextRange});

    // The headings change with the instrument and the source of the day only: a new text
    // lays out the window again, which the crosshair must not do at every day.
    SetText(DayHeading, QStringLiteral("<b>%1</b> \u2013 %2")
                            .arg(QString::fromStdString(instrument).toHtmlEscaped(),
                                 day == cursorDay ? QStringLiteral("Tag am Fadenkreuz") : QStringLiteral("neuester Tag")));
    SetText(NextDayHeading,
            QStringLiteral("<b>Für den nächsten Handelstag</b> \u2013 aus dem %1")
                .arg(QString::fromStdString(std::string(s.SeriesKurse->XLabel(s.SeriesKurse->Count() - 1))).toHtmlEscaped()));
    Message->hide();
    Message->clear();
    values_->show();
}

}  // namespace zyn::app
