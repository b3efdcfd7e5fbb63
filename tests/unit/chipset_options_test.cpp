// SPDX-License-Identifier: GPL-2.0-or-later
// The stored chipset options of config.ini, and the check of what the chipset took.
#include "app/chipset_options.h"

#include <gtest/gtest.h>

#include "helpers/temp_dir.h"
#include "support/configfile.h"

namespace {

ChipsetSettings read_from_chipset() {
    ChipsetSettings r;
    r.auto_precharge = 0;
    r.stpgnt = 0;
    r.agp_sba = 1;
    r.agp_aperture = 4;
    r.pci_bus_latency = r.agp_bus_latency = r.agp_ctr_latency = 32;
    r.tras = 11;
    return r;
}

TEST(ChipsetOptions, OnlyPresentKeysAndApertureCodesOneToFifteenReplaceTheChipsetValues) {
    TempWorkDir dir;
    const struct {
        const char* section;
        int32_t load;
        uint8_t aperture, stpgnt, pci_latency;
    } cases[] = {
        {"", 0, 4, 0, 32},
        {"Load=1\r\nAGPAP=8\r\n", 1, 8, 0, 32},
        {"Load=7\r\nAGPAP=15\r\nStpGnt=1\r\nPCIBusLatency=64\r\n", 7, 15, 1, 64},
        {"Load=1\r\nAGPAP=1\r\n", 1, 1, 0, 32},
        {"Load=1\r\nAGPAP=0\r\n", 1, 4, 0, 32},
        {"Load=1\r\nAGPAP=16\r\n", 1, 4, 0, 32},
        {"Load=1\r\nAGPAP=257\r\n", 1, 4, 0, 32},  // not cut down to code 1
        {"Load=1\r\nAGPAP=-3\r\n", 1, 4, 0, 32},
        // Not whole numbers, or past a byte: the chipset's value, never a cut or zero one.
        {"Load=1x\r\nAGPAP=8abc\r\nPCIBusLatency=abc\r\n", 0, 4, 0, 32},
        {"Load=1\r\nStpGnt=256\r\nPCIBusLatency=256\r\n", 1, 4, 0, 32},
        {"Load=1\r\nStpGnt=1\r\nPCIBusLatency=255\r\n", 1, 4, 1, 255},
        {"Load=1\r\nPCIBusLatency=-1\r\n", 1, 4, 0, 32},
        {"Load=1\r\nPCIBusLatency=\r\n", 1, 4, 0, 32},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.section);
        configfile_reset();
        write_file("config.ini", std::string("\r\n[Chipset]\r\n") + c.section);
        EXPECT_EQ(read_chipset_load(), c.load);
        ChipsetSettings r = read_from_chipset();
        read_stored_chipset_options(r);
        EXPECT_EQ(r.agp_aperture, c.aperture);
        EXPECT_EQ(r.stpgnt, c.stpgnt);
        EXPECT_EQ(r.pci_bus_latency, c.pci_latency);
        EXPECT_EQ(r.agp_sba, 1);  // absent: the chipset's value
        EXPECT_EQ(r.tras, 11);    // no key of its own
    }
}

TEST(ChipsetOptions, WhatTheChipsetDidNotTakeIsNamedOnePerSentence) {
    const ChipsetSettings taken = read_from_chipset();
    EXPECT_EQ(chipset_options_not_taken(taken, taken), "");
    ChipsetSettings wanted = taken;
    wanted.agp_aperture = 16;
    EXPECT_EQ(chipset_options_not_taken(wanted, taken), "AGP aperture size 512 MB not set.");
    wanted.stpgnt = 1;
    wanted.pci_bus_latency = 40;
    wanted.tras = 5;  // not an option of the tab
    EXPECT_EQ(
        chipset_options_not_taken(wanted, taken),
        "STPGNT on not set. PCI bridge latency 40 not set. AGP aperture size 512 MB not set.");
}

}  // namespace
