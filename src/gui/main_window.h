// SPDX-License-Identifier: GPL-2.0-or-later
// TMain, velmora's one window: a view of its session (app/session.h), made of the tabs'
// controls (gui/*_controls.h), the timers and the tray icon.
//
// Events and handlers: every control event is wired in ConnectEvents (main_window.cpp, which
// lists how each kind of control raises its handler) to one handler method of the form
//     void Handler(QObject* sender = nullptr);
// where sender is the control, timer, menu item or tab that raised the event, or nothing when
// code calls the handler itself.
#pragma once

#include <QIcon>
#include <QMainWindow>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/session.h"
#include "gui/chipset_tab_controls.h"
#include "gui/history_tab_controls.h"
#include "gui/main_tab_controls.h"
#include "gui/sensor_tab_controls.h"
#include "gui/settings_tab_controls.h"
#include "gui/tray_controls.h"

class HardwareSteps;
class QCloseEvent;
class QRect;

// The window is a view of its session: the state and the sequences it shares with the command
// line live in Session (app/session.h), and the window shows what the session tells it.
class TMain : public QMainWindow,
              private SessionView,
              public Session,
              public MainTabControls,
              public SensorTabControls,
              public ChipsetTabControls,
              public SettingsTabControls,
              public HistoryTabControls,
              public TrayControls {
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

    void DetectSensors();
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

    void ShowSettings();
    // " (simulated board, profile 7)" for the window title; empty on real ports.
    QString SimulatedTitleSuffix() const;
    // The fixed size where the screen's free area holds it, else a resizable, scrolling one.
    void FitToScreen(const QRect& room);

    // Main tab: value display and Apply (main_tab.cpp).
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
    bool close_waiting_ = false;  // a close request waits for hardware work to end

    // History (history_tab.cpp, history_chart.h): every sensor tick's readings for the last
    // hours, their charts on the History tab and the CSV log.
    QWidget* CreateCsvFileGroup(QWidget* sheet);
    std::string CsvFileSetting() const;
    void HistoryRangeChange(QObject* sender = nullptr);
    void CsvFileChange(QObject* sender = nullptr);
    bool history_settings_shown_ = false;

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
    bool action_running() override;
    // The sensor tick's news (sensor_update.cpp, alarms_handlers.cpp, history_tab.cpp).
    TickSwitches tick_switches() override;
    void port_access_lost() override;
    void show_readings(const SensorFields& fields) override;
    void show_alarm(int item, const std::string& text) override;
    void clear_alarm(int item) override;
    void show_tick() override;
    void history_settings() override;  // the stored CSV file into its control, once
    void history_started() override;   // the History tab
    void history_changed() override;
    void keep_choices(SavedSettings& saved) override;  // shutdown.cpp
    void show_fsb(int fsb) override;                   // autofsb_handlers.cpp
    void show_vcore(double v) override;
    void show_vdimm(double v) override;
    // While an Apply or a preset steps, the controls that would start another action are off.
    void ShowActionBusy(bool busy);
    // The FSB walk in progress, in the status bar and the tray hint.
    void ShowHardwareProgress();
    QString HardwareProgressText() const;
    // True (and the handler raised again once the run ended) when an AutoFSB run was stepping.
    bool EndAutoFsbRunFirst(Handler handler, QObject* sender);
    void AutoFsbRunEnded(int result, QTimer* timer, bool restart_timer);

    std::unique_ptr<HardwareSteps> steps_;
};
