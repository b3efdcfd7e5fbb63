// SPDX-License-Identifier: GPL-2.0-or-later
// TMain, velmora's one window: a view of its session (app/session.h), made of its tabs and
// groups (main_tab.h, autofsb_group.h, sensor_tab.h, autofan_group.h, chipset_tab.h,
// settings_tab.h, history_tab.h, tray.h), the status bar and the timers.
//
// Events and handlers: every control event is wired in ConnectEvents (main_window.cpp, which
// lists how each kind of control raises its handler) to one handler method, of the tab or group
// that owns the control or of the window, of the form
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
#include "gui/autofan_group.h"
#include "gui/autofsb_group.h"
#include "gui/chipset_tab.h"
#include "gui/history_tab.h"
#include "gui/main_tab.h"
#include "gui/sensor_tab.h"
#include "gui/settings_tab.h"
#include "gui/tray.h"
#include "gui/window_view.h"

class HardwareSteps;
class QCloseEvent;
class QRect;

// The window is a view of its session: the state and the sequences it shares with the command
// line live in Session (app/session.h), and the window shows what the session tells it.
class TMain : public QMainWindow, public Session {
    Q_OBJECT

    // The tabs and groups turn their controls' events into calls on the session and on the
    // window's timers and hardware steps.
    friend class MainTab;
    friend class AutoFsbGroup;
    friend class SensorTab;
    friend class AutoFanGroup;
    friend class ChipsetTab;
    friend class SettingsTab;
    friend class HistoryTab;
    friend class Tray;
    friend class WindowView;

  public:
    // Builds the window and runs the start-up: banner, single-instance and OS checks, the
    // board and its values, the services. May end the process through the platform.
    TMain(Prompts& prompts, std::vector<std::string> args, StartupNotes notes = {},
          QWidget* parent = nullptr);
    // Stops the CPU-load sampler: nothing of the window runs after it.
    ~TMain() override;

    // What the window is made of: its tabs and groups, each with its controls and handlers.
    MainTab main_tab{*this};
    AutoFsbGroup autofsb_group{*this};
    SensorTab sensor_tab{*this};
    AutoFanGroup autofan_group{*this};
    ChipsetTab chipset_tab{*this};
    SettingsTab settings_tab{*this};
    HistoryTab history_tab{*this};
    Tray tray{*this};
    // The tab sheets, the status bar, and the timers of the sensor updates and of AutoFSB.
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

    // (Re)starts the periodic services once a board is in use.
    void StartServices();

    // The window's own event handlers (see the top of this file for the sender convention):
    // every close request, Exit, and Timer1's sensor update.
    void CloseFunc(QObject* sender = nullptr);
    void Exit(QObject* sender = nullptr);
    void UpdateSensor(QObject* sender = nullptr);

    // Test hook: when set, every event that the wiring delivers calls it with the handler's
    // name and the sender, just before the handler runs. Direct calls of a handler by code
    // do not pass through it.
    std::function<void(const char* handler, QObject* sender)> on_handler;

    // The only way Timer1 starts: with an update period above 0 and sensors to read, never
    // while closing; the standby clock starts afresh with it, so a pause of the updates is no
    // standby. Stopping is always allowed.
    void StartSensorTimer();
    void StopSensorTimer();
    // " (simulated board, profile 7)" for the window title; empty on real ports.
    QString SimulatedTitleSuffix() const;
    // The fixed size where the screen's free area holds it, else a resizable, scrolling one.
    void FitToScreen(const QRect& room);

    // Long hardware work, one step per event once the event loop runs (hardware_steps.h).
    // Apply, a preset and an AutoFSB run are actions: one at a time, and while one runs the
    // AutoFSB ticks are skipped. Apply, a preset, Reset, a board change and the close end an
    // AutoFSB run after its current step and then do their work.
    HardwareSteps& hardware_steps() { return *steps_; }
    void EnableHardwareStepping();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateControls();
    void ConnectEvents();
    // Delivers one event: the test hook first, then the handler of the tab or group that owns
    // it.
    template <class Owner>
    void Raise(const char* name, Owner& owner, void (Owner::*handler)(QObject*), QObject* sender) {
        if (on_handler)
            on_handler(name, sender);
        (owner.*handler)(sender);
    }
    void TabShown(int index);
    void Startup();
    void ShowWithoutBoard();
    // The loaded settings in their controls, in the order their change handlers need.
    void ShowSettings();
    void DetectSensors();
    // One tick of the update cycle, and what it does when the port grant was lost.
    void SensorTick(QObject* sender);
    void HardwareJobFailed(std::exception_ptr failure);

    // While an Apply or a preset steps, the controls that would start another action are off.
    void ShowActionBusy(bool busy);
    // The FSB walk in progress, in the status bar and the tray hint.
    void ShowHardwareProgress();
    QString HardwareProgressText() const;
    // True (and again called once the run ended) when an AutoFSB run was stepping: an Apply, a
    // preset, Reset, a board change end it first.
    bool EndAutoFsbRunFirst(std::function<void()> again);

    // What the session tells the window; the session holds it from its construction on.
    WindowView session_view_{*this};
    std::unique_ptr<HardwareSteps> steps_;
    bool in_sensor_update_ = false;  // a nested dialog's event loop must not start a second tick
    bool close_waiting_ = false;     // a close request waits for hardware work to end
};
