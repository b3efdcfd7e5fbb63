// SPDX-License-Identifier: GPL-2.0-or-later
// The start-up of TMain: the order in which velmora comes up, and what it does when a step
// fails.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>

#include <cerrno>

#include "app/command_line.h"
#include "app/hardware_gate.h"
#include "app/instance.h"
#include "app/long_options.h"
#include "app/privileges.h"
#include "app/prompts.h"
#include "automation/autofan.h"
#include "automation/cpuload.h"
#include "board/fsb.h"
#include "board/vid_chip.h"
#include "board/voltage.h"
#include "diag/debuglog.h"
#include "diag/errortext.h"
#include "gui/main_window.h"
#include "gui/qt_number_text.h"
#include "hw/giveio.h"
#include "hw/port_io.h"
#include "hw/stop_request.h"
#include "platform/platform.h"
#include "support/configfile.h"

namespace {
constexpr const char* kConfigFile = "config.ini";
const char* const kPortAccessRefused =
    "Direct access to the I/O ports was refused.\n"
    "velmora needs root rights or the capability CAP_SYS_RAWIO to reach the board's chips, "
    "for example:\n"
    "  sudo setcap cap_sys_rawio+ep velmora\n"
    "velmora ends now; nothing was changed.";
const char* const kVidChipNotFound = "ATXP1 not found\nVoltage adjustments not working";
const char* const kPortAccessMissing =
    "Direct access to the I/O ports is not available on this system.\n"
    "The kernel has no iopl call (it was built without it, or this is not an x86 machine), "
    "so velmora cannot reach the board's chips here, with root rights or without.\n"
    "velmora ends now; nothing was changed.";
}  // namespace

void TMain::Startup() {
    log_banner();

    // A running copy shows the key in its caption once it has a board; a second copy would
    // fight it over the same chips.
    if (is_already_running(instance_key())) {
        log_already_running();
        std::fprintf(stderr, "velmora: %s\n", already_running_text().c_str());
        current_platform().exit_process(1);
        return;
    }

    if (is_windows_nt()) {
        debug_print("VELMORA: Windows NT/2000/XP detected\n");
        if (!OpenPortsNt())
            return;
    } else if (current_platform().os_family() == OsFamily::Linux) {
        debug_print("VELMORA: Linux detected\n");
        if (!OpenPortsLinux())
            return;
    } else {
        // Windows 9x/ME lets every process use the ports.
        debug_print("VELMORA: Windows 9x/ME detected\n");
        port_backend().set_port_access(true);
    }

    AnnounceBoardSource();

    // A read-out prints what the start read and ends before anything could be written.
    const bool read_out = has_flag(args_, "--read");
    if (InitValues(true)) {
        if (read_out) {
            ReadOut(true);
            return;
        }
        StartServices();
        // The settings shown on the way set status texts of their own: say again which
        // board this is.
        if (!notes_.simulated_board.empty())
            StatusBar1->showMessage(LabelBoardSource->text());
    } else {
        if (read_out) {
            ReadOut(false);
            return;
        }
        ShowWithoutBoard();
    }
    command_line_consumed = true;
}

// On the NT family the giveio driver grants the ports. The simulated board needs no driver.
bool TMain::OpenPortsNt() {
    if (!port_backend().needs_port_grant())
        return true;
    port_access_result = open_giveio();
    if (port_access_result != 0) {
        prompts_.show_refusal(error_text(port_access_result));
        current_platform().exit_process(1);
        return false;
    }
    port_backend().set_port_access(true);
    StatusBar1->showMessage("GiveIO successfully initialized.");
    return true;
}

// On Linux the kernel grants real ports to a process with root rights or CAP_SYS_RAWIO. That
// grant is the only act that needs a capability: the I/O privilege level stays with the
// process (through a suspend too), so every capability goes right after it. Before any SMBus
// transaction the board must pass the gates: no kernel driver on the same chips, and SMBus
// hosts where an nForce2 has them.
bool TMain::OpenPortsLinux() {
    if (!port_backend().needs_port_grant())
        return true;
    Platform& os = current_platform();
    if (!os.grant_port_access()) {
        const uint32_t error = os.last_error();
        debug_print("VELMORA: Direct port access refused (iopl 3): %s\n", system_error_text());
        prompts_.show_refusal(error == ENOSYS ? kPortAccessMissing : kPortAccessRefused);
        os.exit_process(1);
        return false;
    }
    debug_print("VELMORA: Direct port access granted (iopl 3)\n");
    port_backend().set_port_access(true);
    const SmbusHostBases bases = read_smbus_host_bases();
    const std::string dropped = drop_process_privileges();
    if (!dropped.empty())
        debug_print("%s", dropped);
    if (!gate_kernel_drivers(args_, prompts_)) {
        os.exit_process(1);
        return false;
    }
    gate_smbus_hosts(bases, prompts_);
    return true;
}

// Whoever looks at the window or the log must see when the board is only simulated.
void TMain::AnnounceBoardSource() {
    for (const std::string& line : notes_.log_lines)
        debug_print("%s", line);
    if (notes_.simulated_board.empty()) {
        LabelBoardSource->setText("Running on the real board.");
        return;
    }
    debug_print("VELMORA: Simulated board: %s, state in velmora-sim.ini\n", notes_.simulated_board);
    const QString text = "Simulated board: " + QString::fromStdString(notes_.simulated_board) +
                         " (state in velmora-sim.ini)";
    LabelBoardSource->setText(text);
    StatusBar1->showMessage(text);
}

// The stored settings are loaded on every path past the board table, with a board or without:
// the close saves them, and must not save the defaults over what the user set.
bool TMain::InitValues(bool read_hardware) {
    board_count = boards_init(board_list);
    if (board_count == 0) {
        debug_print("VELMORA: Can't initialize boards!\n");
        LoadSettings();
        return false;
    }
    if (smi_init(&smi))
        debug_print("VELMORA: SMI interface available\n");

    // A board chosen before (an earlier pass, or the board list) stays; otherwise config.ini,
    // and only without a stored choice the BIOS.
    if (board_number == NO_BOARD) {
        int32_t stored = NO_BOARD;
        if (configfile_read(kConfigFile, "Main", "Board", nullptr, CONFIG_INT) &&
            read_whole_number("Main", "Board", stored)) {
            board_number = stored;
            // A number past the table would pick a board that does not exist.
            if (stored != NO_BOARD && (stored < 0 || stored >= board_count)) {
                debug_print("VELMORA: Unknown board nr. %d in config.ini, asking the BIOS\n",
                            stored);
                board_number =
                    board_lookup(board_list, board_count, smi.board_info, smi.board_name);
            }
        } else {
            board_number = board_lookup(board_list, board_count, smi.board_info, smi.board_name);
        }
    }
    LoadSettings();
    // After the start the switch says whether AutoFSB runs; what config.ini held before the
    // user switched it must not come back under it (Reset, standby, another board).
    if (autofsb_switch_set_)
        settings.autofsb_enable = TimerAutoFSBmax->isActive() ? 1 : 0;
    // A run that ended without a board stored 255, and a BIOS that names no board of the
    // table: no board.
    if (board_number == NO_BOARD)
        return false;
    board = board_list[board_number];
    // A chip found silent at the last reading stays missing until the hardware is read again.
    if (read_hardware)
        vid_chip_silent = false;
    if (vid_chip_silent)
        board.chip = VidChip{};

    if (board.chip.address == 0 && !vid_chip_silent && !vid_chip_search(board.chip))
        prompts_.show_message(kVidChipNotFound);
    setWindowTitle(QString::fromStdString(instance_key() + " (" + board.name + ")") +
                   SimulatedTitleSuffix());
    debug_print("VELMORA: Board %s nr: %d\n", board.name, board_number);
    LoadSensorMap();

    apply_load_rules(settings, [] { return get_fsb(); });

    if (read_hardware) {
        debug_print("VELMORA: Getting ATXP1-registers\n");
        if (board.chip.address != 0 && vid_chip_read_registers_checked(board.chip).silent()) {
            // A chip that answers none of its registers is not there: with its address the
            // setters would write to whatever else listens, so they get none.
            debug_print("VELMORA: No VID chip answers on bus %d, addr. %d\n", board.chip.bus,
                        board.chip.address);
            vid_chip_silent = true;
            board.chip = VidChip{};
            prompts_.show_message(kVidChipNotFound);
        }
        const uint8_t* mirror = board.chip.registers;
        debug_print("VELMORA: ATXP1: %x,%x,%x,%x\n", mirror[0], mirror[6], mirror[10], mirror[4]);
        read_chipset_settings(&chipset);
        values_read.vcore = vid_to_voltage(vid_chip_current_code(board.chip)) +
                            table_value_of_register(board, board.vcore_add);
        values_read.vdimm = table_value_of_register(board, board.vdimm);
        values_read.vdd = table_value_of_register(board, board.vdd);
        values_read.vagp = table_value_of_register(board, board.vagp);
        // Without a chip no voltage was read: 0 stands for none, as for a rail the board
        // has no control of.
        if (board.chip.address == 0)
            values_read.vcore = values_read.vdimm = values_read.vdd = values_read.vagp = 0.0;
        cpu_multiplier = fid_to_multiplier(chipset.fid);
        values_read.tras = chipset.tras;
        values_read.trcd = chipset.trcd;
        values_read.trp = chipset.trp;
        values_read.fsb = get_fsb();
        values_applied = values_read;
    }
    values_selected = values_read;
    ShowFsb(values_read.fsb);
    values_selected.fsb = values_read.fsb;  // a position the bar snapped to is not a choice
    ShowSettings();
    LoadPresets();
    return true;
}

// The stored settings, each replacing its default only when config.ini has it.
void TMain::LoadSettings() {
    load_main_settings(settings);
    // Only "CPU" (0) and "SYS" (1) exist: any other number would pick a sensor pair that is
    // not there.
    if (settings.port80_type != 0 && settings.port80_type != 1) {
        debug_print("VELMORA: Port80Type %d in config.ini unknown, using CPU\n",
                    settings.port80_type);
        settings.port80_type = 0;
    }
}

// The loaded settings in their controls, in this order. Setting a spin edit raises its change
// handler only when the shown value changes; a list's index raises nothing.
void TMain::ShowSettings() {
    CheckBoxReset->setChecked(settings.reset > 0);
    CheckBoxMinimized->setChecked(settings.minimized != 0);
    CSpinEditLoadUpdate->setValue(settings.load_update);
    const int32_t update = validated_update(settings.update);
    CSpinEditSensorUpdate->setValue(update);
    CheckBoxPort80->setChecked(settings.port80 != 0);
    ComboBoxPort80->setCurrentIndex(settings.port80_type);
    CheckBoxFANCtl->setChecked(settings.autofan_enable != 0);
    CSpinEditCpuLimit->setValue(settings.cpu_limit);
    CSpinEditSysLimit->setValue(settings.sys_limit);
    CheckBoxTemp->setChecked(settings.down_mt > 0);
    EditMaxFSB->setText(format_whole(settings.max_fsb) + " MHz");
    EditMinFSB->setText(format_whole(settings.min_fsb) + " MHz");
    CSpinEditMaxLoad->setValue(settings.max_load);
    CSpinEditMinLoad->setValue(settings.min_load);
    CSpinEditDelayMax->setValue(settings.max_delay);
    CSpinEditDelayMin->setValue(settings.min_delay);
    // A value the box already showed raises no change: the timers take theirs here too.
    TimerAutoFSBmax->setInterval(settings.max_delay * 1000);
    TimerAutoFSBmin->setInterval(settings.min_delay * 1000);
    const int32_t delay = settings.delay_change;
    ComboBoxDelayChange->setCurrentIndex(delay == 1000 ? 1 : delay == 2500 ? 2 : 0);
    CSpinEditMaxTemp->setValue(settings.max_temp);

    DisplayMhz->setText(format_rounded(values_applied.fsb * cpu_multiplier));
    ComboBoxTras->setCurrentIndex(values_read.tras - 1);
    ComboBoxTrcd->setCurrentIndex(values_read.trcd - 1);
    ComboBoxTrp->setCurrentIndex(values_read.trp - 1);
    CheckBoxAutoPC->setChecked(chipset.auto_precharge != 0);
}

void TMain::StartServices() {
    if (!args_.empty() && ParseCommandLine()) {
        // Settings given on the command line are applied and the program ends: no window,
        // nothing saved. A signal that came meanwhile ends it as the signal would have.
        const int stop = stop_requested();
        current_platform().exit_process(stop != 0                ? 128 + stop
                                        : apply_failures.empty() ? kExitApplied
                                                                 : kExitNotApplied);
        return;
    }
    FillMainTab();
    if (!TrayIcon1->isVisible() && !ShowTrayIcon())
        debug_print("VELMORA: Trayicon not available\n");

    DetectSensors();
    // The fan controls AutoFAN can drive, with their settings; without any the group offers
    // nothing. A later pass (another board) lists them afresh.
    const bool fans = autofan_find(&sensor_table(), sensor_count, &autofan_list) > 0;
    if (fans)
        autofan_load(autofan_list);
    GroupBoxFan->setTitle(fans ? "Auto fan control" : "No fan controls found");
    ButtonFANSet->setEnabled(fans);
    CheckBoxFanEnable->setEnabled(fans);
    CSpinEditCtlFAN->setEnabled(fans);
    // A later pass only retunes the running sampler.
    cpuload_start(cpu_load, settings.load_update);

    std::string multiplier;
    if (FindOption("-m", 5, multiplier)) {
        cpu_multiplier = decimal_to_double(multiplier);
        debug_print("VELMORA: Using multiplier from command-line: %f\n", cpu_multiplier);
        ShowCpuClock();
    }
    if (settings.autofsb_enable != 0) {
        CheckBoxAutoFSB->setChecked(true);
        EnableAutoFSB();
    }
    autofsb_switch_set_ = true;
    if (CheckBoxMinimized->isChecked()) {
        MinimizeToTray();
        setWindowState(windowState() | Qt::WindowMinimized);
    }
    Chipset();
}

// Without a board only "Settings", where a board can be picked, and "About" stay.
// The window title says the board is simulated for as long as the window is open; the
// status bar's note gives way to the next status text.
QString TMain::SimulatedTitleSuffix() const {
    if (notes_.simulated_profile < 0)
        return {};
    return QString(" (simulated board, profile %1)").arg(notes_.simulated_profile);
}

void TMain::ShowWithoutBoard() {
    setWindowTitle("velmora" + SimulatedTitleSuffix());
    {
        const QSignalBlocker quiet(PageControl1);
        for (QWidget* sheet : {TabSheet1, TabSheet2, TabSheet4})
            PageControl1->setTabVisible(PageControl1->indexOf(sheet), false);
    }
    if (PageControl1->currentWidget() == TabSheet3) {
        CreateBoardList();
    } else {
        PageControl1->setCurrentWidget(TabSheet3);
    }
}
