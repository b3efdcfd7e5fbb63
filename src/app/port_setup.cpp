#include "app/port_setup.h"

#include <fstream>

#include "hw/direct_port_backend.h"
#include "hw/tracing_port_backend.h"

namespace {

std::string first_line(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

bool has_arg(const std::vector<std::string>& args, const std::string& name) {
    for (const std::string& a : args)
        if (a == name)
            return true;
    return false;
}

}  // namespace

bool nforce2_host_bridge_present(const std::string& sysfs_root) {
    const std::string dev = sysfs_root + "/bus/pci/devices/0000:00:00.0/";
    return first_line(dev + "vendor") == "0x10de" && first_line(dev + "device") == "0x01e0";
}

PortSetup choose_port_backend(const std::vector<std::string>& args, const std::string& sysfs_root) {
    PortSetup setup;
    if (has_arg(args, "--hardware") || nforce2_host_bridge_present(sysfs_root)) {
        setup.backend = std::make_unique<DirectPortBackend>();
        setup.description = "real hardware (direct port access)";
    } else {
        // No nForce2 here: nothing may reach this machine's ports.
        setup.backend = std::make_unique<FloatingBusBackend>();
        setup.description = "no nForce2 board (ports disconnected)";
    }
    for (const std::string& a : args) {
        if (a == "--trace-ports" || a.rfind("--trace-ports=", 0) == 0) {
            std::string file = a.size() > 14 ? a.substr(14) : "velmora-ports.trace";
            setup.tracer = std::make_unique<TracingPortBackend>(*setup.backend, file);
        }
    }
    return setup;
}
