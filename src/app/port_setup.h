// SPDX-License-Identifier: GPL-2.0-or-later
// Which port backend velmora runs on, chosen once at start from the long options and the
// machine: real ports on Windows, on Linux with an nForce2 host bridge, or when asked for with
// --hardware; the simulated board on Linux without that bridge, or when asked for with
// --sim[=N]. Whether the real ports can be had is the start-up's question: when they cannot,
// it says so and ends instead of running on a simulated board the user did not ask for.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "hw/kernel_io.h"
#include "hw/port_io.h"
#include "platform/platform.h"

class SimMachine;

// What the start-up tells the user about the board it runs on.
struct StartupNotes {
    std::string simulated_board;         // "Epox 8RDA+ Rev. 2.x (profile 7)"; empty on real ports
    int simulated_profile = -1;          // 7; -1 on real ports
    std::vector<std::string> log_lines;  // written after the banner, e.g. state-file problems
};

struct PortSetup {
    std::unique_ptr<PortBackend> backend;  // what the ports reach
    std::unique_ptr<PortBackend> tracer;   // wraps backend when a trace was asked for
    // What the kernel offers: the running kernel on a real Linux board, the simulated board's
    // when a made-up kernel tree is given (kKernelRootVariable); null elsewhere.
    std::unique_ptr<KernelBackend> kernel;
    std::unique_ptr<KernelBackend> kernel_tracer;  // wraps kernel when a trace was asked for
    SimMachine* machine = nullptr;                 // the backend, when it is the simulated board
    StartupNotes notes;
    std::string error;  // a bad option: velmora ends with exit code 2 before any window
    PortBackend& active() { return tracer ? *tracer : *backend; }
    KernelBackend* active_kernel() { return kernel_tracer ? kernel_tracer.get() : kernel.get(); }
};

// What the ports will reach, decided from the options and the machine before anything is
// built, so that the run can take the lock that goes with it first.
struct PortPlan {
    bool simulated = false;
    int profile = -1;   // asked for with --sim[=N]; -1 when not
    std::string error;  // a bad option: velmora ends with exit code 2 before any window
};

// For tests only: a folder that stands for the root of the file tree (its sys, proc, dev, etc
// and run), in which the kernel's drivers are found. On the simulated board it makes velmora
// meet those drivers as on a real board; on real hardware it replaces the real tree.
inline constexpr const char* kKernelRootVariable = "VELMORA_TEST_KERNEL_ROOT";

// Whether the PCI host bridge 0000:00:00.0 is an nForce2 (10de:01e0), read from the
// platform's sysfs; never found by probing ports.
bool nforce2_host_bridge_present();

// --sim[=N] runs on simulated board N (default 7; the state file's board once it exists);
// --hardware forces real ports.
PortPlan plan_port_backend(const std::vector<std::string>& args);

// Builds what the plan chose; the simulated board loads its state file here. --trace-ports
// [=FILE] appends every access to FILE (velmora-ports.trace by default).
PortSetup make_port_backend(const PortPlan& plan, const std::vector<std::string>& args);

// Both in one go.
PortSetup choose_port_backend(const std::vector<std::string>& args);

// Saves the simulated board's state, if there is one (at every end of the process).
void save_simulated_board(const PortSetup& setup);

// The exit code of a run whose simulated board's state could not be saved at its end.
inline constexpr int kExitStateNotSaved = 4;

// The save at the end of the run: 0 when saved (or nothing to save); else standard error says
// what was lost and the result is kExitStateNotSaved.
int final_save_of_simulated_board(const PortSetup& setup);

// The port grant again, after a resume took it: the giveio driver on Windows, the I/O
// permissions of the ranges on Linux; nothing to do on the simulated board. Empty when the
// ports work again, else the text to show. On Windows `result` takes the driver's error code.
std::string regain_port_access(uint32_t* result, const std::vector<PortRange>& ranges);
