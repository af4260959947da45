#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QDate>
#include <QMenu>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QToolTip>
#include <QTreeWidget>
#include <QWheelEvent>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

#include "app/ChartSetup.h"
#include "app/DayValues.h"
#include "app/Main.h"
#include "chart/RecordingCanvas.h"
#include "chart/qt/ChartInteraction.h"
#include "chart/qt/ChartWidget.h"
#include "chart/qt/QtCanvas.h"
#include "tests/app/DataFiles.h"
#include "tests/app/TestApplication.h"

namespace fs = std::filesystem;

namespace zyn::test {
namespace {

using namespace zyn::chart;
using Rows = app::TDayValues;

// Closes a quarter above the base, so the format's decimals show.
DailyRecord QuarterDay(int dayOfMonth, double base, int trend6, int trendSum) {
    DailyRecord r = Day(dayOfMonth, base, trend6, trendSum);
    r.Close = base + 1.25;
    return r;
}

TEST(DayValues, CandleLevelsAndTrendsOfTheDayInTheAxisFormat) {
    TChart chart{std::make_unique<TRecordingCanvas>()};
    chart.FormatSettings.ShortDateFormat = "dd.MM.yyyy";
    const app::TChart1Series s = app::SetupChart1(chart);
    // Newest first: day position 0 is 01.01., position 1 is 02.01.
    const RecordList records{QuarterDay(2, 200, -1, -3), QuarterDay(1, 100, 1, 4)};

    app::FillChart1(chart, s, records, "DAX", false);
    const Rows own{{"02.01.2024", ""}, {"Eröffnung", "200,00"}, {"Hoch", "202,00"}, {"Tief", "198,00"},
                   {"Schluss", "201,25"}, {"Midpoint", "200,00"}, {"RangeHigh", "210,00"}, {"RangeLow", "190,00"},
                   {"R3", "203,50"}, {"R2", "202,50"}, {"R1", "201,50"}, {"Piv", "200,50"}, {"S1", "198,50"},
                   {"S2", "197,50"}, {"S3", "196,50"}, {"ZYN_Trend", "-1"}, {"ZYN_Summe", "-3"}};
    EXPECT_EQ(app::DayValues(chart, 1), own);

    // With the projection the levels are the previous day's; the first day has none.
    app::FillChart1(chart, s, records, "DAX", true);
    Rows projected = own;
    for (auto& [name, value] : projected)
        if (name == "RangeHigh") value = "110,00";
        else if (name == "RangeLow") value = "90,00";
        else if (name == "R3") value = "103,50";
        else if (name == "R2") value = "102,50";
        else if (name == "R1") value = "101,50";
        else if (name == "Piv") value = "100,50";
        else if (name == "S1") value = "98,50";
        else if (name == "S2") value = "97,50";
        else if (name == "S3") value = "96,50";
    EXPECT_EQ(app::DayValues(chart, 1), projected);
    const Rows first{{"01.01.2024", ""}, {"Eröffnung", "100,00"}, {"Hoch", "102,00"}, {"Tief", "98,00"},
                     {"Schluss", "101,25"}, {"Midpoint", "100,00"}, {"ZYN_Trend", "1"}, {"ZYN_Summe", "4"}};
    EXPECT_EQ(app::DayValues(chart, 0), first);

    // A currency pair's format; no candle at a position, no rows.
    app::FillChart1(chart, s, records, "EURUSD", true);
    EXPECT_EQ(app::DayValues(chart, 0)[1], (std::pair<std::string, std::string>{"Eröffnung", "100,0000"}));
    EXPECT_TRUE(app::DayValues(chart, 2).empty());
    EXPECT_TRUE(app::DayValues(chart, -1).empty());
    EXPECT_TRUE(app::DayValuesText({}).isEmpty());
}

struct TRanges {
    double BottomMin, BottomMax, RightMin, RightMax, LeftMin, LeftMax;
    friend bool operator==(const TRanges&, const TRanges&) = default;
};

// The viewer with 30 days of DAX loaded and drawn.
class ChartInteractionTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteDataFile(root_ / "Data" / "DAX.mht", zyn::test::Rows(30));
        form_ = std::make_unique<TfrmMain>();
        form_->show();
        form_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
        // FormShow runs once the window is on screen and loads DAX.
        ASSERT_TRUE(QTest::qWaitFor([this] { return form_->TreeView1->currentItem() != nullptr; }));
        ASSERT_TRUE(QTest::qWaitFor([this] { return Chart().FramesDrawn > 0 && Chart().Canvas().BufferValid; }));
        ASSERT_EQ(Chart().SeriesList().front()->Count(), 30);
    }

    void TearDown() override {
        form_.reset();
    }

    TChart& Chart() const { return *form_->Chart1; }
    TChartWidget& Widget() const { return *static_cast<TChartWidget*>(form_->Chart1Area); }
    TChartInteraction& Interaction() const { return *form_->Chart1Interaction; }

    // Serves a pending repaint.
    void Settle() {
        QCoreApplication::processEvents();
        Widget().repaint();
    }

    TRanges Ranges() const {
        TChart& c = Chart();
        return {c.BottomAxis().RangeMin, c.BottomAxis().RangeMax, c.RightAxis().RangeMin,
                c.RightAxis().RangeMax,  c.LeftAxis().RangeMin,   c.LeftAxis().RangeMax};
    }

    QPoint AtDay(double day) const {
        return {Chart().BottomAxis().ValueToPixel(day), Chart().PlotRect.Top + Chart().PlotHeight / 3};
    }

    void Wheel(QPoint at, int angle) {
        QWheelEvent e(at, Widget().mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(&Widget(), &e);
        Settle();
    }

    void Key(int key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
        Settle();
    }

    // The prices of the candles and lines with x in view, as the right axis must fit them.
    void ExpectPricesFitted() {
        TChart& c = Chart();
        double lo = 0, hi = 0;
        c.VisibleHorizontalRange(lo, hi);
        double min = 1e300, max = -1e300;
        for (TChartSeries* s : c.SeriesList()) {
            if (s->GetVertAxis() != &c.RightAxis()) continue;
            for (int i = 0; i < s->Count(); ++i) {
                if (s->XValue(i) < lo || s->XValue(i) > hi) continue;
                for (size_t l = 1; l < s->ValuesLists().size(); ++l) {
                    min = std::min(min, s->ValuesLists()[l]->Value(i));
                    max = std::max(max, s->ValuesLists()[l]->Value(i));
                }
            }
        }
        int top = 0, bottom = 0;
        c.SeriesList().front()->VerticalMargins(top, bottom);
        ASSERT_GT(top + bottom, 0);
        const TChartAxis& right = c.RightAxis();
        EXPECT_NEAR(right.ValueToPixel(max), right.StartPixel + top, 1);
        EXPECT_NEAR(right.ValueToPixel(min), right.EndPixel - bottom, 1);
    }

    // First, so that it goes last: the window closes while its folder is still there.
    zyn::test::TDataRoot folder_;
    const fs::path root_ = folder_.Path();
    TMessageCapture messages_;
    std::unique_ptr<TfrmMain> form_;
};

TEST_F(ChartInteractionTest, RestingPointerShowsTheDayWithoutRedrawing) {
    const long frames = Chart().FramesDrawn;
    const QPoint at = AtDay(7.3);
    EXPECT_EQ(Interaction().DayAt(at), 7);
    EXPECT_EQ(Interaction().DayAt(QPoint(Chart().PlotRect.Left - 5, at.y())), -1);
    QTest::mouseMove(&Widget(), at);
    ASSERT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 3000));
    EXPECT_EQ(QToolTip::text(), app::DayValuesText(app::DayValues(Chart(), 7)));
    EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("Schluss")));
    // The next day replaces the values at once; leaving the chart hides them.
    QTest::mouseMove(&Widget(), AtDay(8));
    EXPECT_EQ(QToolTip::text(), app::DayValuesText(app::DayValues(Chart(), 8)));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&Widget(), &leave);
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 3000));
    Settle();
    EXPECT_EQ(Chart().FramesDrawn, frames);
}

TEST_F(ChartInteractionTest, WheelZoomsAroundThePointerFitsPricesAndUndoes) {
    const TRanges first = Ranges();
    const QPoint at = AtDay(10);
    const long frames = Chart().FramesDrawn;
    Wheel(at, 120);
    EXPECT_EQ(Chart().FramesDrawn, frames + 1);
    EXPECT_TRUE(Chart().IsZoomed);
    EXPECT_NEAR((first.BottomMax - first.BottomMin) / (Ranges().BottomMax - Ranges().BottomMin), 1.25, 1e-9);
    EXPECT_NEAR(Chart().BottomAxis().ValueToPixel(10), at.x(), 2);
    EXPECT_EQ(Ranges().LeftMin, -6);
    EXPECT_EQ(Ranges().LeftMax, 6);
    Wheel(at, 240);
    ExpectPricesFitted();
    // Out again: the same span as after the first notch.
    Wheel(at, -240);
    EXPECT_NEAR((first.BottomMax - first.BottomMin) / (Ranges().BottomMax - Ranges().BottomMin), 1.25, 1e-9);

    // The undo of a dragged zoom returns to the ranges before the first notch.
    QTest::mousePress(&Widget(), Qt::LeftButton, {}, QPoint(at.x() + 30, at.y() + 30));
    QTest::mouseMove(&Widget(), at);
    QTest::mouseRelease(&Widget(), Qt::LeftButton, {}, at);
    Settle();
    EXPECT_FALSE(Chart().IsZoomed);
    EXPECT_EQ(Ranges(), first);

    // Zooming out from the whole view and outside the plot change nothing.
    const long unzoomed = Chart().FramesDrawn;
    Wheel(at, -120);
    Wheel(QPoint(2, 2), 120);
    EXPECT_EQ(Chart().FramesDrawn, unzoomed);
    EXPECT_FALSE(Chart().HasSavedScales);
}

TEST_F(ChartInteractionTest, KeysActOnceTheChartHasTheFocus) {
    const TRanges first = Ranges();
    ASSERT_TRUE(form_->TreeView1->hasFocus());
    Key(Qt::Key_Plus);
    EXPECT_EQ(Ranges(), first);

    const QPoint inside = AtDay(15);
    QTest::mouseClick(&Widget(), Qt::LeftButton, {}, inside);
    ASSERT_TRUE(Widget().hasFocus());
    EXPECT_EQ(Ranges(), first);
    Key(Qt::Key_Plus);
    const TRanges zoomed = Ranges();
    const double span = zoomed.BottomMax - zoomed.BottomMin;
    EXPECT_NEAR((first.BottomMax - first.BottomMin) / span, 1.25, 1e-9);
    EXPECT_NEAR(zoomed.BottomMin + zoomed.BottomMax, first.BottomMin + first.BottomMax, 1e-9);
    Key(Qt::Key_Left);
    EXPECT_NEAR(Ranges().BottomMin, zoomed.BottomMin - span / 10, 1e-9);
    ExpectPricesFitted();
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    EXPECT_NEAR(Ranges().BottomMax, zoomed.BottomMax + span / 10, 1e-9);
    Key(Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_NEAR(Ranges().BottomMax - Ranges().BottomMin, first.BottomMax - first.BottomMin, 1e-9);
    Key(Qt::Key_Escape);
    EXPECT_EQ(Ranges(), first);
    Key(Qt::Key_Plus);
    Key(Qt::Key_Home);
    EXPECT_EQ(Ranges(), first);
    // The first day in view: Left goes no further.
    const long frames = Chart().FramesDrawn;
    Key(Qt::Key_Left);
    EXPECT_EQ(Chart().FramesDrawn, frames);
}

TEST_F(ChartInteractionTest, CopyAndSaveTheFrameUnderTheLoadedName) {
    QTest::mouseClick(&Widget(), Qt::LeftButton, {}, AtDay(15));
    const QPoint at = AtDay(10);
    Wheel(at, 120);
    const QImage frame = Widget().QtCanvas().Image().copy();
    Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->image().convertToFormat(frame.format()), frame);

    // A selected node that loads nothing does not rename the picture.
    form_->TreeView1->setCurrentItem(form_->TreeView1->findItems("Forex (Spot)", Qt::MatchExactly).front());
    QString proposed;
    const QString target = QString::fromStdString((root_ / "bild.png").string());
    Interaction().AskSaveFileName = [&](const QString& p) {
        proposed = p;
        return target;
    };
    Widget().setFocus();
    Key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(proposed.toStdString(), (root_ / "DAX.png").string());
    EXPECT_EQ(QImage(target).convertToFormat(frame.format()), frame);
    // The same picture as the command-line renderer's of that file, size and zoom.
    const QString rendered = QString::fromStdString((root_ / "rendered.png").string());
    QProcess render;
    render.start(QStringLiteral(ZYN_BINARY_DIR "/tools/zyn-render"),
                 {"png", "Data/DAX.mht", rendered, "--size",
                  QStringLiteral("%1x%2").arg(Widget().width()).arg(Widget().height()), "--wheel",
                  QStringLiteral("%1:1").arg(at.x())});
    ASSERT_TRUE(render.waitForFinished(60000));
    ASSERT_EQ(render.exitCode(), 0) << render.readAllStandardError().toStdString();
    EXPECT_EQ(QImage(rendered).convertToFormat(frame.format()), frame);

    // The extension, in either case, picks the type, and the next proposal is of the last one.
    for (const std::string name : {"bild.PDF", "bild.svg"}) {
        const QString path = QString::fromStdString((root_ / name).string());
        Interaction().AskSaveFileName = [&](const QString&) { return path; };
        Key(Qt::Key_S, Qt::ControlModifier);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        const QByteArray head = file.read(256);
        EXPECT_TRUE(name.ends_with("PDF") ? head.startsWith("%PDF-") : head.contains("<svg")) << name;
    }
    Interaction().AskSaveFileName = [&](const QString& p) {
        proposed = p;
        return QString();
    };
    Key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(proposed.toStdString(), (root_ / "DAX.svg").string());

    Interaction().AskSaveFileName = [&](const QString&) {
        return QString::fromStdString((root_ / "missing" / "bild.png").string());
    };
    Key(Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(messages_.Boxes.size(), 1u);
    EXPECT_EQ(messages_.Boxes[0].Text.toStdString(),
              "Das Bild kann nicht gespeichert werden: " + (root_ / "missing" / "bild.png").string() +
                  "\nDie Datei oder das Verzeichnis konnte nicht gefunden werden.");
}

struct TProgram {
    int Status = -1;
    QByteArray Out, Err;
};

TProgram RunProgram(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

// The longest run of dark pixels along a row of the image: its row, first column and length.
struct TDarkRun {
    int Row = -1, Left = 0, Length = 0;
};
TDarkRun LongestDarkRow(const QImage& image) {
    TDarkRun longest;
    for (int y = 0; y < image.height(); ++y) {
        int run = 0;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            run = qRed(p) < 80 && qGreen(p) < 80 && qBlue(p) < 80 ? run + 1 : 0;
            if (run > longest.Length) longest = {y, x - run + 1, run};
        }
    }
    return longest;
}

// Printed into a PDF file: one landscape page, the chart as vectors filling the printable area
// with its proportions, and a footer naming the instrument, the days in view and the date.
TEST_F(ChartInteractionTest, PrintsTheZoomedChartOnALandscapePageWithItsFooter) {
    for (const char* tool : {"pdftotext", "pdftoppm"})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            GTEST_SKIP() << tool << " is not installed (./setup.sh installs poppler-utils)";
    Wheel(AtDay(15), 240);
    const TCandleSeries& candles = *form_->Chart1Series.SeriesKurse;
    ASSERT_GT(candles.FirstVisibleIndex, 0);
    ASSERT_LT(candles.LastVisibleIndex, 29);
    const QString path = QString::fromStdString((root_ / "druck.pdf").string());
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Landscape);
    Interaction().PrintTo(printer);

    const TProgram text = RunProgram("pdftotext", {path, "-"});
    ASSERT_EQ(text.Status, 0) << text.Err.toStdString();
    const QString page = QString::fromUtf8(text.Out);
    const QString footer = QStringLiteral("DAX, %1 bis %2")
                               .arg(QString::fromStdString(std::string(candles.XLabel(candles.FirstVisibleIndex))),
                                    QString::fromStdString(std::string(candles.XLabel(candles.LastVisibleIndex))));
    EXPECT_TRUE(page.contains(footer)) << page.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("Gedruckt am ") + QDate::currentDate().toString("dd.MM.yyyy")));
    for (const auto& label : Chart().RightAxis().DrawnLabels)
        EXPECT_TRUE(page.contains(QString::fromStdString(label.Text))) << label.Text;
    EXPECT_EQ(page.count(QChar(u'\f')), 1);  // one page

    // At one pixel per point: the bottom axis line, the longest black line, where the chart
    // scaled alike both ways, centred at the top of the printable area and as wide (or as high,
    // with the footer below) as the area allows, puts it.
    const TProgram toPng = RunProgram("pdftoppm", {"-r", "72", "-png", "-singlefile", path, path});
    ASSERT_EQ(toPng.Status, 0) << toPng.Err.toStdString();
    const QImage image(path + ".png");
    ASSERT_EQ(image.size(), QSize(842, 595));
    const QRectF area = printer.pageLayout().paintRect(QPageLayout::Point);
    const TChartAxis& bottom = Chart().BottomAxis();
    const TDarkRun line = LongestDarkRow(image);
    const double scale = line.Length / double(bottom.EndPixel - bottom.StartPixel);
    const double width = Chart().Width() * scale, height = Chart().Height() * scale;
    EXPECT_NEAR(line.Left, area.left() + (area.width() - width) / 2 + bottom.StartPixel * scale, 3);
    EXPECT_NEAR(line.Row, area.top() + bottom.LinePosition * scale, 3);
    EXPECT_LE(width, area.width() + 3);
    EXPECT_LE(height, area.height());
    EXPECT_TRUE(width >= area.width() - 3 || height >= 0.9 * area.height()) << width << " x " << height;
}

// Sets environment variables for a test's lifetime.
class TEnvironment {
public:
    void Set(const char* name, const std::string& value) {
        const char* old = std::getenv(name);
        saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
        setenv(name, value.c_str(), 1);
    }
    ~TEnvironment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) setenv(it->first, it->second->c_str(), 1);
            else unsetenv(it->first);
        }
    }

private:
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

// A picture is proposed where the user can write: the current directory, else the pictures
// folder, else the home folder; after a save, the folder of that picture.
TEST_F(ChartInteractionTest, ThePictureIsProposedWhereTheUserCanWrite) {
    const fs::path home = root_ / "home";
    fs::create_directories(home / "Bilder");
    fs::create_directories(root_ / "config");
    std::ofstream(root_ / "config" / "user-dirs.dirs") << "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
    TEnvironment environment;
    environment.Set("HOME", home.string());
    environment.Set("XDG_CONFIG_HOME", (root_ / "config").string());
    QString proposed;
    QString answer;
    Interaction().AskSaveFileName = [&](const QString& p) {
        proposed = p;
        return answer;
    };
    const auto propose = [&] {
        proposed.clear();
        Interaction().SaveImage();
        return proposed.toStdString();
    };
    EXPECT_EQ(propose(), (root_ / "DAX.png").string());

    // The current directory is gone (as unwritable as it gets for any user).
    fs::create_directory(root_ / "weg");
    fs::current_path(root_ / "weg");
    fs::remove(root_ / "weg");
    EXPECT_EQ(propose(), (home / "Bilder" / "DAX.png").string());
    fs::remove(home / "Bilder");
    EXPECT_EQ(propose(), (home / "DAX.png").string());

    fs::create_directory(root_ / "bilder");
    answer = QString::fromStdString((root_ / "bilder" / "erstes.png").string());
    propose();
    EXPECT_TRUE(fs::is_regular_file(root_ / "bilder" / "erstes.png"));
    answer.clear();
    EXPECT_EQ(propose(), (root_ / "bilder" / "DAX.png").string());
    EXPECT_TRUE(messages_.Boxes.empty());
}

// Another instrument in a zoomed view keeps the days in view and fits the price axis to its
// candles there; a reload of the same instrument changes no range.
TEST_F(ChartInteractionTest, AnotherInstrumentInAZoomedViewFitsItsPrices) {
    WriteDataFile(root_ / "Data" / "NDX100.mht", zyn::test::Rows(30, 16001, 16000));
    const auto click = [this](const QString& text) {
        QTreeWidget* tree = form_->TreeView1;
        QTreeWidgetItem* item = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive).front();
        tree->scrollToItem(item);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
        Settle();
    };
    Wheel(AtDay(10), 240);
    const TRanges zoomed = Ranges();
    click("NDX100");
    ASSERT_EQ(form_->RecordList().front().Close, 16001);
    EXPECT_EQ(Ranges().BottomMin, zoomed.BottomMin);
    EXPECT_EQ(Ranges().BottomMax, zoomed.BottomMax);
    EXPECT_EQ(Ranges().LeftMin, -6);
    EXPECT_EQ(Ranges().LeftMax, 6);
    EXPECT_GT(Ranges().RightMin, 16000);
    ExpectPricesFitted();

    const TRanges fitted = Ranges();
    WriteDataFile(root_ / "Data" / "NDX100.mht", zyn::test::Rows(30, 20001, 20000));
    click("NDX100");
    ASSERT_EQ(form_->RecordList().front().Close, 20001);
    EXPECT_EQ(Ranges(), fitted);
}

// Zooming out where the view reaches the last day keeps the days at the edge; the step that
// would show every day lands on the whole view, and zooming out ends there.
TEST_F(ChartInteractionTest, ZoomingOutAtAnEndStaysOnTheDays) {
    const TRanges whole = Ranges();
    Wheel(AtDay(15), 360);
    QTest::mouseClick(&Widget(), Qt::LeftButton, {}, AtDay(15));
    for (int i = 0; i < 20; ++i) Key(Qt::Key_Right);
    const TRanges end = Ranges();
    ASSERT_GT(end.BottomMax, 29);
    Key(Qt::Key_Minus);
    const TRanges out = Ranges();
    EXPECT_NEAR((out.BottomMax - out.BottomMin) / (end.BottomMax - end.BottomMin), 1.25, 1e-9);
    EXPECT_GT(out.BottomMax, 29);
    EXPECT_LT(out.BottomMax, 29.5);
    ExpectPricesFitted();
    for (int i = 0; i < 3; ++i) Key(Qt::Key_Minus);
    EXPECT_NEAR(Ranges().BottomMin, whole.BottomMin, 1e-9);
    EXPECT_NEAR(Ranges().BottomMax, whole.BottomMax, 1e-9);
    const long frames = Chart().FramesDrawn;
    Key(Qt::Key_Minus);
    EXPECT_EQ(Chart().FramesDrawn, frames);
}

TEST_F(ChartInteractionTest, ContextMenuOnARightClickThatDidNotMove) {
    auto entries = [this] {
        QStringList texts;
        if (QMenu* menu = Interaction().ContextMenu())
            for (QAction* a : menu->actions()) texts << a->text();
        return texts;
    };
    const QPoint at = AtDay(12);
    QTest::mouseClick(&Widget(), Qt::RightButton, {}, at);
    ASSERT_TRUE(QTest::qWaitFor([this] { return Interaction().ContextMenu() != nullptr; }));
    EXPECT_EQ(entries(), (QStringList{"Bild kopieren", QStringLiteral("Bild speichern \u2026"),
                                      QStringLiteral("Drucken \u2026")}));
    // The menu shows the keys of its commands.
    EXPECT_EQ(Interaction().ContextMenu()->actions()[0]->shortcut(), QKeySequence(QKeySequence::Copy));
    EXPECT_EQ(Interaction().ContextMenu()->actions()[1]->shortcut(), QKeySequence(QKeySequence::Save));
    EXPECT_EQ(Interaction().ContextMenu()->actions()[2]->shortcut(), QKeySequence(QKeySequence::Print));
    Interaction().ContextMenu()->close();
    ASSERT_TRUE(QTest::qWaitFor([this] { return Interaction().ContextMenu() == nullptr; }));

    const TRanges first = Ranges();
    Wheel(at, 120);
    QTest::mouseClick(&Widget(), Qt::RightButton, {}, at);
    ASSERT_TRUE(QTest::qWaitFor([this] { return Interaction().ContextMenu() != nullptr; }));
    ASSERT_EQ(entries().size(), 4);
    EXPECT_EQ(entries()[3], QStringLiteral("Zoom zurücksetzen"));
    EXPECT_EQ(Interaction().ContextMenu()->actions()[3]->shortcut(), QKeySequence(Qt::Key_Escape));
    Interaction().ContextMenu()->actions()[3]->trigger();
    Settle();
    EXPECT_EQ(Ranges(), first);
    Interaction().ContextMenu()->close();
    ASSERT_TRUE(QTest::qWaitFor([this] { return Interaction().ContextMenu() == nullptr; }));

    // A right drag scrolls and opens nothing.
    QTest::mousePress(&Widget(), Qt::RightButton, {}, at);
    QTest::mouseMove(&Widget(), at + QPoint(40, 0));
    QTest::mouseRelease(&Widget(), Qt::RightButton, {}, at + QPoint(40, 0));
    Settle();
    QCoreApplication::processEvents();
    EXPECT_EQ(Interaction().ContextMenu(), nullptr);
    EXPECT_LT(Ranges().BottomMin, first.BottomMin);
}

}  // namespace
}  // namespace zyn::test
