// SPDX-License-Identifier: GPL-2.0-or-later
// Settings at start and close, the command line and the reset at exit, on the simulated board.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <algorithm>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "gui/main_window.h"
#include "helpers/scripted_prompts.h"
#include "helpers/temp_dir.h"
#include "helpers/window_world.h"
#include "platform/clock.h"
#include "sim/post_display.h"
#include "sim/sim_machine.h"
#include "support/configfile.h"

namespace {

class Lifecycle : public ::testing::Test, protected WindowWorld {
  protected:
    Lifecycle() {
        machine = std::make_unique<SimMachine>(*sim_profile(7));
        machine->set_cpu_load(0);
        install_port_backend(machine.get());
    }
    ~Lifecycle() override { install_port_backend(nullptr); }
    std::unique_ptr<TMain> start(std::vector<std::string> args = {}) {
        return std::make_unique<TMain>(prompts, std::move(args));
    }
    std::string log() { return read_file("velmora.deb"); }
    static std::string read_setting(const char* section, const char* key) {
        char text[kConfigValueBuffer] = {};
        configfile_read("config.ini", section, key, text, CONFIG_TEXT);
        return text;
    }

    std::unique_ptr<SimMachine> machine;
};

TEST_F(Lifecycle, ARunWithoutABoardSavesTheFormStatesAndBoard255) {
    write_file("config.ini", "\r\n[Main]\r\nBoard=255\r\n");
    auto main = start();
    main->close();
    const std::string saved = read_file("config.ini");
    for (const char* line :
         {"Board=255\r\n", "Reset=0\r\n", "Minimized=0\r\n", "DownMT=1\r\n", "Update=5\r\n",
          "Port80=0\r\n", "Port80Type=0\r\n", "Load=0\r\n", "AGPAP=0\r\n", "MaxFSB=166\r\n"})
        EXPECT_NE(saved.find(line), std::string::npos) << line << saved;
    // The map is stored under board 255; no sensor was detected, nothing goes to the board.
    EXPECT_EQ(read_file("sensor.ini"),
              "\r\n[Sensormap]\r\n255=0:0,0:0,0:0,0:0,0:0,0:0,0:0,0:0,0:0,0:0\r\n");
    EXPECT_EQ(machine->port80().write_count(), 0u);
    // What the run could not show stays as stored.
    const std::string stored =
        "\r\n[Main]\r\nBoard=255\r\n\r\n[Sensor]\r\nUpdate=10\r\nPort80=1\r\n\r\n"
        "[Chipset]\r\nLoad=1\r\nStpGnt=1\r\nAGPAP=8\r\nPCIBusLatency=64\r\nAutoPrecharge=1\r\n"
        "\r\n[Alarms]\r\nCpuLimit=70\r\n";
    write_file("config.ini", stored);
    start()->close();
    for (const char* line :
         {"Update=10\r\n", "Port80=1\r\n", "Load=1\r\n", "StpGnt=1\r\n", "AGPAP=8\r\n",
          "PCIBusLatency=64\r\n", "AutoPrecharge=1\r\n", "CpuLimit=70\r\n"})
        EXPECT_NE(read_file("config.ini").find(line), std::string::npos) << line;
    // The close runs once, whatever asks for it again.
    std::remove("config.ini");
    main->close();
    main->CloseFunc();
    EXPECT_FALSE(file_exists("config.ini"));
}

TEST_F(Lifecycle, TheCloseKeepsTheMapShowsFfAndLeavesEveryFanAtFullSpeed) {
    write_file("config.ini", "\r\n[Main]\r\nBoard=7\r\n");
    write_file("sensor.ini", "[Sensormap]\r\n7=1:0,1:2,0:0,0:0,0:0,0:0,0:0,1:0,1:1,0:0\r\n");
    // The BIOS slowed fan 2 before the start.
    auto reg = [&](uint8_t r) {
        machine->out8(0x295, 0x4E);
        machine->out8(0x296, 0x00);
        machine->out8(0x295, r);
        return machine->in8(0x296);
    };
    reg(0x5B);
    machine->out8(0x296, 0x40);
    auto main = start();
    EXPECT_NE(log().find("VELMORA: Loaded sensor definitions from sensor.ini\n"),
              std::string::npos);
    EXPECT_NE(log().find("WINBOND: Found a W83627HF\nITE: Unknown CHIPID 21\nPORT80: "
                         "Initialized\n"),
              std::string::npos)
        << log();
    EXPECT_EQ(main->findChild<QLineEdit*>("SensorVcore")->text(), "NA");  // unmapped
    EXPECT_NE(main->findChild<QLineEdit*>("SensorFan1")->text(), "NA");
    EXPECT_EQ(machine->port80().write_count(), 0u);  // nothing written at start
    main->close();
    EXPECT_EQ(reg(0x5A), 0xFF);
    EXPECT_EQ(reg(0x5B), 0xFF);
    EXPECT_EQ(machine->port80().last(), 0xFF);
    EXPECT_EQ(read_file("sensor.ini"),
              "[Sensormap]\r\n7=1:0,1:2,0:0,0:0,0:0,0:0,0:0,1:0,1:1,0:0\r\n");
}

TEST_F(Lifecycle, StoredSettingsFillTheControlsAndAnUnknownSensorPairIsRefused) {
    write_file("config.ini",
               "\r\n[Main]\r\nBoard=7\r\nReset=1\r\nMinimized=0\r\n\r\n[AutoFSB]\r\nMaxFSB=400\r\n"
               "MinFSB=100\r\nMaxTemp=50\r\nDelayChange=2500\r\nDownMT=0\r\n\r\n[Sensor]\r\n"
               "Update=61\r\nPort80Type=7\r\n");
    auto main = start();
    EXPECT_TRUE(main->settings_tab.CheckBoxReset->isChecked());
    EXPECT_FALSE(main->autofsb_group.CheckBoxTemp->isChecked());
    EXPECT_EQ(main->autofsb_group.EditMaxFSB->text(),
              "166 MHz");  // 400 is out of range: the running FSB
    EXPECT_EQ(main->autofsb_group.EditMinFSB->text(), "100 MHz");
    EXPECT_EQ(main->autofsb_group.CSpinEditMaxTemp->value(), 50);
    EXPECT_EQ(main->autofsb_group.ComboBoxDelayChange->currentIndex(), 2);
    EXPECT_EQ(main->sensor_tab.CSpinEditSensorUpdate->value(), 5);
    EXPECT_EQ(main->Timer1->interval(), 5000);
    EXPECT_EQ(main->main_tab.ComboBoxTras->currentText(), "11");
    EXPECT_EQ(main->main_tab.ComboBoxTrcd->currentText(), "5");
    EXPECT_EQ(main->main_tab.ComboBoxTrp->currentText(), "7");
    EXPECT_EQ(main->sensor_tab.ComboBoxPort80->currentIndex(), 0);
    EXPECT_NE(log().find("VELMORA: Port80Type 7 in config.ini unknown, using CPU\n"),
              std::string::npos);
    main->settings_tab.CheckBoxReset->setChecked(false);
    main->close();
    EXPECT_NE(read_file("config.ini").find("Port80Type=0\r\n"), std::string::npos);
}

TEST_F(Lifecycle, ACommandLineRunAppliesItsSettingsAndEndsWithoutSaving) {
    write_file("config.ini", "\r\n[Main]\r\nBoard=7\r\n");
    const std::string before = read_file("config.ini");
    EXPECT_THROW(start({"--sim", "-s", "1.70"}), ProcessExit);
    EXPECT_EQ(os.exits, std::vector<int>{0});
    EXPECT_DOUBLE_EQ(machine->world().vcore, 1.70);
    EXPECT_EQ(read_file("config.ini"), before);
    EXPECT_NE(log().find("VELMORA: Parsing command-line options\n"
                         "VELMORA: command-line option -s 1.700\n"),
              std::string::npos);
}

TEST_F(Lifecycle, AStoppedCommandLineLeavesNothingSelectedForALaterApply) {
    write_file("config.ini", "\r\n[Main]\r\nBoard=7\r\n");
    auto main = start({"-f", "200", "-s"});
    ASSERT_FALSE(prompts.messages.empty());
    EXPECT_EQ(prompts.messages.back(), "-s [VCORE]");
    EXPECT_EQ(main->values_selected.fsb, 166);
    main->main_tab.Apply();
    EXPECT_DOUBLE_EQ(machine->world().fsb_mhz, 166.0);
}

TEST_F(Lifecycle, TheMultiplierFromTheCommandLineShowsInTheClockText) {
    write_file("config.ini", "\r\n[Main]\r\nBoard=7\r\n");
    auto main = start({"-m", "11.55555"});
    EXPECT_DOUBLE_EQ(main->cpu_multiplier, 11.55);
    EXPECT_EQ(main->main_tab.EditCPU->text(), "166 x 11.55 = 1917 MHz");
    EXPECT_NE(log().find("VELMORA: Using multiplier from command-line: 11.550\n"),
              std::string::npos);
}

}  // namespace

namespace {

TEST_F(Lifecycle, ResetBringsTheReadValuesBackWithoutWriting) {
    write_file("config.ini", "\r\n[Main]\r\nBoard=7\r\n\r\n[AutoFSB]\r\nMaxTemp=50\r\n");
    auto main = start();
    main->main_tab.TrackBarVcore->setValue(main->main_tab.TrackBarVcore->value() - 4);  // 0.1 V up
    main->autofsb_group.CSpinEditMaxTemp->setValue(60);
    ASSERT_NE(main->values_selected.vcore, main->values_read.vcore);
    main->main_tab.ButtonReset->click();
    EXPECT_DOUBLE_EQ(main->values_selected.vcore, main->values_read.vcore);
    EXPECT_EQ(main->main_tab.EditVCore->text(), "1.650 V");
    EXPECT_EQ(main->autofsb_group.CSpinEditMaxTemp->value(), 50);  // the stored limit again
    EXPECT_DOUBLE_EQ(machine->world().vcore, 1.65);                // nothing written
}

}  // namespace

namespace {

TEST_F(Lifecycle, AStoredValueReachesMemoryOnlyWhenItsSpinEditShowsAChange) {
    write_file(
        "config.ini",
        "\r\n[Main]\r\nBoard=7\r\n\r\n[AutoFSB]\r\nMaxTemp=22\r\nMaxLoad=20\r\nMinLoad=30\r\n"
        "MaxDelay=20\r\nMinDelay=30\r\n");
    auto main = start();
    EXPECT_EQ(main->autofsb_group.CSpinEditMaxTemp->value(), 25);
    EXPECT_EQ(main->settings.max_temp, 25);  // the text changed from 45: taken back
    EXPECT_EQ(main->autofsb_group.CSpinEditMaxLoad->value(), 50);
    EXPECT_EQ(main->settings.max_load, 20);  // shown as 50, which it already showed
    EXPECT_EQ(main->TimerAutoFSBmax->interval(), 20000);
    EXPECT_EQ(main->TimerAutoFSBmin->interval(), 30000);  // shown already, yet the timer's

    write_file("config.ini", "\r\n[Main]\r\nBoard=7\r\n\r\n[AutoFSB]\r\nMaxLoad=90\r\n");
    auto second = start();
    EXPECT_EQ(second->autofsb_group.CSpinEditMinLoad->maximum(), 85);
}

// Each control of the window that config.ini keeps, set to a value of its own, is found under
// its own key after the close.
TEST_F(Lifecycle, EveryKeptControlReachesItsOwnKeyAtTheClose) {
    write_file("config.ini", "\r\n[Main]\r\nBoard=7\r\n");
    auto main = start();
    auto flip = [](QCheckBox* box) {
        box->setChecked(!box->isChecked());
        return box->isChecked() ? 1 : 0;
    };
    main->main_tab.TrackBarFSB->setValue(300 - 181);
    main->autofsb_group.ButtonMaxFSB->click();
    main->main_tab.TrackBarFSB->setValue(300 - 151);
    main->autofsb_group.ButtonMinFSB->click();
    main->autofsb_group.CSpinEditMaxLoad->setValue(81);
    main->autofsb_group.CSpinEditMinLoad->setValue(21);
    main->autofsb_group.CSpinEditDelayMax->setValue(26);
    main->autofsb_group.CSpinEditDelayMin->setValue(41);
    EXPECT_EQ(main->TimerAutoFSBmax->interval(), 26000);  // and the timers take them
    EXPECT_EQ(main->TimerAutoFSBmin->interval(), 41000);
    main->autofsb_group.ComboBoxDelayChange->setCurrentIndex(2);
    main->autofsb_group.ComboBoxDelayChange->activated(2);  // as a choice in the list raises it
    main->autofsb_group.CSpinEditMaxTemp->setValue(51);
    main->settings_tab.CSpinEditLoadUpdate->setValue(7);
    main->sensor_tab.CSpinEditSensorUpdate->setValue(3);
    EXPECT_EQ(main->Timer1->interval(), 3000);
    main->sensor_tab.ComboBoxPort80->setCurrentIndex(1);
    main->sensor_tab.CSpinEditCpuLimit->setValue(91);
    main->sensor_tab.CSpinEditSysLimit->setValue(61);
    main->history_tab.EditCsvFile->setText("readings.csv");
    main->history_tab.EditCsvFile->editingFinished();
    const struct {
        const char* section;
        const char* key;
        int value;
    } kept[] = {
        {"AutoFSB", "MaxFSB", 181},
        {"AutoFSB", "MinFSB", 151},
        {"AutoFSB", "MaxLoad", 81},
        {"AutoFSB", "MinLoad", 21},
        {"AutoFSB", "MaxDelay", 26},
        {"AutoFSB", "MinDelay", 41},
        {"AutoFSB", "DelayChange", 2500},
        {"AutoFSB", "MaxTemp", 51},
        {"AutoFSB", "DownMT", flip(main->autofsb_group.CheckBoxTemp)},
        {"AutoFSB", "Enable", flip(main->autofsb_group.CheckBoxAutoFSB)},
        {"Main", "LoadUpdate", 7},
        {"Main", "Reset", flip(main->settings_tab.CheckBoxReset)},
        {"Main", "Minimized", flip(main->settings_tab.CheckBoxMinimized)},
        {"Sensor", "Update", 3},
        {"Sensor", "Port80", flip(main->sensor_tab.CheckBoxPort80)},
        {"Sensor", "Port80Type", 1},
        {"AutoFAN", "Enable", flip(main->autofan_group.CheckBoxFANCtl)},
        {"Chipset", "Load", flip(main->chipset_tab.CheckBoxChipset)},
        {"Alarms", "CpuLimit", 91},
        {"Alarms", "SysLimit", 61},
    };
    main->close();
    const std::string saved = read_file("config.ini");
    for (const auto& k : kept)
        EXPECT_EQ(read_setting(k.section, k.key), std::to_string(k.value)) << k.key << "\n"
                                                                           << saved;
    EXPECT_EQ(read_setting("History", "CsvFile"), "readings.csv");
}

// Under the real event loop each timer raises its own handler with itself as the sender, and
// keeps doing so: Timer1 the sensor update, each AutoFSB timer its check, restarted after it.
TEST_F(Lifecycle, EachTimerRaisesItsOwnHandlerAgainAndAgainUnderTheEventLoop) {
    write_file(
        "config.ini",
        "\r\n[Main]\r\nBoard=7\r\n\r\n[AutoFSB]\r\nEnable=1\r\nMinFSB=166\r\nMaxFSB=180\r\n");
    install_clock(nullptr);  // the waits of the sensor reads pass in real time
    auto main = start();
    ASSERT_TRUE(main->Timer1->isActive());
    ASSERT_TRUE(main->TimerAutoFSBmax->isActive());
    ASSERT_TRUE(main->TimerAutoFSBmin->isActive());
    std::map<std::pair<std::string, QObject*>, int> raised;
    main->on_handler = [&](const char* handler, QObject* sender) { ++raised[{handler, sender}]; };
    // Periods short enough for a test; the boxes' periods are checked where they are set.
    main->Timer1->setInterval(20);
    main->TimerAutoFSBmax->setInterval(30);
    main->TimerAutoFSBmin->setInterval(40);
    const std::pair<std::string, QObject*> expected[] = {{"UpdateSensor", main->Timer1},
                                                         {"AutoFSB", main->TimerAutoFSBmax},
                                                         {"AutoFSB", main->TimerAutoFSBmin}};
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (std::all_of(std::begin(expected), std::end(expected),
                        [&](const auto& e) { return raised[e] >= 3; }))
            loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);  // a limit, not a measure
    loop.exec();
    for (const auto& e : expected)
        EXPECT_GE(raised[e], 3) << e.first;
    EXPECT_EQ(raised.size(), 3u);  // no timer raises another's handler, nor anything else
    main->close();
    install_clock(&clock);
}

// Each spin box that config.ini keeps reaches both ends of its range, and each end reaches
// its key at the close; the timers take the ends too (0 s stops the sensor updates). The two
// load boxes keep 5 apart, so the one moved first opens the other's far end.
TEST_F(Lifecycle, EverySpinBoxEndReachesItsKeyAtTheClose) {
    const struct {
        const char* section;
        const char* key;
        const char* box;  // the spin box's object name
        int low, high;
    } boxes[] = {
        {"AutoFSB", "MinLoad", "CSpinEditMinLoad", 5, 90},
        {"AutoFSB", "MaxLoad", "CSpinEditMaxLoad", 10, 95},
        {"AutoFSB", "MaxDelay", "CSpinEditDelayMax", 5, 90},
        {"AutoFSB", "MinDelay", "CSpinEditDelayMin", 5, 90},
        {"AutoFSB", "MaxTemp", "CSpinEditMaxTemp", 25, 65},
        {"Main", "LoadUpdate", "CSpinEditLoadUpdate", 1, 60},
        {"Sensor", "Update", "CSpinEditSensorUpdate", 0, 60},
        {"Alarms", "CpuLimit", "CSpinEditCpuLimit", 0, 127},
        {"Alarms", "SysLimit", "CSpinEditSysLimit", 0, 127},
    };
    for (bool high : {false, true}) {
        write_file("config.ini", "\r\n[Main]\r\nBoard=7\r\n\r\n[Alarms]\r\nCpuLimit=50\r\n");
        auto main = start();
        const auto move = [&](const auto& b) {  // past the end, as a held arrow key goes
            main->findChild<QSpinBox*>(b.box)->setValue(high ? b.high + 1 : b.low - 1);
        };
        if (high)
            std::for_each(std::rbegin(boxes), std::rend(boxes), move);
        else
            std::for_each(std::begin(boxes), std::end(boxes), move);
        EXPECT_EQ(main->TimerAutoFSBmax->interval(), high ? 90000 : 5000);
        EXPECT_EQ(main->TimerAutoFSBmin->interval(), high ? 90000 : 5000);
        EXPECT_EQ(main->Timer1->isActive(), high);
        main->close();
        for (const auto& b : boxes)
            EXPECT_EQ(read_setting(b.section, b.key), std::to_string(high ? b.high : b.low))
                << b.key;
    }
}

}  // namespace
