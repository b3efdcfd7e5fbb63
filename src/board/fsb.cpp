// SPDX-License-Identifier: GPL-2.0-or-later
#include "board/fsb.h"

#include "diag/debuglog.h"
#include "hw/pci.h"
#include "hw/stop_request.h"
#include "platform/clock.h"

namespace {

// Host bridge, function 0: the PLL that generates the FSB.
constexpr uint8_t NFORCE2_HOST_FN = 0;
constexpr uint8_t NFORCE2_REG_PLL_CTRL = 0xA0;      // 4 bytes: 0 before a new value, 0x40 when done
constexpr uint8_t NFORCE2_REG_PLL_VALUE = 0xA4;     // 4 bytes: bits 0-7 M, bits 8-15 N
constexpr uint8_t NFORCE2_REG_PLL_OVERRIDE = 0xA8;  // 1 byte: non-zero once software drives the PLL
// Host bridge, function 5: the clock the BIOS set at boot, in Hz.
constexpr uint8_t NFORCE2_CLOCK_FN = 5;
constexpr uint8_t NFORCE2_REG_BOOT_FSB = 0x48;  // 4 bytes

constexpr uint32_t PLL_VALUE_FIXED = 0x00100000u;  // bit 20, set in every value written
constexpr uint32_t PLL_CTRL_DONE = 0x40;
constexpr int PLL_WRITE_REPEAT = 64;
constexpr uint32_t PLL_M_MAX = 128;
constexpr uint32_t PLL_N_MAX = 254;
constexpr int PLL_SEARCH_SLACK = 3;  // MHz above the target that a search may settle for

constexpr int FSB_MIN = 50;
constexpr int FSB_MAX = 300;
constexpr uint32_t FSB_STEP_MS = 150;

struct FsbState {
    // The boot FSB (MHz) that get_fsb last returned as the running clock; 0 before the first.
    int boot_fsb_seen = 0;
    FsbWalkProgress walk;
    std::string holder;  // another driver that drives the clock
};
FsbState state;

uint32_t host_read(uint8_t function, uint8_t reg, int width) {
    uint32_t value = 0;
    pci_config_read(0, 0, function, reg, value, width);
    return value;
}

void host_write(uint8_t reg, uint32_t value, int width) {
    pci_config_write(0, 0, NFORCE2_HOST_FN, reg, value, width);
}

// One 1 MHz step of set_fsb; false when no PLL setting reaches it.
bool step_to(int fsb_mhz) {
    const uint32_t pll = find_pll(fsb_mhz);
    if ((pll & 0xFFFF) == 0) {
        debug_print("NFORCE2: set_fsb(): calc. fsb %d failed\n", fsb_mhz);
        return false;
    }
    write_pll(pll);
    state.walk.at = fsb_mhz;
    current_clock().sleep_ms(FSB_STEP_MS);
    return true;
}

// The control register's done mark ends every walk, also one that stops early: the PLL is
// then left at a whole step that the clock has settled on.
void mark_done() {
    host_write(NFORCE2_REG_PLL_CTRL, PLL_CTRL_DONE, 4);
}

// Ends a walk at the step just written when a stop was asked for; no further step starts.
bool stop_after(int fsb_mhz) {
    if (!stop_pending())
        return false;
    mark_done();
    debug_print("NFORCE2: set_fsb(): stopped at %d MHz\n", fsb_mhz);
    return true;
}

}  // namespace

int pll_to_fsb(uint32_t n, uint32_t m) {
    if (m == 0)
        return 0;
    return static_cast<int>(static_cast<double>(n) * 25.06 / static_cast<double>(m));
}

// Every (N, M) is tried, M the outer loop, and the last hit kept: that is the largest M that
// reaches the frequency and, for it, the largest N. About 32,000 candidates per frequency,
// well under a millisecond, between steps that wait 150 ms anyway.
uint32_t find_pll(int fsb_mhz) {
    for (int slack = 0; slack <= PLL_SEARCH_SLACK; ++slack) {
        uint32_t found = 0;
        for (uint32_t m = 1; m <= PLL_M_MAX; ++m)
            for (uint32_t n = 1; n <= PLL_N_MAX; ++n)
                if (pll_to_fsb(n, m) == fsb_mhz + slack)
                    found = PLL_VALUE_FIXED | n << 8 | m;
        if (found != 0)
            return found;
    }
    return 0;
}

// The PLL takes a new value with its control register cleared, the value written 64 times in a
// row; set_fsb's 0x40 to the control register marks the change complete.
void write_pll(uint32_t pll_value) {
    host_write(NFORCE2_REG_PLL_CTRL, 0, 4);
    for (int i = 0; i < PLL_WRITE_REPEAT; ++i)
        host_write(NFORCE2_REG_PLL_VALUE, pll_value, 4);
}

// Once the override flag is set the PLL register is the clock, but only within the boot that
// velmora saw: a boot clock different from the one last seen means a new boot with other BIOS
// settings, and then the boot clock counts again.
int get_fsb() {
    const int boot =
        static_cast<int>(host_read(NFORCE2_CLOCK_FN, NFORCE2_REG_BOOT_FSB, 4) / 1000000u);
    const uint32_t overridden = host_read(NFORCE2_HOST_FN, NFORCE2_REG_PLL_OVERRIDE, 1);
    if (overridden != 0 && (state.boot_fsb_seen == boot || state.boot_fsb_seen == 0)) {
        const uint32_t pll = host_read(NFORCE2_HOST_FN, NFORCE2_REG_PLL_VALUE, 4);
        return pll_to_fsb((pll >> 8) & 0xFF, pll & 0xFF);
    }
    state.boot_fsb_seen = boot;
    return boot;
}

// The running CPU and memory follow the clock only in small steps: the FSB moves 1 MHz per
// PLL value with 150 ms for the PLL to settle after each. Before the first change the PLL is
// loaded with the clock already running and only then switched to override, so that taking it
// over does not jump. The stepping starts at the running clock itself and ends at the target.
int set_fsb(int fsb_mhz) {
    struct WalkShown {
        ~WalkShown() { state.walk = FsbWalkProgress{}; }
    } walk_shown;
    if (fsb_mhz > FSB_MAX || fsb_mhz < FSB_MIN) {
        debug_print("NFORCE2: set_fsb(): FSB %d out of range!\n", fsb_mhz);
        return 2;
    }
    if (!state.holder.empty()) {
        debug_print("NFORCE2: set_fsb(): %s drives the clock, FSB %d not set\n", state.holder,
                    fsb_mhz);
        return FSB_REFUSED;
    }
    if (host_read(NFORCE2_HOST_FN, NFORCE2_REG_PLL_OVERRIDE, 1) == 0) {
        const int running = get_fsb();
        const uint32_t pll = find_pll(running);
        if (pll == 0) {
            debug_print("NFORCE2: set_fsb(): calc. fsb %d failed\n", running);
            return 1;
        }
        write_pll(pll);
    }
    host_write(NFORCE2_REG_PLL_OVERRIDE, 1, 1);

    const int d = get_fsb() - fsb_mhz;
    state.walk = FsbWalkProgress{fsb_mhz + d, fsb_mhz};
    if (d > 0) {
        for (int f = get_fsb(); f >= fsb_mhz; --f) {
            if (!step_to(f))
                return 1;
            if (f > fsb_mhz && stop_after(f))
                return 3;
        }
    } else if (d < 0) {
        for (int f = get_fsb(); f <= fsb_mhz; ++f) {
            if (!step_to(f))
                return 1;
            if (f < fsb_mhz && stop_after(f))
                return 3;
        }
    }
    mark_done();
    debug_print("NFORCE2: set_fsb(): Setting FSB to %d done\n", fsb_mhz);
    return 0;
}

FsbWalkProgress fsb_walk_progress() {
    return state.walk;
}

void fsb_held_by(const std::string& driver) {
    state.holder = driver;
}

const std::string& fsb_holder() {
    return state.holder;
}

void fsb_reset_state() {
    state = FsbState{};
}
