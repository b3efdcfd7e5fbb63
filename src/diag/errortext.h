// SPDX-License-Identifier: GPL-2.0-or-later
// Error codes of the driver service and the voltage setters, and their texts.
#pragma once

#include <cstdint>

enum ErrorCode : uint32_t {
    ERR_NONE = 0,
    ERR_UNKNOWN = 1,
    ERR_SCM_OPEN = 3,
    ERR_ACCESS_DENIED = 4,
    ERR_DRIVER_PATH = 5,
    ERR_SERVICE_DISABLED = 6,
    ERR_DRIVER_COPY = 7,
    ERR_DRIVER_HANDLE = 8,
    ERR_SMB_WRITE = 9,
    ERR_INVALID_VCORE = 10,
    ERR_INVALID_VDIMM = 11,
    ERR_INVALID_VAGP = 12,
    ERR_INVALID_VDD = 13,
};

// The fixed message of a code; codes without a message of their own (0, 2, 14 and above)
// give "ERROR: Not defined.".
const char* error_text(uint32_t code);
