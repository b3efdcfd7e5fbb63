// SPDX-License-Identifier: GPL-2.0-or-later
// The state-file keys that make the simulated board try the sensor drivers: monitor chip ids
// the drivers do not know, the POST display's write count, a pinned CPU load and an LM90 that
// stops answering. Each is checked through velmora's own drivers where they are the point.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/debuglog.h"
#include "helpers/fake_platform.h"
#include "helpers/temp_dir.h"
#include "hw/port_io.h"
#include "platform/clock.h"
#include "sensors/ite.h"
#include "sensors/lm90.h"
#include "sensors/port80.h"
#include "sensors/sensor.h"
#include "sensors/winbond.h"
#include "sim/post_display.h"
#include "sim/sim_machine.h"

namespace {

// The state text with `key` of `section` replaced by `value`, or removed when it is null.
std::string edited(std::string text, const std::string& section, const std::string& key,
                   const char* value) {
    const size_t start = text.find("[" + section + "]\r\n");
    EXPECT_NE(start, std::string::npos) << section;
    auto section_end = [&] {
        const size_t blank = text.find("\r\n\r\n", start);
        return blank == std::string::npos ? text.size() : blank + 2;
    };
    const size_t at = text.find("\r\n" + key + "=", start);
    if (at < section_end())
        text.erase(at + 2, text.find("\r\n", at + 2) + 2 - (at + 2));
    if (value)
        text.insert(section_end(), key + "=" + value + "\r\n");
    return text;
}

class SimVariants : public ::testing::Test {
  protected:
    SimVariants() {
        install_clock(&clock);
        sensors_reset_state();
        winbond_reset_state();
        ite_reset_state();
        lm90_reset_state();
        port80_reset_state();
    }
    ~SimVariants() override {
        install_port_backend(nullptr);
        install_clock(nullptr);
    }
    // A board of the profile loaded from its own state text after `edit`.
    SimMachine& load(int profile, const std::string& section, const std::string& key,
                     const char* value, std::vector<std::string>& problems) {
        SimMachine fresh(*sim_profile(profile));
        fresh.set_cpu_load(0.0);
        machine = std::make_unique<SimMachine>(*sim_profile(profile));
        SimLoadReport report;
        machine->load_state_text(edited(fresh.state_text(), section, key, value), report);
        problems = report.problems;
        install_port_backend(machine.get());
        return *machine;
    }

    TempWorkDir dir;
    VirtualClock clock;
    std::unique_ptr<SimMachine> machine;
};

TEST_F(SimVariants, AnotherChipIdInTheStateFileTakesTheDriversUnknownChipPath) {
    struct Case {
        int profile;
        const char* section;
        const char* chip_id;  // null: the key removed, as in older files
        std::vector<std::string> problems;
        int found;
        const char* first;  // name of sensor 0
        std::string log;    // the detection's lines
        const char* saved;  // the key as the next save writes it
    };
    const std::string port80 = "PORT80: Initialized\n";
    // clang-format off
    const Case cases[] = {
        {7, "W83627HF", "0x40", {}, 2, "PORT80",
         "WINBOND: Unknown CHIPID 40\nITE: Unknown CHIPID 40\n" + port80, "chip_id=0x40"},
        {2, "W83782D", "0x31", {}, 2, "PORT80",
         "WINBOND: Unknown CHIPID 31\nITE: Unknown CHIPID 31\n" + port80, "chip_id=0x31"},
        {11, "IT8712F", "0x87", {}, 2, "PORT80", "ITE: Unknown CHIPID 87\n" + port80,
         "chip_id=0x87"},
        {7, "W83627HF", nullptr, {}, 3, "W83627HF",
         "WINBOND: Found a W83627HF\nITE: Unknown CHIPID 21\n" + port80, "chip_id=0x21"},
        {11, "IT8712F", nullptr, {}, 3, "ITE8712F", "ITE: Found a ITE8712\n" + port80,
         "chip_id=0x90"},
        {2, "W83782D", "0x130", {"W83782D: chip_id invalid, the chip's own id used"}, 3,
         "W83782D", "WINBOND: Found a W83782D\nITE: Unknown CHIPID 30\n" + port80,
         "chip_id=0x30"},
    };
    // clang-format on
    for (const Case& c : cases) {
        const std::string what = std::to_string(c.profile) + " " + (c.chip_id ? c.chip_id : "-");
        std::vector<std::string> problems;
        SimMachine& m = load(c.profile, c.section, "chip_id", c.chip_id, problems);
        EXPECT_EQ(problems, c.problems) << what;
        std::remove(kDebugLogName);
        SensorTable table{};
        EXPECT_EQ(sensors_detect(&table), c.found) << what;
        EXPECT_STREQ(table.sensors[0].name, c.first) << what;
        // The monitor's lines come first; the BIOS's SMI sensor (found, with no inputs) last.
        const std::string log = read_file(kDebugLogName);
        EXPECT_EQ(log.rfind(c.log + "SMI: Function code: 0xe1\n", 0), 0u) << what << log;
        EXPECT_NE(log.find("SENSOR: Found " + std::to_string(c.found) + " sensor(s)\n"),
                  std::string::npos)
            << what;
        EXPECT_NE(m.state_text().find(std::string(c.saved) + "\r\n"), std::string::npos) << what;
        EXPECT_TRUE(m.world().faults.empty()) << what;
    }
}

// A case fan on the fan-3 header of one Winbond and one ITE board: its counter, divisor and
// conversion are read like the other two fans'.
TEST_F(SimVariants, TheThirdFanIsReadOnAWinbondAndAnIteBoard) {
    for (int profile : {7, 1}) {
        SimMachine m(*sim_profile(profile));
        install_port_backend(&m);
        SensorTable table{};
        sensors_detect(&table);
        sensors_read_all(&table);
        // The ITE runs it under its own automatic control at power-on: slower than full.
        EXPECT_GT(m.world().fan_rpm[2], 800.0) << profile;
        EXPECT_NEAR(table.sensors[0].fans[2], m.world().fan_rpm[2], m.world().fan_rpm[2] * 0.03)
            << profile;
        EXPECT_TRUE(m.world().faults.empty()) << profile;
    }
}

// A Winbond that answers 0x90 as its chip id (a W83627THF) is no IT8712F; and an IT8712F
// whose BIOS left its fan control broken offers no fan control and gets no fan register
// written, whatever AutoFAN would ask.
TEST_F(SimVariants, NoWinbondIsTakenForAnIteAndABrokenIteFanControlIsLeftAlone) {
    std::vector<std::string> problems;
    load(7, "W83627HF", "chip_id", "0x90", problems);
    SensorTable table{};
    sensors_detect(&table);
    for (int i = 0; i < table.count; ++i)
        EXPECT_NE(table.sensors[i].type, SENSOR_ITE);
    sensors_read_all(&table);
    sensors_write_controls(&table);
    EXPECT_TRUE(machine->world().faults.empty()) << machine->world().faults.front();

    ite_reset_state();
    load(1, "IT8712F", "address", "0x00", problems);
    port_out8(0x14, 0x295);
    port_out8(0x70, 0x296);  // fans off in on/off mode, polarity active low
    const auto fan_registers = [] {
        std::vector<int> r;
        for (uint8_t reg = 0x13; reg <= 0x17; ++reg) {
            port_out8(reg, 0x295);
            r.push_back(port_in8(0x296));
        }
        return r;
    };
    const std::vector<int> before = fan_registers();
    SensorTable ite{};
    sensors_detect(&ite);
    ASSERT_EQ(ite.sensors[0].type, SENSOR_ITE);
    EXPECT_EQ(ite.sensors[0].control_count, 0);
    for (SensorControl* c = ite.sensors[0].controls; c < ite.sensors[0].controls + 4; ++c)
        c->value = c->kind == CONTROL_FAN_ENABLE ? 1 : 127;
    sensors_write_controls(&ite);
    EXPECT_EQ(fan_registers(), before);
    EXPECT_TRUE(machine->world().faults.empty()) << machine->world().faults.front();
}

// The readings as the chips count: 16-bit counters with a divisor of 2 whatever 0x0B holds,
// fan 3's divisor from bit 6 alone, and a fast fan at its full speed.
TEST_F(SimVariants, TheIteFansReadAsTheChipCountsThem) {
    SimMachine m(*sim_profile(1));
    install_port_backend(&m);
    const double rpm[3] = {12000.0, 2400.0, 6000.0};
    for (int fan = 0; fan < 3; ++fan)
        m.world().fan_max_rpm[fan] = m.world().fan_rpm[fan] = rpm[fan];
    SensorTable table{};
    sensors_detect(&table);
    const struct {
        uint8_t div, wide;  // 0x0B and 0x0C
    } cases[] = {
        {0x12, 0x07},  // all 16-bit: divisor 2, not 0x0B's 4, 4 and 2
        {0x24, 0x02},  // fan 1 8-bit with divisor 16 (a fast fan); fan 3 divisor 2: no bit 6
    };
    for (const auto& c : cases) {
        for (const auto& [reg, value] : {std::pair<uint8_t, uint8_t>{0x0B, c.div},
                                         {0x0C, c.wide},
                                         {0x15, 0x7F},
                                         {0x16, 0x7F},
                                         {0x17, 0x7F}}) {
            port_out8(reg, 0x295);
            port_out8(value, 0x296);
        }
        sensors_read_all(&table);
        for (int fan = 0; fan < 3; ++fan)
            EXPECT_NEAR(table.sensors[0].fans[fan], rpm[fan], rpm[fan] * 0.02)
                << "0x0B " << int(c.div) << " fan " << fan + 1;
    }
    EXPECT_TRUE(m.world().faults.empty());
}

// An LM99 answers the LM90's maker id and reads the CPU 16 degrees low: taken for what it is,
// its reading is the CPU's.
TEST_F(SimVariants, AnLm99ReadsTheCpuAsItIs) {
    std::vector<std::string> problems;
    SimMachine& m = load(4, "LM90", "chip_id", "0x31", problems);
    EXPECT_TRUE(problems.empty());
    m.world().cpu_temp_c = 52.0;
    Sensor slot{};
    ASSERT_EQ(lm90_detect(&slot), 1);
    lm90_read();
    EXPECT_EQ(slot.temperatures[0], 52);
    EXPECT_NE(read_file(kDebugLogName).find("LM90: Found an LM99 (rev: 31) on Bus 1"),
              std::string::npos);
}

TEST_F(SimVariants, TheIteDriverReadsADisabledTachometerAsAStoppedFan) {
    SimMachine m(*sim_profile(11));
    install_port_backend(&m);
    SensorTable table{};
    ASSERT_EQ(sensors_detect(&table), 3);  // with the SMI sensor
    sensors_read_all(&table);
    const Sensor& ite = table.sensors[0];
    EXPECT_NEAR(ite.fans[0], m.world().fan_rpm[0], 50);
    EXPECT_GT(ite.fans[0], 1000);
    port_out8(0x13, 0x295);
    port_out8(0x57, 0x296);  // tachometer 2 off
    sensors_read_all(&table);
    EXPECT_NEAR(ite.fans[0], m.world().fan_rpm[0], 50);
    EXPECT_EQ(ite.fans[1], 0);
    EXPECT_GT(m.world().fan_rpm[1], 1000);  // the fan itself still runs
}

TEST_F(SimVariants, ThePostDisplaysWriteCountIsKeptInTheStateFile) {
    struct Case {
        const char* writes;  // null: removed
        uint32_t loaded;
        std::vector<std::string> problems;
    };
    const Case cases[] = {
        {"3", 3, {}},
        {nullptr, 0, {}},
        {"-1", 0, {"PORT80: writes invalid, power-on value used"}},
        {"4294967296", 0, {"PORT80: writes invalid, power-on value used"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> problems;
        SimMachine& m = load(7, "PORT80", "writes", c.writes, problems);
        EXPECT_EQ(problems, c.problems) << (c.writes ? c.writes : "-");
        EXPECT_EQ(m.port80().write_count(), c.loaded) << (c.writes ? c.writes : "-");
    }
    // A write is a change the board saves by itself; the count and the last byte go with it.
    std::vector<std::string> problems;
    SimMachine& m = load(7, "PORT80", "writes", "3", problems);
    m.save_to("auto.ini");
    clock.advance(2000);
    port_in8(0x80);  // saves the load
    clock.advance(2000);
    port_out8(0x52, 0x80);
    port_out8(0xFF, 0x80);
    EXPECT_NE(read_file("auto.ini").find("[PORT80]\r\ndisplay=0x52\r\nwrites=4\r\n"),
              std::string::npos);
    EXPECT_NE(m.state_text().find("[PORT80]\r\ndisplay=0xff\r\nwrites=5\r\n"), std::string::npos);
}

TEST_F(SimVariants, APinnedLoadInTheStateFileHoldsTheCpuLoadWhateverTheHostDoes) {
    FakePlatform os;
    ScopedPlatform installed(os);
    os.system_time = 1000000;
    os.idle_time = 500000;
    struct Case {
        const char* pinned;  // null: removed
        double load;         // after a second of a host 75 % busy
        std::vector<std::string> problems;
        const char* saved;  // the key as the next save writes it; null: not written
    };
    const std::string invalid = "World: pinned_load invalid, the host's load followed";
    const Case cases[] = {
        {"0", 0.0, {}, "pinned_load=0\r\n"}, {"0.25", 0.25, {}, "pinned_load=0.25\r\n"},
        {"1", 1.0, {}, "pinned_load=1\r\n"}, {nullptr, 0.75, {}, nullptr},
        {"-1", 0.75, {}, nullptr},           {"1.5", 0.75, {invalid}, nullptr},
        {"idle", 0.75, {invalid}, nullptr},
    };
    for (const Case& c : cases) {
        const std::string what = c.pinned ? c.pinned : "-";
        std::vector<std::string> problems;
        SimMachine& m = load(7, "World", "pinned_load", c.pinned, problems);
        EXPECT_EQ(problems, c.problems) << what;
        EXPECT_EQ(m.load_pinned(), c.saved != nullptr) << what;
        os.system_time += 10000000;  // one second of the host, 25 % of it idle
        os.idle_time += 2500000;
        clock.advance(1000);
        m.advance();
        EXPECT_DOUBLE_EQ(m.world().cpu_load, c.load) << what;
        const std::string saved = m.state_text();
        if (c.saved)
            EXPECT_NE(saved.find(c.saved), std::string::npos) << what;
        else
            EXPECT_EQ(saved.find("pinned_load"), std::string::npos) << what;
    }
}

TEST_F(SimVariants, AnLm90ThatStopsAcknowledgingLeavesTheDriversReadingsAsTheyWere) {
    std::vector<std::string> problems;
    load(4, "LM90", "acknowledge", "1", problems);
    SensorTable table{};
    ASSERT_EQ(sensors_detect(&table), 4);  // W83627HF, PORT80, LM90, SMI
    const Sensor& lm90 = table.sensors[2];
    ASSERT_STREQ(lm90.name, "LM90");
    sensors_read_all(&table);
    const int8_t remote = lm90.temperatures[0], local = lm90.temperatures[1];
    const uint8_t rate = lm90.controls[0].value;

    SimMachine& silent = load(4, "LM90", "acknowledge", "0", problems);
    EXPECT_TRUE(problems.empty());
    silent.world().cpu_temp_c += 20;
    silent.world().sys_temp_c += 20;
    sensors_read_all(&table);
    EXPECT_EQ(lm90.temperatures[0], remote);
    EXPECT_EQ(lm90.temperatures[1], local);
    EXPECT_EQ(lm90.controls[0].value, rate);
    EXPECT_NE(table.sensors[0].temperatures[0], remote);  // the Winbond chip still reads
}

}  // namespace
