#pragma once
#include <QMainWindow>
#include <string>

#include "app/ChartSetup.h"
#include "data/DailyRecord.h"
#include "net/WebDownload.h"

class QAction;
class QCheckBox;
class QFrame;
class QMenuBar;
class QPlainTextEdit;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;

namespace zyn::chart {
class TChartWidget;
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

    void LoadDataFile(const std::string& path);
    virtual void RedrawChart();

    const zyn::RecordList& RecordList() const { return FRecordList; }
    const std::string& DataFolder() const { return FDataFolder; }
    const std::string& TempFolder() const { return FTempFolder; }

    // Where the download command fetches from; tests point it at a local server.
    void SetDownloadSource(const std::string& address, const net::DownloadLimits& limits = {});

    // Components.
    QFrame* Panel1 = nullptr;
    QCheckBox* CheckBox_Projektion = nullptr;
    QFrame* Panel2 = nullptr;
    QSplitter* Splitter4 = nullptr;
    QTreeWidget* TreeView1 = nullptr;
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
    QFrame* Panel5 = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QAction* Daten1 = nullptr;
    QAction* Hilfe1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildForm();
    void BuildTree();
    QWidget* CreateChartArea(QWidget* parent);
    void SingleExpand(QTreeWidgetItem* current, QTreeWidgetItem* previous);

    std::string FDataFolder;
    std::string FTempFolder;
    zyn::RecordList FRecordList;
    bool FShown = false;
    std::string FDownloadAddress = net::SourceAddress;
    net::DownloadLimits FDownloadLimits;
};

}  // namespace zyn
