// SPDX-License-Identifier: GPL-2.0-or-later
// The BIOS SMI interface and the SMI BIOS sensor: exact port sequences against scripted ports,
// and the simulated boards' BIOSes, also standing in for BIOSes that lack or fail functions.
#include "sensors/smi.h"
#include "sensors/sensor_display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "board/boards.h"
#include "diag/debuglog.h"
#include "helpers/temp_dir.h"
#include "hw/scripted_port_backend.h"
#include "platform/clock.h"
#include "sim/sim_machine.h"

namespace {

constexpr uint8_t kCode = 0xE1;  // the simulated BIOS's function code, as a scripted one
constexpr uint16_t kData = 0x442F, kCmd = 0x442E, kQuery = 0x449F;

uint16_t mailbox(int n) {
    return static_cast<uint16_t>(0x4480 + 4 * n);
}

// Scripts the answers of one conversation with the BIOS and collects the accesses it takes.
struct Conversation {
    ScriptedPortBackend& ports;
    std::vector<PortAccess> expected;

    void read(uint8_t width, uint16_t port, uint32_t value) {
        ports.script[port].push_back(value);
        expected.push_back(in(width, port, value));
    }
    void write(uint8_t width, uint16_t port, uint32_t value) {
        expected.push_back(out(width, port, value));
    }
    // What the mailbox holds between requests: another program's values, put back after each.
    static uint32_t held(int n) { return 0xA0B0C000u + n; }
    void save() {
        for (int n = 0; n < 8; ++n)
            read(4, mailbox(n), held(n));
    }
    void restore() {
        for (int n = 0; n < 8; ++n)
            write(4, mailbox(n), held(n));
    }
    void raise(uint8_t function, uint8_t status) {
        write(1, kData, function);
        write(1, kCmd, kCode);
        read(1, kData, status);
    }
};

class SmiPorts : public ::testing::Test {
  protected:
    SmiPorts() {
        smi_reset_state();
        install_port_backend(&ports);
    }
    ~SmiPorts() override { install_port_backend(nullptr); }

    std::string log() {
        std::string text = read_file(kDebugLogName);
        std::filesystem::remove(kDebugLogName);
        return text;
    }

    TempWorkDir dir;
    ScriptedPortBackend ports;
    Conversation talk{ports, {}};
};

// Registers 2 to 7 as the BIOS fills them: four characters each, the first in the top byte.
std::vector<uint32_t> name_registers(const std::string& text) {
    std::vector<uint32_t> regs;
    for (size_t r = 0; r < 6; ++r) {
        uint32_t reg = 0;
        for (size_t c = 0; c < 4; ++c)
            reg = (reg << 8) | static_cast<uint8_t>(text.at(r * 4 + c));
        regs.push_back(reg);
    }
    return regs;
}

TEST_F(SmiPorts, OpeningAsksVersionAndBoardInsideSavedMailboxes) {
    struct Case {
        uint8_t version_status, info_status;
        uint32_t info;
        std::string name24;  // registers 2 to 7
        int opened;
        const char* name;
        std::string log;
    } const cases[] = {
        {0, 0, 0x00120002, "A7N8X-DLX               ", 1, "A7N8X-DLX",
         "SMI: Board vendor: Asus, version 0x12\nSMI: Board name: A7N8X-DLX\n"},
        {0, 0, 0x00010008, "K7N2 Delta-L ILSR 7A1X Z", 1, "K7N2 Delta-L ILSR 7A1X Z",
         "SMI: Board vendor: Shuttle, version 0x01\nSMI: Board name: K7N2 Delta-L ILSR 7A1X Z\n"},
        // Past the vendor table.
        {0, 0, 0x00000018, "NF7 Series              ", 1, "NF7 Series",
         "SMI: Board vendor: Unknown, version 0x00\nSMI: Board name: NF7 Series\n"},
        {0, 0, 0x000000FF, "X  Y                    ", 1, "X",
         "SMI: Board vendor: Unknown, version 0x00\nSMI: Board name: X\n"},
        // Refusals leave no board behind, not even the one of the case before.
        {0, 0xFE, 0, "", 0, "", "SMI: Failed function: 0x25\n"},
        {0xFF, 0, 0, "", 0, "", "SMI: Invalid function: 0x01\n"},
        {0x42, 0, 0, "", 0, "", "SMI: Unknown return value 42\n"},
    };
    SmiInterface smi;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name24);
        ports.accesses.clear();
        ports.script.clear();
        talk.expected.clear();
        talk.write(1, kQuery, 0x88);
        talk.read(1, kQuery, kCode);
        talk.save();
        talk.raise(0x01, c.version_status);
        std::string head = "SMI: Function code: 0xe1\n";
        if (c.version_status == 0) {
            talk.read(2, mailbox(1), 0x0200);
            talk.restore();
            talk.save();
            talk.raise(0x25, c.info_status);
            head += "SMI: Interface version 0x200\n";
            if (c.info_status == 0) {
                talk.read(4, mailbox(1), c.info);
                const std::vector<uint32_t> regs = name_registers(c.name24);
                for (int r = 0; r < 6; ++r)
                    talk.read(4, mailbox(r + 2), regs[r]);
            }
        }
        talk.restore();

        EXPECT_EQ(smi_init(&smi), c.opened);
        EXPECT_EQ(ports.accesses, talk.expected);
        EXPECT_EQ(log(), head + c.log);
        EXPECT_EQ(smi.function_code, kCode);
        EXPECT_EQ(smi.board_info, c.info);
        EXPECT_STREQ(smi.board_name, c.name);
        EXPECT_STREQ(smi.vendor_name, c.opened ? smi_vendor_name(c.info) : "Not Supported");
    }
}

TEST_F(SmiPorts, RequestsArgumentsAndTheMultiplierPlace) {
    SmiInterface smi;
    smi.function_code = kCode;

    // An argument travels in register 1, which the restore puts back.
    talk.save();
    talk.write(4, mailbox(1), 0x0080);
    talk.raise(0x08, 0);
    talk.restore();
    EXPECT_EQ(smi_call_with_arg(&smi, 0x08, 0x80), 1);
    EXPECT_EQ(ports.accesses, talk.expected);

    // The multiplier: supported, not supported, the request refused. A refused request
    // touches neither the results nor the CMOS.
    struct Case {
        uint8_t status;
        uint32_t reg7;
        int cmos;  // the CMOS byte read, -1 none
        uint8_t multi;
        const char* log;
    } const cases[] = {
        {0, 0x0F5D0000, 0x3D, 0x0D, ""},
        {0, 0x00FF0000, -1, 0xFF, "SMI: smi_get_multi: Not supported\n"},
        {0xFE, 0, -1, 0xFF, "SMI: Failed function: 0x27\nSMI: smi_get_multi() failed\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.log);
        std::fill(std::begin(smi.results), std::end(smi.results), 0x11111111u);
        ports.accesses.clear();
        talk.expected.clear();
        log();
        talk.save();
        talk.raise(0x27, c.status);
        if (c.status == 0)
            for (int n = 0; n < 8; ++n)
                talk.read(4, mailbox(n), n == 7 ? c.reg7 : n);
        talk.restore();
        if (c.cmos >= 0) {
            talk.write(1, 0x70, 0x5D);
            talk.read(1, 0x71, c.cmos);
        }
        EXPECT_EQ(smi_get_multi(&smi), c.multi);
        EXPECT_EQ(ports.accesses, talk.expected);
        EXPECT_EQ(log(), c.log);
        EXPECT_EQ(smi.results[7], c.status == 0 ? c.reg7 : 0x11111111u);
    }

    ports.accesses.clear();
    EXPECT_EQ(cmos_read(0x80), 0);
    EXPECT_EQ(cmos_read(0xFF), 0);
    EXPECT_TRUE(ports.accesses.empty());
}

// The simulated boards, their BIOSes edited through the state file where a test needs a BIOS
// that lacks or fails functions or reports another identity.
class SmiSim : public ::testing::Test {
  protected:
    SmiSim() {
        smi_reset_state();
        install_clock(&clock);
    }
    ~SmiSim() override {
        install_port_backend(nullptr);
        install_clock(nullptr);
    }

    SimMachine& boot(int profile, const std::string& bios_keys = "") {
        machine = std::make_unique<SimMachine>(*sim_profile(profile));
        machine->set_cpu_load(0.0);
        install_port_backend(machine.get());
        if (!bios_keys.empty()) {
            std::string text = machine->state_text();
            const size_t at = text.find("[BIOS_SMI]\r\n");
            EXPECT_NE(at, std::string::npos);
            text.insert(at + 12, bios_keys);  // a key given twice would be a problem
            for (const char* key :
                 {"invalid_functions=", "failed_functions=", "vendor=", "board="}) {
                if (bios_keys.find(key) == std::string::npos)
                    continue;
                const size_t old = text.find(std::string("\r\n") + key, at + 12 + bios_keys.size());
                text.erase(old + 2, text.find("\r\n", old + 2) + 2 - (old + 2));
            }
            SimLoadReport report;
            machine->load_state_text(text, report);
            EXPECT_EQ(report.problems, std::vector<std::string>{});
        }
        std::filesystem::remove(kDebugLogName);
        return *machine;
    }
    std::tuple<int, int, int, int> counts() const {
        return {slot.temperature_count, slot.voltage_count, slot.fan_count, slot.control_count};
    }
    std::string log() {
        std::string text = read_file(kDebugLogName);
        std::filesystem::remove(kDebugLogName);
        return text;
    }

    TempWorkDir dir;
    VirtualClock clock;
    std::unique_ptr<SimMachine> machine;
    Sensor slot{};
};

TEST_F(SmiSim, EveryProfileIsIdentifiedByWhatItsBiosReports) {
    std::vector<Board> list;
    const int count = boards_init(list);
    for (int n = 0; n < kSimProfileCount; ++n) {
        SCOPED_TRACE(n);
        boot(n);
        SmiInterface smi;
        EXPECT_EQ(smi_init(&smi), n == 14 ? 0 : 1);
        EXPECT_EQ(board_lookup(list, count, smi.board_info, smi.board_name), n);
        if (n == 14) {
            EXPECT_EQ(smi.board_info, 0u);
            EXPECT_STREQ(smi.board_name, "");
            EXPECT_EQ(log(), "SMI: Function code: 0xff\nSMI: Invalid function: 0x01\n");
        }
    }
    // Another BIOS's identity: a vendor past the table and a full 24-character name.
    boot(12, "vendor=0x30\r\nboard=SN45G V2 X Y Z 1 2 3 4\r\n");
    SmiInterface smi;
    ASSERT_EQ(smi_init(&smi), 1);
    EXPECT_STREQ(smi.vendor_name, "Unknown");
    EXPECT_STREQ(smi.board_name, "SN45G V2 X Y Z 1 2 3 4");
    EXPECT_EQ(board_lookup(list, count, smi.board_info, smi.board_name), NO_BOARD);
}

TEST_F(SmiSim, TheShuttleBiosReportsItsSensorsAndTakesItsDuties) {
    SimMachine& m = boot(12);
    ASSERT_EQ(smi_sensor_detect(&slot), 1);
    EXPECT_STREQ(slot.name, "SMI BIOS sensor");
    EXPECT_EQ(slot.type, SENSOR_SMI);
    EXPECT_EQ(counts(), std::tuple(2, 5, 2, 3));
    EXPECT_EQ(log(),
              "SMI: Function code: 0xe1\nSMI: Interface version 0x200\n"
              "SMI: Board vendor: Shuttle, version 0x00\nSMI: Board name: SN45G\n"
              "SENSOR_SMI: CPU temp sensor: Die\n");
    const uint8_t kinds[3] = {slot.controls[0].kind, slot.controls[1].kind, slot.controls[2].kind};
    EXPECT_EQ(std::vector<uint8_t>(kinds, kinds + 3),
              (std::vector<uint8_t>{CONTROL_PWM, CONTROL_PWM, CONTROL_FAN_ENABLE}));
    EXPECT_STREQ(slot.controls[0].description,
                 "Fan speed control PWM value (0-255):\n0   = off\n255 = full speed");
    EXPECT_STREQ(slot.controls[1].description, slot.controls[0].description);
    EXPECT_STREQ(slot.controls[2].description, "Enable software fan control");
    // A second detection (a board change) counts afresh.
    ASSERT_EQ(smi_sensor_detect(&slot), 1);
    EXPECT_EQ(counts(), std::tuple(2, 5, 2, 3));
    log();

    smi_sensor_read();
    const SimWorld& w = m.world();
    ASSERT_GT(w.cpu_temp_c, w.sys_temp_c + 1.0);  // so swapped channels show
    EXPECT_EQ(slot.temperatures[0], std::lround(w.cpu_temp_c));
    EXPECT_EQ(slot.temperatures[1], std::lround(w.sys_temp_c));
    // Raw BIOS counts: 16 mV for the low rails, the 5 V and 12 V inputs at their dividers.
    const double steps[5] = {0.016, 0.016, 0.016, 0.02688, 0.0608};
    const double rails[5] = {w.vcore, w.vdimm, w.vdd, w.v5, w.v12};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(slot.voltages[i], std::lround(rails[i] / steps[i])) << i;
    EXPECT_GT(slot.fans[0], 0);
    for (int f = 0; f < 2; ++f) {
        EXPECT_EQ(slot.fans[f], std::lround(w.fan_rpm[f])) << f;
        EXPECT_EQ(slot.controls[f].value, w.fan_duty[f]) << f;
    }

    // Software control off: nothing is sent, and that is said once.
    slot.controls[0].value = 0x40;
    slot.controls[1].value = 0x90;
    smi_sensor_write();
    smi_sensor_write();
    EXPECT_EQ(w.fan_duty[0], 255);
    EXPECT_EQ(log(), "SENSOR_SMI: Software fan control off, PWM not written\n");
    slot.controls[2].value = 1;
    smi_sensor_write();
    EXPECT_EQ(std::tuple(w.fan_duty[0], w.fan_duty[1]), std::tuple(0x40, 0x90));
    EXPECT_EQ(log(), "");
    smi_sensor_read();
    EXPECT_EQ(std::tuple(slot.controls[0].value, slot.controls[1].value), std::tuple(0x40, 0x90));

    // The same BIOS on a board with a sensor in the socket says so.
    SimProfile socket = *sim_profile(12);
    socket.smi_cpu_temp_on_die = false;
    SimMachine other(socket);
    install_port_backend(&other);
    smi_reset_state();
    ASSERT_EQ(smi_sensor_detect(&slot), 1);
    EXPECT_NE(log().find("SENSOR_SMI: CPU temp sensor: Socket\n"), std::string::npos);
    install_port_backend(machine.get());
}

TEST_F(SmiSim, AFailedRequestKeepsTheChannelsLastReading) {
    // Everything answers at detection and the first read, then nothing does.
    boot(12);
    ASSERT_EQ(smi_sensor_detect(&slot), 1);
    smi_sensor_read();
    const std::vector<double> volts(slot.voltages, slot.voltages + 5);
    const auto readings = [&] {
        return std::tuple(slot.temperatures[0], slot.temperatures[1], slot.fans[0], slot.fans[1],
                          slot.controls[0].value, slot.controls[1].value);
    };
    const auto before = readings();
    const int8_t cpu = slot.temperatures[0];
    std::string text = machine->state_text();
    const std::string empty = "failed_functions=\r\n";
    text.replace(text.find(empty), empty.size(), "failed_functions=12 13 24 02 06 03 07\r\n");
    SimLoadReport report;
    machine->load_state_text(text, report);
    log();
    smi_sensor_read();
    EXPECT_EQ(readings(), before);
    EXPECT_EQ(std::vector<double>(slot.voltages, slot.voltages + 5), volts);
    EXPECT_EQ(log(),
              "SMI: Failed function: 0x12\nSMI: Failed function: 0x13\n"
              "SMI: Failed function: 0x24\nSMI: Failed function: 0x02\n"
              "SMI: Failed function: 0x06\nSMI: Failed function: 0x03\n"
              "SMI: Failed function: 0x07\n");

    // A BIOS that answers 0x13 but not 0x12: one temperature, read as channel 0 with 0x12,
    // which fails and so never shows another function's answer.
    smi_reset_state();
    boot(12, "invalid_functions=12\r\n");
    ASSERT_EQ(smi_sensor_detect(&slot), 1);
    EXPECT_EQ(counts(), std::tuple(1, 5, 2, 3));
    smi_sensor_read();
    EXPECT_EQ(slot.temperatures[0], 0);
    EXPECT_NE(cpu, 0);
    EXPECT_NE(log().find("SMI: Invalid function: 0x12\n"), std::string::npos);
    // Never answered is no reading: "NA" on the main tab and nothing for port 80h, not 0.
    SensorTable table{};
    table.sensors[0] = slot;
    table.count = 1;
    SensorMap map{};
    map.bytes[0] = SENSOR_SMI;
    map.bytes[2 * 5] = SENSOR_SMI;  // 5V: the voltages answer
    map.bytes[2 * 5 + 1] = 1;
    const SensorFields fields = sensor_fields(table, map);
    EXPECT_EQ(fields.text[0], "NA");
    EXPECT_FALSE(fields.have_cpu_temperature);
    EXPECT_NE(fields.text[5], "NA");
    int t = -1;
    EXPECT_FALSE(sensor_pair_temperature(table, map, 0, &t));
}

TEST_F(SmiSim, TheSwitchReachesOnlyThePwmsTheBiosOffers) {
    struct Case {
        const char* bios;
        int controls;
        uint8_t duty0, duty1;  // after writing 0x40 and 0x90 with the switch on
        std::string on_log;    // of the first write with the switch on
    } const cases[] = {
        {"invalid_functions=07\r\n", 3, 0x40, 255,
         "SENSOR_SMI: PWM 2 not offered by the BIOS, not written\n"},
        {"invalid_functions=03\r\n", 3, 255, 0x90,
         "SENSOR_SMI: PWM 1 not offered by the BIOS, not written\n"},
        {"failed_functions=08\r\n", 3, 0x40, 255, "SMI: Failed function: 0x08\n"},
        {"invalid_functions=03 07\r\n", 0, 255, 255, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bios);
        smi_reset_state();
        const SimWorld& w = boot(12, c.bios).world();
        ASSERT_EQ(smi_sensor_detect(&slot), 1);
        ASSERT_EQ(slot.control_count, c.controls);
        log();
        slot.controls[0].value = 0x40;
        slot.controls[1].value = 0x90;
        slot.controls[2].value = 1;
        smi_sensor_write();
        EXPECT_EQ(std::tuple(w.fan_duty[0], w.fan_duty[1]), std::tuple(c.duty0, c.duty1));
        EXPECT_EQ(log(), c.on_log);
        if (c.controls == 0)
            continue;
        // Said once while the switch stays on; off is said once too; on again says it anew.
        smi_sensor_write();
        const std::string again = log();
        EXPECT_EQ(again.find("not offered"), std::string::npos);
        slot.controls[2].value = 0;
        smi_sensor_write();
        smi_sensor_write();
        EXPECT_EQ(log(), "SENSOR_SMI: Software fan control off, PWM not written\n");
        slot.controls[2].value = 1;
        smi_sensor_write();
        EXPECT_EQ(log(), c.on_log);
    }
}

}  // namespace
