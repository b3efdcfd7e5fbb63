// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/sim_device.h"

#include <string>

namespace {
constexpr const char* kAcknowledgeKey = "acknowledge";
// Transactions still acknowledged before the device stops for good; absent: no limit.
constexpr const char* kAcknowledgesLeftKey = "acknowledges_left";
}  // namespace

void SimSmbusDevice::set_acknowledges(bool on) {
    acknowledges_ = on;
    acks_left_ = -1;
}

void SimSmbusDevice::fail_after(int transactions) {
    acknowledges_ = true;
    acks_left_ = transactions < 0 ? 0 : transactions;
}

void SimSmbusDevice::reset() {
    acknowledges_ = true;
    acks_left_ = -1;
    reset_registers();
}

void SimSmbusDevice::save(StateSection& out) const {
    save_registers(out);
    out.set_int(kAcknowledgeKey, acknowledges_ ? 1 : 0);
    if (acks_left_ >= 0 && acknowledges_)
        out.set_int(kAcknowledgesLeftKey, acks_left_);
}

void SimSmbusDevice::load(const StateSection& in, SimLoadReport& report) {
    reset();
    load_registers(in, report);
    if (in.find(kAcknowledgesLeftKey)) {
        int64_t left = 0;
        if (in.get_int(kAcknowledgesLeftKey, left) && left >= 0 && left <= 1000000000)
            acks_left_ = static_cast<int>(left);
        else
            report.problem(std::string(name()) + ": acknowledges_left invalid, no limit used");
    }
    if (!in.find(kAcknowledgeKey))
        return;  // files from before the key: the device acknowledges
    int64_t on = 1;
    if (in.get_int(kAcknowledgeKey, on) && (on == 0 || on == 1))
        acknowledges_ = on == 1;
    else
        report.problem(std::string(name()) + ": acknowledge invalid, power-on value used");
}
