// SPDX-License-Identifier: GPL-2.0-or-later
#include "sim/lm90.h"

#include <cstdio>

#include <cmath>
#include <string>

namespace {

// A temperature as the chip reports it: whole degrees, two's complement, clipped to the byte.
uint8_t temp_byte(double celsius) {
    const double r = std::round(celsius);
    const int t = r > 127.0 ? 127 : r < -128.0 ? -128 : static_cast<int>(r);
    return static_cast<uint8_t>(t);
}

}  // namespace

void Lm90::reset_registers() {
    config_ = 0x00;    // converting continuously, alert enabled
    convrate_ = 0x08;  // 16 conversions per second
}

uint8_t Lm90::read_byte(uint8_t command) {
    switch (command) {
        case LM90_REG_R_LOCAL_TEMP:
            return temp_byte(world_.sys_temp_c);
        case LM90_REG_R_REMOTE_TEMPH:
            return temp_byte(world_.cpu_temp_c - ((chip_id_ & 0xF0) == 0x30 ? 16.0 : 0.0));
        case LM90_REG_R_CONFIG1:
            return config_;
        case LM90_REG_R_CONVRATE:
            return convrate_;
        case LM90_REG_R_MAN_ID:
            return LM90_MAN_ID;
        case LM90_REG_R_CHIP_ID:
            return chip_id_;
    }
    return 0xFF;
}

// Rates above 9 are undefined on the chip; it keeps whatever was written.
void Lm90::write_byte(uint8_t command, uint8_t value) {
    uint8_t* reg = command == LM90_REG_W_CONFIG1    ? &config_
                   : command == LM90_REG_W_CONVRATE ? &convrate_
                                                    : nullptr;
    if (!reg) {
        // The limits, the one-shot and the alert settings are never velmora's to write.
        char text[96];
        std::snprintf(text, sizeof text,
                      "LM90: write of 0x%02x to register 0x%02x, neither configuration nor "
                      "conversion rate",
                      value, command);
        world_.record_fault(text);
        return;
    }
    if (*reg != value) {
        *reg = value;
        ++world_.state_changes;
    }
}

void Lm90::save_registers(StateSection& out) const {
    out.set_u8("chip_id", chip_id_);
    out.set_u8("config", config_);
    out.set_u8("conversion_rate", convrate_);
}

void Lm90::load_registers(const StateSection& in, SimLoadReport& report) {
    // Optional: files from before the key hold an LM90.
    chip_id_ = LM90_CHIP_ID;
    if (in.find("chip_id") && !in.get_u8("chip_id", chip_id_)) {
        chip_id_ = LM90_CHIP_ID;
        report.problem("LM90: chip_id invalid, an LM90 used");
    }
    if (!in.get_u8("config", config_))
        report.problem("LM90: config missing or invalid, power-on value used");
    if (!in.get_u8("conversion_rate", convrate_))
        report.problem("LM90: conversion_rate missing or invalid, power-on value used");
}
