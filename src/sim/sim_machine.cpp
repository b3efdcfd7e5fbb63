// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/sim_machine.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "diag/debuglog.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "sim/atxp1.h"
#include "sim/bios_smi.h"
#include "sim/cmos.h"
#include "sim/cpu_stability.h"
#include "sim/it8712f.h"
#include "sim/lm90.h"
#include "sim/ms3.h"
#include "sim/nforce2_pci.h"
#include "sim/post_display.h"
#include "sim/sim_physics.h"
#include "sim/smbus_bystanders.h"
#include "sim/smbus_host.h"
#include "sim/state_file.h"
#include "sim/vcore_rail_watch.h"
#include "sim/w83627hf.h"
#include "support/atomic_file.h"
#include "support/regular_file.h"

namespace {
constexpr uint8_t kLm90Address = 0x4C;
constexpr uint32_t kLoadSampleMs = 1000;
constexpr uint32_t kSaveIntervalMs = 1000;
constexpr const char* kPinnedLoadKey = "pinned_load";
constexpr const char* kStableMhzKey = "cpu_stable_mhz";
constexpr const char* kUnstableSettingsKey = "unstable_settings";
}  // namespace

SimMachine::SimMachine(const SimProfile& profile) : profile_(profile) {
    pci_ = std::make_unique<Nforce2Pci>(world_, profile_);
    smbus_[0] = std::make_unique<SmbusHost>(world_, 0x5000);
    smbus_[1] = std::make_unique<SmbusHost>(world_, 0x5100);
    if (profile_.vid_chip == SimVidChip::Atxp1) {
        atxp1_ = std::make_unique<Atxp1>(world_, profile_);
        vid_chip_ = atxp1_.get();
        rail_watch_ = &atxp1_->rail_watch();
    } else if (profile_.vid_chip == SimVidChip::Ms3) {
        ms3_ = std::make_unique<Ms3>(world_, profile_);
        vid_chip_ = ms3_.get();
        rail_watch_ = &ms3_->rail_watch();
    }
    if (vid_chip_)
        smbus_[profile_.vid_bus]->attach(profile_.vid_address, vid_chip_);
    if (profile_.lm90_bus >= 0) {
        lm90_ = std::make_unique<Lm90>(world_);
        smbus_[profile_.lm90_bus]->attach(kLm90Address, lm90_.get());
    }
    // Memory modules answer at all four SPD addresses, and a clock generator sits on bus 0.
    for (size_t slot = 0; slot < std::size(spd_); ++slot) {
        const uint8_t address = static_cast<uint8_t>(kSpdFirstAddress + slot);
        spd_[slot] = std::make_unique<SpdEeprom>(world_, address);
        smbus_[0]->attach(address, spd_[slot].get());
    }
    clock_generator_ = std::make_unique<ClockGenerator>(world_);
    smbus_[0]->attach(kClockGeneratorAddress, clock_generator_.get());
    io_ = {pci_.get(), smbus_[0].get(), smbus_[1].get()};
    switch (profile_.monitor) {
        case SimMonitorChip::W83627HF:
            winbond_ = std::make_unique<W83627hf>(world_, W83627hf::Variant::W83627HF);
            io_.push_back(winbond_.get());
            break;
        case SimMonitorChip::W83782D:
            winbond_ = std::make_unique<W83627hf>(world_, W83627hf::Variant::W83782D);
            io_.push_back(winbond_.get());
            break;
        case SimMonitorChip::IT8712F:
            ite_ = std::make_unique<It8712f>(world_);
            io_.push_back(ite_.get());
            break;
        case SimMonitorChip::None:
            break;
    }
    smi_ = std::make_unique<BiosSmi>(world_, profile_);
    cmos_ = std::make_unique<Cmos>(profile_);
    port80_ = std::make_unique<PostDisplay>(&world_);
    io_.push_back(smi_.get());
    io_.push_back(cmos_.get());
    io_.push_back(port80_.get());
    power_on();
    advance();                              // time starts now
    saved_changes_ = world_.state_changes;  // nothing written yet that a file could lack
}

SimMachine::~SimMachine() = default;

std::vector<SimDevice*> SimMachine::all_devices() const {
    std::vector<SimDevice*> devices(io_.begin(), io_.end());
    for (SimDevice* d : std::initializer_list<SimDevice*>{atxp1_.get(), ms3_.get(), lm90_.get()})
        if (d)
            devices.push_back(d);
    return devices;
}

SimSmbusDevice* SimMachine::lm90() {
    return lm90_.get();
}

void SimMachine::close_write_bursts() {
    if (rail_watch_)
        rail_watch_->close();
    sim_cpu_burst_end(world_, current_clock().now_ms(), true);
}

// The bystanders on the bus keep no state file section; a power cycle resets them too. It
// counts as a change of what the state file keeps.
void SimMachine::power_on() {
    const uint64_t changes = world_.state_changes;
    world_ = SimWorld{};
    world_.state_changes = changes + 1;
    world_.fan_max_rpm[2] = world_.fan_rpm[2] = profile_.fan3_max_rpm;
    // The PCI bridge sets the boot clock, the VID chip the rails.
    for (SimDevice* device : all_devices())
        device->reset();
    for (auto& spd : spd_)
        spd->reset();
    clock_generator_->reset();
    sim_physics_settle(world_);
}

void SimMachine::set_cpu_load(double share) {
    fixed_load_ = share > 0.0 ? std::min(share, 1.0) : 0.0;  // no -0 or NaN in the file
    world_.cpu_load = fixed_load_;
}

// The host's load over the last second or more, from the platform's cumulative counters.
void SimMachine::sample_host_load() {
    uint64_t total = 0, idle = 0;
    if (!current_platform().system_times(total, idle))
        return;
    if (host_total_ != 0 && total > host_total_) {
        const double busy =
            1.0 - static_cast<double>(idle - host_idle_) / static_cast<double>(total - host_total_);
        world_.cpu_load = std::clamp(busy, 0.0, 1.0);
    }
    host_total_ = total;
    host_idle_ = idle;
}

void SimMachine::advance() {
    const uint32_t now = current_clock().now_ms();
    if (!clock_started_) {
        clock_started_ = true;
        last_ms_ = last_load_sample_ms_ = last_save_ms_ = now;
        if (fixed_load_ < 0)
            sample_host_load();
        return;
    }
    const uint32_t elapsed = now - last_ms_;  // wraps like the counter
    if (elapsed == 0)
        return;
    // A burst of VID-chip writes ends once a second passes without one.
    if (rail_watch_)
        rail_watch_->advance(now);
    sim_cpu_burst_end(world_, now, false);
    if (fixed_load_ >= 0) {
        world_.cpu_load = fixed_load_;
    } else if (now - last_load_sample_ms_ >= kLoadSampleMs) {
        sample_host_load();
        last_load_sample_ms_ = now;
    }
    sim_physics_step(world_, elapsed / 1000.0);
    last_ms_ = now;
    save_if_due();
}

SimIoDevice* SimMachine::decoder(uint16_t port) {
    for (SimIoDevice* device : io_)
        if (device->decodes(port))
            return device;
    return nullptr;
}

uint32_t SimMachine::in(uint16_t port, int width) {
    advance();
    SimIoDevice* device = world_.stopped ? nullptr : decoder(port);
    if (!device)
        return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;  // floating bus
    return device->in(port, width);
}

void SimMachine::out(uint16_t port, int width, uint32_t value) {
    advance();
    if (world_.stopped)
        return;  // a stopped PC runs no program
    if (SimIoDevice* device = decoder(port)) {
        device->out(port, width, value);
        save_if_due();
    }
}

void SimMachine::claim_ports(uint16_t first, uint16_t last, const std::string& owner) {
    claims_.push_back({first, last, owner});
}

void SimMachine::check_claims(uint16_t port) {
    for (PortClaim& claim : claims_) {
        if (port < claim.first || port > claim.last || claim.recorded)
            continue;
        claim.recorded = true;
        char text[112];
        std::snprintf(text, sizeof text, "port 0x%04x used by the program while %s holds it", port,
                      claim.owner.c_str());
        world_.record_fault(text);
    }
}

void SimMachine::save_to(const std::string& path) {
    save_path_ = path;
}

void SimMachine::save_if_due() {
    if (world_.state_changes != saved_changes_ && !save_path_.empty() &&
        last_ms_ - last_save_ms_ >= kSaveIntervalMs)
        write_state(save_path_, format_state());
}

bool SimMachine::save_state(const std::string& path) {
    return write_state(path, state_text());
}

// A failing save is retried no sooner than the next interval, and logged once per run of
// failures: a board saving every second must not fill the log with the same line.
bool SimMachine::write_state(const std::string& path, const std::string& text) {
    last_save_ms_ = current_clock().now_ms();
    std::string why;
    const AtomicWrite result = write_file_atomically(path, text, &why);
    if (result != AtomicWrite::Written && result != AtomicWrite::WrittenInPlace) {
        last_save_error_ = why;
        if (!save_failing_)
            debug_print("SIM: Can't write %s: %s\n", path, why);
        save_failing_ = true;
        return false;
    }
    if (result == AtomicWrite::WrittenInPlace && !save_failing_ && !saved_in_place_)
        debug_print("SIM: %s saved in place, %s\n", path, why);
    saved_in_place_ = result == AtomicWrite::WrittenInPlace;
    save_failing_ = false;
    if (path == save_path_)
        saved_changes_ = world_.state_changes;
    return true;
}

// The file as it stands now, without closing a burst of VID-chip writes: a save while the
// rails move must not change how the watch judges them.
std::string SimMachine::format_state() const {
    StateFile file;
    StateSection& machine = file.section("Machine");
    machine.set_int("profile", profile_.number);
    machine.set("board", profile_.name);
    StateSection& world = file.section("World");
    world.set_double("cpu_temp_c", world_.cpu_temp_c);
    world.set_double("sys_temp_c", world_.sys_temp_c);
    world.set_double("ambient_c", world_.ambient_c);
    for (int fan = 0; fan < SimWorld::kFans; ++fan)
        world.set_double("fan" + std::to_string(fan + 1) + "_rpm", world_.fan_rpm[fan]);
    if (fixed_load_ >= 0)
        world.set_double(kPinnedLoadKey, fixed_load_);
    world.set_double(kStableMhzKey, world_.cpu_stable_mhz);
    world.set_int(kUnstableSettingsKey, world_.unstable_settings);
    for (SimDevice* device : all_devices())
        device->save(file.section(device->name()));
    StateSection& faults = file.section("Faults");
    faults.set_int("count", static_cast<int64_t>(world_.faults.size()));
    for (size_t i = 0; i < world_.faults.size(); ++i)
        faults.set("fault" + std::to_string(i + 1), world_.faults[i]);
    return file.format();
}

std::string SimMachine::state_text() {
    close_write_bursts();
    return format_state();
}

void SimMachine::load_state_text(const std::string& text, SimLoadReport& report) {
    power_on();
    StateFile file = StateFile::parse(text, report);
    static const StateSection empty;
    const StateSection* machine = file.find("Machine");
    int64_t number = -1;
    if (!machine || !machine->get_int("profile", number) || number != profile_.number)
        report.problem("Machine: profile missing or invalid, profile " +
                       std::to_string(profile_.number) + " used");
    if (machine)
        machine->find("board");  // the board's name, for the reader; the profile decides
    // A missing section is one problem, not one for each of its keys.
    for (SimDevice* device : all_devices()) {
        if (const StateSection* section = file.find(device->name())) {
            device->load(*section, report);
            continue;
        }
        report.problem(std::string(device->name()) + ": section missing, power-on values used");
        SimLoadReport said;
        device->load(empty, said);
    }
    follow_host_load();  // unless the file pins it
    if (const StateSection* world = file.find("World"))
        load_world(*world, report);
    else
        report.problem("World: section missing, settled values used");
    if (const StateSection* faults = file.find("Faults"))
        load_faults(*faults, report);
    report_unused(file, report);
}

void SimMachine::load_world(const StateSection& world, SimLoadReport& report) {
    auto take = [&](const std::string& key, double& out, double lowest) {
        double v = 0;
        if (world.get_double(key, v) && v >= lowest)
            out = v;
        else
            report.problem("World: " + key + " missing or invalid, settled value used");
    };
    take("cpu_temp_c", world_.cpu_temp_c, -273.15);
    take("sys_temp_c", world_.sys_temp_c, -273.15);
    take("ambient_c", world_.ambient_c, -273.15);
    for (int fan = 0; fan < SimWorld::kFans; ++fan)
        take("fan" + std::to_string(fan + 1) + "_rpm", world_.fan_rpm[fan], 0.0);
    // Optional, for files from before them: the CPU's stable-clock line and the count of
    // changes that ended unstable.
    if (world.find(kStableMhzKey)) {
        double mhz = 0;
        if (world.get_double(kStableMhzKey, mhz) && mhz > 0 && mhz < 100000)
            world_.cpu_stable_mhz = mhz;
        else
            report.problem(std::string("World: ") + kStableMhzKey + " invalid, 2200 used");
    }
    if (world.find(kUnstableSettingsKey)) {
        int64_t count = 0;
        if (world.get_int(kUnstableSettingsKey, count) && count >= 0)
            world_.unstable_settings = count;
        else
            report.problem(std::string("World: ") + kUnstableSettingsKey + " invalid, 0 used");
    }
    // Optional: files without it, and negative shares, follow the host's load.
    if (!world.find(kPinnedLoadKey))
        return;
    double share = 0;
    if (!world.get_double(kPinnedLoadKey, share) || share > 1.0)
        report.problem(std::string("World: ") + kPinnedLoadKey +
                       " invalid, the host's load followed");
    else if (share >= 0)
        set_cpu_load(share);
}

// Without a valid count the faults are taken as far as they are numbered without a gap.
void SimMachine::load_faults(const StateSection& faults, SimLoadReport& report) {
    constexpr int64_t kMaxFaults = 1000;
    int64_t count = 0;
    const bool counted = faults.get_int("count", count) && count >= 0 && count <= kMaxFaults;
    if (!counted)
        report.problem("Faults: count missing or invalid, the numbered faults loaded");
    for (int64_t i = 1; i <= (counted ? count : kMaxFaults); ++i) {
        const std::string key = "fault" + std::to_string(i);
        if (const std::string* text = faults.find(key))
            world_.faults.push_back(*text);
        else if (counted)
            report.problem("Faults: " + key + " missing");
        else
            break;
    }
}

// Sections and keys the board does not have: left over from a hand edit or a typing error.
void SimMachine::report_unused(const StateFile& file, SimLoadReport& report) const {
    std::vector<std::string> known = {"Machine", "World", "Faults"};
    for (SimDevice* device : all_devices())
        known.emplace_back(device->name());
    for (const auto& [name, section] : file.sections()) {
        if (std::find(known.begin(), known.end(), name) == known.end()) {
            report.problem(StateFile::shown(name) + ": unknown section, ignored");
            continue;
        }
        for (const std::string& key : section.unasked_keys())
            report.problem(name + ": unknown key " + StateFile::shown(key) + ", ignored");
    }
}

bool sim_save_state(SimMachine& machine, const std::string& path) {
    return machine.save_state(path);
}

namespace {
// The state file's text. No file is a board just powered on; a path that is not a regular
// file (a FIFO would block the start) or cannot be read is noted in the report.
bool read_whole(const std::string& path, std::string& text, SimLoadReport* report) {
    std::string refused;
    const FileRead read = read_regular_file(path, text, &refused);
    if (read == FileRead::Read)
        return true;
    if (report && read == FileRead::NotRegular)
        report->problem(path + " is not a regular file, not read");
    else if (report && read == FileRead::Refused)
        report->problem(path + " is " + refused + ", not read");
    else if (report && read != FileRead::Missing)
        report->problem(path + " could not be read: " +
                        std::strerror(read == FileRead::NoMemory ? ENOMEM : errno));
    return false;
}
}  // namespace

int sim_state_profile(const std::string& path, SimLoadReport* report) {
    std::string text;
    if (!read_whole(path, text, report))
        return kSimNoStateFile;
    SimLoadReport ignored;
    StateFile file = StateFile::parse(text, ignored);
    const StateSection* machine = file.find("Machine");
    int64_t profile = -1;
    if (!machine || !machine->get_int("profile", profile) || profile < 0 ||
        profile >= kSimProfileCount)
        return kSimStateWithoutProfile;
    return static_cast<int>(profile);
}

bool sim_load_state(SimMachine& machine, SimLoadReport& report, const std::string& path) {
    std::string text;
    if (!read_whole(path, text, &report))
        return false;
    machine.load_state_text(text, report);
    return true;
}
