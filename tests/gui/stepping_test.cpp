// SPDX-License-Identifier: GPL-2.0-or-later
// Long hardware work with the window's event loop running: an Apply and an AutoFSB run go one
// step per event, sensor ticks step between them, and a close, an Apply or a hot CPU ends a
// run after its current step.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <string>

#include "automation/cpuload.h"
#include "automation/presets.h"
#include "board/fsb.h"
#include "gui/close_signals.h"
#include "gui/hardware_steps.h"
#include "gui/main_window.h"
#include "helpers/passing_ports.h"
#include "helpers/window_world.h"
#include "hw/stop_request.h"
#include "sim/sim_machine.h"

namespace {

using Kind = HardwareSteps::Kind;

class Stepping : public ::testing::Test, protected WindowWorld {
  protected:
    Stepping() {
        presets_reset_state();
        fsb_reset_state();
        clock.now = 1000;
        machine.set_cpu_load(0);
        install_port_backend(&machine);
        write_file("sensor.ini", "[Sensormap]\r\n7=1:0,1:2,1:0,1:1,1:5,1:3,1:4,1:0,1:1,1:2\r\n");
    }
    ~Stepping() override {
        // A test that stopped early may have left a board of its own installed, gone by now:
        // the window closes on the fixture's board.
        install_port_backend(&machine);
        main.reset();
        install_port_backend(nullptr);
        presets_reset_state();
    }
    void start(const std::string& autofsb, int board = 7) {
        write_file("config.ini", "\r\n[Main]\r\nBoard=" + std::to_string(board) +
                                     "\r\n\r\n[AutoFSB]\r\n" + autofsb);
        main = std::make_unique<TMain>(prompts, std::vector<std::string>{});
        cpuload_stop();
        main->EnableHardwareStepping();
    }
    HardwareSteps& steps() { return main->hardware_steps(); }
    // One step of whichever job waits; what the GUI thread slept inside it, in ms (the wait
    // before it is the timer's, not the thread's).
    uint32_t step() {
        const int64_t timer_wait = steps().next_wait();
        const size_t before = clock.sleeps.size();
        EXPECT_TRUE(steps().run_next_step());
        uint32_t slept = std::accumulate(clock.sleeps.begin() + before, clock.sleeps.end(), 0u);
        if (timer_wait > 0 && clock.sleeps.size() > before)
            slept -= clock.sleeps[before];
        return slept;
    }
    // A Timer1 tick in the middle of the work: it runs its reads to their end, between the
    // work's steps, and shows the CPU temperature.
    void sensor_tick_between_steps(double cpu_temp) {
        machine.world().cpu_temp_c = cpu_temp;
        main->UpdateSensor(main->Timer1);
        while (steps().busy(Kind::Sensors))
            EXPECT_LE(step(), 50u);
        EXPECT_EQ(main->cpu_temperature, static_cast<int>(cpu_temp));
    }
    static size_t count(const std::string& text, const std::string& part) {
        size_t n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++n;
        return n;
    }
    std::string status() { return main->StatusBar1->currentMessage().toStdString(); }
    std::string log() { return read_file("velmora.deb"); }

    SimMachine machine{*sim_profile(7)};
    std::unique_ptr<TMain> main;
};

TEST_F(Stepping, ApplyOf166To200StepsWithTheWindowAnsweringAndAClosePromptlyEndsIt) {
    start("");
    main->main_tab.ShowFsb(200);
    ASSERT_EQ(main->values_selected.fsb, 200);
    main->main_tab.Apply(main->main_tab.ButtonApply);
    // The click returned with the walk under way and the controls of another action off.
    ASSERT_TRUE(steps().busy(Kind::Action));
    EXPECT_FALSE(main->main_tab.ButtonApply->isEnabled());
    EXPECT_FALSE(main->autofsb_group.ButtonPresetApply->isEnabled());
    int steps_taken = 0;
    while (machine.world().fsb_mhz < 180.0) {
        EXPECT_LE(step(), 50u);
        ++steps_taken;
        if (steps_taken % 7 == 0)
            sensor_tick_between_steps(40.0 + steps_taken / 7);
    }
    EXPECT_EQ(status(), "FSB 180 \u2192 200 MHz");
    EXPECT_NE(main->tray.TrayIcon1->toolTip().toStdString().find("\nFSB 180 \u2192 200 MHz"),
              std::string::npos);

    // The close waits for the step in progress only, then ends the program's work as usual.
    EXPECT_FALSE(main->close());
    EXPECT_LE(step(), 50u);
    EXPECT_FALSE(steps().busy_at_all());
    EXPECT_TRUE(main->closing_);
    EXPECT_DOUBLE_EQ(machine.world().fsb_mhz, 180.0);
    EXPECT_EQ(main->values_applied.fsb, 180);
    EXPECT_NE(log().find("NFORCE2: set_fsb(): stopped at 180 MHz\n"
                         "VELMORA: Setting FSB stopped at 180 MHz\n"),
              std::string::npos);
    EXPECT_EQ(log().find("failed"), std::string::npos);
    EXPECT_TRUE(machine.world().faults.empty()) << machine.world().faults.front();
}

TEST_F(Stepping, AnAutoFsbRunStepsAndEndsOnAHotReadingOrAnApplyAfterItsCurrentStep) {
    write_file("autofan.ini", "[ID1.0]\r\nenabled=1\r\nduty_min=120\r\nduty_max=200\r\n");
    start(
        "Enable=1\r\nMinFSB=166\r\nMaxFSB=190\r\nDelayChange=1000\r\nMaxTemp=60\r\n"
        "\r\n[AutoFAN]\r\nEnable=1\r\n");
    cpu_load.store(95);
    main->autofsb_group.AutoFSB(main->TimerAutoFSBmax);  // arms
    main->autofsb_group.AutoFSB(
        main->TimerAutoFSBmax);  // starts the run: 1 MHz per step, 1 s apart
    ASSERT_TRUE(main->autofsb_run_active);
    EXPECT_TRUE(main->main_tab.ButtonApply->isEnabled());  // Apply ends a run, so it stays on
    int ticks = 0;
    while (machine.world().fsb_mhz < 177.0) {
        EXPECT_LE(step(), 50u);
        const size_t fan_steps = count(log(), "AUTOFAN: New speed for fan control 1");
        sensor_tick_between_steps(ticks++ % 2 ? 45.0 : 42.0);  // a new speed each tick
        EXPECT_EQ(count(log(), "AUTOFAN: New speed for fan control 1"), fan_steps + 1);
        // The timers' ticks are skipped while the run steps.
        const size_t checks = log().size();
        main->autofsb_group.AutoFSB(main->TimerAutoFSBmin);
        EXPECT_EQ(log().size(), checks);
    }
    EXPECT_EQ(status(), "FSB 177 \u2192 190 MHz");

    // A reading at MaxTemp ends the up-run after its current step.
    sensor_tick_between_steps(60.0);
    while (steps().busy(Kind::Action))
        step();
    const int hot_end = main->values_applied.fsb;
    EXPECT_LE(hot_end, 178);
    EXPECT_DOUBLE_EQ(machine.world().fsb_mhz, hot_end);
    EXPECT_EQ(status(), "AutoFSB run done.");
    EXPECT_TRUE(main->TimerAutoFSBmax->isActive());

    // Apply during a run: the run stops after its current step, then the Apply runs with the
    // FSB the run reached as applied (nothing selected differs, so it writes no FSB).
    sensor_tick_between_steps(45.0);
    main->autofsb_group.AutoFSB(main->TimerAutoFSBmax);
    main->autofsb_group.AutoFSB(main->TimerAutoFSBmax);
    ASSERT_TRUE(main->autofsb_run_active);
    step();
    step();
    main->main_tab.Apply(main->main_tab.ButtonApply);
    while (steps().busy(Kind::Action))
        step();
    const int reached = main->values_applied.fsb;
    EXPECT_GT(reached, hot_end);
    EXPECT_DOUBLE_EQ(machine.world().fsb_mhz, reached);
    const std::string text = log();
    const std::string stop_line = "AUTOFSB: stopped at " + std::to_string(reached) + " MHz\n";
    ASSERT_NE(text.find(stop_line), std::string::npos) << text;
    EXPECT_EQ(text.find("failed", text.find(stop_line)), std::string::npos);
    EXPECT_EQ(text.find("set_fsb", text.find(stop_line)), std::string::npos);
    EXPECT_EQ(status(), "Done.");

    // A close during a run: it ends after the step in progress, its wait not cut, and the
    // close goes on.
    main->autofsb_group.AutoFSB(main->TimerAutoFSBmax);
    main->autofsb_group.AutoFSB(main->TimerAutoFSBmax);
    ASSERT_TRUE(main->autofsb_run_active);
    step();
    const uint32_t waited_before = std::accumulate(clock.sleeps.begin(), clock.sleeps.end(), 0u);
    EXPECT_FALSE(main->close());
    while (steps().busy_at_all())
        step();
    EXPECT_GE(std::accumulate(clock.sleeps.begin(), clock.sleeps.end(), 0u) - waited_before, 150u);
    EXPECT_TRUE(main->closing_);
    EXPECT_EQ(count(log(), "AUTOFSB: stopped at"), 2u);
    EXPECT_TRUE(machine.world().faults.empty()) << machine.world().faults.front();
}

TEST_F(Stepping, OnTheLm90BoardsASensorTickReadsOneTransactionPerStep) {
    for (int profile : {4, 5, 10}) {
        SimMachine lm90_board{*sim_profile(profile)};
        install_port_backend(&lm90_board);
        start("", sim_profile(profile)->number);
        main->UpdateSensor(main->Timer1);
        int steps_taken = 1;
        while (steps().busy(Kind::Sensors)) {
            EXPECT_LE(step(), 50u) << profile;
            ++steps_taken;
        }
        EXPECT_GE(steps_taken, 3) << profile;
        // Setting the board again reads it and finds its sensors, one transaction per step.
        main->PageControl1->setCurrentWidget(main->TabSheet3);
        main->settings_tab.Button1->click();
        EXPECT_FALSE(main->main_tab.ButtonApply->isEnabled()) << profile;
        while (steps().busy_at_all())
            EXPECT_LE(step(), 50u) << profile;
        EXPECT_TRUE(main->main_tab.ButtonApply->isEnabled()) << profile;
        EXPECT_EQ(main->PageControl1->currentWidget(), main->TabSheet1) << profile;
        main.reset();
        install_port_backend(&machine);
    }
}

// A handler only queues hardware work, to run at a later turn of the event loop; and once a
// job has begun a sequence of transactions (the Vdd setter reads the ATXP1, then writes one of
// its registers back), a sensor tick waits until that job reaches a pause of its own or ends.
TEST_F(Stepping, AJobStartsAtALaterTurnAndKeepsThePortsThroughItsSequence) {
    SimMachine dfi{*sim_profile(4)};  // the LM90 on the ATXP1's bus
    install_port_backend(&dfi);
    write_file("sensormap.ini", read_file(VELMORA_SOURCE_DIR "/data/sensormap.ini"));
    start("", sim_profile(4)->number);
    main->main_tab.ShowVdd(1.7);
    const size_t sleeps = clock.sleeps.size();
    main->main_tab.Apply(main->main_tab.ButtonApply);
    EXPECT_EQ(clock.sleeps.size(), sleeps);  // nothing touched the board yet
    step();                                  // the first of its transactions
    main->UpdateSensor(main->Timer1);
    EXPECT_EQ(clock.sleeps.size(), sleeps + 1);
    while (steps().busy(Kind::Action)) {
        EXPECT_TRUE(steps().busy(Kind::Sensors));
        step();
    }
    EXPECT_NEAR(dfi.world().vdd, 1.7, 1e-9);
    while (steps().busy_at_all())
        step();
    EXPECT_TRUE(dfi.world().faults.empty()) << dfi.world().faults[0];
    main.reset();
    install_port_backend(&machine);
}

// Under the real event loop a step waits for the clock, not for its timer: a timer that fires
// before the clock shows the whole wait passed is armed again for the rest.
TEST_F(Stepping, AStepGoesOnOnlyOnceTheClockShowsItsWholeWait) {
    start("");
    main->main_tab.ShowFsb(170);
    main->main_tab.Apply(main->main_tab.ButtonApply);
    const auto run_loop = [](int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    };
    run_loop(400);  // the virtual clock stands still: the walk stays at its first step
    EXPECT_DOUBLE_EQ(machine.world().fsb_mhz, 166.0);
    clock.advance(150);
    run_loop(100);
    EXPECT_DOUBLE_EQ(machine.world().fsb_mhz, 167.0);
    main.reset();
}

// Every kind of job, ended by each kind of request: an Apply and an AutoFSB run stop at their
// next whole step, a sensor tick and a board change (they only read) run to their end; the
// close then saves the files, and the board holds what the window shows as applied.
TEST_F(Stepping, EachKindOfJobEndsAtAWholeStepOnEachKindOfRequest) {
    enum class Job { Apply, AutoFsbRun, BoardChange, SensorTick };
    enum class End { Close, Sigterm, Standby };
    const std::pair<Job, End> cases[] = {
        {Job::Apply, End::Close},        {Job::Apply, End::Sigterm},
        {Job::Apply, End::Standby},      {Job::AutoFsbRun, End::Close},
        {Job::AutoFsbRun, End::Sigterm}, {Job::AutoFsbRun, End::Standby},
        {Job::BoardChange, End::Close},  {Job::BoardChange, End::Sigterm},
        {Job::SensorTick, End::Close},   {Job::SensorTick, End::Sigterm},
    };
    for (const auto& [job, end] : cases) {
        const std::string what = std::to_string(int(job)) + "/" + std::to_string(int(end));
        SimMachine board{*sim_profile(4)};  // the LM90 on the VID chip's bus
        install_port_backend(&board);
        write_file("sensormap.ini", read_file(VELMORA_SOURCE_DIR "/data/sensormap.ini"));
        const size_t log_start = log().size();
        start("MinFSB=166\r\nMaxFSB=190\r\nDelayChange=1000\r\n", sim_profile(4)->number);
        CloseSignals close_signals;
        close_signals.attach(main.get());
        main->UpdateSensor(main->Timer1);  // the tick a standby is measured from
        while (steps().busy_at_all())
            step();
        switch (job) {
            case Job::Apply:
                main->main_tab.ShowFsb(190);
                main->main_tab.Apply(main->main_tab.ButtonApply);
                break;
            case Job::AutoFsbRun:
                main->autofsb_group.CheckBoxAutoFSB->setChecked(true);
                cpu_load.store(95);
                main->autofsb_group.AutoFSB(main->TimerAutoFSBmax);
                main->autofsb_group.AutoFSB(main->TimerAutoFSBmax);
                break;
            case Job::BoardChange:
                main->PageControl1->setCurrentWidget(main->TabSheet3);
                main->settings_tab.Button1->click();
                break;
            case Job::SensorTick:
                main->UpdateSensor(main->Timer1);
                break;
        }
        ASSERT_TRUE(steps().busy_at_all()) << what;
        for (int i = 0; i < 4 && steps().busy_at_all(); ++i)
            step();
        std::remove("config.ini");
        const size_t sleeps_before_end = clock.sleeps.size();
        switch (end) {
            case End::Close:
                main->close();
                break;
            case End::Sigterm:
                raise(SIGTERM);
                QCoreApplication::processEvents();
                break;
            case End::Standby:
                clock.advance(200000);
                main->UpdateSensor(main->Timer1);
                break;
        }
        for (int i = 0; i < 2000 && steps().busy_at_all(); ++i)
            step();
        EXPECT_FALSE(steps().busy_at_all()) << what;
        // The step in progress had its whole wait: 150 ms per MHz, or the run's step delay.
        const uint32_t slept_to_end =
            std::accumulate(clock.sleeps.begin() + sleeps_before_end, clock.sleeps.end(), 0u);
        if ((job == Job::Apply || job == Job::AutoFsbRun) && end != End::Standby) {
            EXPECT_GE(slept_to_end, 150u) << what;
        }
        EXPECT_TRUE(board.world().faults.empty()) << what << ": " << board.world().faults[0];
        EXPECT_DOUBLE_EQ(board.world().fsb_mhz, main->values_applied.fsb) << what;
        const std::string text = log().substr(log_start);
        EXPECT_EQ(text.find("failed"), std::string::npos) << what;
        if (end == End::Standby) {
            EXPECT_NE(text.find("VELMORA: Standby detected\n"), std::string::npos) << what;
            EXPECT_TRUE(main->main_tab.ButtonApply->isEnabled()) << what;
        } else {
            EXPECT_TRUE(main->closing_) << what;
            EXPECT_NE(read_file("config.ini").find("[Main]"), std::string::npos) << what;
        }
        main.reset();
        install_port_backend(&machine);
    }
}

// An exception inside a job reaches the window after the job's own end: the controls of an
// action come back, the progress gives way to the error, and the user is told.
TEST_F(Stepping, AJobThatThrowsEndsItsBusyStateAndIsToldWhatWentWrong) {
    // The bus fails on the third PLL step of the walk.
    struct FailingBus : PassingPorts {
        using PassingPorts::PassingPorts;
        int data_writes = 0;
        void before_write(uint16_t port, uint32_t) override {
            if (port == 0xCFC && ++data_writes > 200)
                throw std::runtime_error("the bus went away");
        }
    } failing{machine};
    start("");
    install_port_backend(&failing);
    main->main_tab.ShowFsb(200);
    main->main_tab.Apply(main->main_tab.ButtonApply);
    while (steps().busy_at_all())
        step();
    EXPECT_TRUE(main->main_tab.ButtonApply->isEnabled());
    EXPECT_TRUE(main->autofsb_group.ButtonPresetApply->isEnabled());
    EXPECT_EQ(fsb_walk_progress().target, 0);
    EXPECT_EQ(status(), "Hardware work failed: the bus went away");
    ASSERT_FALSE(prompts.messages.empty());
    EXPECT_EQ(prompts.messages.back(), "Hardware work failed: the bus went away");
    EXPECT_NE(log().find("VELMORA: Hardware work failed: the bus went away\n"), std::string::npos);
    install_port_backend(&machine);

    // With no one to tell, the failure leaves the step that ran into it: never swallowed.
    steps().on_failure = nullptr;
    steps().start(Kind::Sensors, [] { throw std::runtime_error("no one listens"); });
    EXPECT_THROW(steps().run_next_step(), std::runtime_error);
    EXPECT_FALSE(steps().busy_at_all());
    // Run at once (as the close runs its reset), an action that throws still has its end: the
    // end request is cleared and its own end runs before the failure goes on.
    steps().set_stepping(false);
    bool ended = false;
    request_action_end();
    EXPECT_THROW(
        steps().start(
            Kind::Action, [] { throw std::runtime_error("at once"); }, [&] { ended = true; }),
        std::runtime_error);
    EXPECT_TRUE(ended);
    EXPECT_FALSE(stop_pending());
}

// The A7N8X's question inside an Apply runs an event loop of its own: sensor ticks go on in
// it, but neither an AutoFSB tick nor another Apply or preset starts there.
TEST_F(Stepping, AQuestionInsideApplyLetsNoOtherActionStart) {
    SimMachine a7n8x{*sim_profile(2)};
    install_port_backend(&a7n8x);
    start("MinFSB=166\r\nMaxFSB=180\r\n", sim_profile(2)->number);
    main->autofsb_group.CheckBoxAutoFSB->setChecked(true);
    cpu_load.store(95);
    size_t log_before = 0;
    prompts.while_asking = [&] {
        log_before = log().size();
        main->autofsb_group.AutoFSB(main->TimerAutoFSBmax);
        main->autofsb_group.AutoFSB(main->TimerAutoFSBmax);
        main->main_tab.Apply(main->main_tab.ButtonApply);
        main->autofsb_group.ApplyPreset(main->tray.TrayForceMax);
        main->UpdateSensor(main->Timer1);
        while (steps().busy(Kind::Sensors))
            step();
        EXPECT_EQ(log().substr(log_before).find("AUTOFSB"), std::string::npos);
    };
    main->main_tab.ShowVcore(1.9);
    main->main_tab.Apply(main->main_tab.ButtonApply);
    while (steps().busy(Kind::Action))
        step();
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(main->apply_failures,
              std::vector<std::string>{"VCore above 1.85 V not confirmed, the rest not applied."});
    EXPECT_TRUE(a7n8x.world().faults.empty());
    main.reset();
    install_port_backend(&machine);
}

}  // namespace
