// SPDX-License-Identifier: GPL-2.0-or-later
// The BIOS SMI interface, the CMOS RAM and the port-80h display of the simulated board, driven
// through the port primitives with the access sequences velmora's drivers use.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "helpers/temp_dir.h"
#include "hw/port_io.h"
#include "platform/clock.h"
#include "sim/bios_smi.h"
#include "sim/cmos.h"
#include "sim/post_display.h"
#include "sim/sim_profile.h"
#include "sim/sim_world.h"

namespace {

// The I/O bus of the board: each access goes to the device that decodes its port.
class Bus : public PortBackend {
  public:
    std::vector<SimIoDevice*> devices;

    uint8_t in8(uint16_t port) override { return static_cast<uint8_t>(read(port, 1)); }
    uint16_t in16(uint16_t port) override { return static_cast<uint16_t>(read(port, 2)); }
    uint32_t in32(uint16_t port) override { return read(port, 4); }
    void out8(uint16_t port, uint8_t value) override { write(port, 1, value); }
    void out16(uint16_t port, uint16_t value) override { write(port, 2, value); }
    void out32(uint16_t port, uint32_t value) override { write(port, 4, value); }

  private:
    uint32_t read(uint16_t port, int width) {
        for (SimIoDevice* d : devices)
            if (d->decodes(port))
                return d->in(port, width);
        return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
    }
    void write(uint16_t port, int width, uint32_t value) {
        for (SimIoDevice* d : devices)
            if (d->decodes(port))
                return d->out(port, width, value);
    }
};

// SMI requests as the start-up and the sensor code issue them: the mailbox is saved before
// and restored after every request.
struct SmiCaller {
    uint8_t code = 0;
    uint8_t status = 0;
    uint32_t results[8] = {};
    uint32_t saved[8] = {};

    static uint16_t reg(int n) { return static_cast<uint16_t>(0x4480 + 4 * n); }
    bool request(uint8_t function, bool keep_results = true) {
        for (int i = 0; i < 8; ++i)
            saved[i] = port_in32(reg(i));
        port_out8(function, 0x442F);
        port_out8(code, 0x442E);
        status = port_in8(0x442F);
        if (status == 0 && keep_results)
            for (int i = 0; i < 8; ++i)
                results[i] = port_in32(reg(i));
        for (int i = 0; i < 8; ++i)
            port_out32(saved[i], reg(i));
        return status == 0;
    }
    bool call_with_arg(uint8_t function, uint16_t argument) {
        uint32_t before = port_in32(reg(1));
        port_out32(argument, reg(1));
        bool ok = request(function, false);
        port_out32(before, reg(1));
        return ok;
    }
    void query() {
        port_out8(0x88, 0x449F);
        code = port_in8(0x449F);
    }
    // The opening: version, board info, and the name cut at the first two adjacent blanks.
    bool init(uint32_t& info, std::string& name) {
        query();
        if (!request(0x01) || !request(0x25))
            return false;
        info = results[1];
        name.clear();
        for (int r = 2; r < 8; ++r)
            for (int shift = 24; shift >= 0; shift -= 8)
                name += static_cast<char>(results[r] >> shift);
        size_t cut = name.find("  ");
        if (cut != std::string::npos && cut < 23)
            name.resize(cut);
        return true;
    }
};

uint8_t cmos_read(uint8_t index) {
    port_out8(index, 0x70);
    return port_in8(0x71);
}

SimProfile bios_profile(bool has_smi, bool sensors, const char* board = "EP-8RDA+") {
    SimProfile p{};
    p.has_smi = has_smi;
    p.smi_sensors = sensors;
    p.bios_vendor = 6;
    p.bios_version = 0x200;
    p.bios_board = board;
    p.fid_code = 0x0D;
    return p;
}

class SimBios : public ::testing::Test {
  protected:
    SimBios() {
        install_port_backend(&bus);
        install_clock(&clock);
    }
    ~SimBios() override {
        install_port_backend(nullptr);
        install_clock(nullptr);
    }

    TempWorkDir dir;
    Bus bus;
    VirtualClock clock;
    SimWorld world;
    SmiCaller smi;
    uint32_t info = 0;
    std::string name;
};

TEST_F(SimBios, SmiOpensAfterTheQueryAndReportsTheProfilesBoard) {
    BiosSmi bios(world, bios_profile(true, false));
    bus.devices = {&bios};
    // Before 0x88 the query port gives nothing, and a foreign value on the command port is
    // not this BIOS's SMI: the data port keeps the function number.
    EXPECT_EQ(port_in8(0x449F), 0xFF);
    port_out8(0x25, 0x442F);
    port_out8(0x00, 0x442E);
    EXPECT_EQ(port_in8(0x442F), 0x25);

    port_out32(0xCAFEF00D, 0x4480);  // whatever another program left there
    ASSERT_TRUE(smi.init(info, name));
    EXPECT_EQ(smi.code, kSmiFunctionCode);
    EXPECT_EQ(info, 0x02000006u);
    EXPECT_EQ(name, "EP-8RDA+");
    EXPECT_EQ(port_in32(0x4480), 0xCAFEF00Du);

    // Names fill all 24 characters; longer ones are cut.
    BiosSmi longer(world, bios_profile(true, false, "ABCDEFGHIJKLMNOPQRSTUVWXYZ"));
    bus.devices = {&longer};
    ASSERT_TRUE(smi.init(info, name));
    EXPECT_EQ(name, "ABCDEFGHIJKLMNOPQRSTUVWX");
}

TEST_F(SimBios, EveryProfilesBiosReportsItsOwnIdentity) {
    // A name of 23 characters would come back with a trailing blank and no longer be found
    // in the board's id; every profile must survive the opening's cut whole.
    for (int n = 0; n < kSimProfileCount; ++n) {
        const SimProfile& profile = *sim_profile(n);
        BiosSmi bios(world, profile);
        bus.devices = {&bios};
        ASSERT_EQ(smi.init(info, name), profile.has_smi) << n;
        if (!profile.has_smi)
            continue;
        EXPECT_EQ(info, (uint32_t{profile.bios_version} << 16) | profile.bios_vendor) << n;
        EXPECT_EQ(name, profile.bios_board) << n;
    }
}

TEST_F(SimBios, BoardWithoutTheSmiBiosFloatsAndCannotBeOpened) {
    BiosSmi bios(world, bios_profile(false, true));
    bus.devices = {&bios};
    EXPECT_FALSE(bios.decodes(0x442F));
    EXPECT_FALSE(smi.init(info, name));
    EXPECT_EQ(smi.code, 0xFF);
    EXPECT_EQ(smi.status, kSmiStatusInvalid);
    // Even when addressed directly, the device behaves like an empty bus.
    bios.out(0x449F, 1, 0x88);
    EXPECT_EQ(bios.in(0x449F, 1), 0xFFu);
    EXPECT_EQ(bios.in(0x4480, 2), 0xFFFFu);
}

TEST_F(SimBios, SensorFunctionsAnswerFromTheBoardsPhysics) {
    BiosSmi bios(world, bios_profile(true, true));
    bus.devices = {&bios};
    world.cpu_temp_c = 52.4;
    world.sys_temp_c = -3.0;
    world.fan_rpm[0] = 3012.4;
    world.fan_rpm[1] = 70000.0;  // beyond what 16 bits hold
    world.fan_duty[0] = 200;
    world.fan_duty[1] = 90;
    smi.query();

    ASSERT_TRUE(smi.request(0x12));
    EXPECT_EQ(smi.results[1], 52u | kSmiCpuTempSocket);
    ASSERT_TRUE(smi.request(0x13));
    EXPECT_EQ(smi.results[1], 0xFDu);  // -3 as a signed byte
    // Converter counts in the units the display scales them by, in the low words; the high
    // words keep what the request left there (all ones here).
    ASSERT_TRUE(smi.request(0x24));
    EXPECT_EQ(std::vector<uint32_t>(smi.results + 1, smi.results + 6),
              (std::vector<uint32_t>{0xFFFF0067, 0xFFFF00A3, 0xFFFF0064, 0xFFFF00BA, 0xFFFF00C5}));
    ASSERT_TRUE(smi.request(0x02));
    EXPECT_EQ(smi.results[1], 0xFFFF0000u | 3012u);
    ASSERT_TRUE(smi.request(0x06));
    EXPECT_EQ(smi.results[1], 0xFFFFFFFFu);
    // PWM reads leave the duty alone.
    ASSERT_TRUE(smi.request(0x03));
    EXPECT_EQ(smi.results[1], 200u);
    ASSERT_TRUE(smi.request(0x07));
    EXPECT_EQ(smi.results[1], 90u);
    EXPECT_EQ(world.fan_duty[0], 200);

    EXPECT_TRUE(smi.call_with_arg(0x03, 0x80));
    EXPECT_TRUE(smi.call_with_arg(0x08, 0x00));
    EXPECT_EQ(world.fan_duty[0], 0x80);
    EXPECT_EQ(world.fan_duty[1], 0x00);
    // A duty beyond a byte, or none at all, fails and changes nothing.
    EXPECT_FALSE(smi.call_with_arg(0x03, 300));
    EXPECT_EQ(smi.status, kSmiStatusFailed);
    EXPECT_FALSE(smi.request(0x08));
    EXPECT_EQ(smi.status, kSmiStatusFailed);
    EXPECT_EQ(world.fan_duty[0], 0x80);
    EXPECT_EQ(world.fan_duty[1], 0x00);
    EXPECT_FALSE(smi.request(0x55));
    EXPECT_EQ(smi.status, kSmiStatusInvalid);
}

TEST_F(SimBios, TheStateFileSaysWhichFunctionsTheBiosOffers) {
    BiosSmi bios(world, bios_profile(true, true));
    bus.devices = {&bios};
    StateSection s;
    bios.save(s);
    EXPECT_EQ(*s.find("failed_functions"), "");
    EXPECT_EQ(*s.find("board"), "EP-8RDA+");
    s.set("failed_functions", "0x12 7");
    s.set("invalid_functions", "25 1zz");  // unreadable: the profile's BIOS answers 0x25
    s.set("vendor", "0x100");
    s.set("board", "A7N8X");
    SimLoadReport report;
    bios.load(s, report);
    EXPECT_EQ(report.problems, (std::vector<std::string>{
                                   "BIOS_SMI: invalid_functions invalid, the profile's value used",
                                   "BIOS_SMI: vendor invalid, the profile's value used"}));
    smi.query();
    for (uint8_t function : {0x12, 0x07}) {
        EXPECT_FALSE(smi.request(function)) << int(function);
        EXPECT_EQ(smi.status, kSmiStatusFailed) << int(function);
    }
    EXPECT_TRUE(smi.request(0x13));
    ASSERT_TRUE(smi.init(info, name));
    EXPECT_EQ(info, 0x02000006u);
    EXPECT_EQ(name, "A7N8X");
}

TEST_F(SimBios, BiosWithoutMonitoringRefusesSensorFunctions) {
    BiosSmi bios(world, bios_profile(true, false));
    bus.devices = {&bios};
    smi.query();
    for (uint8_t function : {0x12, 0x13, 0x24, 0x02, 0x06, 0x03, 0x07, 0x08}) {
        EXPECT_FALSE(smi.request(function)) << int(function);
        EXPECT_EQ(smi.status, kSmiStatusInvalid) << int(function);
    }
    EXPECT_FALSE(smi.call_with_arg(0x03, 0x10));
    EXPECT_EQ(world.fan_duty[0], 255);
    ASSERT_TRUE(smi.request(0x27));
    EXPECT_EQ((smi.results[7] >> 16) & 0xFF, 0xFFu);  // multiplier place not supported
}

TEST_F(SimBios, MultiplierLocationLeadsToTheCodeInCmos) {
    SimProfile profile = bios_profile(true, true);
    BiosSmi bios(world, profile);
    Cmos cmos(profile);
    bus.devices = {&bios, &cmos};
    smi.query();
    ASSERT_TRUE(smi.request(0x27));
    EXPECT_EQ(cmos_read(static_cast<uint8_t>(smi.results[7] >> 16)) & (smi.results[7] >> 24),
              0x0Du);
}

TEST_F(SimBios, CmosIndexIgnoresTheNmiBitAndProtectsTheStatusFlags) {
    Cmos cmos(bios_profile(true, false));
    bus.devices = {&cmos};
    EXPECT_EQ(cmos_read(0x80 | 0x0B), 0x02);  // status B: 24-hour BCD
    EXPECT_TRUE(cmos.nmi_disabled());
    EXPECT_EQ(cmos_read(0x09), 0x04);  // the clock stands in 2004
    EXPECT_FALSE(cmos.nmi_disabled());
    EXPECT_EQ(port_in8(0x70), 0xFF);

    port_out8(0x5A, 0x71);  // index still 0x09
    EXPECT_EQ(cmos_read(0x09), 0x5A);
    port_out8(0x0D, 0x70);
    port_out8(0x00, 0x71);
    EXPECT_EQ(port_in8(0x71), 0x80);  // the battery stays good

    // The BIOS accepts the configuration area only with a matching checksum.
    unsigned sum = 0;
    for (uint8_t i = 0x10; i < 0x2E; ++i)
        sum += cmos_read(i);
    EXPECT_EQ(sum, (unsigned{cmos_read(0x2E)} << 8) | cmos_read(0x2F));
}

TEST_F(SimBios, PostDisplayKeepsTheLastByte) {
    PostDisplay port80;
    bus.devices = {&port80};
    port_out8(0x52, 0x80);
    port_out8(0xA0, 0x80);
    EXPECT_EQ(port80.last(), 0xA0);
    EXPECT_EQ(port80.write_count(), 2u);
    EXPECT_EQ(port_in16(0x80), 0xFFA0);  // 0x81 is not the display's
}

TEST_F(SimBios, StateSurvivesSaveAndLoad) {
    SimProfile profile = bios_profile(true, true);
    BiosSmi bios(world, profile);
    Cmos cmos(profile);
    PostDisplay port80;
    bus.devices = {&bios, &cmos, &port80};
    port_out8(0x88, 0x449F);
    port_out32(0x11223344, 0x449C);
    port_out8(0x12, 0x442F);
    port_out8(0x81, 0x70);
    port_out8(0x77, 0x71);
    port_out8(0x42, 0x80);

    StateSection s[3];
    bios.save(s[0]);
    cmos.save(s[1]);
    port80.save(s[2]);
    BiosSmi bios2(world, profile);
    Cmos cmos2(profile);
    PostDisplay port80_2;
    SimLoadReport report;
    bios2.load(s[0], report);
    cmos2.load(s[1], report);
    port80_2.load(s[2], report);
    EXPECT_TRUE(report.problems.empty());

    bus.devices = {&bios2, &cmos2, &port80_2};
    EXPECT_EQ(port_in8(0x449F), kSmiFunctionCode);
    EXPECT_EQ(port_in32(0x449C), 0x11223344u);
    EXPECT_EQ(port_in8(0x442F), 0x12);
    EXPECT_TRUE(cmos2.nmi_disabled());
    EXPECT_EQ(port_in8(0x71), 0x77);
    EXPECT_EQ(port80_2.last(), 0x42);
}

TEST_F(SimBios, DamagedSectionsKeepPowerOnValuesAndReportEachKey) {
    SimProfile profile = bios_profile(true, true);
    BiosSmi bios(world, profile);
    Cmos cmos(profile);
    PostDisplay port80;
    StateSection s[3];
    s[0].set("query", "0x188");
    s[0].set("data", "junk");
    s[0].set_u32("mailbox1", 0x42);
    s[0].set("mailbox2", "0x1234567890");
    s[1].set("index", "0x0b");
    s[1].set("ram", "00 11 zz");
    s[2].set("display", "-1");

    SimLoadReport report;
    bios.load(s[0], report);
    cmos.load(s[1], report);
    port80.load(s[2], report);
    // query, data, seven mailbox registers (all but 1), the CMOS bytes, the display.
    ASSERT_EQ(report.problems.size(), 11u);
    EXPECT_EQ(report.problems[0], "BIOS_SMI: query missing or invalid, power-on value used");
    EXPECT_EQ(report.problems[9], "CMOS: ram missing or invalid, power-on value used");

    bus.devices = {&bios, &cmos, &port80};
    EXPECT_EQ(port_in8(0x449F), 0xFF);
    EXPECT_EQ(port_in32(0x4484), 0x42u);
    EXPECT_EQ(port_in32(0x4488), kSmiMailboxIdle);
    EXPECT_EQ(port_in8(0x71), 0x02);  // index 0x0b taken, power-on contents
    EXPECT_EQ(cmos_read(0x5D), 0x0D);
    EXPECT_EQ(port80.last(), 0x00);
}

}  // namespace
