// SPDX-License-Identifier: GPL-2.0-or-later
// Apply: every selected value that differs from the applied one goes to the board, in the
// order that keeps the CPU safe, and each failure is said once.
#include <cmath>
#include <string>

#include "app/prompts.h"
#include "app/session.h"
#include "board/chipset.h"
#include "board/fsb.h"
#include "board/voltage.h"
#include "diag/debuglog.h"
#include "diag/errortext.h"
#include "hw/stop_request.h"

namespace {

constexpr double kVidTopVolts = 1.85;  // above it only the add-on bits lift the core
constexpr int32_t kAsusA7n8x = 2;      // board number; unstable above 1.85 V and with a higher Vdd

const char* const kHighVcoreText =
    "Setting VCore from <1.85V to >1.85V is not stable!\nDo you want to continue?";
const char* const kHighVcoreCaption = "High VCore warning";
const char* const kRegulatorOffText =
    "VID code 11111 switches the core regulator off on most boards; the PC will stop. Set "
    "1.075 V anyway?";
const char* const kRegulatorOffCaption = "Core regulator warning";
const char* const kHigherVddText =
    "Setting Vdd to a higher value is not very stable!\nDo you want to continue?";
const char* const kHigherVddCaption = "Higher Vdd warning";

bool above_vid_range(double v) {
    return std::lround(v * 1000.0) > std::lround(kVidTopVolts * 1000.0);
}

}  // namespace

void Session::ApplySteps() {
    view_.show_status("Apply new settings...");
    apply_failures.clear();

    // A failure's text must outlast the steps after it, or "Done." would hide it.
    std::string failure;
    auto failed = [&](const std::string& text) {
        failure = text;
        apply_failures.push_back(text);
        view_.show_status(text);
    };
    // A question answered No ends the Apply: what it asked about and every later step stay
    // as they were.
    auto declined = [&](const char* what) {
        apply_failures.push_back(std::string(what) + " not confirmed, the rest not applied.");
    };

    // RAM timings are bytes in the chipset record: a value outside its range would be cut to
    // another valid one (257 to 1), so such a selection is refused before anything is written.
    const struct {
        const char* name;
        int32_t value;
        int32_t max;
    } timings[] = {{"Tras", values_selected.tras, 31},
                   {"Trcd", values_selected.trcd, 7},
                   {"Trp", values_selected.trp, 7}};
    for (const auto& t : timings) {
        if (t.value >= 1 && t.value <= t.max)
            continue;
        debug_print("VELMORA: %s %d out of range 1 to %d, nothing applied\n", t.name, t.value,
                    t.max);
        const std::string refusal = std::string(t.name) + " " + std::to_string(t.value) +
                                    " is out of range (1 to " + std::to_string(t.max) +
                                    "), nothing applied.";
        apply_failures.push_back(refusal);
        view_.show_status(refusal);
        return;
    }

    enum class Step { Done, Declined, Failed };
    const bool fsb_rises = values_selected.fsb > values_applied.fsb;
    auto vcore_step = [&]() {
        // A core voltage that failed before is set again before any FSB rises on it.
        if (same_volts(values_selected.vcore, values_applied.vcore) &&
            !(fsb_rises && vcore_unsettled))
            return Step::Done;
        if (board_number == kAsusA7n8x && above_vid_range(values_selected.vcore) &&
            !above_vid_range(values_applied.vcore) &&
            !prompts_.ask_yes_no(kHighVcoreText, kHighVcoreCaption)) {
            declined("VCore above 1.85 V");
            return Step::Declined;
        }
        // The lowest VID code is "no CPU" to the regulator: only when the user says so. A No
        // writes nothing, so the chip keeps its voltage and nothing counts as applied.
        const bool switches_off = vcore_switches_regulator_off(board, values_selected.vcore);
        if (switches_off && !prompts_.ask_yes_no(kRegulatorOffText, kRegulatorOffCaption)) {
            last_setter_result = ERR_INVALID_VCORE;
            debug_print("VELMORA: Setting Vcore failed\n");
            failed(error_text(last_setter_result));
            return Step::Failed;
        }
        // Counted as applied before the setter runs: a failed value is not retried unasked.
        values_applied.vcore = values_selected.vcore;
        last_setter_result = set_vcore(board, values_selected.vcore, switches_off);
        vcore_unsettled = last_setter_result != 0;
        if (last_setter_result != 0) {
            debug_print("VELMORA: Setting Vcore failed\n");
            failed(error_text(last_setter_result));
            return Step::Failed;
        }
        debug_print("VELMORA: Setting Vcore to %f done\n",
                    vcore_setting(board, values_selected.vcore));
        return Step::Done;
    };
    auto fsb_step = [&] {
        if (values_selected.fsb == values_applied.fsb)
            return Step::Done;
        values_applied.fsb = values_selected.fsb;
        const int result = set_fsb(values_selected.fsb);
        if (result == 0) {
            debug_print("VELMORA: Setting FSB to %d done\n", values_selected.fsb);
            return Step::Done;
        }
        if (result == 3) {
            // A signal or the close stopped the walk at a whole step: that is no failure, and
            // the next Apply goes on from there.
            values_applied.fsb = get_fsb();
            debug_print("VELMORA: Setting FSB stopped at %d MHz\n", values_applied.fsb);
            failed("FSB setting stopped at " + std::to_string(values_applied.fsb) + " MHz.");
        } else if (result == FSB_REFUSED) {
            debug_print("VELMORA: Setting FSB refused: %s drives the clock\n", fsb_holder());
            failed("FSB not set: the kernel's cpufreq driver " + fsb_holder() +
                   " drives the clock.");
        } else {
            debug_print("VELMORA: Setting FSB failed!\n");
            failed("FSB setting failed, try another value.");
        }
        return Step::Failed;
    };

    // The core needs its voltage before the clock rises, and keeps it until the clock fell. A
    // failure skips the step that depends on it: no clock rises on a voltage that was not set,
    // and no voltage changes under a clock that did not fall.
    if (values_selected.fsb >= values_applied.fsb) {
        const Step vcore = vcore_step();
        if (vcore == Step::Declined)
            return;
        if (vcore == Step::Done) {
            fsb_step();
        } else if (fsb_rises) {
            debug_print("VELMORA: FSB not raised: the core voltage was not set\n");
            apply_failures.push_back("FSB not raised: the core voltage was not set.");
        }
    } else if (fsb_step() == Step::Done) {
        if (vcore_step() == Step::Declined)
            return;
    } else if (!same_volts(values_selected.vcore, values_applied.vcore)) {
        debug_print("VELMORA: Vcore not changed: the FSB was not set\n");
        apply_failures.push_back("VCore not changed: the FSB was not set.");
    }
    // A signal asks the process to end, or the window to close: no further step starts.
    if (stop_pending()) {
        apply_failures.push_back("Apply stopped on request, the remaining steps skipped.");
        return;
    }

    struct TableStep {
        const VoltageTable& table;
        double& selected;
        double& applied;
        int (*set)(Board&, double);
        const char* failed_line;
        const char* done_line;
        const char* done_mark;  // appended to the status text, or nullptr
        const char* warning;    // asked first on the A7N8X, or nullptr
        const char* warning_caption;
    };
    const TableStep steps[] = {
        {board.vdimm, values_selected.vdimm, values_applied.vdimm, set_vdimm,
         "VELMORA: Setting Vdimm failed\n", "VELMORA: Setting Vdimm to %f done\n", "VDimm.",
         nullptr, nullptr},
        {board.vagp, values_selected.vagp, values_applied.vagp, set_vagp,
         "VELMORA: Setting Vagp failed\n", "VELMORA: Setting Vagp to %f done\n", "VAgp.", nullptr,
         nullptr},
        {board.vdd, values_selected.vdd, values_applied.vdd, set_vdd,
         "VELMORA: Setting Vdd failed\n", "VELMORA: Setting Vdd to %f done\n", nullptr,
         kHigherVddText, kHigherVddCaption},
    };
    for (const TableStep& step : steps) {
        if (table_count(step.table) == 0 || same_volts(step.selected, step.applied))
            continue;
        if (step.warning && board_number == kAsusA7n8x &&
            !prompts_.ask_yes_no(step.warning, step.warning_caption)) {
            declined("A higher Vdd");
            return;
        }
        step.applied = step.selected;
        last_setter_result = step.set(board, step.selected);
        if (last_setter_result != 0) {
            debug_print(step.failed_line);
            failed(error_text(last_setter_result));
        } else {
            debug_print(step.done_line, step.selected);
            if (step.done_mark)
                view_.append_status(step.done_mark);
        }
    }

    // The chipset module writes only the timings that differ from what it last read.
    values_applied.tras = values_selected.tras;
    values_applied.trcd = values_selected.trcd;
    values_applied.trp = values_selected.trp;
    chipset.tras = static_cast<uint8_t>(values_selected.tras);
    chipset.trcd = static_cast<uint8_t>(values_selected.trcd);
    chipset.trp = static_cast<uint8_t>(values_selected.trp);
    chipset.auto_precharge = view_.auto_precharge_selected() ? 1 : 0;
    write_chipset_settings(&chipset);

    view_.show_status(failure.empty() ? std::string("Done.") : failure);
}
