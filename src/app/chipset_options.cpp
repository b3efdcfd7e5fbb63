// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/chipset_options.h"

#include "app/main_settings.h"
#include "diag/debuglog.h"

namespace {

constexpr const char* kSection = "Chipset";
constexpr int kApertureUnitMb = 32;
constexpr int32_t kApertureCode512Mb = 16;  // read from a chipset at 512 MB, never written

// A value that is no whole number, or does not fit the register, leaves the chipset's value:
// cut to a byte it would set another latency.
void read_byte(const char* key, uint8_t& field) {
    int32_t value = 0;
    if (!read_whole_number(kSection, key, value))
        return;
    if (value < 0 || value > 255) {
        debug_print("VELMORA: %s %d in config.ini out of range 0 to 255, chipset value kept\n", key,
                    value);
        return;
    }
    field = static_cast<uint8_t>(value);
}

void append(std::string& text, const std::string& sentence) {
    if (!text.empty())
        text += ' ';
    text += sentence;
}

}  // namespace

int32_t read_chipset_load() {
    int32_t load = 0;
    read_whole_number(kSection, "Load", load);
    return load;
}

bool stored_aperture_valid(int32_t code) {
    return code >= 1 && code <= 15;
}

void read_stored_chipset_options(ChipsetSettings& record) {
    read_byte("AutoPrecharge", record.auto_precharge);
    read_byte("StpGnt", record.stpgnt);
    read_byte("AGPSB", record.agp_sba);
    // Read whole, so that a number past 255 is not cut down to some other code that passes.
    int32_t aperture = 0;
    if (read_whole_number(kSection, "AGPAP", aperture)) {
        if (stored_aperture_valid(aperture))
            record.agp_aperture = static_cast<uint8_t>(aperture);
        else if (aperture == kApertureCode512Mb && record.agp_aperture == kApertureCode512Mb)
            ;  // what a run saved from a chipset at 512 MB: the chipset holds it already
        else if (aperture == kApertureCode512Mb)
            debug_print(
                "VELMORA: AGPAP 16 (512 MB) in config.ini cannot be set, chipset value kept\n");
        else
            debug_print(
                "VELMORA: AGPAP %d in config.ini out of range 1 to 15, chipset value "
                "kept\n",
                aperture);
    }
    read_byte("PCIBusLatency", record.pci_bus_latency);
    read_byte("AGPBusLatency", record.agp_bus_latency);
    read_byte("AGPCtrLatency", record.agp_ctr_latency);
}

std::string chipset_options_not_taken(const ChipsetSettings& wanted, const ChipsetSettings& taken) {
    std::string text;
    auto on_off = [](uint8_t on) { return std::string(on ? "on" : "off"); };
    if ((wanted.stpgnt != 0) != (taken.stpgnt != 0))
        append(text, "STPGNT " + on_off(wanted.stpgnt) + " not set.");
    if ((wanted.agp_sba != 0) != (taken.agp_sba != 0))
        append(text, "AGP-SBA " + on_off(wanted.agp_sba) + " not set.");
    auto number = [&](const char* what, uint8_t want, uint8_t got) {
        if (want != got)
            append(text, std::string(what) + " " + std::to_string(want) + " not set.");
    };
    number("PCI bridge latency", wanted.pci_bus_latency, taken.pci_bus_latency);
    number("AGP controller latency", wanted.agp_ctr_latency, taken.agp_ctr_latency);
    number("AGP bus latency", wanted.agp_bus_latency, taken.agp_bus_latency);
    if (wanted.agp_aperture != taken.agp_aperture)
        append(text, "AGP aperture size " + std::to_string(wanted.agp_aperture * kApertureUnitMb) +
                         " MB not set.");
    return text;
}
