// SPDX-License-Identifier: GPL-2.0-or-later
// The sensor update cycle on the simulated board: what a tick shows and writes, when Timer1
// runs, a standby, and a port grant lost inside a tick.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <memory>

#include "automation/cpuload.h"
#include "gui/main_window.h"
#include "helpers/scripted_prompts.h"
#include "helpers/temp_dir.h"
#include "helpers/window_world.h"
#include "platform/clock.h"
#include "sim/post_display.h"
#include "sim/sim_machine.h"
#include "support/configfile.h"

namespace {

// The simulated board behind a port grant that a test can take away, as a resume on Windows
// does; a new grant gives it back.
class LosablePorts : public PortBackend {
  public:
    explicit LosablePorts(SimMachine& m) : m_(m) {}
    uint8_t in8(uint16_t p) override { return check(), m_.in8(p); }
    uint16_t in16(uint16_t p) override { return check(), m_.in16(p); }
    uint32_t in32(uint16_t p) override { return check(), m_.in32(p); }
    void out8(uint16_t p, uint8_t v) override { check(), m_.out8(p, v); }
    void out16(uint16_t p, uint16_t v) override { check(), m_.out16(p, v); }
    void out32(uint16_t p, uint32_t v) override { check(), m_.out32(p, v); }
    bool needs_port_grant() const override { return true; }
    void set_port_access(bool granted) override { granted_ = granted; }
    bool granted_ = true;

  private:
    void check() const {
        if (!granted_)
            throw PortAccessLost();
    }
    SimMachine& m_;
};

size_t count_in(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class SensorCycle : public ::testing::Test, protected WindowWorld {
  protected:
    SensorCycle() {
        clock.now = 1000;
        machine.set_cpu_load(0);
        install_port_backend(&ports);
        write_file("config.ini", "\r\n[Main]\r\nBoard=7\r\n");
        write_file("sensor.ini", "[Sensormap]\r\n7=1:0,1:2,1:0,1:1,1:5,1:3,1:4,1:0,1:1,1:2\r\n");
    }
    ~SensorCycle() override {
        main.reset();
        install_port_backend(nullptr);
    }
    void start() {
        main = std::make_unique<TMain>(prompts, std::vector<std::string>{});
        cpuload_stop();  // the test sets the load itself
    }
    void tick() { main->UpdateSensor(main->Timer1); }
    std::string log() { return read_file("velmora.deb"); }

    SimMachine machine{*sim_profile(7)};
    LosablePorts ports{machine};
    std::unique_ptr<TMain> main;
};

TEST_F(SensorCycle, ATickShowsTheReadingsTheLoadAndTheHintAndWritesOnlyWhenAsked) {
    start();
    EXPECT_TRUE(main->Timer1->isActive());
    EXPECT_EQ(main->Timer1->interval(), 5000);
    const uint32_t writes = machine.port80().write_count();
    tick();
    EXPECT_EQ(machine.port80().write_count(), writes);  // neither Port80 nor FAN control on
    const QString cpu = main->main_tab.SensorTemp->text();
    EXPECT_TRUE(cpu.endsWith(" \u00B0C")) << cpu.toStdString();
    EXPECT_EQ(main->main_tab.DisplayMhz->text(), "1826");
    EXPECT_EQ(main->tray.TrayIcon1->toolTip(),
              "CPU: " + QString::number(main->cpu_temperature) +
                  " \u00B0C\nSYS:  " + main->main_tab.SensorSysTemp->text() +
                  "\nFSB: 166 MHz\nVCore: " + main->main_tab.SensorVcore->text());

    // The load against the limits 90 and 10: on a limit the colour stays.
    const struct {
        int load;
        QColor color;
    } loads[] = {{50, QColor(255, 255, 0)},
                 {91, QColor(255, 0, 0)},
                 {90, QColor(255, 0, 0)},
                 {9, QColor(0, 128, 0)},
                 {10, QColor(0, 128, 0)}};
    for (const auto& l : loads) {
        cpu_load.store(l.load);
        tick();
        EXPECT_EQ(main->main_tab.DisplayLoad->text(), QString::number(l.load) + "%");
        EXPECT_EQ(main->main_tab.DisplayLoad->palette().color(QPalette::WindowText), l.color)
            << l.load;
    }

    // The CPU temperature in two decimal digits on the POST display.
    main->sensor_tab.CheckBoxPort80->setChecked(true);
    tick();
    const int t = main->cpu_temperature;
    EXPECT_EQ(machine.port80().last(), (t % 10) | ((t / 10) << 4)) << t;
    EXPECT_GT(machine.port80().write_count(), writes);
    // The SYS temperature when the list says so, a reading of its own.
    main->sensor_tab.ComboBoxPort80->setCurrentIndex(1);
    tick();
    const int sys = main->main_tab.SensorSysTemp->text().section(' ', 0, 0).toInt();
    ASSERT_NE(sys, t);
    EXPECT_EQ(machine.port80().last(), (sys % 10) | ((sys / 10) << 4)) << sys;
}

TEST_F(SensorCycle, Timer1RunsOnlyWithAPeriodAndAPauseIsNoStandby) {
    write_file("config.ini", "\r\n[Main]\r\nBoard=7\r\n[Sensor]\r\nUpdate=0\r\n");
    start();
    EXPECT_FALSE(main->Timer1->isActive());
    main->sensor_tab.CSpinEditSensorUpdate->setValue(1);
    EXPECT_TRUE(main->Timer1->isActive());
    EXPECT_EQ(main->sensor_tab.CSpinEditSensorUpdate->singleStep(), 2);
    tick();
    main->sensor_tab.CSpinEditSensorUpdate->setValue(0);
    EXPECT_FALSE(main->Timer1->isActive());
    clock.now += 300000;  // five minutes paused
    main->sensor_tab.CSpinEditSensorUpdate->setValue(3);
    EXPECT_EQ(main->sensor_tab.CSpinEditSensorUpdate->singleStep(), 1);
    tick();
    tick();
    EXPECT_EQ(log().find("Standby"), std::string::npos) << log();

    // A real gap between two ticks: the settings and the hardware are read again.
    clock.now += 125000;
    tick();
    EXPECT_NE(log().find("ENUM: Time diff: 124s, should be max 120s\nVELMORA: Standby detected\n"
                         "BOARDS: Initialized 15 boards\n"),
              std::string::npos)
        << log();

    main->close();
    EXPECT_FALSE(main->Timer1->isActive());
    main->sensor_tab.CSpinEditSensorUpdate->setValue(
        5);  // nothing starts it again during the close
    EXPECT_FALSE(main->Timer1->isActive());
}

TEST_F(SensorCycle, APortGrantLostInATickIsRegainedOrEndsTheProgram) {
    start();
    ports.granted_ = false;
    tick();
    EXPECT_NE(log().find("VELMORA: Re-init GiveIO after standby done.\nBOARDS: Initialized"),
              std::string::npos)
        << log();
    EXPECT_TRUE(ports.granted_);

    // Lost inside the standby's re-initialisation too, and not to be had again.
    os.port_access_granted = false;
    ports.granted_ = false;
    clock.now += 125000;
    try {
        tick();
        ADD_FAILURE() << "the program goes on without ports";
    } catch (const ProcessExit& e) {
        EXPECT_EQ(e.code, 1);
    }
    EXPECT_NE(log().find("VELMORA: Standby detected\nBOARDS: Initialized 15 boards\n"),
              std::string::npos);
    EXPECT_NE(log().find("VELMORA: Re-init GiveIO after standby failed.\n"), std::string::npos);
    EXPECT_EQ(prompts.messages.size(), 1u);
}

// When the first reading never came through (the port grant was lost in it), the close writes
// no fan control: the controls never held what the chips were set to.
TEST_F(SensorCycle, ACloseBeforeAnyReadingCameThroughLeavesTheFansAsTheyAre) {
    start();
    auto fan2 = [&](int value) {
        machine.out8(0x295, 0x4E);
        machine.out8(0x296, 0x00);
        machine.out8(0x295, 0x5B);
        if (value >= 0)
            machine.out8(0x296, static_cast<uint8_t>(value));
        return machine.in8(0x296);
    };
    fan2(0x40);
    main->sensors_read_once = false;
    main->close();
    EXPECT_EQ(fan2(-1), 0x40);
}

// A limit passed is told once (the log, and the status bar without a tray) and its field turns
// red; 3 °C below the limit it is armed again. The limits go to [Alarms] at close.
TEST_F(SensorCycle, ATemperaturePastItsLimitIsToldOnceAndArmedAgainThreeDegreesBelow) {
    write_file("config.ini",
               "\r\n[Main]\r\nBoard=7\r\n[Alarms]\r\nCpuLimit=300\r\nSysLimit=90\r\n");
    start();
    EXPECT_EQ(main->sensor_tab.CSpinEditCpuLimit->value(), 0);  // out of range: off, and said
    EXPECT_NE(log().find("VELMORA: CpuLimit=300 in [Alarms] of config.ini out of range 0 to 127, "
                         "alarm off\n"),
              std::string::npos);
    tick();
    const int cpu = main->cpu_temperature;
    ASSERT_TRUE(main->cpu_temperature_known);
    main->sensor_tab.CSpinEditCpuLimit->setValue(cpu - 1);
    tick();
    tick();
    const std::string told = "ALARM: CPU temperature " + std::to_string(cpu) +
                             " \u00B0C passed its limit of " + std::to_string(cpu - 1) +
                             " \u00B0C\n";
    EXPECT_EQ(count_in(log(), "ALARM: "), 1u) << log();
    EXPECT_NE(log().find(told), std::string::npos) << log();
    EXPECT_TRUE(main->StatusBar1->currentMessage().startsWith("CPU temperature"));
    EXPECT_EQ(main->main_tab.SensorTemp->palette().color(QPalette::Text), QColor(255, 0, 0));
    main->sensor_tab.CSpinEditCpuLimit->setValue(cpu + 2);  // 2 °C below: still raised
    tick();
    EXPECT_EQ(main->main_tab.SensorTemp->palette().color(QPalette::Text), QColor(255, 0, 0));
    main->sensor_tab.CSpinEditCpuLimit->setValue(cpu + 3);
    tick();
    EXPECT_NE(main->main_tab.SensorTemp->palette().color(QPalette::Text), QColor(255, 0, 0));
    // Its twin: only the SYS limit is passed, and only SYS is told and red.
    main->sensor_tab.CSpinEditSysLimit->setValue(1);
    tick();
    EXPECT_EQ(count_in(log(), "ALARM: SYS temperature "), 1u) << log();
    EXPECT_NE(log().find(" \u00B0C passed its limit of 1 \u00B0C\n"), std::string::npos) << log();
    EXPECT_EQ(count_in(log(), "ALARM: "), 2u) << log();
    EXPECT_EQ(main->main_tab.SensorSysTemp->palette().color(QPalette::Text), QColor(255, 0, 0));
    EXPECT_NE(main->main_tab.SensorTemp->palette().color(QPalette::Text), QColor(255, 0, 0));
    main->close();
    EXPECT_NE(read_file("config.ini")
                  .find("[Alarms]\r\nCpuLimit=" + std::to_string(cpu + 3) + "\r\nSysLimit=1\r\n"),
              std::string::npos)
        << read_file("config.ini");
}

}  // namespace
