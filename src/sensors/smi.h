// The BIOS's SMI interface: the board's vendor, version and name as the BIOS reports them.
#pragma once

#include <cstdint>

struct SmiInterface {
    uint8_t function_code = 0;
    uint16_t version = 0;
    uint32_t board_info = 0;  // vendor index in bits 0-7, board version in bits 16-31
    const char* vendor_name = nullptr;
    char board_name[25] = {};
    uint32_t results[8] = {};
};

// 1 when the BIOS answers and the interface is filled in, 0 otherwise. The BIOS is not asked
// yet: until its driver is written no board reports an SMI interface, and a board without a
// stored choice is identified as the "General board".
int smi_init(SmiInterface* smi);
