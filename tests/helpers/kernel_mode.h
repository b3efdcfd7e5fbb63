// SPDX-License-Identifier: GPL-2.0-or-later
// A simulated-board test with the kernel between velmora and the board, as on a Debian
// machine with the nForce2 SMBus driver, i2c-dev and the Winbond monitor's driver loaded: PCI
// configuration through sysfs, the SMBus through i2c-dev, the monitor through hwmon. Off, it
// changes nothing: the ports as always. At its end the ports again.
#pragma once

#include <memory>

#include "app/kernel_access.h"
#include "board/fsb.h"
#include "helpers/fake_kernel_tree.h"
#include "hw/pci.h"
#include "hw/smbus.h"
#include "sensors/ite.h"
#include "sensors/lm90.h"
#include "sensors/sensor.h"
#include "sensors/winbond.h"
#include "sim/sim_kernel.h"
#include "sim/sim_machine.h"

class KernelMode {
  public:
    // With `take` the routes are set up here; a test that starts velmora leaves that to its
    // start.
    KernelMode(SimMachine& machine, bool on, bool take = true) {
        if (!on)
            return;
        tree_ = std::make_unique<FakeKernelTree>("kernel-root");
        tree_->bind_drivers_of(machine);
        kernel_ = std::make_unique<SimKernel>(machine, tree_->root.string());
        kernel_->open_as_root(true);
        install_kernel(kernel_.get());
        if (take)
            take_kernel_access(false);
    }
    ~KernelMode() {
        if (!kernel_)
            return;
        pci_use_ports();
        smbus_reset_state();
        fsb_held_by("");
        winbond_reset_state();
        ite_reset_state();
        lm90_reset_state();
        sensors_reset_state();
        install_kernel(nullptr);
    }
    KernelMode(const KernelMode&) = delete;
    KernelMode& operator=(const KernelMode&) = delete;

  private:
    std::unique_ptr<FakeKernelTree> tree_;
    std::unique_ptr<SimKernel> kernel_;
};

// The two ways to the board, as test parameter names: "Ports" and "Kernel".
inline std::string kernel_mode_name(const testing::TestParamInfo<bool>& info) {
    return info.param ? "Kernel" : "Ports";
}
