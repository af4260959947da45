#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>
#include <cmath>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/ChartSetup.h"
#include "app/Main.h"
#include "app/ValuesPane.h"
#include "chart/Format.h"
#include "chart/qt/ChartInteraction.h"
#include "chart/qt/ChartWidget.h"
#include "chart/qt/QtCanvas.h"
#include "tests/app/DataFiles.h"
#include "tests/app/TestApplication.h"

namespace fs = std::filesystem;

namespace zyn::test {
namespace {

using namespace zyn::chart;

constexpr int kDays = 30;

// Day position p is 2024-01-(p + 2), its close p + 1 and every other price 100 · p above the
// file's plain ones, so that each day's levels tell it apart.
std::vector<TRow> SteppedRows() {
    std::vector<TRow> rows;
    for (int p = kDays - 1; p >= 0; --p)
        rows.push_back(TRow{"2024-01-" + std::string(p + 2 < 10 ? "0" : "") + std::to_string(p + 2),
                            std::to_string(p + 1), "UP", 100 * p});
    return rows;
}

// What assistive technology is told about the chart.
std::vector<std::pair<QAccessible::Event, QVariant>> toldEvents;
void RecordEvent(QAccessibleEvent* event) {
    const QVariant value =
        event->type() == QAccessible::ValueChanged ? static_cast<QAccessibleValueChangeEvent*>(event)->value() : QVariant();
    toldEvents.emplace_back(event->type(), value);
}

// The viewer with thirty days of DAX loaded and drawn, read through its crosshair, key cursor,
// values pane and accessible chart.
class ChartReadingTest : public ::testing::Test {
protected:
    void TearDown() override {
        form_.reset();
    }

    void Start(bool withDax = true) {
        if (withDax) WriteDataFile(root_ / "Data" / "DAX.mht", SteppedRows());
        form_ = std::make_unique<TfrmMain>();
        form_->show();
        form_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
        ASSERT_TRUE(QTest::qWaitFor([this] { return form_->TreeView1->currentItem() != nullptr; }));
        ASSERT_TRUE(QTest::qWaitFor([this] { return Chart().FramesDrawn > 0 && Chart().Canvas().BufferValid; }));
        if (withDax) {
            ASSERT_EQ(form_->RecordList().size(), size_t(kDays));
        }
    }

    TChart& Chart() const { return *form_->Chart1; }
    TChartWidget& Widget() const { return *static_cast<TChartWidget*>(form_->Chart1Area); }
    TChartInteraction& Interaction() const { return *form_->Chart1Interaction; }
    app::TValuesPane& Pane() const { return *form_->ValuesPane; }
    // The record drawn at a day position (the file lists the newest first).
    const DailyRecord& Record(int day) const { return form_->RecordList()[size_t(kDays - 1 - day)]; }

    void Settle() {
        QCoreApplication::processEvents();
        Widget().repaint();
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
        Settle();
    }
    void Leave() {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&Widget(), &leave);
    }
    QPoint AtDay(double day) const {
        return {Chart().BottomAxis().ValueToPixel(day), Chart().PlotRect.Top + Chart().PlotHeight / 3};
    }

    QString Price(double value) const {
        return QString::fromStdString(FormatFloat("0.#0", value, Chart().FormatSettings));
    }
    QString Date(int day) const {
        const TFormatSettings& fs = Chart().FormatSettings;
        return QString::fromStdString(FormatDateTime(fs.ShortDateFormat, Record(day).Date, fs));
    }
    // A readout's number, in the chart's decimal separator.
    double Number(const QString& text) const {
        QString plain = text;
        plain.replace(QString::fromStdString(Chart().FormatSettings.DecimalSeparator), QStringLiteral("."));
        return plain.toDouble();
    }
    std::pair<double, double> View() const {
        double lo = 0, hi = 0;
        Chart().VisibleHorizontalRange(lo, hi);
        return {lo, hi};
    }

    // The value beside a name in a table of the pane, and the name's colour.
    static QTableWidgetItem* NameCell(const QTableWidget& table, const QString& name) {
        for (int r = 0; r < table.rowCount(); ++r)
            for (int c = 0; c < table.columnCount(); c += 2)
                if (table.item(r, c) && table.item(r, c)->text() == name) return table.item(r, c);
        ADD_FAILURE() << "no " << name.toStdString();
        return nullptr;
    }
    static QString Value(const QTableWidget& table, const QString& name) {
        const QTableWidgetItem* cell = NameCell(table, name);
        return cell ? table.item(cell->row(), cell->column() + 1)->text() : QString();
    }
    static QColor NameColor(const QTableWidget& table, const QString& name) {
        const QTableWidgetItem* cell = NameCell(table, name);
        return cell ? cell->foreground().color() : QColor();
    }
    static QColor Color(TColor c) {
        QColor out;
        TQtCanvas::ResolveColor(c, out);
        return out;
    }

    // First, so that it goes last: the window closes while its folder is still there.
    zyn::test::TDataRoot folder_;
    const fs::path root_ = folder_.Path();
    TMessageCapture messages_;
    std::unique_ptr<TfrmMain> form_;
};

TEST_F(ChartReadingTest, TheCrosshairFollowsThePointerOverThePresentedFrame) {
    Start();
    Settle();
    const QImage frame = Widget().QtCanvas().Image().copy();
    const long frames = Chart().FramesDrawn;
    TChartAxis& right = Chart().RightAxis();
    const QPoint at(Chart().BottomAxis().ValueToPixel(7.3), right.ValueToPixel(1500));
    QTest::mouseMove(&Widget(), at);
    EXPECT_EQ(Interaction().CursorDay(), 7);
    TCrosshair c = Interaction().Crosshair();
    ASSERT_TRUE(c.DayLine && c.ValueLine);
    EXPECT_EQ(c.X, Chart().BottomAxis().ValueToPixel(7));
    EXPECT_EQ(c.Y, at.y());
    EXPECT_EQ(c.DateText, Date(7));
    // The price at the pointer, in the axis's format, to a pixel's worth.
    const QString separator = QString::fromStdString(Chart().FormatSettings.DecimalSeparator);
    EXPECT_EQ(c.ValueText.size() - c.ValueText.lastIndexOf(separator), 3) << c.ValueText.toStdString();
    EXPECT_NEAR(Number(c.ValueText), 1500, right.RangeSize / right.PixelLength);
    EXPECT_GT(c.ValueBox.left(), Chart().PlotRect.Right);
    EXPECT_GT(c.DateBox.top(), Chart().PlotRect.Bottom);

    // Drawn over the presented frame; the chart's own frame, and so every copy, stays as it was.
    Settle();
    EXPECT_EQ(Chart().FramesDrawn, frames);
    EXPECT_EQ(Interaction().Frame(), frame);
    const QImage shown = Widget().grab().toImage().convertToFormat(frame.format());
    EXPECT_EQ(QColor(shown.pixel(c.X, Chart().PlotRect.Top + 1)), QColor(64, 64, 64));
    EXPECT_EQ(QColor(shown.pixel(c.DateBox.left() + 1, c.DateBox.top() + 1)), QColor(48, 48, 48));
    EXPECT_EQ(QColor(shown.pixel(c.ValueBox.left() + 1, c.ValueBox.top() + 1)), QColor(48, 48, 48));

    // In the indicator band the value is the left axis's, in a box on that axis.
    TChartAxis& left = Chart().LeftAxis();
    QTest::mouseMove(&Widget(), QPoint(at.x(), left.ValueToPixel(3)));
    c = Interaction().Crosshair();
    ASSERT_TRUE(c.ValueLine);
    EXPECT_LT(c.ValueBox.right(), Chart().PlotRect.Left);
    EXPECT_NEAR(Number(c.ValueText), 3, left.RangeSize / left.PixelLength);

    // Hidden while a button is down and after the pointer left; outside the plot there is none.
    QTest::mousePress(&Widget(), Qt::LeftButton, {}, at);
    EXPECT_FALSE(Interaction().Crosshair().Visible());
    QTest::mouseRelease(&Widget(), Qt::LeftButton, {}, at);
    QTest::mouseMove(&Widget(), at + QPoint(1, 0));
    EXPECT_TRUE(Interaction().Crosshair().Visible());
    QTest::mouseMove(&Widget(), QPoint(2, 2));
    EXPECT_EQ(Interaction().CursorDay(), -1);
    QTest::mouseMove(&Widget(), at);
    Leave();
    EXPECT_FALSE(Interaction().Crosshair().Visible());
    EXPECT_EQ(Interaction().CursorDay(), -1);
    Settle();
    EXPECT_EQ(Chart().FramesDrawn, frames);
}

TEST_F(ChartReadingTest, TheDayCursorStepsOnTheKeysAndScrollsADayAtTheEdge) {
    Start();
    QTest::mouseClick(&Widget(), Qt::LeftButton, {}, AtDay(15));
    ASSERT_TRUE(Widget().hasFocus());
    Leave();
    for (int i = 0; i < 3; ++i) Key(Qt::Key_Plus);
    auto [lo, hi] = View();
    const int lastInView = int(std::floor(hi));
    ASSERT_LT(lastInView, kDays - 2);

    // The first step shows the cursor on the last day in view; steps inside the view draw no frame.
    const long frames = Chart().FramesDrawn;
    Key(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(Interaction().CursorDay(), lastInView);
    Key(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(Interaction().CursorDay(), lastInView - 1);
    EXPECT_EQ(Chart().FramesDrawn, frames);
    // The key cursor stands on the day's close.
    const TCrosshair c = Interaction().Crosshair();
    EXPECT_EQ(c.DateText, Date(lastInView - 1));
    EXPECT_EQ(c.ValueText, Price(Record(lastInView - 1).Close));

    // Past the last day in view the view follows by one day.
    Key(Qt::Key_Right, Qt::ControlModifier);
    Key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(Interaction().CursorDay(), lastInView + 1);
    EXPECT_NEAR(View().first, lo + 1, 1e-9);
    EXPECT_NEAR(View().second, hi + 1, 1e-9);

    // End: the newest day, scrolled into view; no further.
    Key(Qt::Key_End);
    EXPECT_EQ(Interaction().CursorDay(), kDays - 1);
    EXPECT_GE(View().second, kDays - 1);
    Key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(Interaction().CursorDay(), kDays - 1);
    // Before the first day likewise.
    Key(Qt::Key_Home);
    for (int i = 0; i < kDays + 2; ++i) QTest::keyClick(&Widget(), Qt::Key_Left, Qt::ControlModifier);
    Settle();
    EXPECT_EQ(Interaction().CursorDay(), 0);
    EXPECT_LE(View().first, 0);

    // The pane follows the cursor, with the projection's levels (the day before's) and without.
    Key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(Value(*Pane().DayTable, "Datum"), Date(1));
    EXPECT_EQ(Value(*Pane().DayTable, "R3"), Price(Record(0).R3));
    QTest::mouseClick(form_->CheckBox_Projektion, Qt::LeftButton);
    Settle();
    EXPECT_EQ(Interaction().CursorDay(), 1);
    EXPECT_EQ(Value(*Pane().DayTable, "R3"), Price(Record(1).R3));
    EXPECT_EQ(Value(*Pane().NextDayTable, "R3"), Price(Record(kDays - 1).R3));
}

TEST_F(ChartReadingTest, TheValuesPaneShowsTheDayAndTheNextDaysLevelsAndCopiesThemAsASheet) {
    Start();
    const QTableWidget& day = *Pane().DayTable;
    const QTableWidget& next = *Pane().NextDayTable;
    // Without a cursor the newest day, its levels the day before's (the projection is on).
    const DailyRecord& newest = Record(kDays - 1);
    const DailyRecord& before = Record(kDays - 2);
    EXPECT_EQ(Value(day, "Datum"), Date(kDays - 1));
    EXPECT_EQ(Value(day, "Eröffnung"), Price(newest.Open));
    EXPECT_EQ(Value(day, "Hoch"), Price(newest.High));
    EXPECT_EQ(Value(day, "Tief"), Price(newest.Low));
    EXPECT_EQ(Value(day, "Schluss"), Price(newest.Close));
    EXPECT_EQ(Value(day, "Midpoint"), Price(newest.Midpoint));
    EXPECT_EQ(Value(day, "ZYN_Trend"), QString::number(newest.Trend6));
    EXPECT_EQ(Value(day, "ZYN_Summe"), QString::number(newest.TrendSum));
    for (const app::TLevelLine& line : app::LevelLines) {
        EXPECT_EQ(Value(day, line.Title), Price(before.*line.Field)) << line.Title;
        // The newest record's own levels are the next trading day's.
        EXPECT_EQ(Value(next, line.Title), Price(newest.*line.Field)) << line.Title;
        EXPECT_EQ(NameColor(next, line.Title), Color(line.Color)) << line.Title;
        EXPECT_EQ(NameColor(day, line.Title), Color(line.Color)) << line.Title;
    }
    // Each name in its line's colour: the chart's legend.
    EXPECT_EQ(NameColor(day, "Midpoint"), Color(clFuchsia));
    EXPECT_EQ(NameColor(day, "ZYN_Summe"), Color(newest.TrendSum > 0 ? clBlue : clMaroon));
    EXPECT_TRUE(Pane().NextDayHeading->text().contains(Date(kDays - 1)));
    // The first day has no projected levels.
    QTest::mouseMove(&Widget(), AtDay(0));
    EXPECT_EQ(Value(day, "Datum"), Date(0));
    EXPECT_EQ(Value(day, "R3"), QStringLiteral("\u2013"));
    Leave();
    EXPECT_EQ(Value(day, "Datum"), Date(kDays - 1));

    // A column pair dragged over and copied: lines of name and value for a spreadsheet.
    QTableWidget& nextTable = *Pane().NextDayTable;
    const auto cellAt = [&](int row, int column) {
        return nextTable.visualItemRect(nextTable.item(row, column)).center();
    };
    QTest::mouseClick(nextTable.viewport(), Qt::LeftButton, {}, cellAt(0, 0));
    QTest::mouseClick(nextTable.viewport(), Qt::LeftButton, Qt::ShiftModifier, cellAt(6, 1));
    QApplication::clipboard()->clear();
    QTest::keyClick(&nextTable, Qt::Key_C, Qt::ControlModifier);
    QString expected;
    for (size_t l = 2; l < app::LevelLines.size(); ++l)
        expected += QStringLiteral("%1\t%2\n").arg(app::LevelLines[l].Title, Price(newest.*app::LevelLines[l].Field));
    EXPECT_EQ(QApplication::clipboard()->text(), expected);
    EXPECT_TRUE(QApplication::clipboard()->image().isNull());  // not the chart's picture

    // Everything, as the grid shows it.
    Pane().DayTable->setFocus();
    QTest::keyClick(Pane().DayTable, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(Pane().DayTable, Qt::Key_C, Qt::ControlModifier);
    const QStringList lines = QApplication::clipboard()->text().split(u'\n');
    ASSERT_EQ(lines.size(), 8);
    EXPECT_EQ(lines[0], QStringLiteral("Datum\t%1\tR3\t%2\tRangeHigh\t%3")
                            .arg(Date(kDays - 1), Price(before.R3), Price(before.RangeHigh)));
    EXPECT_EQ(lines[6], QStringLiteral("\t\tS3\t%1\t\t").arg(Price(before.S3)));
    EXPECT_TRUE(lines[7].isEmpty());
    EXPECT_TRUE(messages_.Boxes.empty());
}

TEST_F(ChartReadingTest, WithoutAFileThePaneSaysSo) {
    Start(false);
    EXPECT_TRUE(Pane().Message->isVisible());
    EXPECT_TRUE(Pane().Message->text().startsWith(QStringLiteral("Keine Kursdaten geladen")));
    EXPECT_FALSE(Pane().DayTable->isVisible());
    const QAccessibleInterface* chart = QAccessible::queryAccessibleInterface(&Widget());
    EXPECT_EQ(chart->text(QAccessible::Name), QStringLiteral("Kein Instrument geladen"));
    // A file without days.
    WriteDataFile(root_ / "Data" / "DAX.mht", {});
    form_->TreeView1Click();
    EXPECT_EQ(Pane().Message->text(), QStringLiteral("Die Datei von DAX enthält keine Tage."));
}

TEST_F(ChartReadingTest, AScreenReaderReadsTheChartAndIsToldOfChanges) {
    Start();
    QAccessibleInterface* chart = QAccessible::queryAccessibleInterface(&Widget());
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(chart->role(), QAccessible::Chart);
    EXPECT_EQ(chart->text(QAccessible::Name), QStringLiteral("DAX"));
    const DailyRecord& newest = Record(kDays - 1);
    EXPECT_EQ(chart->text(QAccessible::Description),
              QStringLiteral("Zu sehen: %1 bis %2, Kurse von %3 bis %4. Letzter Schluss am %2: %5. "
                             "Pivot für den nächsten Handelstag: %6.")
                  .arg(Date(0), Date(kDays - 1), Price(Record(0).Low), Price(newest.High), Price(newest.Close),
                       Price(newest.Pivot)));
    EXPECT_EQ(chart->text(QAccessible::Value), QStringLiteral("%1, Schluss %2").arg(Date(kDays - 1), Price(newest.Close)));
    ASSERT_NE(chart->valueInterface(), nullptr);
    EXPECT_EQ(chart->valueInterface()->currentValue().toDouble(), newest.Close);

    // The offscreen platform has no accessibility bridge: the events are taken where they leave.
    TChartWidget::AccessibilityListener = &RecordEvent;
    Widget().NotifyAccessibility();
    toldEvents.clear();
    QTest::mouseClick(&Widget(), Qt::LeftButton, {}, AtDay(15));
    Leave();
    toldEvents.clear();
    Key(Qt::Key_Left, Qt::ControlModifier);  // shows the cursor on the newest day: the same value
    Key(Qt::Key_Left, Qt::ControlModifier);
    using Told = std::vector<std::pair<QAccessible::Event, QVariant>>;
    EXPECT_EQ(toldEvents, (Told{{QAccessible::ValueChanged, QVariant(Record(kDays - 2).Close)}}));
    EXPECT_EQ(chart->text(QAccessible::Value),
              QStringLiteral("%1, Schluss %2").arg(Date(kDays - 2), Price(Record(kDays - 2).Close)));
    toldEvents.clear();
    Key(Qt::Key_Plus);
    EXPECT_EQ(toldEvents, (Told{{QAccessible::DescriptionChanged, QVariant()}}));
    EXPECT_FALSE(chart->text(QAccessible::Description).startsWith(QStringLiteral("Zu sehen: %1 ").arg(Date(0))));

    // Another instrument: a new name, a new description, the newest day's value.
    WriteDataFile(root_ / "Data" / "NDX100.mht", zyn::test::Rows(3, 16001, 16000));
    toldEvents.clear();
    QTreeWidget* tree = form_->TreeView1;
    QTreeWidgetItem* item = tree->findItems("NDX100", Qt::MatchExactly | Qt::MatchRecursive).front();
    tree->scrollToItem(item);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
    Settle();
    EXPECT_EQ(toldEvents, (Told{{QAccessible::NameChanged, QVariant()},
                                {QAccessible::DescriptionChanged, QVariant()},
                                {QAccessible::ValueChanged, QVariant(form_->RecordList().front().Close)}}));
    EXPECT_EQ(chart->text(QAccessible::Name), QStringLiteral("NDX100"));
    TChartWidget::AccessibilityListener = nullptr;

    // The panes have names too.
    const auto name = [](QObject* object) { return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name); };
    EXPECT_EQ(name(form_->TreeView1), QStringLiteral("Instrumente"));
    EXPECT_EQ(name(form_->CheckBox_Projektion), QStringLiteral("1 Tag Projektion"));
    EXPECT_EQ(name(form_->Memo1), QStringLiteral("Notizen"));
    EXPECT_EQ(name(form_->ValuesPane), QStringLiteral("Tageswerte"));
    EXPECT_EQ(name(Pane().DayTable), QStringLiteral("Werte des Tages"));
    EXPECT_EQ(name(Pane().NextDayTable), QStringLiteral("Niveaus für den nächsten Handelstag"));
}

}  // namespace
}  // namespace zyn::test
