// SPDX-License-Identifier: GPL-2.0-or-later
// The simulated nForce2 machine: a port backend made of device models, as a real board
// answers the same accesses. It keeps time with the installed clock, moves its physics along
// at every access, and keeps its registers and physical state in a state file so that, like a
// real board, it still holds at the next start what the last run set.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hw/port_io.h"
#include "sim/sim_device.h"
#include "sim/sim_profile.h"
#include "sim/sim_world.h"

class Atxp1;
class BiosSmi;
class ClockGenerator;
class Cmos;
class It8712f;
class Lm90;
class Ms3;
class Nforce2Pci;
class PostDisplay;
class SmbusHost;
class SpdEeprom;
class StateFile;
class StateSection;
class VcoreRailWatch;
class W83627hf;

inline constexpr const char* kSimStateFile = "velmora-sim.ini";

class SimMachine : public PortBackend {
  public:
    // The board of the profile (0..14), at power-on.
    explicit SimMachine(const SimProfile& profile);
    ~SimMachine() override;
    SimMachine(const SimMachine&) = delete;
    SimMachine& operator=(const SimMachine&) = delete;

    uint8_t in8(uint16_t port) override { return static_cast<uint8_t>(program_in(port, 1)); }
    uint16_t in16(uint16_t port) override { return static_cast<uint16_t>(program_in(port, 2)); }
    uint32_t in32(uint16_t port) override { return program_in(port, 4); }
    void out8(uint16_t port, uint8_t value) override { program_out(port, 1, value); }
    void out16(uint16_t port, uint16_t value) override { program_out(port, 2, value); }
    void out32(uint16_t port, uint32_t value) override { program_out(port, 4, value); }

    const SimProfile& profile() const { return profile_; }
    SimWorld& world() { return world_; }
    const SimWorld& world() const { return world_; }

    // Every device back to its power-on values and the world settled: a power cycle.
    void power_on();

    // The simulated CPU's load: the host's real load (the default), or a fixed share 0..1 for
    // tests and demonstrations. A fixed share is kept in the state file ([World] pinned_load),
    // so that a whole run of the program can read temperatures that do not depend on the
    // host; a file without the key, or with a negative share, follows the host.
    void follow_host_load() { fixed_load_ = -1.0; }
    void set_cpu_load(double share);
    bool load_pinned() const { return fixed_load_ >= 0; }

    // Moves the physics to the clock's present time (also done at every port access), and
    // closes a burst of VID-chip writes whose last write lies a second or more back.
    void advance();

    // Closes the open burst of VID-chip writes now and records its fault, if it had one, so
    // that world().faults holds the whole judgement right after a voltage change.
    void close_write_bursts();

    // The whole state as the state file holds it, and back. Saving closes the open burst of
    // VID-chip writes first. Loading takes every valid value, resets the rest to power-on
    // values and reports one problem each, and one for each section or key the board does not
    // have.
    std::string state_text();
    void load_state_text(const std::string& text, SimLoadReport& report);

    // Saves the state to `path` by itself from now on, as a real board holds its settings
    // however the program ends: once what the file keeps has changed (a register write, a
    // fault) and a second or more has passed since the last save, right after that write or
    // at the first port access once the second is over. An empty path (the default) saves
    // nothing by itself.
    void save_to(const std::string& path);
    // Writes the whole state to `path` at once, closing the open burst of VID-chip writes
    // first. A failure is logged ("SIM: Can't write <path>") once until a save succeeds again.
    bool save_state(const std::string& path);
    // Why the last failed save failed ("not a regular file", "No space left on device").
    const std::string& last_save_error() const { return last_save_error_; }

    // Ports a kernel driver holds (as procfs ioports lists them): the program's own access to
    // one of them cuts into the driver's work and is recorded as a fault, once per claim. The
    // simulated kernel itself reaches them through kernel_in and kernel_out.
    void claim_ports(uint16_t first, uint16_t last, const std::string& owner);
    uint32_t kernel_in(uint16_t port, int width) { return in(port, width); }
    void kernel_out(uint16_t port, int width, uint32_t value) { out(port, width, value); }

    // The devices, for tests and the window's status.
    SmbusHost& smbus(int bus) { return *smbus_[bus]; }
    Nforce2Pci& pci() { return *pci_; }
    PostDisplay& port80() { return *port80_; }
    // The ATXP1 or MS-3 of the profile, nullptr when it has none: tests make it stop
    // acknowledging through it.
    SimSmbusDevice* vid_chip() { return vid_chip_; }
    // The LM90 on the SMBus; nullptr on a board without one.
    SimSmbusDevice* lm90();

  private:
    uint32_t in(uint16_t port, int width);
    void out(uint16_t port, int width, uint32_t value);
    // Records a fault when the program touches a port a kernel driver holds.
    void check_claims(uint16_t port);
    SimIoDevice* decoder(uint16_t port);
    std::vector<SimDevice*> all_devices() const;
    void sample_host_load();
    std::string format_state() const;
    void load_world(const StateSection& world, SimLoadReport& report);
    void load_faults(const StateSection& faults, SimLoadReport& report);
    void report_unused(const StateFile& file, SimLoadReport& report) const;
    bool write_state(const std::string& path, const std::string& text);
    void save_if_due();

    const SimProfile& profile_;
    SimWorld world_;
    double fixed_load_ = -1.0;
    bool clock_started_ = false;
    uint32_t last_ms_ = 0;
    uint32_t last_load_sample_ms_ = 0;
    uint64_t host_total_ = 0, host_idle_ = 0;

    std::string save_path_;       // where the machine saves by itself; empty: nowhere
    uint64_t saved_changes_ = 0;  // world_.state_changes when the file was last saved
    uint32_t last_save_ms_ = 0;   // of the last save or attempt
    std::string last_save_error_;
    bool save_failing_ = false;    // the last save failed and said so
    bool saved_in_place_ = false;  // said once, not at every save

    std::unique_ptr<Nforce2Pci> pci_;
    std::unique_ptr<SmbusHost> smbus_[2];
    std::unique_ptr<Atxp1> atxp1_;
    std::unique_ptr<Ms3> ms3_;
    SimSmbusDevice* vid_chip_ = nullptr;    // whichever of the two the board has
    VcoreRailWatch* rail_watch_ = nullptr;  // that chip's watch on the core rail
    std::unique_ptr<Lm90> lm90_;
    std::unique_ptr<W83627hf> winbond_;
    std::unique_ptr<It8712f> ite_;
    std::unique_ptr<BiosSmi> smi_;
    std::unique_ptr<Cmos> cmos_;
    std::unique_ptr<PostDisplay> port80_;
    std::unique_ptr<SpdEeprom> spd_[4];  // 0x50-0x53
    std::unique_ptr<ClockGenerator> clock_generator_;
    std::vector<SimIoDevice*> io_;

    struct PortClaim {
        uint16_t first, last;
        std::string owner;
        bool recorded = false;
    };
    std::vector<PortClaim> claims_;

    uint32_t program_in(uint16_t port, int width) {
        if (!claims_.empty())
            check_claims(port);
        return in(port, width);
    }
    void program_out(uint16_t port, int width, uint32_t value) {
        if (!claims_.empty())
            check_claims(port);
        out(port, width, value);
    }
};

// Saves the machine's state to the file, replacing it whole only once every byte is written.
// False (and a "SIM: " log line, once per run of failures) when it cannot be written.
bool sim_save_state(SimMachine& machine, const std::string& path = kSimStateFile);

// What sim_state_profile finds besides a profile number.
inline constexpr int kSimNoStateFile = -1;
inline constexpr int kSimStateWithoutProfile = -2;  // a file, but no valid profile in it

// The profile number a state file was made with, kSimNoStateFile when there is no readable
// regular file, kSimStateWithoutProfile when the file names no valid profile. A path that is
// there but is no readable regular file is noted in the report, when given.
int sim_state_profile(const std::string& path = kSimStateFile, SimLoadReport* report = nullptr);

// Loads the state file into the machine and reports its problems. False when there is no
// readable regular file (the machine stays at power-on).
bool sim_load_state(SimMachine& machine, SimLoadReport& report,
                    const std::string& path = kSimStateFile);
