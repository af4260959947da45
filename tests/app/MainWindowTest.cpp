#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QWindow>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "app/Main.h"
#include "app/ValuesPane.h"
#include "chart/qt/ChartInteraction.h"
#include "chart/qt/ChartWidget.h"
#include "chart/qt/QtCanvas.h"
#include "data/RunError.h"
#include "tests/app/DataFiles.h"
#include "tests/app/TestApplication.h"

namespace fs = std::filesystem;

namespace zyn::test {
namespace {

// Counts the redraws the window asks for.
class TCountingForm : public TfrmMain {
public:
    int RedrawCount = 0;
    void RedrawChart() override {
        ++RedrawCount;
        TfrmMain::RedrawChart();
    }
};

class MainWindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        form_.reset();
    }

    fs::path DataPath(const std::string& name) const { return root_ / "Data" / (name + ".mht"); }

    TCountingForm& Start() {
        form_ = std::make_unique<TCountingForm>();
        form_->show();
        form_->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form_.get()));
        // FormShow runs once the window is on screen; it always selects DAX.
        EXPECT_TRUE(QTest::qWaitFor([this] { return form_->TreeView1->currentItem() != nullptr; }));
        return *form_;
    }

    QTreeWidgetItem* Item(const QString& text) const {
        const auto found = form_->TreeView1->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        EXPECT_EQ(found.size(), 1) << text.toStdString();
        return found.value(0);
    }

    // A click at the node's rectangle as a hand makes it: press, a move on the spot, release.
    void Click(const QString& text, Qt::KeyboardModifiers modifiers = {}, Qt::MouseButton button = Qt::LeftButton) {
        QTreeWidgetItem* item = Item(text);
        form_->TreeView1->scrollToItem(item);
        ClickAt(form_->TreeView1->visualItemRect(item).center(), modifiers, button);
    }

    void ClickAt(QPoint at, Qt::KeyboardModifiers modifiers = {}, Qt::MouseButton button = Qt::LeftButton) {
        QWidget* viewport = form_->TreeView1->viewport();
        QTest::mousePress(viewport, button, modifiers, at);
        QTest::mouseMove(viewport, at);
        QTest::mouseRelease(viewport, button, modifiers, at);
    }

    std::string Selected() const {
        QStringList texts;
        for (QTreeWidgetItem* item : form_->TreeView1->selectedItems()) texts << item->text(0);
        return texts.join(", ").toStdString();
    }

    std::string Title() const {
        const std::vector<std::string> lines = form_->Chart1->Title.Text();
        return lines.size() == 1 ? lines[0] : "(" + std::to_string(lines.size()) + " lines)";
    }

    std::vector<double> Closes() const {
        std::vector<double> closes;
        for (const DailyRecord& r : form_->RecordList()) closes.push_back(r.Close);
        return closes;
    }

    std::string Current() const {
        return form_->TreeView1->currentItem() ? form_->TreeView1->currentItem()->text(0).toStdString() : std::string();
    }

    // First, so that it goes last: the window closes while its folder is still there.
    zyn::test::TDataRoot folder_;
    const fs::path root_ = folder_.Path();
    TMessageCapture messages_;
    std::unique_ptr<TCountingForm> form_;
};

using Values = std::vector<double>;

TEST_F(MainWindowTest, StartUpLoadsDaxWhenItsFileIsThere) {
    WriteDataFile(DataPath("DAX"), Rows(3));
    TCountingForm& form = Start();

    EXPECT_EQ(form.DataFolder(), (root_ / "Data").string());
    EXPECT_EQ(form.TempFolder(), (root_ / "Data" / "Temp").string());
    EXPECT_EQ(Current(), "DAX");
    EXPECT_TRUE(Item("DAX")->isSelected());
    EXPECT_TRUE(form.TreeView1->hasFocus());
    EXPECT_EQ(Closes(), (Values{1, 2, 3}));
    EXPECT_EQ(form.RecordList()[0].Date, 45293);  // 2 January 2024
    EXPECT_EQ(form.RedrawCount, 1);
    EXPECT_TRUE(messages_.Boxes.empty());
    for (QTreeWidgetItemIterator it(form.TreeView1); *it; ++it) {
        if ((*it)->childCount() > 0) {
            EXPECT_TRUE((*it)->isExpanded()) << (*it)->text(0).toStdString();
        }
    }
}

TEST_F(MainWindowTest, StartUpWithoutDaxFileSelectsDaxAndLoadsNothing) {
    TCountingForm& form = Start();

    EXPECT_EQ(Current(), "DAX");
    EXPECT_TRUE(Item("DAX")->isSelected());
    EXPECT_TRUE(form.TreeView1->hasFocus());
    EXPECT_TRUE(form.RecordList().empty());
    EXPECT_EQ(form.RedrawCount, 0);
    EXPECT_TRUE(messages_.Boxes.empty());
    EXPECT_TRUE(Item("Forex (Spot)")->isExpanded());
    EXPECT_TRUE(Item("Indices (Cash)")->isExpanded());
    // The pane below the chart says which file was looked for.
    EXPECT_TRUE(form.Label_Hinweis->isVisible());
    EXPECT_TRUE(form.Label_Hinweis->text().contains(QString::fromStdString(DataPath("DAX").string())));
}

TEST_F(MainWindowTest, ShowingTheWindowAgainDoesNotReload) {
    WriteDataFile(DataPath("DAX"), Rows(3));
    TCountingForm& form = Start();
    WriteDataFile(DataPath("DAX"), Rows(1));
    form.hide();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    EXPECT_EQ(form.RedrawCount, 1);
    EXPECT_EQ(Closes(), (Values{1, 2, 3}));
}

TEST_F(MainWindowTest, TreeHoldsTheTwentyInstrumentsInOrder) {
    TCountingForm& form = Start();
    QStringList texts;
    for (QTreeWidgetItemIterator it(form.TreeView1); *it; ++it) {
        texts << ((*it)->parent() ? "  " : "") + (*it)->text(0);
        EXPECT_TRUE((*it)->icon(0).isNull());
    }
    const QStringList expected = {
        "Forex (Spot)", "  AUDJPY",  "  AUDUSD",  "  GBPJPY",  "  GBPCHF",   "  GBPUSD",
        "  EURGBP",     "  EURJPY",  "  EURUSD",  "  USDCHF",  "  USDJPY",   "Indices (Cash)",
        "  CAC40",      "  DAX",     "  ESX50",   "  SMI",     "  FTSE100",  "  NDX100",
        "  DJIA",       "  SPX500",  "  N225",    "  HANGSENG"};
    EXPECT_EQ(texts, expected);
    EXPECT_TRUE(form.TreeView1->isHeaderHidden());
    EXPECT_EQ(form.TreeView1->indentation(), 19);
}

TEST_F(MainWindowTest, ClickingAGroupLoadsOnlyWhenAFileOfItsNameExists) {
    WriteDataFile(DataPath("DAX"), Rows(3));
    TCountingForm& form = Start();

    Click("Forex (Spot)");
    EXPECT_EQ(Current(), "Forex (Spot)");
    EXPECT_EQ(Closes(), (Values{1, 2, 3}));
    EXPECT_EQ(form.RedrawCount, 1);

    WriteDataFile(DataPath("Forex (Spot)"), Rows(2, 7));
    Click("Forex (Spot)");
    EXPECT_EQ(Closes(), (Values{7, 8}));
    EXPECT_EQ(form.RedrawCount, 2);
    EXPECT_TRUE(messages_.Boxes.empty());
}

TEST_F(MainWindowTest, ClickingTheShownInstrumentAgainReReadsItsFile) {
    WriteDataFile(DataPath("DAX"), Rows(3));
    TCountingForm& form = Start();
    WriteDataFile(DataPath("DAX"), Rows(2, 20));

    Click("DAX");
    EXPECT_EQ(Closes(), (Values{20, 21}));
    EXPECT_EQ(form.RedrawCount, 2);

    WriteDataFile(DataPath("EURUSD"), Rows(1, 5));
    Click("EURUSD");
    EXPECT_EQ(Closes(), (Values{5}));
    EXPECT_EQ(form.RedrawCount, 3);
}

TEST_F(MainWindowTest, TheNotePaneTakesTypingAndALoadClearsIt) {
    WriteDataFile(DataPath("DAX"), Rows(1));
    TCountingForm& form = Start();
    QTest::mouseClick(form.Memo1->viewport(), Qt::LeftButton);
    QTest::keyClicks(form.Memo1, "Notiz");
    QTest::keyClick(form.Memo1, Qt::Key_Return);
    QTest::keyClicks(form.Memo1, "2");
    EXPECT_EQ(form.Memo1->toPlainText(), "Notiz\n2");
    QTest::mouseClick(form.CheckBox_Projektion, Qt::LeftButton);  // a redraw leaves it alone
    EXPECT_EQ(form.Memo1->toPlainText(), "Notiz\n2");
    Click("DAX");
    EXPECT_EQ(form.RedrawCount, 3);
    EXPECT_TRUE(form.Memo1->toPlainText().isEmpty());
    EXPECT_TRUE(QFontInfo(form.Memo1->font()).fixedPitch());
}

TEST_F(MainWindowTest, DataFolderStaysWhereTheProgramStarted) {
    WriteDataFile(DataPath("DAX"), Rows(2));
    TCountingForm& form = Start();
    const std::string dataFolder = form.DataFolder();

    const fs::path elsewhere = MakeTempDirectory();
    fs::create_directories(elsewhere / "Data");
    WriteDataFile(elsewhere / "Data" / "DAX.mht", Rows(4, 50));
    fs::current_path(elsewhere);
    Click("DAX");
    fs::current_path(root_);
    fs::remove_all(elsewhere);

    EXPECT_EQ(form.DataFolder(), dataFolder);
    EXPECT_EQ(form.TempFolder(), dataFolder + "/Temp");
    EXPECT_EQ(Closes(), (Values{1, 2}));
}

// A load that fails part-way draws the rows before the failing one under their instrument
// before the error box shows: chart, title, picture name and selection agree with the records.
TEST_F(MainWindowTest, ARowThatFailsShowsTheErrorBoxOverTheRowsBeforeIt) {
    WriteDataFile(DataPath("DAX"), Rows(3));
    std::vector<TRow> rows = Rows(2, 40);
    rows.push_back(TRow{"2024-02-01", "abc", "UP"});
    rows.push_back(TRow{"2024-02-02", "1", "UP"});
    WriteDataFile(DataPath("EURUSD"), rows);
    std::string titleAtBox;
    std::size_t candlesAtBox = 0;
    MessageBoxHook = [&](const TMessageBoxRequest& request) {
        titleAtBox = Title();
        candlesAtBox = static_cast<std::size_t>(form_->Chart1Series.SeriesKurse->Count());
        messages_.Boxes.push_back(request);
    };
    TCountingForm& form = Start();

    Click("EURUSD");
    ASSERT_EQ(messages_.Boxes.size(), 1u);
    EXPECT_EQ(messages_.Boxes[0].Caption, "ZYN-Viewer");
    EXPECT_EQ(messages_.Boxes[0].Text, "'abc' ist kein gültiger Gleitkommawert.");
    EXPECT_EQ(messages_.Boxes[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(Closes(), (Values{40, 41}));
    EXPECT_EQ(form.RedrawCount, 2);
    EXPECT_EQ(titleAtBox, "EURUSD");
    EXPECT_EQ(candlesAtBox, 2u);
    EXPECT_EQ(Selected(), "EURUSD");
    EXPECT_EQ(form.Chart1->RightAxis().AxisValuesFormat(), "0.###0");
    EXPECT_EQ(form.Chart1Interaction->ImageName(), "EURUSD");

    // The window carries on: the check box redraws the same, a click loads.
    QTest::mouseClick(form.CheckBox_Projektion, Qt::LeftButton);
    EXPECT_EQ(form.RedrawCount, 3);
    EXPECT_EQ(Closes(), (Values{40, 41}));
    EXPECT_EQ(Title(), "EURUSD");
    Click("DAX");
    EXPECT_EQ(Closes(), (Values{1, 2, 3}));
    EXPECT_EQ(form.RedrawCount, 4);
    EXPECT_EQ(messages_.Boxes.size(), 1u);
}

TEST_F(MainWindowTest, AFileThatCannotBeOpenedKeepsTheListAndSkipsTheRedraw) {
    WriteDataFile(DataPath("DAX"), Rows(3));
    TCountingForm& form = Start();
    form.Memo1->setPlainText("Notiz");

    try {
        form.LoadDataFile((root_ / "Data" / "Fehlt.mht").string(), "Fehlt");
        ADD_FAILURE() << "no error raised";
    } catch (const RunError& e) {
        EXPECT_STREQ(e.what(), "Datei nicht gefunden");
    }
    EXPECT_EQ(Closes(), (Values{1, 2, 3}));
    EXPECT_EQ(form.RedrawCount, 1);
    EXPECT_TRUE(form.Memo1->toPlainText().isEmpty());
    QTest::mouseClick(form.CheckBox_Projektion, Qt::LeftButton);
    EXPECT_EQ(Title(), "DAX");  // the list still holds DAX
}

TEST_F(MainWindowTest, ADirectoryNamedLikeAnInstrumentFileIsIgnored) {
    WriteDataFile(DataPath("DAX"), Rows(3));
    fs::create_directory(DataPath("EURUSD"));
    TCountingForm& form = Start();

    EXPECT_FALSE(form.Label_Hinweis->isVisible());
    Click("EURUSD");
    EXPECT_EQ(Current(), "EURUSD");
    EXPECT_EQ(Closes(), (Values{1, 2, 3}));
    EXPECT_EQ(form.RedrawCount, 1);
    EXPECT_TRUE(messages_.Boxes.empty());
    EXPECT_TRUE(form.Label_Hinweis->isVisible());
    const QString notice = form.Label_Hinweis->text();
    EXPECT_TRUE(notice.contains("EURUSD") && notice.contains(QString::fromStdString(DataPath("EURUSD").string())))
        << notice.toStdString();
    EXPECT_TRUE(notice.contains("weiter DAX")) << notice.toStdString();
    Click("DAX");
    EXPECT_FALSE(form.Label_Hinweis->isVisible());
}

TEST_F(MainWindowTest, MovingTheSelectionWithTheKeyboardDoesNotLoad) {
    WriteDataFile(DataPath("DAX"), Rows(3));
    WriteDataFile(DataPath("ESX50"), Rows(2, 30));
    TCountingForm& form = Start();

    QTest::keyClick(form.TreeView1, Qt::Key_Down);
    EXPECT_EQ(Current(), "ESX50");
    EXPECT_EQ(Closes(), (Values{1, 2, 3}));
    EXPECT_EQ(form.RedrawCount, 1);

    Click("ESX50");
    EXPECT_EQ(Closes(), (Values{30, 31}));
    EXPECT_EQ(form.RedrawCount, 2);
}

TEST_F(MainWindowTest, ClickWithNothingSelectedDoesNothing) {
    WriteDataFile(DataPath("DAX"), Rows(3));
    TCountingForm& form = Start();
    form.TreeView1->clearSelection();
    form.TreeView1Click();
    EXPECT_EQ(form.RedrawCount, 1);
}

TEST_F(MainWindowTest, SelectingANodeExpandsItAndCollapsesThePreviousOne) {
    TCountingForm& form = Start();

    Click("Forex (Spot)");
    Click("DAX");
    EXPECT_FALSE(Item("Forex (Spot)")->isExpanded());
    EXPECT_TRUE(Item("Indices (Cash)")->isExpanded());

    // The node selected before is kept open when it is an ancestor of the new one.
    Click("Indices (Cash)");
    Click("SMI");
    EXPECT_TRUE(Item("Indices (Cash)")->isExpanded());

    // The new node opens.
    form.TreeView1->setCurrentItem(Item("Forex (Spot)"));
    EXPECT_TRUE(Item("Forex (Spot)")->isExpanded());
}

TEST_F(MainWindowTest, AClickLoadsTheNodeItLandsOnWhateverTheTreeCollapses) {
    WriteDataFile(DataPath("DAX"), Rows(3));
    WriteDataFile(DataPath("ESX50"), Rows(2, 30));
    TCountingForm& form = Start();

    // Forex collapses as ESX50 is pressed: ten rows move up under the pointer.
    Click("Forex (Spot)");
    Click("ESX50");
    EXPECT_FALSE(Item("Forex (Spot)")->isExpanded());
    EXPECT_EQ(Selected(), "ESX50");
    EXPECT_EQ(Current(), "ESX50");
    EXPECT_EQ(Closes(), (Values{30, 31}));
    EXPECT_EQ(Title(), "ESX50");
    EXPECT_EQ(form.RedrawCount, 2);

    // No node the user did not touch is ever shown selected.
    Click("Forex (Spot)");
    Click("Indices (Cash)");
    EXPECT_EQ(Selected(), "Indices (Cash)");
    EXPECT_EQ(Current(), "Indices (Cash)");
    EXPECT_FALSE(Item("HANGSENG")->isSelected());
    Click("Forex (Spot)");
    Click("DAX");
    EXPECT_EQ(Selected(), "DAX");
    EXPECT_EQ(Closes(), (Values{1, 2, 3}));
    EXPECT_EQ(Title(), "DAX");
    EXPECT_TRUE(messages_.Boxes.empty());
}

TEST_F(MainWindowTest, TheTreeKeepsOneSelectedNodeAndCountsEveryLeftClick) {
    WriteDataFile(DataPath("DAX"), Rows(3));
    WriteDataFile(DataPath("SMI"), Rows(2, 60));
    TCountingForm& form = Start();
    Click("Forex (Spot)");
    Click("DAX");  // Forex collapses: room below the nodes
    EXPECT_EQ(form.RedrawCount, 2);

    // The empty area keeps the selection and reloads it.
    WriteDataFile(DataPath("DAX"), Rows(2, 20));
    const QRect last = form.TreeView1->visualItemRect(Item("HANGSENG"));
    ASSERT_LT(last.bottom() + 20, form.TreeView1->viewport()->height());
    ClickAt(QPoint(last.center().x(), last.bottom() + 15));
    EXPECT_EQ(Selected(), "DAX");
    EXPECT_EQ(Closes(), (Values{20, 21}));
    EXPECT_EQ(form.RedrawCount, 3);

    // Modifiers make no difference.
    Click("SMI", Qt::ControlModifier);
    EXPECT_EQ(Selected(), "SMI");
    EXPECT_EQ(Closes(), (Values{60, 61}));
    Click("SMI", Qt::ControlModifier);
    EXPECT_EQ(Selected(), "SMI");
    EXPECT_EQ(form.RedrawCount, 5);
    QTest::keyClick(form.TreeView1, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(Selected(), "SMI");
    Click("DAX", Qt::ShiftModifier);
    EXPECT_EQ(Selected(), "DAX");
    EXPECT_EQ(Closes(), (Values{20, 21}));
    EXPECT_EQ(form.RedrawCount, 6);

    // Other buttons neither select nor load.
    Click("SMI", {}, Qt::RightButton);
    Click("SMI", {}, Qt::MiddleButton);
    EXPECT_EQ(Selected(), "DAX");
    EXPECT_EQ(Current(), "DAX");
    EXPECT_EQ(form.RedrawCount, 6);
    QTest::mouseClick(form.CheckBox_Projektion, Qt::LeftButton);
    EXPECT_EQ(Title(), "DAX");
    EXPECT_EQ(Closes(), (Values{20, 21}));

    // The expand button of a node opens or closes it without selecting it.
    const QRect forex = form.TreeView1->visualItemRect(Item("Forex (Spot)"));
    ClickAt(QPoint(forex.left() - form.TreeView1->indentation() / 2, forex.center().y()));
    EXPECT_TRUE(Item("Forex (Spot)")->isExpanded());
    EXPECT_EQ(Selected(), "DAX");
    EXPECT_EQ(form.RedrawCount, 8);
}

TEST_F(MainWindowTest, TheChartNamesTheInstrumentWhoseRecordsItDraws) {
    TCountingForm& form = Start();
    // Before the first load: the selected node.
    QTest::mouseClick(form.CheckBox_Projektion, Qt::LeftButton);
    EXPECT_EQ(Title(), "DAX");

    WriteDataFile(DataPath("HANGSENG"), Rows(2, 70));
    Click("HANGSENG");
    for (int i = 0; i < 3; ++i) QTest::keyClick(form.TreeView1, Qt::Key_Up);
    EXPECT_EQ(Current(), "DJIA");
    QTest::mouseClick(form.CheckBox_Projektion, Qt::LeftButton);
    EXPECT_EQ(Closes(), (Values{70, 71}));
    EXPECT_EQ(Title(), "HANGSENG");
    EXPECT_EQ(form.Chart1->RightAxis().AxisValuesFormat(), "0.#0");

    // Up to a currency pair: the indices keep their format.
    for (int i = 0; i < 8; ++i) QTest::keyClick(form.TreeView1, Qt::Key_Up);
    EXPECT_EQ(Current(), "USDJPY");
    QTest::mouseClick(form.CheckBox_Projektion, Qt::LeftButton);
    EXPECT_EQ(Title(), "HANGSENG");
    EXPECT_EQ(form.Chart1->RightAxis().AxisValuesFormat(), "0.#0");
    EXPECT_EQ(form.RedrawCount, 4);
}

TEST_F(MainWindowTest, TheWindowHasTheDesignedFontAndEveryTextShowsWhole) {
    TCountingForm& form = Start();
    for (QWidget* widget : {(QWidget*)form.TreeView1, (QWidget*)form.MainMenu1, (QWidget*)form.CheckBox_Projektion}) {
        const QFontInfo info(widget->font());
        EXPECT_EQ(info.family(), "Liberation Sans") << widget->objectName().toStdString();
        EXPECT_EQ(info.pixelSize(), 11) << widget->objectName().toStdString();
    }
    EXPECT_TRUE(QFontInfo(form.Memo1->font()).fixedPitch());
    EXPECT_GE(form.CheckBox_Projektion->width(), form.CheckBox_Projektion->sizeHint().width());

    // The column is as wide as the widest text, the pane narrower or wider.
    QTreeWidget* tree = form.TreeView1;
    auto expectWhole = [&](const char* what) {
        QApplication::processEvents();
        const int available = tree->viewport()->width();
        for (QTreeWidgetItemIterator it(tree); *it; ++it) {
            const QRect rect = tree->visualItemRect(*it);
            const int needed = tree->fontMetrics().horizontalAdvance((*it)->text(0));
            EXPECT_GT(rect.width(), needed) << what << " " << (*it)->text(0).toStdString();
        }
        EXPECT_EQ(tree->horizontalScrollBar()->maximum() > 0, tree->columnWidth(0) > available) << what;
        return available;
    };
    expectWhole("designed");
    form.Splitter1->setSizes({60, 1000});
    const int narrow = expectWhole("narrow");
    EXPECT_GT(tree->horizontalScrollBar()->maximum(), 0);
    form.Splitter1->setSizes({400, 600});
    EXPECT_GT(expectWhole("wide"), narrow);
    EXPECT_EQ(tree->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(tree->columnWidth(0), tree->viewport()->width());
}

TEST_F(MainWindowTest, TheErrorBoxOfTheStartUpLoadOpensOverTheShownWindow) {
    std::vector<TRow> rows = Rows(2, 40);
    rows.push_back(TRow{"2024-02-01", "abc", "UP"});
    WriteDataFile(DataPath("DAX"), rows);
    bool exposed = false;
    QWidget* owner = nullptr;
    MessageBoxHook = [&](const TMessageBoxRequest& request) {
        owner = request.Owner;
        exposed = form_ && form_->windowHandle() && form_->windowHandle()->isExposed();
        messages_.Boxes.push_back(request);
    };
    TCountingForm& form = Start();

    ASSERT_EQ(messages_.Boxes.size(), 1u);
    EXPECT_EQ(messages_.Boxes[0].Text, "'abc' ist kein gültiger Gleitkommawert.");
    EXPECT_TRUE(exposed);
    EXPECT_EQ(owner, &form);
    EXPECT_EQ(Current(), "DAX");
    EXPECT_TRUE(form.TreeView1->hasFocus());
    EXPECT_EQ(Closes(), (Values{40, 41}));
    EXPECT_EQ(form.RedrawCount, 1);
    EXPECT_EQ(Title(), "DAX");
}

// A save of the shown instrument, in place or by replacing the file, reloads it once the file
// has stood still; a save that fails shows its box once; other files of the folder do nothing.
TEST_F(MainWindowTest, TheShownFileReloadsOnceWhenItIsWrittenAnew) {
    WriteDataFile(DataPath("DAX"), Rows(3));
    WriteDataFile(DataPath("EURUSD"), Rows(2, 40));
    TCountingForm& form = Start();
    form.DataFileWatch().SetSettleTime(200);
    form.DataFileWatch().SetGiveUpTime(600);
    const auto settle = [] { QTest::qWait(700); };
    const auto loaded = [&](std::size_t count) {
        return QTest::qWaitFor([&] { return form.RecordList().size() == count; });
    };

    WriteDataFile(DataPath("EURUSD"), Rows(4, 40));
    settle();
    EXPECT_EQ(form.RedrawCount, 1);

    WriteDataFile(DataPath("DAX"), Rows(5));
    EXPECT_TRUE(loaded(5));
    settle();
    EXPECT_EQ(form.RedrawCount, 2);

    WriteDataFile(root_ / "Data" / "DAX.tmp", Rows(6));
    fs::rename(root_ / "Data" / "DAX.tmp", DataPath("DAX"));
    EXPECT_TRUE(loaded(6));
    settle();
    EXPECT_EQ(form.RedrawCount, 3);
    EXPECT_EQ(Title(), "DAX");

    std::vector<TRow> rows = Rows(2, 40);
    rows.push_back(TRow{"2024-02-01", "abc", "UP"});
    WriteDataFile(DataPath("DAX"), rows);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !messages_.Boxes.empty(); }));
    settle();
    ASSERT_EQ(messages_.Boxes.size(), 1u);
    EXPECT_EQ(messages_.Boxes[0].Text, "'abc' ist kein gültiger Gleitkommawert.");
    EXPECT_EQ(Closes(), (Values{1, 2, 3, 4, 5, 6}));  // the last file that read whole
    EXPECT_EQ(form.RedrawCount, 3);

    // The watch goes with the shown instrument.
    Click("EURUSD");
    WriteDataFile(DataPath("DAX"), Rows(3));
    WriteDataFile(DataPath("EURUSD"), Rows(1, 70));
    EXPECT_TRUE(loaded(1));
    settle();
    EXPECT_EQ(Closes(), (Values{70}));
    EXPECT_EQ(form.RedrawCount, 5);
}

// A save in two parts with a pause longer than the settle time between them: the shown records
// stay until the file reads whole, and no error box shows.
TEST_F(MainWindowTest, ASlowSaveShowsNeitherAFalseErrorNorHalfTheFile) {
    WriteDataFile(DataPath("DAX"), Rows(3));
    WriteDataFile(root_ / "whole.mht", Rows(20, 40));
    std::ifstream in(root_ / "whole.mht", std::ios::binary);
    const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t cut = whole.find("<x:Number>", whole.size() / 2);  // inside a row
    TCountingForm& form = Start();
    form.DataFileWatch().SetSettleTime(100);

    std::ofstream(DataPath("DAX"), std::ios::binary | std::ios::trunc) << whole.substr(0, cut);
    QTest::qWait(700);  // several settle times, each read failing
    EXPECT_TRUE(messages_.Boxes.empty());
    EXPECT_EQ(Closes(), (Values{1, 2, 3}));
    EXPECT_EQ(form.RedrawCount, 1);

    std::ofstream(DataPath("DAX"), std::ios::binary | std::ios::app) << whole.substr(cut);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.RecordList().size() == 20; }));
    EXPECT_EQ(form.RedrawCount, 2);
    EXPECT_EQ(form.Chart1Series.SeriesKurse->Count(), 20);
    EXPECT_TRUE(messages_.Boxes.empty());
}

// Enter and Space load the current node as a click would; Tab walks tree, check box, chart, the
// two tables of values and the note pane; copy and save reach the chart from anywhere but the
// note pane, which copies its text (the tables copy their values, see ValuesPaneTest).
TEST_F(MainWindowTest, TheKeyboardReachesEverything) {
    WriteDataFile(DataPath("DAX"), Rows(3));
    WriteDataFile(DataPath("ESX50"), Rows(2, 30));
    TCountingForm& form = Start();
    QTest::keyClick(form.TreeView1, Qt::Key_Down);
    EXPECT_EQ(form.RedrawCount, 1);
    QTest::keyClick(form.TreeView1, Qt::Key_Return);
    EXPECT_EQ(Closes(), (Values{30, 31}));
    EXPECT_EQ(Title(), "ESX50");
    QTest::keyClick(form.TreeView1, Qt::Key_Up);
    QTest::keyClick(form.TreeView1, Qt::Key_Space);
    EXPECT_EQ(Closes(), (Values{1, 2, 3}));
    EXPECT_EQ(Selected(), "DAX");
    EXPECT_EQ(form.RedrawCount, 3);

    auto* chart = static_cast<chart::TChartWidget*>(form.Chart1Area);
    chart->repaint();
    const long frames = form.Chart1->FramesDrawn;
    const QImage frame = chart->QtCanvas().Image().copy();
    EXPECT_EQ(chart->grab().toImage().convertToFormat(frame.format()), frame);
    std::vector<QWidget*> focused;
    for (int i = 0; i < 6; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        focused.push_back(QApplication::focusWidget());
        if (focused.back() == chart) {
            // The focus shows on the widget, over a frame that stays the same.
            chart->repaint();
            EXPECT_NE(chart->grab().toImage().convertToFormat(frame.format()), frame);
            EXPECT_EQ(chart->QtCanvas().Image(), frame);
        }
    }
    EXPECT_EQ(focused, (std::vector<QWidget*>{form.CheckBox_Projektion, chart, form.ValuesPane->DayTable,
                                              form.ValuesPane->NextDayTable, form.Memo1, form.TreeView1}));
    QTest::keyClick(form.TreeView1, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), form.Memo1);
    EXPECT_EQ(form.Chart1->FramesDrawn, frames);
    EXPECT_TRUE(form.Memo1->toPlainText().isEmpty());

    int asked = 0;
    form.Chart1Interaction->AskSaveFileName = [&](const QString&) {
        ++asked;
        return QString();
    };
    for (QWidget* widget : {(QWidget*)form.TreeView1, (QWidget*)form.CheckBox_Projektion}) {
        widget->setFocus();
        QApplication::clipboard()->clear();
        QTest::keyClick(widget, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QApplication::clipboard()->image().convertToFormat(frame.format()), frame)
            << widget->objectName().toStdString();
        QTest::keyClick(widget, Qt::Key_S, Qt::ControlModifier);
    }
    form.Memo1->setFocus();
    form.Memo1->setPlainText("Notiz");
    form.Memo1->selectAll();
    QTest::keyClick(form.Memo1, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "Notiz");
    QTest::keyClick(form.Memo1, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(asked, 3);
    EXPECT_TRUE(messages_.Boxes.empty());
}

TEST_F(MainWindowTest, TheCheckBoxRedrawsWithoutReadingTheFile) {
    WriteDataFile(DataPath("DAX"), Rows(3));
    TCountingForm& form = Start();
    EXPECT_TRUE(form.CheckBox_Projektion->isChecked());
    EXPECT_EQ(form.CheckBox_Projektion->text(), "1 Tag Projektion");
    WriteDataFile(DataPath("DAX"), Rows(1, 9));

    QTest::mouseClick(form.CheckBox_Projektion, Qt::LeftButton);
    EXPECT_FALSE(form.CheckBox_Projektion->isChecked());
    EXPECT_EQ(form.RedrawCount, 2);
    EXPECT_EQ(Closes(), (Values{1, 2, 3}));

    QTest::mouseClick(form.CheckBox_Projektion, Qt::LeftButton);
    EXPECT_TRUE(form.CheckBox_Projektion->isChecked());
    EXPECT_EQ(form.RedrawCount, 3);
}

TEST_F(MainWindowTest, ClosingTheWindowReleasesTheRecords) {
    WriteDataFile(DataPath("DAX"), Rows(3));
    TCountingForm& form = Start();
    ASSERT_EQ(form.RecordList().size(), 3u);
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(form.RecordList().empty());
    EXPECT_EQ(form.RecordList().capacity(), 0u);
}

TEST_F(MainWindowTest, MenuEntriesOpenNothing) {
    TCountingForm& form = Start();
    const QList<QAction*> actions = form.MainMenu1->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[0]->text(), "Daten");
    EXPECT_EQ(actions[1]->text(), "Hilfe");
    for (QAction* action : actions) {
        EXPECT_EQ(action->menu(), nullptr);
        const QRect r = form.MainMenu1->actionGeometry(action);
        QTest::mouseClick(form.MainMenu1, Qt::LeftButton, {}, r.center());
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    }
    EXPECT_EQ(form.RedrawCount, 0);
    EXPECT_TRUE(messages_.Boxes.empty());
}

TEST_F(MainWindowTest, TheChartPaneTakesTheRoomWhenTheWindowGrows) {
    TCountingForm& form = Start();
    EXPECT_EQ(form.windowTitle(), "ZYN-Viewer");
    EXPECT_EQ(form.Panel1->height(), 41);
    EXPECT_EQ(form.Panel2->width(), 113);
    EXPECT_EQ(form.Panel3->width(), 62);
    EXPECT_EQ(form.Panel6->height(), 153);
    EXPECT_EQ(form.Panel5->height(), 156);
    const int chartWidth = form.Chart1Area->width();
    const int chartHeight = form.Chart1Area->height();

    form.resize(1270, 900);
    QApplication::processEvents();
    EXPECT_EQ(form.Panel2->width(), 113);
    EXPECT_EQ(form.Panel3->width(), 62);
    EXPECT_EQ(form.Panel6->height(), 153);
    EXPECT_EQ(form.Panel5->height(), 156);
    EXPECT_EQ(form.Chart1Area->width(), chartWidth + 400);
    EXPECT_EQ(form.Chart1Area->height(), chartHeight + 260);
    EXPECT_EQ(form.Chart1Area->objectName(), "Chart1");
}

}  // namespace
}  // namespace zyn::test
