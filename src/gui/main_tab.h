// SPDX-License-Identifier: GPL-2.0-or-later
// Tab "Main" (main_tab.cpp, main_tab_layout.cpp): the readings, the four voltages, the RAM
// timings and the FSB, the clock and load display, Apply and Reset. Its controls show the values
// the session read and selected; moving one selects its value in the session.
#pragma once

#include <QString>
#include <functional>

#include "gui/main_tab_controls.h"

class QObject;
class QWidget;
class TMain;

class MainTab : public MainTabControls {
  public:
    explicit MainTab(TMain& window) : window_(window) {}
    QWidget* Create();

    // Event handlers (the sender convention is TMain's).
    void TrackBarChange(QObject* sender = nullptr);
    void UpDownChange(QObject* sender = nullptr);
    void TrackBarFSBChange(QObject* sender = nullptr);
    void UpDownFSBClick(QObject* sender = nullptr);
    void RamChange(QObject* sender = nullptr);
    void Apply(QObject* sender = nullptr);
    // The values found at start-up back into the controls; nothing is written to the board.
    void Reset(QObject* sender = nullptr);

    // Sets the voltage controls up for the working board (ranges, limit labels, the groups of
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
    // The load in the display, coloured against the AutoFSB limits.
    void ShowLoad();
    // Apply's work (Session::ApplySteps), run as an action; then runs once it ended.
    void StartApply(std::function<void()> then);

  private:
    TMain& window_;
};
