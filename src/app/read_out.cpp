// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/read_out.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "diag/number_text.h"

namespace {

const char* const kRailNames[4] = {"VCore", "VDimm", "VAgp", "Vdd"};
const char* const kRailKeys[4] = {"vcore", "vdimm", "vagp", "vdd"};
const char* const kTimingNames[3] = {"Tras", "Trcd", "Trp"};
// The ten items in the main tab's order, with the unit each is read in.
const char* const kSensorNames[10] = {"CPU", "SYS", "VCore", "VDimm", "Vdd",
                                      "5V",  "12V", "FAN1",  "FAN2",  "FAN3"};
const char* const kSensorUnits[10] = {"°C", "°C", "V", "V", "V", "V", "V", "RPM", "RPM", "RPM"};

std::string number(double v, int decimals) {
    return fixed_text(v, decimals);
}

std::string json_text(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", byte);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// The number a field's text starts with ("45 °C" 45, "1.648 V" 1.648); none for "NA".
std::optional<double> leading_number(const std::string& text) {
    double v = 0.0;
    const auto res =
        std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::fixed);
    if (res.ec != std::errc() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::string json_value(const std::optional<double>& v, const char* unit) {
    // A number as it is, without a trailing ".000" where it is whole.
    std::string shown = "null";
    if (v) {
        shown = number(*v, 3);
        while (shown.back() == '0')
            shown.pop_back();
        if (shown.back() == '.')
            shown.pop_back();
    }
    return std::string("{\"value\": ") + shown + ", \"unit\": " + json_text(unit) + "}";
}

std::string cpu_mhz(const BoardReadOut& r) {
    return number(std::round(r.fsb * r.multiplier), 0);
}

}  // namespace

std::string read_out_text(const BoardReadOut& r) {
    std::string out;
    auto line = [&out](const std::string& name, const std::string& value) {
        out +=
            name + ":" + std::string(name.size() < 11 ? 11 - name.size() : 1, ' ') + value + "\n";
    };
    line("Board",
         r.board_number < 0 ? "none" : r.board_name + " (" + std::to_string(r.board_number) + ")");
    if (!r.simulated.empty())
        line("Simulated", r.simulated);
    line("FSB", std::to_string(r.fsb) + " MHz");
    line("CPU clock",
         cpu_mhz(r) + " MHz (" + std::to_string(r.fsb) + " x " + shortest_text(r.multiplier) + ")");
    for (int i = 0; i < 4; ++i)
        line(kRailNames[i], r.volts[i] ? number(*r.volts[i], i == 0 ? 3 : 2) + " V" : "NA");
    for (int i = 0; i < 3; ++i)
        line(kTimingNames[i], std::to_string(r.timings[i]));
    for (int i = 0; i < 10; ++i)
        line(std::string("Sensor ") + kSensorNames[i], r.sensors[i].empty() ? "NA" : r.sensors[i]);
    return out;
}

std::string read_out_json(const BoardReadOut& r) {
    std::string out = "{\"board\": {\"number\": ";
    out += r.board_number < 0 ? "null" : std::to_string(r.board_number);
    out += ", \"name\": " + (r.board_number < 0 ? std::string("null") : json_text(r.board_name));
    out +=
        ", \"simulated\": " + (r.simulated.empty() ? std::string("null") : json_text(r.simulated));
    out += "}, \"fsb\": " + json_value(r.fsb, "MHz");
    out += ", \"multiplier\": " + json_value(r.multiplier, "x");
    out += ", \"cpu_clock\": " + json_value(std::round(r.fsb * r.multiplier), "MHz");
    out += ", \"voltages\": {";
    for (int i = 0; i < 4; ++i)
        out += std::string(i ? ", " : "") + json_text(kRailKeys[i]) + ": " +
               json_value(r.volts[i], "V");
    out += "}, \"ram_timings\": {";
    for (int i = 0; i < 3; ++i)
        out += std::string(i ? ", " : "") + json_text(kTimingNames[i]) + ": " +
               json_value(r.timings[i], "cycles");
    out += "}, \"sensors\": {";
    for (int i = 0; i < 10; ++i)
        out += std::string(i ? ", " : "") + json_text(kSensorNames[i]) + ": " +
               json_value(leading_number(r.sensors[i]), kSensorUnits[i]);
    return out + "}}\n";
}
