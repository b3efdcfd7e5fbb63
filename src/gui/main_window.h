// SPDX-License-Identifier: GPL-2.0-or-later
// TMain, velmora's one window: every control, the timers, the tray icon and the
// application's state.
//
// Events and handlers. Every control event is wired in ConnectEvents to one handler method
// of TMain, and every handler has the form
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
#pragma once

#include <QColor>
#include <QIcon>
#include <QMainWindow>
#include <QStringList>
#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "app/main_settings.h"
#include "app/port_setup.h"
#include "app/session.h"
#include "automation/alarms.h"
#include "automation/autofsb.h"
#include "automation/history_csv.h"
#include "board/boards.h"
#include "board/chipset.h"
#include "sensors/sensor.h"
#include "sensors/smi.h"

struct AutoFanList;
class HardwareSteps;
class HistoryChart;
class Prompts;
class QAction;
class QRect;
class QCheckBox;
class QCloseEvent;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QStatusBar;
class QSystemTrayIcon;
class QTabWidget;
class QTimer;
class UpDown;

// The panel behind the clock and load figures.
inline const QColor kDisplayPanel{0, 0, 0};

// The tray's chip icon with a temperature across it (tray.cpp).
QIcon tray_icon_with_temperature(int celsius);

// The window is a view of its session: the state and the sequences it shares with the command
// line live in Session (app/session.h), and the window shows what the session tells it.
class TMain : public QMainWindow, private SessionView, public Session {
    Q_OBJECT

  public:
    // Builds the window and runs the start-up: banner, single-instance and OS checks, the
    // board and its values, the services. May end the process through the platform.
    TMain(Prompts& prompts, std::vector<std::string> args, StartupNotes notes = {},
          QWidget* parent = nullptr);
    // Stops the CPU-load sampler: nothing of the window runs after it.
    ~TMain() override;

    // (Re)reads settings and, when asked, the hardware's values. True when a board is in use.
    bool InitValues(bool read_hardware);
    // (Re)starts the periodic services once a board is in use.
    void StartServices();

    // Event handlers (see the top of this file for the sender convention).
    void CloseFunc(QObject* sender = nullptr);
    void Exit(QObject* sender = nullptr);
    void Reset(QObject* sender = nullptr);
    void LoadUpdateChange(QObject* sender = nullptr);
    void TrackBarChange(QObject* sender = nullptr);
    void UpDownChange(QObject* sender = nullptr);
    void TrackBarFSBChange(QObject* sender = nullptr);
    void UpDownFSBClick(QObject* sender = nullptr);
    void RamChange(QObject* sender = nullptr);
    void Apply(QObject* sender = nullptr);
    void Chipset(QObject* sender = nullptr);
    void CreateBoardList(QObject* sender = nullptr);
    void SetBoard(QObject* sender = nullptr);
    void UpdateSensor(QObject* sender = nullptr);
    void SensorUpdateChange(QObject* sender = nullptr);
    void Settings(QObject* sender = nullptr);
    void SetSensor(QObject* sender = nullptr);
    void SetSensorCTL(QObject* sender = nullptr);
    void SetFSBRange(QObject* sender = nullptr);
    void EnableAutoFSB(QObject* sender = nullptr);
    void MaxTempChange(QObject* sender = nullptr);
    void SetDelayChange(QObject* sender = nullptr);
    void SetAutoFSBload(QObject* sender = nullptr);
    void AutoFSB(QObject* sender = nullptr);
    void AddPreset(QObject* sender = nullptr);
    void RemovePreset(QObject* sender = nullptr);
    void ApplyPreset(QObject* sender = nullptr);
    void EnableAutoFan(QObject* sender = nullptr);

    // Tray icon. ShowTrayIcon makes TrayIcon1 visible and tells whether the desktop has a
    // notification area to show it in (none under plain Xvfb or offscreen).
    bool ShowTrayIcon();
    // Hides the window, and with it its task-bar button, behind the tray icon; without a
    // visible tray icon the window is only minimised, so that it can still be reached.
    void MinimizeToTray();
    // Brings the window back from the tray or the task bar: shown, not minimised, in front.
    void RestoreFromTray();

    // Test hook: when set, every event that the wiring delivers calls it with the handler's
    // name and the sender, just before the handler runs. Direct calls of a handler by code
    // do not pass through it.
    std::function<void(const char* handler, QObject* sender)> on_handler;

    // Controls, named as in the form.
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QWidget* TabSheet3 = nullptr;
    QWidget* TabSheet4 = nullptr;
    QWidget* TabSheet5 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* TimerAutoFSBmax = nullptr;
    QTimer* TimerAutoFSBmin = nullptr;

    // Tab "Main": sensor fields.
    QGroupBox* GroupSensor = nullptr;
    QLineEdit* SensorVcore = nullptr;
    QLineEdit* SensorVdimm = nullptr;
    QLineEdit* SensorVdd = nullptr;
    QLineEdit* SensorTemp = nullptr;
    QLineEdit* SensorSysTemp = nullptr;
    QLineEdit* SensorFan1 = nullptr;
    QLineEdit* SensorFan2 = nullptr;
    QLineEdit* SensorFan3 = nullptr;
    QLineEdit* Sensor5V = nullptr;
    QLineEdit* Sensor12V = nullptr;
    // Tab "Main": voltages.
    QGroupBox* GroupBoxVCore = nullptr;
    QSlider* TrackBarVcore = nullptr;
    UpDown* UpDownVcore = nullptr;
    QLineEdit* EditVCore = nullptr;
    QLabel* LabelVCoreMax = nullptr;
    QLabel* LabelVCoreMin = nullptr;
    QGroupBox* GroupBoxVdimm = nullptr;
    QSlider* TrackBarVdimm = nullptr;
    QLineEdit* EditVdimm = nullptr;
    QLabel* LabelVdimmMax = nullptr;
    QLabel* LabelVdimmMin = nullptr;
    QGroupBox* GroupBoxVagp = nullptr;
    QSlider* TrackBarVagp = nullptr;
    QLineEdit* EditVagp = nullptr;
    QLabel* LabelVagpMax = nullptr;
    QLabel* LabelVagpMin = nullptr;
    QGroupBox* GroupBoxVdd = nullptr;
    QSlider* TrackBarVdd = nullptr;
    QLineEdit* EditVdd = nullptr;
    QLabel* LabelVddMax = nullptr;
    QLabel* LabelVddMin = nullptr;
    // Tab "Main": RAM timings and FSB.
    QGroupBox* GroupBoxRam = nullptr;
    QComboBox* ComboBoxTras = nullptr;
    QComboBox* ComboBoxTrcd = nullptr;
    QComboBox* ComboBoxTrp = nullptr;
    QCheckBox* CheckBoxAutoPC = nullptr;
    QGroupBox* GroupBoxFSB = nullptr;
    QSlider* TrackBarFSB = nullptr;
    UpDown* UpDownFSB = nullptr;
    QLineEdit* EditFSB = nullptr;
    QLineEdit* EditCPU = nullptr;
    // Tab "Main": AutoFSB and presets.
    QGroupBox* GroupBoxLoad = nullptr;
    QLineEdit* EditMaxFSB = nullptr;
    QLineEdit* EditMinFSB = nullptr;
    QPushButton* ButtonMaxFSB = nullptr;
    QPushButton* ButtonMinFSB = nullptr;
    QCheckBox* CheckBoxAutoFSB = nullptr;
    QSpinBox* CSpinEditMaxTemp = nullptr;
    QCheckBox* CheckBoxTemp = nullptr;
    QComboBox* ComboBoxDelayChange = nullptr;
    QSpinBox* CSpinEditDelayMax = nullptr;
    QSpinBox* CSpinEditDelayMin = nullptr;
    QSpinBox* CSpinEditMaxLoad = nullptr;
    QSpinBox* CSpinEditMinLoad = nullptr;
    QComboBox* ComboBoxPreset = nullptr;
    QPushButton* ButtonPresetAdd = nullptr;
    QPushButton* ButtonPresetDel = nullptr;
    QPushButton* ButtonPresetApply = nullptr;
    // Tab "Main": clock and load display, the main buttons.
    QGroupBox* GroupBoxDisplay = nullptr;
    QLabel* DisplayMhz = nullptr;
    QLabel* DisplayLoad = nullptr;
    QPushButton* ButtonApply = nullptr;
    QPushButton* ButtonExit = nullptr;
    QPushButton* ButtonReset = nullptr;

    // Tab "Sensor settings".
    QGroupBox* GroupBoxSensorSettings = nullptr;
    QSpinBox* CSpinEditSensor = nullptr;
    QSpinBox* CSpinEditSensorInput = nullptr;
    QComboBox* ComboBoxSensorTyp = nullptr;
    QLabel* SensorValue = nullptr;
    QSpinBox* CSpinEditSensorUpdate = nullptr;
    QCheckBox* CheckBoxPort80 = nullptr;
    QComboBox* ComboBoxPort80 = nullptr;
    QGroupBox* GroupBoxSensorInfo = nullptr;
    QLabel* SensorInfoName = nullptr;
    QLabel* SensorInfoTemps = nullptr;
    QLabel* SensorInfoVts = nullptr;
    QLabel* SensorInfoFANs = nullptr;
    QLabel* SensorInfoCTLs = nullptr;
    QGroupBox* GroupBoxSensorCTL = nullptr;
    QSpinBox* CSpinEditCTLSensor = nullptr;
    QSpinBox* CSpinEditCTL = nullptr;
    QSpinBox* CSpinEditCTLvalue = nullptr;
    QLabel* LabelCTLdescr = nullptr;
    QPushButton* ButtonSetCTLvalue = nullptr;
    QGroupBox* GroupBoxFan = nullptr;
    QSpinBox* CSpinEditCtlFAN = nullptr;
    QSpinBox* CSpinEditFanmin = nullptr;
    QSpinBox* CSpinEditFanmax = nullptr;
    QSpinBox* CSpinEditFanTmin = nullptr;
    QSpinBox* CSpinEditFanTmax = nullptr;
    QCheckBox* CheckBoxFanEnable = nullptr;
    QCheckBox* CheckBoxFanAA = nullptr;
    QLabel* LabelFanDuty = nullptr;
    QPushButton* ButtonFANSet = nullptr;
    QCheckBox* CheckBoxFANCtl = nullptr;
    QGroupBox* GroupBoxSensorLimits = nullptr;
    QSpinBox* CSpinEditCpuLimit = nullptr;  // °C, 0 = off
    QSpinBox* CSpinEditSysLimit = nullptr;

    // Tab "Chipset".
    QGroupBox* GroupBoxPCI = nullptr;
    QCheckBox* CheckBoxSTPGNT = nullptr;
    QCheckBox* CheckBoxAGP = nullptr;
    QSpinBox* CSpinEditPCILatency = nullptr;
    QSpinBox* CSpinEditAGPLatency = nullptr;
    QSpinBox* CSpinEditAGPBusLatency = nullptr;
    QSpinBox* CSpinEditAGPApSize = nullptr;
    QPushButton* ButtonChipsetSet = nullptr;
    QCheckBox* CheckBoxChipset = nullptr;

    // Tab "Settings".
    QGroupBox* GroupBox1 = nullptr;
    QSpinBox* CSpinEditLoadUpdate = nullptr;
    QCheckBox* CheckBoxReset = nullptr;
    QCheckBox* CheckBoxMinimized = nullptr;
    QGroupBox* GroupBoxBoard = nullptr;
    QComboBox* ComboBoxBoard = nullptr;
    QPushButton* Button1 = nullptr;

    // Tab "About".
    QPlainTextEdit* Memo1 = nullptr;
    QLabel* LabelBoardSource = nullptr;  // real or simulated board

    // Tray icon and its pop-up menu.
    QSystemTrayIcon* TrayIcon1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* TrayForceMax = nullptr;
    QAction* TrayForceMin = nullptr;
    QAction* TrayAutoFSB = nullptr;
    QAction* TrayAutoFan = nullptr;
    QAction* Exit1 = nullptr;

    void DetectSensors();
    void ShowSensorFields();
    // Sensor settings tab (sensor_tab.cpp): the chosen input's range and current value; an
    // item whose sensor has no input of its kind is unmapped.
    void ShowSensorValue();
    // The only way Timer1 starts: with an update period above 0 and sensors to read, never
    // while closing; the standby clock starts afresh with it, so a pause of the updates is no
    // standby. Stopping is always allowed.
    void StartSensorTimer();
    void StopSensorTimer();
    // One tick of the update cycle, and what it does when the port grant was lost.
    void SensorTick(QObject* sender);
    void RegainPortAccess();
    bool in_sensor_update_ = false;  // a nested dialog's event loop must not start a second tick
    void ShowLoad();
    void ShowTrayHint();
    void ShowTrayTemperature();  // tray.cpp
    // The temperature alarms of a tick (alarms_handlers.cpp): CPU and SYS against their limits.
    void CheckAlarms();
    Alarm alarms_[2];
    QString tray_number_;  // the number the tray icon shows; empty: none
    QIcon tray_number_drawn_;
    void ShowPort80Temperature();
    // The controllers' parts of a tick: over-temperature arming for AutoFSB, one AutoFAN step.
    void ArmOverTemperature();
    void AutoFanStep();
    // The fan controls AutoFAN drives (autofan.cpp owns the list); null until start-up
    // looked for them.
    AutoFanList* autofan_list = nullptr;
    // The AutoFAN temperature boxes' usual tops; a stored value above one widens its box.
    static constexpr int kFanTempMinTop = 60;
    static constexpr int kFanTempMaxTop = 80;
    // At close: the port-80h display shows FF and every fan runs at full speed.
    void LeaveSensorsSafe();

    // AutoFSB (autofsb_handlers.cpp): the engine's state. Its settings are copied in from
    // `settings` at each tick; the armed flags live here between ticks.
    AutoFsbState autofsb;
    bool closing_ = false;  // CloseFunc has run
    void ShowSettings();
    void SaveSettings();
    // " (simulated board, profile 7)" for the window title; empty on real ports.
    QString SimulatedTitleSuffix() const;
    // The fixed size where the screen's free area holds it, else a resizable, scrolling one.
    void FitToScreen(const QRect& room);

    // Main tab: value display and Apply (main_tab.cpp).
    // -- main tab declarations --
    // Sets the voltage controls up for the working Board (ranges, limit labels, the groups of
    // controls the board lacks disabled) and shows the read values.
    void FillMainTab();
    // The voltages and the FSB selected as read, whatever position their controls snapped to.
    void KeepReadSelections();
    // Move the controls to a value; their change handlers then select it and show its text.
    void ShowVcore(double v);
    void ShowVdimm(double v);
    void ShowVagp(double v);
    void ShowVdd(double v);
    void ShowFsb(int fsb);
    // "1.650 V" with digits 3, "2.63 V" with any other digits; never in the user's locale.
    static QString FormatVolts(double v, int digits);
    // EditCPU: the track bar's FSB times the CPU multiplier, "200 x 11.5 = 2300 MHz".
    void ShowCpuClock();

    // Presets (preset_handlers.cpp): the list on the main tab, in FSB order, and the start-up's
    // reading of presets.ini.
    void LoadPresets();
    void FillPresetList();
    // The FSB of the selected list entry, or -1 when none is selected.
    int SelectedPresetFSB();

    // Long hardware work, one step per event once the event loop runs (hardware_steps.h).
    // Apply, a preset and an AutoFSB run are actions: one at a time, and while one runs the
    // AutoFSB ticks are skipped. Apply, a preset, Reset, a board change and the close end an
    // AutoFSB run after its current step and then do their work.
    HardwareSteps& hardware_steps() { return *steps_; }
    void EnableHardwareStepping();
    void HardwareJobFailed(std::exception_ptr failure);
    bool autofsb_run_active = false;
    int autofsb_run_target = 0;   // the limit the run in progress walks to, MHz
    bool close_waiting_ = false;  // a close request waits for hardware work to end
    bool warned_no_cpu_temperature_ = false;

    // ---- History (history_tab.cpp, history_chart.h) ----
    // Every sensor tick's readings for the last hours, their charts on the History tab and the
    // CSV log. The tab comes with the first reading, after the five others.
    QWidget* TabSheet6 = nullptr;
    QComboBox* ComboBoxHistoryRange = nullptr;
    HistoryChart* HistoryChart1 = nullptr;
    QLineEdit* EditCsvFile = nullptr;  // on the Settings tab; empty: no CSV log
    std::unique_ptr<History> history;
    HistoryCsv history_csv;
    QWidget* CreateCsvFileGroup(QWidget* sheet);
    void AddHistoryTab();
    void ShowHistorySettings();  // the stored CSV file into its control, once
    std::string CsvFileSetting() const;
    void RecordHistory();  // one sample, at every tick
    // After an Apply, a preset or an AutoFSB run: a mark for a changed FSB or core voltage.
    void MarkHistoryChanges();
    void HistoryRangeChange(QObject* sender = nullptr);
    void CsvFileChange(QObject* sender = nullptr);
    bool history_settings_shown_ = false;
    int history_marked_fsb_ = 0;  // the FSB and core voltage the next marks start from
    double history_marked_vcore_ = 0.0;
    // ---- end of History ----

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    using Handler = void (TMain::*)(QObject*);

    void CreateControls();
    // Each tab is built in its *_tab_layout.cpp; main_tab.cpp and settings_handlers.cpp run them.
    QWidget* CreateMainTab();
    QWidget* CreateSensorTab();
    QWidget* CreateChipsetTab();
    QWidget* CreateSettingsTab();
    QWidget* CreateAboutTab();
    void CreateTray();
    void ConnectEvents();
    // Delivers one event: the test hook first, then the handler.
    void Raise(const char* name, Handler handler, QObject* sender);
    void Startup();
    void AnnounceBoardSource();
    void ShowWithoutBoard();
    void TabShown(int index);

    // Apply's work (Session::ApplySteps), run as an action; then runs once it ended.
    void StartApply(std::function<void()> then);
    // What the session tells the window: the status bar's text, and the auto-precharge box.
    void show_status(const std::string& text) override;
    void append_status(const std::string& text) override;
    bool auto_precharge_selected() override;
    void apply() override;
    bool autofsb_running() override;
    // While an Apply or a preset steps, the controls that would start another action are off.
    void ShowActionBusy(bool busy);
    // The FSB walk in progress, in the status bar and the tray hint.
    void ShowHardwareProgress();
    QString HardwareProgressText() const;
    // True (and the handler raised again once the run ended) when an AutoFSB run was stepping.
    bool EndAutoFsbRunFirst(Handler handler, QObject* sender);
    void AutoFsbRunEnded(int result, QTimer* timer, bool restart_timer);

    std::unique_ptr<HardwareSteps> steps_;
    Prompts& prompts_;
};

// Factories for the form's kinds of control, shared by the tabs. Each control gets its form
// name as objectName and the hint, when one is given, as tool tip.
namespace form {
QGroupBox* group(QWidget* parent, const char* name, const char* caption);
// A spin edit: range, step and value; the arrows and keys change it, typing does not.
QSpinBox* spin_edit(QWidget* parent, const char* name, int min, int max, int step, int value,
                    const char* hint = nullptr);
QCheckBox* check_box(QWidget* parent, const char* name, const char* caption,
                     const char* hint = nullptr);
QPushButton* button(QWidget* parent, const char* name, const char* caption);
// A fixed list (drop-down, not editable) with its items; the first one is selected.
QComboBox* fixed_list(QWidget* parent, const char* name, const QStringList& items,
                      const char* hint = nullptr);
QLineEdit* read_only_text(QWidget* parent, const char* name, const char* text,
                          const char* hint = nullptr);
// A vertical track bar with position 0 at the top (and the Up key and wheel moving up).
QSlider* track_bar(QWidget* parent, const char* name, int max, int position, int tick = 1);
QLabel* label(QWidget* parent, const char* name, const char* text, const char* hint = nullptr);
// A caption beside a control; the control is its buddy, so the pair can be found again.
QLabel* caption_for(QWidget* control, const char* text);
// The keyboard's way through a group, in the order the controls are seen.
inline void keyboard_order(std::initializer_list<QWidget*> order) {
    for (auto at = order.begin(); at != order.end() && at + 1 != order.end(); ++at)
        QWidget::setTabOrder(*at, *(at + 1));
}
}  // namespace form
