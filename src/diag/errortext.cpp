// SPDX-License-Identifier: GPL-2.0-or-later
#include "diag/errortext.h"

const char* error_text(uint32_t code) {
    switch (code) {
        case ERR_UNKNOWN:
            return "Unknown error, contact me!";
        case ERR_SCM_OPEN:
            return "ERROR: GiveIO -> Windows Servicemanager cannot be opened.";
        case ERR_ACCESS_DENIED:
            return "ERROR: GiveIO -> Access denied.";
        case ERR_DRIVER_PATH:
            return "ERROR: GiveIO -> Path to giveio.sys too long.";
        case ERR_SERVICE_DISABLED:
            return "ERROR: GiveIO -> Service is installed, but disabled.";
        case ERR_DRIVER_COPY:
            return "ERROR: Cannot copy giveio.sys -> System32\\drivers.";
        case ERR_DRIVER_HANDLE:
            return "ERROR: I2C-Init -> Cannot open GiveIO-handle.";
        case ERR_SMB_WRITE:
            return "ERROR: velmora -> SMB write error.";
        case ERR_INVALID_VCORE:
            return "ERROR: velmora -> Invalid VCore.";
        case ERR_INVALID_VDIMM:
            return "ERROR: velmora -> Invalid VDimm.";
        case ERR_INVALID_VAGP:
            return "ERROR: velmora -> Invalid VAgp.";
        case ERR_INVALID_VDD:
            return "ERROR: velmora -> Invalid Vdd.";
        default:
            return "ERROR: Not defined.";
    }
}
