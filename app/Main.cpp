#include "app/Main.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QSplitter>
#include <QStyle>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "app/Application.h"
#include "app/MessageBox.h"
#include "app/TreeView.h"
#include "app/ValuesPane.h"
#include "chart/qt/ChartInteraction.h"
#include "data/DataFile.h"

namespace zyn {

namespace {

// A sunken pane with a two-pixel border around its one child area.
QFrame* NewPane(QWidget* parent, const char* name) {
    auto* pane = new QFrame(parent);
    pane->setObjectName(QString::fromLatin1(name));
    pane->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    return pane;
}

QSplitter* NewSplitter(Qt::Orientation orientation, QWidget* parent, const char* name) {
    auto* splitter = new QSplitter(orientation, parent);
    splitter->setObjectName(QString::fromLatin1(name));
    splitter->setHandleWidth(3);
    splitter->setChildrenCollapsible(false);
    return splitter;
}

// The designed "MS Sans Serif" 8 point at 96 pixels per inch (height -11): an 11-pixel sans
// serif. Liberation Sans is the face the chart's "Arial" labels are drawn with, so the window
// and the chart read alike; the style hint keeps a sans serif where it is missing.
QFont FormFont() {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

// Restores the application cursor however the scope is left.
class TWaitCursor {
public:
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

std::string CurrentDirectory() {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::current_path(error);
    return error ? std::string() : path.string();
}

}  // namespace

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
    FDataFileWatch = new app::TDataFileWatch(
        [this] { TApplication::Dispatch([this] { DataFileChanged(); }); }, this);
    BuildForm();
    FormCreate();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::BuildForm() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromLatin1(ApplicationTitle));
    setFont(FormFont());
    resize(870, 640);

    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    Daten1 = MainMenu1->addAction(QStringLiteral("Daten"));
    Daten1->setObjectName(QStringLiteral("Daten1"));
    Hilfe1 = MainMenu1->addAction(QStringLiteral("Hilfe"));
    Hilfe1->setObjectName(QStringLiteral("Hilfe1"));

    auto* client = new QWidget(this);
    auto* clientLayout = new QVBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->setSpacing(0);
    setCentralWidget(client);

    Panel1 = new QFrame(client);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    Panel1->setFixedHeight(41);
    clientLayout->addWidget(Panel1);

    CheckBox_Projektion = new QCheckBox(QStringLiteral("1 Tag Projektion"), Panel1);
    CheckBox_Projektion->setObjectName(QStringLiteral("CheckBox_Projektion"));
    CheckBox_Projektion->setChecked(true);
    CheckBox_Projektion->setAccessibleName(QStringLiteral("1 Tag Projektion"));
    CheckBox_Projektion->setAccessibleDescription(
        QStringLiteral("Zeigt die Niveaus eines Tages neben dem Kurs des folgenden Tages, für den sie gelten"));
    const QSize hint = CheckBox_Projektion->sizeHint();
    CheckBox_Projektion->setGeometry(16, 16, std::max(97, hint.width()), std::max(17, hint.height()));
    connect(CheckBox_Projektion, &QCheckBox::clicked, this,
            [this] { TApplication::Dispatch([this] { CheckBox_ProjektionClick(); }); });

    // Left pane | (chart pane | right pane): the chart pane takes every extra pixel.
    Splitter1 = NewSplitter(Qt::Horizontal, client, "Splitter1");
    clientLayout->addWidget(Splitter1, 1);

    Panel2 = NewPane(Splitter1, "Panel2");
    Splitter4 = NewSplitter(Qt::Vertical, Panel2, "Splitter4");
    Panel2->layout()->addWidget(Splitter4);
    TreeView1 = new TTreeView(Splitter4);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setAccessibleName(QStringLiteral("Instrumente"));
    Panel6 = NewPane(Splitter4, "Panel6");
    Splitter4->addWidget(TreeView1);
    Splitter4->addWidget(Panel6);
    Splitter4->setStretchFactor(0, 1);
    Splitter4->setStretchFactor(1, 0);
    Splitter4->setSizes({640 - 41 - 153 - 3, 153});

    Splitter2 = NewSplitter(Qt::Horizontal, Splitter1, "Splitter2");
    Splitter1->addWidget(Panel2);
    Splitter1->addWidget(Splitter2);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({113, 862 - 113 - 3});

    Panel4 = NewPane(Splitter2, "Panel4");
    Splitter3 = NewSplitter(Qt::Vertical, Panel4, "Splitter3");
    Panel4->layout()->addWidget(Splitter3);
    Chart1Area = CreateChartArea(Splitter3);
    Panel5 = NewPane(Splitter3, "Panel5");
    Splitter3->addWidget(Chart1Area);
    Splitter3->addWidget(Panel5);
    Splitter3->setStretchFactor(0, 1);
    Splitter3->setStretchFactor(1, 0);
    Splitter3->setSizes({640 - 41 - 156 - 3, 156});

    Panel3 = NewPane(Splitter2, "Panel3");
    Memo1 = new QPlainTextEdit(Panel3);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setAccessibleName(QStringLiteral("Notizen"));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setMinimumWidth(24);  // the pane is narrower than a text box would ask for
    // As the designed note pane: Tab leaves it rather than typing a tab.
    Memo1->setTabChangesFocus(true);
    QFont memoFont(QStringLiteral("Courier New"), 8);
    memoFont.setStyleHint(QFont::TypeWriter);
    Memo1->setFont(memoFont);
    Panel3->layout()->addWidget(Memo1);
    Splitter2->addWidget(Panel4);
    Splitter2->addWidget(Panel3);
    Splitter2->setStretchFactor(0, 1);
    Splitter2->setStretchFactor(1, 0);
    Splitter2->setSizes({862 - 113 - 3 - 62 - 3, 62});

    BuildPanel5();
    BuildTree();
    SetTabOrder();
}

// The pane below the chart says what the chart cannot: why a click loaded nothing, and below
// that the values of the shown day and the levels for the next trading day.
void TfrmMain::BuildPanel5() {
    auto* notice = new QWidget(Panel5);
    notice->setObjectName(QStringLiteral("Panel5Hinweis"));
    auto* row = new QHBoxLayout(notice);
    row->setContentsMargins(6, 6, 6, 6);
    row->setSpacing(8);
    auto* icon = new QLabel(notice);
    const int iconSize = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation, nullptr, this).pixmap(iconSize));
    icon->setAlignment(Qt::AlignTop);
    row->addWidget(icon, 0, Qt::AlignTop);
    Label_Hinweis = new QLabel(notice);
    Label_Hinweis->setObjectName(QStringLiteral("Label_Hinweis"));
    Label_Hinweis->setTextFormat(Qt::RichText);
    Label_Hinweis->setWordWrap(true);
    // The path can be selected and copied, to look for the file.
    Label_Hinweis->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(Label_Hinweis, 1, Qt::AlignTop);
    notice->hide();
    auto* layout = static_cast<QVBoxLayout*>(Panel5->layout());
    layout->addWidget(notice);
    layout->addStretch(1);
    ValuesPane = new app::TValuesPane(Panel5);
    layout->insertWidget(1, ValuesPane);
    connect(Chart1Interaction, &chart::TChartInteraction::CursorDayChanged, this, [this] { ShowDayValues(); });
}

void TfrmMain::ShowDayValues() {
    if (!FLoadedInstrument) {
        ValuesPane->ShowMessage(QStringLiteral("Keine Kursdaten geladen. Wählen Sie links ein Instrument."));
        return;
    }
    ValuesPane->ShowValues(*Chart1, Chart1Series, FRecordList, *FLoadedInstrument, Chart1Interaction->CursorDay());
}

// Tab walks the window as the eye does: tree, check box, chart, the values below it, note pane,
// and round again.
// The ring starts at the check box, so that the window's first focus stays there until
// FormShow hands it to the tree: focus on the tree would make its first node current.
void TfrmMain::SetTabOrder() {
    setTabOrder(CheckBox_Projektion, Chart1Area);
    setTabOrder(Chart1Area, ValuesPane->DayTable);
    setTabOrder(ValuesPane->DayTable, ValuesPane->NextDayTable);
    setTabOrder(ValuesPane->NextDayTable, Memo1);
    setTabOrder(Memo1, TreeView1);
}

void TfrmMain::ShowMissingFile(const std::string& instrument, const std::string& path) {
    QString text = QStringLiteral("<b>Keine Datendatei für %1</b><br>Gesucht wurde: %2")
                       .arg(QString::fromStdString(instrument).toHtmlEscaped(),
                            QString::fromStdString(path).toHtmlEscaped());
    if (FLoadedInstrument) {
        text += QStringLiteral("<br>Das Diagramm zeigt weiter %1.")
                    .arg(QString::fromStdString(*FLoadedInstrument).toHtmlEscaped());
    }
    Label_Hinweis->setText(text);
    Label_Hinweis->parentWidget()->show();
}

void TfrmMain::HideNotice() {
    Label_Hinweis->parentWidget()->hide();
    Label_Hinweis->clear();
}

void TfrmMain::BuildTree() {
    TreeView1->setHeaderHidden(true);
    TreeView1->setColumnCount(1);
    TreeView1->setIndentation(19);

    const std::pair<QString, QStringList> groups[] = {
        {QStringLiteral("Forex (Spot)"),
         {"AUDJPY", "AUDUSD", "GBPJPY", "GBPCHF", "GBPUSD", "EURGBP", "EURJPY", "EURUSD", "USDCHF",
          "USDJPY"}},
        {QStringLiteral("Indices (Cash)"),
         {"CAC40", "DAX", "ESX50", "SMI", "FTSE100", "NDX100", "DJIA", "SPX500", "N225", "HANGSENG"}},
    };
    for (const auto& [group, names] : groups) {
        auto* root = new QTreeWidgetItem(TreeView1, QStringList(group));
        for (const QString& name : names) new QTreeWidgetItem(root, QStringList(name));
    }

    // A click, or Enter or Space, loads; moving the selection with the keyboard does not.
    TreeView1->OnClick = [this] { TApplication::Dispatch([this] { TreeView1Click(); }); };
}

void TfrmMain::FormCreate() {
    // The folders follow the current directory at creation and never move afterwards.
    std::string base = CurrentDirectory();
    if (!base.empty() && base.back() == '/') base.pop_back();
    FDataFolder = base + "/Data";
    FTempFolder = FDataFolder + "/Temp";
    Memo1->clear();
    FRecordList.clear();
}

void TfrmMain::FormShow() {
    for (QTreeWidgetItemIterator it(TreeView1); *it; ++it) (*it)->setExpanded(true);
    for (QTreeWidgetItemIterator it(TreeView1); *it; ++it) {
        if ((*it)->text(0) == QLatin1String("DAX")) {
            TreeView1->setCurrentItem(*it);
            TreeView1->setFocus(Qt::OtherFocusReason);
            TreeView1Click();
            return;
        }
    }
}

void TfrmMain::TreeView1Click() {
    const QList<QTreeWidgetItem*> selected = TreeView1->selectedItems();
    if (selected.isEmpty()) return;
    const std::string instrument = selected.front()->text(0).toStdString();
    const std::string path = FDataFolder + "/" + instrument + ".mht";
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) {
        LoadDataFile(path, instrument);
    } else if (selected.front()->childCount() == 0) {
        // The chart keeps what it shows; the pane below it says why.
        ShowMissingFile(instrument, path);
    } else {
        HideNotice();  // a group node: only opened or closed
    }
}

void TfrmMain::DataFileChanged() {
    if (!FLoadedInstrument) return;
    const std::string path = FDataFolder + "/" + *FLoadedInstrument + ".mht";
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return;
    zyn::RecordList records;
    try {
        ReadDataFile(path, records);
    } catch (...) {
        // The writer may not be done: the shown records stay until the file reads whole, and
        // the error only counts once the file has stood still for a while.
        if (FDataFileWatch->RetryLater()) return;
        throw;
    }
    Memo1->clear();
    FRecordList.swap(records);
    RedrawChart();
}

void TfrmMain::CheckBox_ProjektionClick() {
    RedrawChart();
}

void TfrmMain::FormClose() {
    zyn::RecordList().swap(FRecordList);
}

void TfrmMain::LoadDataFile(const std::string& path, const std::string& instrument) {
    Memo1->clear();
    DataFile file(path);
    HideNotice();
    // From here on RecordList holds this instrument's records, all of them or, when a row
    // fails, those before it.
    const bool otherInstrument = FLoadedInstrument != instrument;
    FLoadedInstrument = instrument;
    FDataFileWatch->Watch(path);
    try {
        ReadRecords(file, FRecordList);
    } catch (...) {
        // The chart, its title and the picture's name then agree with the records while the
        // error box is up and after it.
        file.Close();
        ShowLoadedRecords(otherInstrument);
        throw;
    }
    file.Close();
    ShowLoadedRecords(otherInstrument);
}

void TfrmMain::ShowLoadedRecords(bool otherInstrument) {
    RedrawChart();
    // The cursor's day belongs to the days of the instrument it was put on.
    if (otherInstrument) Chart1Interaction->SetCursorDay(-1);
    // A zoomed or scrolled view keeps its days; another instrument's prices lie elsewhere, so
    // the price axis fits the days in view, as a wheel step does.
    if (otherInstrument && (Chart1->HasSavedScales || Chart1->IsZoomed)) Chart1->FitRightAxisToView();
}

void TfrmMain::RedrawChart() {
    // The chart names the records it draws; before the first load, the selected node.
    std::string title;
    if (FLoadedInstrument) {
        title = *FLoadedInstrument;
    } else if (const QList<QTreeWidgetItem*> selected = TreeView1->selectedItems(); !selected.isEmpty()) {
        title = selected.front()->text(0).toStdString();
    }
    app::FillChart1(*Chart1, Chart1Series, FRecordList, title, CheckBox_Projektion->isChecked());
    ShowDayValues();
}

void TfrmMain::SetDownloadSource(const std::string& address, const net::DownloadLimits& limits) {
    FDownloadAddress = address;
    FDownloadLimits = limits;
}

void TfrmMain::mnuDownloadClick() {
    // Restored in every case, also when an error leaves for the error box.
    TWaitCursor waitCursor;
    if (net::DownloadToFile(FDownloadAddress, FTempFolder + "/Temp.htm", FDownloadLimits))
        ShowMessageBox(QStringLiteral("Download OK"), QMessageBox::NoIcon);
}

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (FShowState == TShowState::Hidden) FShowState = TShowState::Showing;
}

// FormShow waits for the first paint: by then the window is on screen, so an error box of the
// first load opens over it. Queued, so that the paint reaches the screen before the load.
void TfrmMain::paintEvent(QPaintEvent* event) {
    QMainWindow::paintEvent(event);
    if (FShowState != TShowState::Showing) return;
    FShowState = TShowState::Shown;
    QMetaObject::invokeMethod(
        this, [this] { TApplication::Dispatch([this] { FormShow(); }); }, Qt::QueuedConnection);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

}  // namespace zyn
