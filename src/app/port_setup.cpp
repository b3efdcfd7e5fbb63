// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/port_setup.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>

#include "hw/linux_kernel.h"
#endif

#include "diag/append_file.h"
#include "diag/errortext.h"
#include "hw/direct_port_backend.h"
#include "hw/giveio.h"
#include "hw/tracing_kernel_backend.h"
#include "hw/tracing_port_backend.h"
#include "platform/platform.h"
#include "sim/sim_kernel.h"
#include "sim/sim_machine.h"

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

// The profile asked for with --sim or --sim=N: -1 when not asked for, -2 when N is not a
// board number.
int requested_profile(const std::vector<std::string>& args, std::string& text) {
    int profile = -1;
    for (const std::string& a : args) {
        if (a == "--sim") {
            profile = kDefaultSimProfile;
        } else if (a.rfind("--sim=", 0) == 0) {
            text = a.substr(6);
            int n = -1;
            auto res = std::from_chars(text.data(), text.data() + text.size(), n);
            if (res.ec != std::errc() || res.ptr != text.data() + text.size() || !sim_profile(n))
                return -2;
            profile = n;
        }
    }
    return profile;
}

void make_simulated_board(PortSetup& setup, int asked) {
    // The state file is the board in the machine: it keeps its board until it is deleted. A
    // file that names no valid board still holds the rest, loaded on the board asked for.
    SimLoadReport unreadable;
    const int stored = sim_state_profile(kSimStateFile, &unreadable);
    for (const std::string& p : unreadable.problems)
        setup.notes.log_lines.push_back("SIM: " + p + "\n");
    const int number = stored >= 0 ? stored : (asked >= 0 ? asked : kDefaultSimProfile);
    const SimProfile& profile = *sim_profile(number);
    auto machine = std::make_unique<SimMachine>(profile);
    if (stored != kSimNoStateFile) {
        SimLoadReport report;
        sim_load_state(*machine, report);
        for (const std::string& p : report.problems)
            setup.notes.log_lines.push_back("SIM: " + p + "\n");
        if (report.unlisted > 0)
            setup.notes.log_lines.push_back("SIM: " + std::to_string(report.unlisted) + " more " +
                                            (report.unlisted == 1 ? "problem" : "problems") +
                                            " in " + kSimStateFile + " not listed\n");
        if (stored >= 0 && asked >= 0 && asked != stored)
            setup.notes.log_lines.push_back(
                "SIM: " + std::string(kSimStateFile) + " holds profile " + std::to_string(stored) +
                "; delete it to start on profile " + std::to_string(asked) + "\n");
    }
    // From here on the board keeps its file up to date while it runs.
    machine->save_to(kSimStateFile);
    setup.notes.simulated_board =
        std::string(profile.name) + " (profile " + std::to_string(number) + ")";
    setup.notes.simulated_profile = number;
    setup.machine = machine.get();
    setup.backend = std::move(machine);
}

}  // namespace

bool nforce2_host_bridge_present() {
    const std::string dev = current_platform().sysfs_root() + "/bus/pci/devices/0000:00:00.0/";
    return first_line(dev + "vendor") == "0x10de" && first_line(dev + "device") == "0x01e0";
}

PortPlan plan_port_backend(const std::vector<std::string>& args) {
    PortPlan plan;
    std::string profile_text;
    plan.profile = requested_profile(args, profile_text);
    if (plan.profile == -2) {
        plan.error = "velmora: there is no simulated board \"" + profile_text +
                     "\"; use --sim=0 to --sim=14 (default 7)";
        return plan;
    }
    // Windows has no sysfs to find the bridge in; there the driver service grants the ports.
    const bool real = current_platform().os_family() == OsFamily::Windows ||
                      has_arg(args, "--hardware") || nforce2_host_bridge_present();
    plan.simulated = plan.profile >= 0 || !real;
    return plan;
}

PortSetup make_port_backend(const PortPlan& plan, const std::vector<std::string>& args) {
    PortSetup setup;
    // The trace is opened first: a trace that was asked for and cannot be written ends the
    // run before the board is touched or its state loaded.
    int trace_fd = -1;
    for (const std::string& a : args) {
        if (a == "--trace-ports" || a.rfind("--trace-ports=", 0) == 0) {
            const std::string file = a.size() > 14 ? a.substr(14) : "velmora-ports.trace";
            if (trace_fd >= 0)
                ::close(trace_fd);
            rotate_when_large(file);
            std::string why;
            if (open_for_append(file, trace_fd, why) != AppendOpen::Opened) {
                setup.error =
                    "velmora: the port trace " + file + " is " + why + "; nothing was done";
                return setup;
            }
        }
    }
    const char* kernel_root = std::getenv(kKernelRootVariable);
    if (plan.simulated) {
        make_simulated_board(setup, plan.profile);
        if (kernel_root && *kernel_root)
            setup.kernel = std::make_unique<SimKernel>(*setup.machine, kernel_root);
    } else {
        setup.backend = std::make_unique<DirectPortBackend>();
#ifndef _WIN32
        setup.kernel = std::make_unique<LinuxKernel>(kernel_root ? kernel_root : "");
#endif
    }
    if (trace_fd >= 0) {
        auto tracer = std::make_unique<TracingPortBackend>(*setup.backend, trace_fd);
        if (setup.kernel)
            setup.kernel_tracer =
                std::make_unique<TracingKernelBackend>(*setup.kernel, tracer->stream());
        setup.tracer = std::move(tracer);
    }
    return setup;
}

PortSetup choose_port_backend(const std::vector<std::string>& args) {
    const PortPlan plan = plan_port_backend(args);
    if (!plan.error.empty()) {
        PortSetup setup;
        setup.error = plan.error;
        return setup;
    }
    return make_port_backend(plan, args);
}

void save_simulated_board(const PortSetup& setup) {
    if (setup.machine)
        sim_save_state(*setup.machine);
}

int final_save_of_simulated_board(const PortSetup& setup) {
    if (!setup.machine || sim_save_state(*setup.machine))
        return 0;
    std::fprintf(stderr,
                 "velmora: the simulated board's state could not be saved in %s (%s); what this "
                 "run set on it is lost\n",
                 kSimStateFile, setup.machine->last_save_error().c_str());
    std::fflush(stderr);
    return kExitStateNotSaved;
}

std::string regain_port_access(uint32_t* result, const std::vector<PortRange>& ranges) {
    PortBackend& ports = port_backend();
    if (!ports.needs_port_grant())
        return "";
    Platform& os = current_platform();
    if (os.os_family() == OsFamily::Windows) {
        const uint32_t code = open_giveio();
        if (result)
            *result = code;
        if (code != 0)
            return error_text(code);
    } else if (!os.grant_port_access(ranges)) {
        return "The I/O ports could not be had again: " + system_error_text();
    }
    ports.set_port_access(true);
    return "";
}
