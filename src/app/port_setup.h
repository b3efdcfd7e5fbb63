// Which port backend velmora runs on, chosen once at start from the long options and the
// machine: real ports only on an nForce2 board or when asked for with --hardware.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "hw/port_io.h"

struct PortSetup {
    std::unique_ptr<PortBackend> backend;  // what the ports reach
    std::unique_ptr<PortBackend> tracer;   // wraps backend when a trace was asked for
    std::string description;               // for the log and the window

    PortBackend& active() { return tracer ? *tracer : *backend; }
};

// Whether the PCI host bridge 0000:00:00.0 is an nForce2 (10de:01e0), read from sysfs; never
// found by probing ports.
bool nforce2_host_bridge_present(const std::string& sysfs_root = "/sys");

// --hardware forces real ports; --trace-ports[=FILE] appends every access to FILE
// (velmora-ports.trace by default).
PortSetup choose_port_backend(const std::vector<std::string>& args,
                              const std::string& sysfs_root = "/sys");
