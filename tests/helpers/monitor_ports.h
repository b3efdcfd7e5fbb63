// SPDX-License-Identifier: GPL-2.0-or-later
// A fixture for the drivers of the hardware monitor behind ports 0x295 (index) and 0x296
// (data): scripts each register read's answer and collects the port accesses the driver is
// expected to make, against the scripted ports.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "helpers/temp_dir.h"
#include "hw/port_access.h"
#include "hw/scripted_port_backend.h"
#include "sensors/port80.h"
#include "sensors/sensor.h"
#include "sensors/smi.h"

class MonitorPortsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sensors_reset_state();
        port80_reset_state();
        smi_reset_state();
        install_port_backend(&ports_);
    }
    void TearDown() override { install_port_backend(nullptr); }

    // Scripts a register read's answer and expects its two port accesses.
    void rd(uint8_t reg, uint8_t value) {
        ports_.script[0x296].push_back(value);
        expected_.push_back(out(1, 0x295, reg));
        expected_.push_back(in(1, 0x296, value));
    }
    void wr(uint8_t reg, uint8_t value) {
        expected_.push_back(out(1, 0x295, reg));
        expected_.push_back(out(1, 0x296, value));
    }
    // Forgets what was recorded, scripted and expected so far.
    void restart() {
        ports_.accesses.clear();
        ports_.script.clear();
        expected_.clear();
    }

    TempWorkDir dir_;
    ScriptedPortBackend ports_;
    std::vector<PortAccess> expected_;
    Sensor slot_{};
};
