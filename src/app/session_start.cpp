// SPDX-License-Identifier: GPL-2.0-or-later
// The start of a session: the port grant, the board and the values it holds. The window and a
// run without a window start the same way.
#include <cerrno>
#include <cstdio>

#include "app/instance.h"
#include "app/kernel_access.h"
#include "app/privileges.h"
#include "app/prompts.h"
#include "app/session.h"
#include "app/shipped_files.h"
#include "automation/presets_file.h"
#include "board/fsb.h"
#include "board/vid_chip.h"
#include "board/voltage.h"
#include "diag/debuglog.h"
#include "diag/errortext.h"
#include "hw/giveio.h"
#include "hw/kernel_io.h"
#include "hw/port_io.h"
#include "platform/platform.h"
#include "sensors/sensor_map.h"
#include "sensors/standby.h"
#include "support/configfile.h"

namespace {
constexpr const char* kConfigFile = "config.ini";
// A gap between two ticks longer than this is a standby (the clock counts suspended time).
constexpr uint32_t kStandbyGapSeconds = 120;
const char* const kPortAccessRefused =
    "Direct access to the I/O ports was refused.\n"
    "velmora needs root rights to reach the board's chips, or these capabilities: "
    "CAP_SYS_RAWIO for the ports, CAP_SYS_ADMIN and CAP_DAC_OVERRIDE for the chipset's "
    "configuration files, for example:\n"
    "  sudo setcap cap_sys_rawio,cap_sys_admin,cap_dac_override+ep velmora\n"
    "velmora ends now; nothing was changed.";
const char* const kVidChipNotFound = "ATXP1 not found\nVoltage adjustments not working";
const char* const kPortAccessMissing =
    "Direct access to the I/O ports is not available on this system.\n"
    "The kernel has no ioperm call (it was built without it, or this is not an x86 machine), "
    "so velmora cannot reach the board's chips here, with root rights or without.\n"
    "velmora ends now; nothing was changed.";
}  // namespace

Session::Started Session::Start() {
    log_banner();
    // A running copy shows the key in its caption once it has a board; a second copy would
    // fight it over the same chips.
    if (is_already_running(instance_key())) {
        log_already_running();
        std::fprintf(stderr, "velmora: %s\n", already_running_text().c_str());
        current_platform().exit_process(1);
        return Started::Ended;
    }
    if (!OpenPorts())
        return Started::Ended;
    // Whoever looks at the window or the log must see when the board is only simulated.
    LogBoardSource();
    view_.show_board_source(BoardSourceText());
    return InitValues(true) ? Started::WithBoard : Started::WithoutBoard;
}

bool Session::InitValues(bool read_hardware) {
    if (!ReadBoard(read_hardware))
        return false;
    view_.show_values();
    preset_load(kPresetFile);
    view_.show_presets();
    return true;
}

void Session::RegainPortAccess() {
    std::string failure;
    try {
        failure = regain_port_access(&port_access_result, kernel_access.port_ranges);
        if (failure.empty()) {
            debug_print("VELMORA: Re-init GiveIO after standby done.\n");
            InitValues(true);
            return;
        }
    } catch (const PortAccessLost&) {
        failure = "I/O port access lost";
    }
    debug_print("VELMORA: Re-init GiveIO after standby failed.\n");
    prompts_.show_refusal(failure);
    current_platform().exit_process(1);
}

bool Session::StandbyDetected() {
    if (!standby_detect(kStandbyGapSeconds))
        return false;
    debug_print("VELMORA: Standby detected\n");
    return true;
}

bool Session::OpenPorts() {
    if (is_windows_nt()) {
        debug_print("VELMORA: Windows NT/2000/XP detected\n");
        // On the NT family the giveio driver grants the ports. The simulated board needs no
        // driver.
        if (!port_backend().needs_port_grant())
            return true;
        port_access_result = open_giveio();
        if (port_access_result != 0) {
            prompts_.show_refusal(error_text(port_access_result));
            current_platform().exit_process(1);
            return false;
        }
        port_backend().set_port_access(true);
        view_.show_status("GiveIO successfully initialized.");
        return true;
    }
    if (current_platform().os_family() != OsFamily::Linux) {
        // Windows 9x/ME lets every process use the ports.
        debug_print("VELMORA: Windows 9x/ME detected\n");
        port_backend().set_port_access(true);
        return true;
    }
    debug_print("VELMORA: Linux detected\n");
    // On Linux the kernel grants real ports to a process with root rights or CAP_SYS_RAWIO.
    // Beside the kernel's drivers velmora takes what the kernel offers (the config files, the
    // i2c-dev nodes) while it still holds its privileges: a config file opened later shows
    // only 64 bytes. Then every capability goes. The simulated board needs no grant; with a
    // made-up kernel tree it meets the same drivers.
    // Only the ports velmora reaches itself are granted, once the owners are known: a stray
    // access to another driver's port then faults instead of cutting into its work.
    Platform& os = current_platform();
    const bool real_ports = port_backend().needs_port_grant();
    if (kernel_installed())
        kernel_access = take_kernel_access(HasArg("--ignore-kernel-drivers"));
    if (real_ports) {
        const std::string ranges = port_ranges_text(kernel_access.port_ranges);
        if (!os.grant_port_access(kernel_access.port_ranges)) {
            const uint32_t error = os.last_error();
            debug_print("VELMORA: Direct port access refused (ioperm %s): %s\n", ranges,
                        system_error_text());
            prompts_.show_refusal(error == ENOSYS ? kPortAccessMissing : kPortAccessRefused);
            os.exit_process(1);
            return false;
        }
        debug_print("VELMORA: Direct port access granted (ioperm %s)\n", ranges);
        port_backend().set_port_access(true);
    }
    if (real_ports) {
        const std::string dropped = drop_process_privileges();
        if (!dropped.empty())
            debug_print("%s", dropped);
    }
    for (const std::string& message : kernel_access.messages)
        prompts_.show_message(message);
    return true;
}

bool Session::HasArg(const std::string& option) const {
    for (const std::string& a : args_)
        if (a == option)
            return true;
    return false;
}

// Whoever looks at the window or the log must see when the board is only simulated.
std::string Session::BoardSourceText() const {
    if (notes_.simulated_board.empty())
        return "Running on the real board.";
    return "Simulated board: " + notes_.simulated_board + " (state in velmora-sim.ini)";
}

void Session::LogBoardSource() {
    for (const std::string& line : notes_.log_lines)
        debug_print("%s", line);
    if (!notes_.simulated_board.empty())
        debug_print("VELMORA: Simulated board: %s, state in velmora-sim.ini\n",
                    notes_.simulated_board);
}

// The stored settings are loaded on every path past the board table, with a board or without:
// the close saves them, and must not save the defaults over what the user set.
bool Session::ReadBoard(bool read_hardware) {
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
        settings.autofsb_enable = view_.autofsb_running() ? 1 : 0;
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

    if (!vid_chip_silent && VidChipHeldByKernel()) {
        vid_chip_silent = true;
        board.chip = VidChip{};
    } else if (board.chip.address == 0 && !vid_chip_silent && !vid_chip_search(board.chip)) {
        prompts_.show_message(kVidChipNotFound);
    }
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
        } else if (board.chip.address != 0 && !board.chip.identified &&
                   !vid_chip_identify(board.chip)) {
            // Another device at the chip's address: the voltage bytes would land in it.
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
    return true;
}

bool Session::VidChipHeldByKernel() {
    std::vector<std::pair<uint8_t, uint8_t>> places;  // bus, address
    if (board.chip.address != 0)
        places.push_back({board.chip.bus, board.chip.address});
    else
        for (uint8_t address :
             {VID_CHIP_MS3_ADDRESS, VID_CHIP_ATXP1_ADDRESS_A, VID_CHIP_ATXP1_ADDRESS_B})
            for (uint8_t bus = 0; bus < 2; ++bus)
                places.push_back({bus, address});
    for (const auto& [bus, address] : places) {
        const std::string refusal = vid_chip_driver_refusal(kernel_access, bus, address);
        if (refusal.empty())
            continue;
        debug_print("VELMORA: VID chip on bus %d, addr. %d held by a kernel driver: no voltages\n",
                    bus, address);
        prompts_.show_message(refusal);
        return true;
    }
    return false;
}

void Session::LoadSettings() {
    load_main_settings(settings);
    // Only "CPU" (0) and "SYS" (1) exist: any other number would pick a sensor pair that is
    // not there.
    if (settings.port80_type != 0 && settings.port80_type != 1) {
        debug_print("VELMORA: Port80Type %d in config.ini unknown, using CPU\n",
                    settings.port80_type);
        settings.port80_type = 0;
    }
}

void Session::LoadSensorMap() {
    if (sensormap_load(kUserSensorMapFile, &sensor_map, board_number)) {
        debug_print("VELMORA: Loaded sensor definitions from sensor.ini\n");
        return;
    }
    const std::string shipped = shipped_file_path(kShippedSensorMapFile, program_folder());
    if (sensormap_load(shipped.c_str(), &sensor_map, board_number))
        debug_print("VELMORA: Loaded sensor definitions from sensormap.ini\n");
}
