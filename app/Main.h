#pragma once
#include <QMainWindow>
#include <optional>
#include <string>

#include "app/ChartSetup.h"
#include "app/DataFileWatch.h"
#include "app/TreeView.h"
#include "data/DailyRecord.h"
#include "net/WebDownload.h"

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QMenuBar;
class QPlainTextEdit;
class QSplitter;

namespace zyn::chart {
class TChartInteraction;
class TChartWidget;
}

namespace zyn::app {
class TValuesPane;
}

namespace zyn {

// The viewer's main window: instrument tree, note pane, projection check box and the chart.
class TfrmMain : public QMainWindow {
    Q_OBJECT

public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Event handlers.
    void FormCreate();
    void FormShow();
    void FormClose();
    void TreeView1Click();
    void CheckBox_ProjektionClick();
    void mnuDownloadClick();
    // The shown instrument's file was written anew: read into a list of its own, which
    // replaces the shown records only when the whole file reads; a failing read waits for
    // the writer to finish (see TDataFileWatch::RetryLater) before it raises its error.
    void DataFileChanged();

    // Reads the file of the instrument into RecordList and redraws; from the moment the file is
    // open, the chart names that instrument. A row that fails still has the rows before it
    // drawn before its error leaves.
    void LoadDataFile(const std::string& path, const std::string& instrument);
    virtual void RedrawChart();

    const zyn::RecordList& RecordList() const { return FRecordList; }
    const std::string& DataFolder() const { return FDataFolder; }
    const std::string& TempFolder() const { return FTempFolder; }
    app::TDataFileWatch& DataFileWatch() { return *FDataFileWatch; }

    // Where the download command fetches from; tests point it at a local server.
    void SetDownloadSource(const std::string& address, const net::DownloadLimits& limits = {});

    // Components.
    QFrame* Panel1 = nullptr;
    QCheckBox* CheckBox_Projektion = nullptr;
    QFrame* Panel2 = nullptr;
    QSplitter* Splitter4 = nullptr;
    TTreeView* TreeView1 = nullptr;
    QFrame* Panel6 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QSplitter* Splitter2 = nullptr;
    QFrame* Panel3 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QFrame* Panel4 = nullptr;
    QSplitter* Splitter3 = nullptr;
    QWidget* Chart1Area = nullptr;      // the widget hosting Chart1
    chart::TChart* Chart1 = nullptr;
    app::TChart1Series Chart1Series;
    chart::TChartInteraction* Chart1Interaction = nullptr;  // values, wheel, keys, copy and save
    QFrame* Panel5 = nullptr;
    QLabel* Label_Hinweis = nullptr;  // in Panel5: why a click loaded nothing
    app::TValuesPane* ValuesPane = nullptr;  // in Panel5: the shown day's values and the next day's levels
    QMenuBar* MainMenu1 = nullptr;
    QAction* Daten1 = nullptr;
    QAction* Hilfe1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildForm();
    void BuildTree();
    QWidget* CreateChartArea(QWidget* parent);
    void BuildPanel5();
    void SetTabOrder();
    void ShowMissingFile(const std::string& instrument, const std::string& path);
    void HideNotice();
    // The values pane follows the records and the crosshair's day.
    void ShowDayValues();
    // Draws RecordList after a load, fitting a kept view's prices to another instrument.
    void ShowLoadedRecords(bool otherInstrument);

    std::string FDataFolder;
    std::string FTempFolder;
    zyn::RecordList FRecordList;
    // The instrument whose records RecordList holds; none before the first load.
    std::optional<std::string> FLoadedInstrument;
    enum class TShowState { Hidden, Showing, Shown };
    TShowState FShowState = TShowState::Hidden;
    std::string FDownloadAddress = net::SourceAddress;
    net::DownloadLimits FDownloadLimits;
    app::TDataFileWatch* FDataFileWatch = nullptr;
};

}  // namespace zyn
