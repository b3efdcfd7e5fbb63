// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/port_io.h"

namespace {
PortBackend* installed = nullptr;
}

PortBackend& port_backend() {
    if (installed)
        return *installed;
    static FloatingBusBackend floating;
    return floating;
}

void install_port_backend(PortBackend* backend) {
    installed = backend;
}
