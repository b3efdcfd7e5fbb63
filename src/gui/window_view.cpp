// SPDX-License-Identifier: GPL-2.0-or-later
// What the session tells the window and asks of it, turned into what the tabs show and read
// from what their boxes hold. An alarm raised is told in the tray (or the status bar without
// one), and its field stays red until the session clears it.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>

#include "app/instance.h"
#include "gui/hardware_steps.h"
#include "gui/main_window.h"
#include "gui/qt_number_text.h"

namespace {
QLineEdit* alarm_field(TMain& window, int item) {
    return item == 0 ? window.main_tab.SensorTemp : window.main_tab.SensorSysTemp;
}
}  // namespace

void WindowView::show_status(const std::string& text) {
    window_.StatusBar1->showMessage(QString::fromStdString(text));
}

void WindowView::append_status(const std::string& text) {
    window_.StatusBar1->showMessage(window_.StatusBar1->currentMessage() +
                                    QString::fromStdString(text));
}

bool WindowView::auto_precharge_selected() {
    return window_.main_tab.CheckBoxAutoPC->isChecked();
}

// At the close the window is going: the values go back to their end before it does.
void WindowView::apply() {
    if (window_.closing_)
        window_.steps_->set_stepping(false);
    window_.main_tab.Apply();
}

bool WindowView::autofsb_running() {
    return window_.TimerAutoFSBmax->isActive();
}

bool WindowView::action_running() {
    return window_.steps_->busy(HardwareSteps::Kind::Action);
}

// On the About tab, and in the status bar while the board is simulated.
void WindowView::show_board_source(const std::string& source) {
    const QString text = QString::fromStdString(source);
    window_.settings_tab.LabelBoardSource->setText(text);
    if (!window_.notes_.simulated_board.empty())
        window_.StatusBar1->showMessage(text);
}

// The board and its values as the session read them, in the controls.
void WindowView::show_values() {
    window_.setWindowTitle(
        QString::fromStdString(instance_key() + " (" + window_.board.name + ")") +
        window_.SimulatedTitleSuffix());
    window_.main_tab.ShowFsb(window_.values_read.fsb);
    window_.values_selected.fsb =
        window_.values_read.fsb;  // a position the bar snapped to is not a choice
    window_.ShowSettings();
}

void WindowView::show_presets() {
    window_.autofsb_group.FillPresetList();
}

TickSwitches WindowView::tick_switches() {
    TickSwitches s;
    s.autofan = window_.autofan_group.CheckBoxFANCtl->isChecked();
    s.port80 = window_.sensor_tab.CheckBoxPort80->isChecked();
    s.port80_pair = window_.sensor_tab.ComboBoxPort80->currentIndex() == 1 ? 1 : 0;
    s.down_on_temperature = window_.autofsb_group.CheckBoxTemp->isChecked();
    s.cpu_limit = window_.sensor_tab.CSpinEditCpuLimit->value();
    s.sys_limit = window_.sensor_tab.CSpinEditSysLimit->value();
    s.update_seconds = window_.sensor_tab.CSpinEditSensorUpdate->value();
    return s;
}

void WindowView::port_access_lost() {
    window_.RegainPortAccess();
}

void WindowView::show_readings(const SensorFields& fields) {
    QLineEdit* const shown_in[kSensorMapPairs] = {
        window_.main_tab.SensorTemp,  window_.main_tab.SensorSysTemp, window_.main_tab.SensorVcore,
        window_.main_tab.SensorVdimm, window_.main_tab.SensorVdd,     window_.main_tab.Sensor5V,
        window_.main_tab.Sensor12V,   window_.main_tab.SensorFan1,    window_.main_tab.SensorFan2,
        window_.main_tab.SensorFan3};
    // An item no longer mapped shows that it has no reading, never the last one it had; and
    // a CPU temperature nobody reads is unknown to the controllers, not the last value.
    for (int pair = 0; pair < kSensorMapPairs; ++pair)
        shown_in[pair]->setText(
            fields.text[pair].empty() ? QString("NA") : QString::fromStdString(fields.text[pair]));
}

void WindowView::show_tick() {
    window_.main_tab.DisplayMhz->setText(
        format_rounded(window_.values_applied.fsb * window_.cpu_multiplier));
    window_.main_tab.ShowLoad();
    window_.tray.ShowTrayHint();
}

void WindowView::history_settings() {
    window_.history_tab.ShowStoredSettings();
}

void WindowView::history_started() {
    window_.history_tab.Start();
}

void WindowView::history_changed() {
    window_.history_tab.Changed();
}

void WindowView::show_fsb(int fsb) {
    window_.main_tab.ShowFsb(fsb);
}

void WindowView::show_vcore(double v) {
    window_.main_tab.ShowVcore(v);
}

void WindowView::show_vdimm(double v) {
    window_.main_tab.ShowVdimm(v);
}

void WindowView::stop_timers() {
    window_.StopSensorTimer();
    window_.TimerAutoFSBmax->stop();
    window_.TimerAutoFSBmin->stop();
}

bool WindowView::reset_at_close() {
    return window_.settings_tab.CheckBoxReset->isChecked();
}

// The choices the window's boxes hold, into what the close saves.
void WindowView::keep_choices(SavedSettings& saved) {
    saved.main.reset = window_.settings_tab.CheckBoxReset->isChecked() ? 1 : 0;
    saved.main.minimized = window_.settings_tab.CheckBoxMinimized->isChecked() ? 1 : 0;
    saved.main.down_mt = window_.autofsb_group.CheckBoxTemp->isChecked() ? 1 : 0;
    saved.main.update = window_.sensor_tab.CSpinEditSensorUpdate->value();
    saved.main.port80 = window_.sensor_tab.CheckBoxPort80->isChecked() ? 1 : 0;
    saved.main.port80_type = window_.sensor_tab.ComboBoxPort80->currentIndex() == 1 ? 1 : 0;
    saved.main.autofan_enable = window_.autofan_group.CheckBoxFANCtl->isChecked() ? 1 : 0;
    // Without a board the limits were never shown: what config.ini held stays.
    if (window_.board_number != NO_BOARD) {
        saved.main.cpu_limit = window_.sensor_tab.CSpinEditCpuLimit->value();
        saved.main.sys_limit = window_.sensor_tab.CSpinEditSysLimit->value();
    }
    if (window_.history_tab.settings_shown())
        saved.main.csv_file = window_.history_tab.CsvFileSetting();
    saved.chipset_load = window_.chipset_tab.CheckBoxChipset->isChecked() ? 1 : 0;
}

void WindowView::show_alarm(int item, const std::string& text) {
    const QString shown = QString::fromStdString(text);
    if (window_.tray.TrayIcon1->isVisible())
        window_.tray.TrayIcon1->showMessage("velmora", shown, QSystemTrayIcon::Warning);
    else
        window_.StatusBar1->showMessage(shown);
    QLineEdit* field = alarm_field(window_, item);
    QPalette red = field->palette();
    red.setColor(QPalette::Text, QColor(255, 0, 0));
    field->setPalette(red);
}

void WindowView::clear_alarm(int item) {
    QLineEdit* field = alarm_field(window_, item);
    field->setPalette(field->parentWidget()->palette());
}
