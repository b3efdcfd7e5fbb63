// SPDX-License-Identifier: GPL-2.0-or-later
#include "board/boards.h"

#include <gtest/gtest.h>

#include "helpers/temp_dir.h"
#include "sim/sim_profile.h"

namespace {

TEST(Boards, TheTableHoldsFifteenBoardsInOrderAndSaysSo) {
    TempWorkDir dir;
    std::vector<Board> list;
    ASSERT_EQ(boards_init(list), 15);
    EXPECT_EQ(read_file("velmora.deb"), "BOARDS: Initialized 15 boards\n");
    EXPECT_EQ(list[0].name, "Abit NF7");
    EXPECT_EQ(list[6].version, 0x200);
    EXPECT_EQ(list[7].name, "Epox 8RDA+ Rev. 2.x");
    EXPECT_EQ(list[10].chip.address, 0x1B);
    EXPECT_EQ(list[14].name, "General board");
    EXPECT_EQ(list[14].chip.address, 0);
    // Values are the nearest doubles of the decimals: exact equality is what the setters use.
    EXPECT_EQ(list[7].vdimm.values[1], 2.63);
    EXPECT_EQ(list[7].vdimm.values[4], TABLE_END);
    EXPECT_EQ(list[7].vcore_add.codes[3], 0x20);
    EXPECT_EQ(list[7].vcore_add.values[7], 0.35);
    EXPECT_EQ(list[7].vcore_add.values[8], TABLE_END);
    EXPECT_EQ(list[7].vcore_add.values[9], 0.0);
    EXPECT_EQ(list[4].vagp.values[0], 0.4);
    EXPECT_EQ(list[2].vcore_add.values[0], TABLE_END);  // an empty table
    EXPECT_EQ(list[2].vcore_add.reg, 0);
    EXPECT_EQ(list[2].vcore_add.mask, 0);
    EXPECT_EQ(list[6].vcore_min, 1.075);
    EXPECT_EQ(list[12].vcore_max, 1.9);
    for (const Board& b : list)
        EXPECT_EQ(b.chip.registers[0], 0) << b.name;
}

TEST(Boards, LookupWantsVendorAndNameAndPrefersTheExactVersion) {
    TempWorkDir dir;
    std::vector<Board> list;
    const int n = boards_init(list);
    EXPECT_EQ(board_lookup(list, n, 0x02000006, "EP-8RDA+"), 6);
    EXPECT_EQ(board_lookup(list, n, 0x00000006, "EP-8RDA+"), 7);
    EXPECT_EQ(board_lookup(list, n, 0x00000006, "EP-8RDA"), 7);
    EXPECT_EQ(board_lookup(list, n, 0x01000006, "EP-8RDA"), 8);  // last match
    EXPECT_EQ(board_lookup(list, n, 0, ""), 14);
    EXPECT_EQ(board_lookup(list, n, 6, "XYZ"), NO_BOARD);
    EXPECT_EQ(board_lookup(list, 0, 0, ""), NO_BOARD);
    EXPECT_EQ(board_lookup(list, -1, 0, ""), NO_BOARD);
}

TEST(Boards, EverySimulatedBiosIdentifiesItsOwnBoard) {
    TempWorkDir dir;
    std::vector<Board> list;
    const int n = boards_init(list);
    for (int i = 0; i < kSimProfileCount; ++i) {
        const SimProfile& p = *sim_profile(i);
        const uint32_t info = p.has_smi ? (uint32_t{p.bios_version} << 16) | p.bios_vendor : 0;
        EXPECT_EQ(board_lookup(list, n, info, p.has_smi ? p.bios_board : ""), i) << p.name;
        EXPECT_EQ(list[i].name, p.name);
    }
}

}  // namespace
