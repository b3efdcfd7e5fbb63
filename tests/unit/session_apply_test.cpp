// SPDX-License-Identifier: GPL-2.0-or-later
// Apply's decisions and the close on the session alone, without a window, on the simulated
// boards: what is written in which order, what the user is asked and told, and what the close
// puts back.
#include "app/session.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "board/chipset.h"
#include "board/fsb.h"
#include "diag/errortext.h"
#include "helpers/kernel_mode.h"
#include "helpers/recording_view.h"
#include "helpers/window_world.h"
#include "hw/port_access.h"
#include "sim/atxp1.h"
#include "sim/sim_machine.h"

namespace {

using Texts = std::vector<std::string>;

class SessionApply : public WindowWorld, public testing::TestWithParam<bool> {
  protected:
    SessionApply() {
        fsb_reset_state();
        chipset_reset_state();
    }
    ~SessionApply() override {
        kernel.reset();
        install_port_backend(nullptr);
    }

    // The board of the profile with its values read, as the start leaves them.
    void start(int profile, const std::string& main_section = "") {
        machine = std::make_unique<SimMachine>(*sim_profile(profile));
        machine->set_cpu_load(0);
        install_port_backend(machine.get());
        kernel = std::make_unique<KernelMode>(*machine, GetParam());
        write_file("config.ini",
                   "\r\n[Main]\r\nBoard=" + std::to_string(profile) + "\r\n" + main_section);
        session = std::make_unique<Session>(prompts, view, std::vector<std::string>{});
        view.session = session.get();
        ASSERT_TRUE(session->InitValues(true));
        log_start = read_file("velmora.deb").size();
    }
    std::string new_log() {
        const std::string log = read_file("velmora.deb").substr(log_start);
        log_start += log.size();
        return log;
    }

    std::unique_ptr<SimMachine> machine;
    std::unique_ptr<KernelMode> kernel;
    RecordingView view;
    std::unique_ptr<Session> session;
    size_t log_start = 0;
};

TEST_P(SessionApply, TheVcoreRisesBeforeTheClockAndFallsOnlyAfterIt) {
    start(7);
    session->values_selected.vcore = 1.7;
    session->values_selected.fsb = 200;
    session->ApplySteps();
    EXPECT_EQ(new_log(),
              "VELMORA: Setting Vcore to 1.700 done\n"
              "NFORCE2: set_fsb(): Setting FSB to 200 done\nVELMORA: Setting FSB to 200 done\n");
    EXPECT_EQ(view.told, (Texts{"Apply new settings...", "Done."}));
    EXPECT_DOUBLE_EQ(machine->world().vcore, 1.7);
    EXPECT_EQ(machine->world().fsb_mhz, 200);

    // A value between two codes gets the nearer one, and the log names what was set.
    session->values_selected.vcore = 1.59;
    session->values_selected.fsb = 150;
    session->ApplySteps();
    EXPECT_EQ(new_log(),
              "NFORCE2: set_fsb(): Setting FSB to 150 done\nVELMORA: Setting FSB to 150 done\n"
              "VELMORA: Setting Vcore to 1.600 done\n");
    EXPECT_DOUBLE_EQ(machine->world().vcore, 1.6);
    EXPECT_EQ(machine->world().fsb_mhz, 150);
    EXPECT_TRUE(machine->world().faults.empty());
}

TEST_P(SessionApply, OnTheA7n8xNoToTheHighVcoreWarningEndsApplyAndYesGoesOn) {
    start(2);
    session->values_selected.vdimm = 2.9;  // as a preset would: never sent to the board
    session->values_selected.vcore = 1.85;
    session->ApplySteps();
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_EQ(new_log(), "VELMORA: Setting Vcore to 1.850 done\n");

    session->values_selected.vcore = 1.9;
    session->values_selected.fsb = 200;
    view.told.clear();
    session->ApplySteps();  // No
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0].caption, "High VCore warning");
    EXPECT_EQ(prompts.questions[0].text,
              "Setting VCore from <1.85V to >1.85V is not stable!\nDo you want to continue?");
    EXPECT_EQ(view.told, Texts{"Apply new settings..."});
    EXPECT_EQ(session->apply_failures,
              Texts{"VCore above 1.85 V not confirmed, the rest not applied."});
    EXPECT_EQ(session->values_applied.fsb, 166);

    prompts.answers = {true};
    session->ApplySteps();
    // The board has no add-on bits: the setter refuses, and the FSB does not rise on a
    // voltage that was not set, nor at the next Apply.
    EXPECT_EQ(session->last_setter_result, ERR_INVALID_VCORE);
    EXPECT_EQ(view.status, "ERROR: velmora -> Invalid VCore.");
    EXPECT_EQ(session->apply_failures, (Texts{"ERROR: velmora -> Invalid VCore.",
                                              "FSB not raised: the core voltage was not set."}));
    session->ApplySteps();
    const std::string refused =
        "VELMORA: set_vcore(): Doesn't have a vcoreadd value for 0.060\n"
        "VELMORA: Setting Vcore failed\nVELMORA: FSB not raised: the core voltage was not set\n";
    EXPECT_EQ(new_log(), refused + refused);
    EXPECT_EQ(machine->world().fsb_mhz, 166);
}

// Another device where the board's table puts the ATXP1: the voltage bytes would land in it.
TEST_P(SessionApply, ADeviceThatIsNoAtxp1GetsNoVoltageByte) {
    start(7);
    static_cast<Atxp1*>(machine->vid_chip())->set_other_device(true);
    prompts.messages.clear();
    ASSERT_TRUE(session->InitValues(true));
    EXPECT_EQ(prompts.messages, Texts{"ATXP1 not found\nVoltage adjustments not working"});
    EXPECT_DOUBLE_EQ(session->values_read.vcore, 0.0);
    session->values_selected.vcore = 1.7;
    session->values_selected.fsb = 170;
    session->ApplySteps();
    EXPECT_NE(new_log().find("ATXP1: The device on bus 0, addr. 55 is no ATXP1, nothing is "
                             "written to it\n"),
              std::string::npos);
    EXPECT_EQ(machine->world().fsb_mhz, 166);
    EXPECT_TRUE(machine->world().faults.empty()) << machine->world().faults.front();
}

TEST_P(SessionApply, AFailedFsbLeavesItsTextAndIsNotRetriedUnasked) {
    start(7);
    session->values_selected.fsb = 400;  // as "-f 400" would
    session->ApplySteps();
    EXPECT_EQ(new_log(),
              "NFORCE2: set_fsb(): FSB 400 out of range!\nVELMORA: Setting FSB failed!\n");
    EXPECT_EQ(view.status, "FSB setting failed, try another value.");
    EXPECT_EQ(session->apply_failures, Texts{"FSB setting failed, try another value."});
    session->ApplySteps();
    EXPECT_EQ(view.status, "Done.");
    EXPECT_TRUE(session->apply_failures.empty());
}

// The close runs once: the timers stop first, and with "Reset" asked the values found at the
// start go back to the board.
TEST_P(SessionApply, TheResetAtExitPutsTheStartValuesBack) {
    start(7, "Reset=1\r\n");
    view.reset = session->settings.reset > 0;
    session->values_selected.fsb = 200;
    session->ApplySteps();
    ASSERT_DOUBLE_EQ(machine->world().fsb_mhz, 200.0);
    session->Close();
    session->Close();
    EXPECT_EQ(view.timers_stopped, 1);
    EXPECT_DOUBLE_EQ(machine->world().fsb_mhz, 166.0);
    EXPECT_NE(new_log().find("VELMORA: CloseFunc(): reseting all values\n"), std::string::npos);
    EXPECT_TRUE(machine->world().faults.empty());
}

INSTANTIATE_TEST_SUITE_P(BothWays, SessionApply, testing::Bool(), kernel_mode_name);

}  // namespace
