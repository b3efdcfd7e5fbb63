#include "gui/main_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/version.h"

namespace {
constexpr int kClientWidth = 716;
constexpr int kClientHeight = 512;
constexpr int kTimerIntervalMs = 5000;

QTimer* make_timer(QObject* parent, const char* name) {
    auto* timer = new QTimer(parent);
    timer->setObjectName(name);
    timer->setInterval(kTimerIntervalMs);
    return timer;
}

QWidget* make_sheet(const char* name) {
    auto* sheet = new QWidget;
    sheet->setObjectName(name);
    return sheet;
}
}  // namespace

TMain::TMain(Prompts& prompts, std::vector<std::string> args, StartupNotes notes, QWidget* parent)
    : QMainWindow(parent), prompts_(prompts), args_(std::move(args)), notes_(std::move(notes)) {
    CreateControls();
    ConnectEvents();
    Startup();
}

void TMain::CreateControls() {
    setObjectName("Main");
    setWindowTitle("velmora");
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(QFont("MS Sans Serif", 8));

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    TabSheet1 = make_sheet("TabSheet1");
    TabSheet2 = make_sheet("TabSheet2");
    TabSheet3 = make_sheet("TabSheet3");
    TabSheet4 = make_sheet("TabSheet4");
    TabSheet5 = CreateAboutTab();
    PageControl1->addTab(TabSheet1, "Main");
    PageControl1->addTab(TabSheet2, "Sensor settings");
    PageControl1->addTab(TabSheet4, "Chipset");
    PageControl1->addTab(TabSheet3, "Settings");
    PageControl1->addTab(TabSheet5, "About");
    PageControl1->setCurrentWidget(TabSheet1);
    setCentralWidget(PageControl1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    setStatusBar(StatusBar1);

    Timer1 = make_timer(this, "Timer1");
    TimerAutoFSBmax = make_timer(this, "TimerAutoFSBmax");
    TimerAutoFSBmin = make_timer(this, "TimerAutoFSBmin");

    setFixedSize(kClientWidth, kClientHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QWidget* TMain::CreateAboutTab() {
    QWidget* sheet = make_sheet("TabSheet5");
    auto* layout = new QVBoxLayout(sheet);
    auto* name = new QLabel(kAboutVersion, sheet);
    QFont big = name->font();
    big.setPointSize(14);
    big.setBold(true);
    name->setFont(big);
    layout->addWidget(name);
    layout->addWidget(new QLabel("For command-line options run: velmora -h", sheet));
    LabelBoardSource = new QLabel(sheet);
    LabelBoardSource->setObjectName("LabelBoardSource");
    layout->addWidget(LabelBoardSource);
    layout->addWidget(
        new QLabel("A tuning and monitoring tool for nForce2 (Socket A) mainboards.", sheet));
    Memo1 = new QPlainTextEdit(sheet);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setPlainText(
        "Thanks to everyone who read out registers on their own boards, sent in debug logs "
        "and tested voltage tables: this tool is as good as your reports.\n\n"
        "Settings live in config.ini and the debug log in velmora.deb, both in the working "
        "directory. Please attach velmora.deb to every bug report.");
    layout->addWidget(Memo1);
    return sheet;
}

void TMain::ConnectEvents() {
    connect(PageControl1, &QTabWidget::currentChanged, this, &TMain::TabShown);
}

// Showing a tab raises its handler, as the form's OnShow events do.
void TMain::TabShown(int index) {
    QWidget* sheet = PageControl1->widget(index);
    if (sheet == TabSheet2)
        Settings();
    if (sheet == TabSheet4)
        Chipset();
    if (sheet == TabSheet3)
        CreateBoardList();
}

void TMain::closeEvent(QCloseEvent* event) {
    event->accept();
}

// The tab handlers fill their tabs once those tabs have controls.
void TMain::Settings() {}
void TMain::Chipset() {}
void TMain::CreateBoardList() {}
