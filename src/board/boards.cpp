// SPDX-License-Identifier: GPL-2.0-or-later
#include "board/boards.h"

#include <initializer_list>
#include <utility>

#include "diag/debuglog.h"

namespace {

using Pairs = std::initializer_list<std::pair<double, uint8_t>>;

VoltageTable table(uint8_t reg, uint8_t mask, Pairs pairs) {
    VoltageTable t;
    t.reg = reg;
    t.mask = mask;
    int i = 0;
    for (const auto& [value, code] : pairs) {
        t.values[i] = value;
        t.codes[i] = code;
        ++i;
    }
    t.values[i] = TABLE_END;
    return t;
}

const VoltageTable kEmpty{};

Board board(const char* name, const char* id, uint16_t vendor, uint16_t version, uint8_t bus,
            uint8_t address, double vmin, double vmax, VoltageTable add, VoltageTable dimm,
            VoltageTable vdd, VoltageTable agp) {
    Board b;
    b.name = name;
    b.id = id;
    b.vendor = vendor;
    b.version = version;
    b.chip.bus = bus;
    b.chip.address = address;
    b.vcore_min = vmin;
    b.vcore_max = vmax;
    b.vcore_add = add;
    b.vdimm = dimm;
    b.vdd = vdd;
    b.vagp = agp;
    return b;
}

std::vector<Board> make_table() {
    const VoltageTable abit_add = table(0x06, 0x08, {{0, 0x08}, {0.375, 0x00}});
    const VoltageTable abit_dimm =
        table(0x0A, 0x07, {{2.6, 0x03}, {2.7, 0x01}, {2.8, 0x07}, {2.9, 0x02}});
    const VoltageTable abit_vdd =
        table(0x0A, 0x38, {{1.4, 0x38}, {1.5, 0x30}, {1.6, 0x28}, {1.7, 0x18}});
    const VoltageTable aopen_dimm =
        table(0x06, 0x03, {{2.5, 0x03}, {2.55, 0x02}, {2.6, 0x01}, {2.65, 0x00}});
    const VoltageTable aopen_agp =
        table(0x06, 0x0C, {{1.5, 0x00}, {1.53, 0x08}, {1.56, 0x04}, {1.6, 0x0C}});
    const VoltageTable chaintech_dimm =
        table(0x06, 0x03, {{2.5, 0x03}, {2.6, 0x02}, {2.7, 0x01}, {2.8, 0x00}});
    const VoltageTable chaintech_agp =
        table(0x0A, 0x60, {{1.5, 0x60}, {1.6, 0x40}, {1.7, 0x20}, {1.8, 0x00}});
    const VoltageTable dfi_add = table(0x0A, 0x0C, {{0, 0x0C}, {0.05, 0x08}, {0.1, 0x00}});
    const VoltageTable dfi_dimm =
        table(0x06, 0x03, {{2.6, 0x00}, {2.7, 0x01}, {2.8, 0x02}, {2.9, 0x03}});
    const VoltageTable dfi_vdd = table(0x0A, 0x01, {{1.6, 0x01}, {1.7, 0x00}});
    const VoltageTable dfi_agp = table(0x0A, 0x20, {{0.4, 0x20}, {0, 0x00}});
    const VoltageTable epox_add = table(0x0A, 0x38,
                                        {{0, 0x38},
                                         {0.05, 0x30},
                                         {0.1, 0x28},
                                         {0.15, 0x20},
                                         {0.2, 0x18},
                                         {0.25, 0x10},
                                         {0.3, 0x08},
                                         {0.35, 0x00}});
    const VoltageTable epox_dimm =
        table(0x06, 0x0C, {{2.5, 0x00}, {2.63, 0x04}, {2.77, 0x08}, {2.9, 0x0C}});
    const VoltageTable epox_vdd = table(0x06, 0x03, {{1.6, 0x03}, {1.8, 0x02}, {2.0, 0x01}});
    const VoltageTable epox_agp =
        table(0x0A, 0xC0, {{1.5, 0xC0}, {1.6, 0x80}, {1.7, 0x40}, {1.8, 0x00}});
    const VoltageTable shuttle_add = table(0x0A, 0x01, {{0, 0x01}, {0.15, 0x00}});
    const VoltageTable shuttle_dimm =
        table(0x0A, 0x30, {{2.5, 0x30}, {2.6, 0x20}, {2.7, 0x10}, {2.8, 0x00}});
    const VoltageTable shuttle_agp =
        table(0x0A, 0xC0, {{1.5, 0xC0}, {1.55, 0x80}, {1.6, 0x40}, {1.65, 0x00}});
    const VoltageTable& none = kEmpty;

    return {
        board("Abit NF7", "NF7 Series", 4, 0x0, 0, 0x4E, 1.1, 2.2, abit_add, abit_dimm, abit_vdd,
              none),
        board("Aopen AK79D-400VN", "AK79D", 11, 0x0, 1, 0x4E, 1.1, 1.85, none, aopen_dimm, none,
              aopen_agp),
        board("Asus A7N8X", "A7N8X", 2, 0x0, 0, 0x4E, 1.1, 2.2, none, none, none, none),
        board("Chaintech CT-7NJL1/CT-7NJS", "CT-7NJ", 5, 0x0, 0, 0x4E, 1.1, 2.2, none,
              chaintech_dimm, none, chaintech_agp),
        board("DFI Infinity NFII Ultra", "Infinity", 16, 0x0, 1, 0x4E, 1.1, 1.95, dfi_add, dfi_dimm,
              dfi_vdd, dfi_agp),
        board("DFI Lanparty NFII Ultra", "Lanparty", 16, 0x0, 1, 0x4E, 1.1, 1.95, dfi_add, dfi_dimm,
              dfi_vdd, dfi_agp),
        board("Epox 8RDA+ Rev. 1.x", "EP-8RDA+", 6, 0x200, 0, 0x37, 1.075, 2.2, epox_add, epox_dimm,
              none, epox_agp),
        board("Epox 8RDA+ Rev. 2.x", "EP-8RDA+", 6, 0x0, 0, 0x37, 1.075, 2.2, epox_add, epox_dimm,
              epox_vdd, epox_agp),
        board("Epox 8RDA3[+,I,E]", "EP-8RDA", 6, 0x0, 0, 0x37, 1.075, 2.2, epox_add, epox_dimm,
              epox_vdd, epox_agp),
        board("Leadtek K7NCR-18D", "K7NCR", 7, 0x0, 0, 0x37, 1.075, 2.2, epox_add, epox_dimm, none,
              epox_agp),
        board("MSI K7N2 Delta L", "K7N2", 3, 0x0, 0, 0x1B, 1.1, 1.8, none, none, none, none),
        board("Shuttle AN35N Ultra V1.1", "AN35N", 8, 0x0, 1, 0x37, 1.1, 2.0, shuttle_add,
              shuttle_dimm, none, shuttle_agp),
        board("Shuttle SN45G", "SN45G", 8, 0x0, 1, 0x37, 1.1, 1.9, none, shuttle_dimm, none,
              shuttle_agp),
        board("Soltek 75FRN(2)-L", "75FRN", 12, 0x0, 0, 0x4E, 1.1, 2.2, none, none, none, none),
        board("General board", "", 0, 0x0, 0, 0x00, 1.1, 1.85, none, none, none, none),
    };
}

}  // namespace

int boards_init(std::vector<Board>& list) {
    list = make_table();
    debug_print("BOARDS: Initialized %d boards\n", static_cast<int>(list.size()));
    return static_cast<int>(list.size());
}

int board_lookup(const std::vector<Board>& list, int count, uint32_t board_info,
                 const std::string& board_name) {
    if (count <= 0)
        return NO_BOARD;
    const uint16_t vendor = board_info & 0xFF;
    const uint16_t version = static_cast<uint16_t>(board_info >> 16);
    int result = NO_BOARD;
    for (int i = 0; i < count && i < static_cast<int>(list.size()); ++i) {
        const Board& b = list[i];
        if (b.vendor != vendor || b.id.find(board_name) == std::string::npos)
            continue;
        if (b.version == version)
            return i;
        result = i;
    }
    return result;
}
