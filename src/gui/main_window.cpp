// SPDX-License-Identifier: GPL-2.0-or-later
#include "gui/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <type_traits>

#include "app/prompts.h"
#include "app/version.h"
#include "automation/cpuload.h"
#include "diag/debuglog.h"
#include "gui/hardware_steps.h"
#include "gui/up_down.h"
#include "hw/port_io.h"

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

void set_hint(QWidget* widget, const char* hint) {
    if (hint)
        widget->setToolTip(hint);
}
}  // namespace

namespace form {
QGroupBox* group(QWidget* parent, const char* name, const char* caption) {
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(name);
    return box;
}

QSpinBox* spin_edit(QWidget* parent, const char* name, int min, int max, int step, int value,
                    const char* hint) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(min, max);
    spin->setSingleStep(step);
    spin->setValue(value);
    // Arrows, keys and wheel step the value; the text takes no typing, so a half-typed
    // number never reaches a handler.
    if (auto* text = spin->findChild<QLineEdit*>())
        text->setReadOnly(true);
    set_hint(spin, hint);
    return spin;
}

QCheckBox* check_box(QWidget* parent, const char* name, const char* caption, const char* hint) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    set_hint(box, hint);
    return box;
}

QPushButton* button(QWidget* parent, const char* name, const char* caption) {
    auto* push = new QPushButton(caption, parent);
    push->setObjectName(name);
    push->setAutoDefault(false);
    return push;
}

QComboBox* fixed_list(QWidget* parent, const char* name, const QStringList& items,
                      const char* hint) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->addItems(items);
    set_hint(list, hint);
    return list;
}

QLineEdit* read_only_text(QWidget* parent, const char* name, const char* text, const char* hint) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
    set_hint(edit, hint);
    return edit;
}

QSlider* track_bar(QWidget* parent, const char* name, int max, int position, int tick) {
    auto* bar = new QSlider(Qt::Vertical, parent);
    bar->setObjectName(name);
    bar->setRange(0, max);
    bar->setValue(position);
    bar->setSingleStep(1);
    bar->setPageStep(2);
    bar->setTickInterval(tick);
    bar->setTickPosition(QSlider::TicksRight);
    bar->setInvertedAppearance(true);
    bar->setInvertedControls(true);
    return bar;
}

QLabel* label(QWidget* parent, const char* name, const char* text, const char* hint) {
    auto* shown = new QLabel(text, parent);
    shown->setObjectName(name);
    set_hint(shown, hint);
    return shown;
}

QLabel* caption_for(QWidget* control, const char* text) {
    auto* shown = new QLabel(text, control->parentWidget());
    shown->setBuddy(control);
    return shown;
}
}  // namespace form

TMain::TMain(Prompts& prompts, std::vector<std::string> args, StartupNotes notes, QWidget* parent)
    : QMainWindow(parent), Session(prompts, session_view_, std::move(args), std::move(notes)) {
    steps_ = std::make_unique<HardwareSteps>();
    steps_->after_action_step = [this] { ShowHardwareProgress(); };
    steps_->on_failure = [this](std::exception_ptr failure) { HardwareJobFailed(failure); };
    CreateControls();
    ConnectEvents();
    Startup();
    session_view_.history_settings();
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
    TabSheet1 = main_tab.Create();
    TabSheet2 = sensor_tab.Create();
    TabSheet4 = chipset_tab.Create();
    TabSheet3 = settings_tab.Create();
    TabSheet5 = settings_tab.CreateAbout();
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

    tray.Create();

    const QScreen* screen = QGuiApplication::primaryScreen();
    FitToScreen(screen ? screen->availableGeometry() : QRect(0, 0, kClientWidth, kClientHeight));
}

// The window has its fixed size where the screen holds it. Where it does not (a small screen,
// or large scaling: 1024 x 768 at 150 % leaves 683 x 512), it may be resized and scrolls its
// tabs instead of lying partly off the screen.
void TMain::FitToScreen(const QRect& room) {
    if (room.width() >= kClientWidth && room.height() >= kClientHeight) {
        setFixedSize(kClientWidth, kClientHeight);
        move(room.center() - rect().center());
        return;
    }
    const int bar = StatusBar1->sizeHint().height();
    PageControl1->setMinimumSize(kClientWidth, kClientHeight - bar);
    auto* scroller = new QScrollArea(this);
    scroller->setObjectName("ScrollBoxMain");
    scroller->setWidgetResizable(true);
    scroller->setWidget(takeCentralWidget());
    setCentralWidget(scroller);
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    // What the window's frame needs is unknown before it is shown: a little is left for it.
    resize(std::min(room.width(), kClientWidth), std::min(room.height() - 30, kClientHeight));
    move(room.topLeft());
}

// Events and handlers. Every control event is wired in ConnectEvents to one handler method
// of the tab or group that owns the control (or of the window), and every handler has the form
//     void Handler(QObject* sender = nullptr);
// where sender is the control, timer, menu item or tab that raised the event, so a handler
// that several controls share tells them apart by comparing sender with the members below
// (sender == ButtonMaxFSB). Code that calls a handler itself passes the control it acts
// for, or nothing. The wiring follows the form's event semantics:
//   - check box OnClick   -> QCheckBox::toggled: setChecked from code raises it too, but only
//                            when the state changes;
//   - fixed list OnChange -> QComboBox::activated: only the user raises it, setting the
//                            index from code raises nothing;
//   - spin edit OnChange  -> QSpinBox::valueChanged: raised only when the clamped value
//                            changes; the text cannot be typed into;
//   - track bar OnChange  -> QSlider::valueChanged, also when code moves it;
//   - up-down OnClick     -> UpDown::clicked, only for an arrow click that moved it;
//   - button / menu item  -> clicked / triggered; a checkable tray item keeps its check mark
//                            on a click, the handler sets it;
//   - timer               -> QTimer::timeout; tab shown -> QTabWidget::currentChanged;
//   - close request       -> closeEvent raises CloseFunc, then the window closes.
// To detach a handler for a moment, block the control's signals (QSignalBlocker).
//
// Every event of the form and the handler it raises, in one place. The handler's name goes
// with it to the test hook.
#define VELMORA_WIRE(control, signal, owner, handler)                                       \
    connect(control, signal, this, [this, sender = static_cast<QObject*>(control)] {        \
        Raise(#handler, owner, &std::remove_reference_t<decltype(owner)>::handler, sender); \
    })

void TMain::ConnectEvents() {
    // Qt 5 overloads these two signals by argument type (int and text); Qt 6 has the int one.
    const auto list_chosen = qOverload<int>(&QComboBox::activated);
    const auto spin_changed = qOverload<int>(&QSpinBox::valueChanged);
    // Tab "Main".
    for (QSlider* bar : {main_tab.TrackBarVcore, main_tab.TrackBarVdimm, main_tab.TrackBarVagp,
                         main_tab.TrackBarVdd})
        VELMORA_WIRE(bar, &QSlider::valueChanged, main_tab, TrackBarChange);
    VELMORA_WIRE(main_tab.UpDownVcore, &UpDown::clicked, main_tab, UpDownChange);
    VELMORA_WIRE(main_tab.TrackBarFSB, &QSlider::valueChanged, main_tab, TrackBarFSBChange);
    VELMORA_WIRE(main_tab.UpDownFSB, &UpDown::clicked, main_tab, UpDownFSBClick);
    for (QComboBox* list : {main_tab.ComboBoxTras, main_tab.ComboBoxTrcd, main_tab.ComboBoxTrp})
        VELMORA_WIRE(list, list_chosen, main_tab, RamChange);
    VELMORA_WIRE(autofsb_group.ButtonMaxFSB, &QPushButton::clicked, autofsb_group, SetFSBRange);
    VELMORA_WIRE(autofsb_group.ButtonMinFSB, &QPushButton::clicked, autofsb_group, SetFSBRange);
    VELMORA_WIRE(autofsb_group.CheckBoxAutoFSB, &QCheckBox::toggled, autofsb_group, EnableAutoFSB);
    VELMORA_WIRE(autofsb_group.CSpinEditMaxTemp, spin_changed, autofsb_group, MaxTempChange);
    VELMORA_WIRE(autofsb_group.ComboBoxDelayChange, list_chosen, autofsb_group, SetDelayChange);
    VELMORA_WIRE(autofsb_group.CSpinEditDelayMax, spin_changed, autofsb_group, SetDelayChange);
    VELMORA_WIRE(autofsb_group.CSpinEditDelayMin, spin_changed, autofsb_group, SetDelayChange);
    VELMORA_WIRE(autofsb_group.CSpinEditMaxLoad, spin_changed, autofsb_group, SetAutoFSBload);
    VELMORA_WIRE(autofsb_group.CSpinEditMinLoad, spin_changed, autofsb_group, SetAutoFSBload);
    VELMORA_WIRE(autofsb_group.ButtonPresetAdd, &QPushButton::clicked, autofsb_group, AddPreset);
    VELMORA_WIRE(autofsb_group.ButtonPresetDel, &QPushButton::clicked, autofsb_group, RemovePreset);
    VELMORA_WIRE(autofsb_group.ButtonPresetApply, &QPushButton::clicked, autofsb_group,
                 ApplyPreset);
    VELMORA_WIRE(main_tab.ButtonApply, &QPushButton::clicked, main_tab, Apply);
    VELMORA_WIRE(main_tab.ButtonExit, &QPushButton::clicked, *this, Exit);
    VELMORA_WIRE(main_tab.ButtonReset, &QPushButton::clicked, main_tab, Reset);

    // Tab "Sensor settings".
    VELMORA_WIRE(sensor_tab.CSpinEditSensor, spin_changed, sensor_tab, SetSensor);
    VELMORA_WIRE(sensor_tab.CSpinEditSensorInput, spin_changed, sensor_tab, SetSensor);
    VELMORA_WIRE(sensor_tab.ComboBoxSensorTyp, list_chosen, sensor_tab, SetSensor);
    VELMORA_WIRE(sensor_tab.CSpinEditSensorUpdate, spin_changed, sensor_tab, SensorUpdateChange);
    VELMORA_WIRE(sensor_tab.CSpinEditCTLSensor, spin_changed, sensor_tab, SetSensorCTL);
    VELMORA_WIRE(sensor_tab.CSpinEditCTL, spin_changed, sensor_tab, SetSensorCTL);
    VELMORA_WIRE(sensor_tab.ButtonSetCTLvalue, &QPushButton::clicked, sensor_tab, SetSensorCTL);
    VELMORA_WIRE(autofan_group.CSpinEditCtlFAN, spin_changed, autofan_group, Settings);
    VELMORA_WIRE(autofan_group.ButtonFANSet, &QPushButton::clicked, autofan_group, Settings);
    VELMORA_WIRE(autofan_group.CheckBoxFANCtl, &QCheckBox::toggled, autofan_group, EnableAutoFan);

    // Tabs "Chipset" and "Settings".
    VELMORA_WIRE(chipset_tab.ButtonChipsetSet, &QPushButton::clicked, chipset_tab, Chipset);
    VELMORA_WIRE(settings_tab.CSpinEditLoadUpdate, spin_changed, settings_tab, LoadUpdateChange);
    VELMORA_WIRE(settings_tab.Button1, &QPushButton::clicked, settings_tab, SetBoard);
    connect(PageControl1, &QTabWidget::currentChanged, this, &TMain::TabShown);

    // Timers.
    VELMORA_WIRE(Timer1, &QTimer::timeout, *this, UpdateSensor);
    VELMORA_WIRE(TimerAutoFSBmax, &QTimer::timeout, autofsb_group, AutoFSB);
    VELMORA_WIRE(TimerAutoFSBmin, &QTimer::timeout, autofsb_group, AutoFSB);

    // Tray menu. Qt ticks a checkable item before it reports the click; the form's items
    // keep their mark, which the handler sets (EnableAutoFSB, EnableAutoFan), so the tick
    // is taken back first.
    for (QAction* item : {tray.TrayAutoFSB, tray.TrayAutoFan})
        connect(item, &QAction::triggered, this,
                [item](bool checked) { item->setChecked(!checked); });
    VELMORA_WIRE(tray.TrayForceMax, &QAction::triggered, autofsb_group, ApplyPreset);
    VELMORA_WIRE(tray.TrayForceMin, &QAction::triggered, autofsb_group, ApplyPreset);
    VELMORA_WIRE(tray.TrayAutoFSB, &QAction::triggered, autofsb_group, EnableAutoFSB);
    VELMORA_WIRE(tray.TrayAutoFan, &QAction::triggered, autofan_group, EnableAutoFan);
    VELMORA_WIRE(tray.Exit1, &QAction::triggered, *this, Exit);
    connect(tray.TrayIcon1, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick)
                    tray.RestoreFromTray();
            });
}

#undef VELMORA_WIRE

// Showing a tab raises its handler, as the form's OnShow events do; the sheet is the sender.
void TMain::TabShown(int index) {
    QWidget* sheet = PageControl1->widget(index);
    if (sheet == TabSheet2)
        Raise("Settings", sensor_tab, &SensorTab::Settings, sheet);
    if (sheet == TabSheet4)
        Raise("Chipset", chipset_tab, &ChipsetTab::Chipset, sheet);
    if (sheet == TabSheet3)
        Raise("CreateBoardList", settings_tab, &SettingsTab::CreateBoardList, sheet);
}

// Every close request (close box, system menu, Exit, the session's end) runs CloseFunc.
TMain::~TMain() {
    // Work still stepping ends here, with the window's state (the steps included) still there
    // for it.
    steps_->finish_all();
    steps_.reset();
    cpuload_stop();
}

// A close while hardware work steps waits for it: an action ends after its current step (an
// FSB walk at its next whole MHz), a sensor tick after its reads; then the close goes on.
void TMain::closeEvent(QCloseEvent* event) {
    if (!closing_ && steps_->busy_at_all()) {
        event->ignore();
        if (!close_waiting_) {
            close_waiting_ = true;
            steps_->end_all([this] {
                close_waiting_ = false;
                if (close())
                    QCoreApplication::quit();
            });
        }
        return;
    }
    Raise("CloseFunc", *this, &TMain::CloseFunc, this);
    event->accept();
}

// A job that ended with an exception has already had its end handled (busy state, controls);
// what is left is to say it. A lost port grant is recovered as a sensor tick recovers it.
void TMain::HardwareJobFailed(std::exception_ptr failure) {
    std::string what = "unknown error";
    try {
        std::rethrow_exception(failure);
    } catch (const PortAccessLost&) {
        RegainPortAccess();
        return;
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
    }
    debug_print("VELMORA: Hardware work failed: %s\n", what.c_str());
    StatusBar1->showMessage(QString::fromStdString("Hardware work failed: " + what));
    tray.ShowTrayHint();
    prompts_.show_message("Hardware work failed: " + what);
}

void TMain::EnableHardwareStepping() {
    steps_->set_stepping(true);
}
