#include "sim/sim_device.h"

#include <string>

namespace {
constexpr const char* kAcknowledgeKey = "acknowledge";
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
}

void SimSmbusDevice::load(const StateSection& in, SimLoadReport& report) {
    reset();
    load_registers(in, report);
    if (!in.find(kAcknowledgeKey))
        return;  // files from before the key: the device acknowledges
    int64_t on = 1;
    if (in.get_int(kAcknowledgeKey, on) && (on == 0 || on == 1))
        acknowledges_ = on == 1;
    else
        report.problem(std::string(name()) + ": acknowledge invalid, power-on value used");
}
