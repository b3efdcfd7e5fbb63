// SPDX-License-Identifier: GPL-2.0-or-later
// The chipset options at start, on the "Chipset" tab and in config.ini, and the board picked by
// hand, on the simulated board.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "gui/main_window.h"
#include "helpers/passing_ports.h"
#include "helpers/scripted_prompts.h"
#include "helpers/temp_dir.h"
#include "helpers/window_world.h"
#include "hw/pci.h"
#include "platform/clock.h"
#include "sim/sim_machine.h"
#include "support/configfile.h"

namespace {

// A chipset register: device, function and offset on bus 0.
struct Reg {
    uint8_t device, function, offset;
    bool operator==(const Reg&) const = default;
};
constexpr Reg kCpuCtrl{0, 0, 0x6C}, kSba{0, 0, 0x49}, kAperture{0, 0, 0x80}, kPrecharge{0, 1, 0x86},
    kTiming{0, 1, 0x90}, kPciLatency{8, 0, 0x1B}, kAgpBusLatency{30, 0, 0x1B},
    kAgpCtrLatency{30, 0, 0x0D};
constexpr Reg kOptionRegs[] = {kCpuCtrl,    kSba,           kAperture,      kPrecharge,
                               kPciLatency, kAgpBusLatency, kAgpCtrLatency, kTiming};

// The simulated machine, with a note of every chipset register written through it.
class RecordingBackend : public PassingPorts {
  public:
    explicit RecordingBackend(SimMachine& m) : PassingPorts(m) {}

    // The option registers written since the last call.
    std::vector<Reg> option_writes() {
        std::vector<Reg> out;
        for (const Reg& r : writes)
            if (std::find(std::begin(kOptionRegs), std::end(kOptionRegs), r) !=
                std::end(kOptionRegs))
                out.push_back(r);
        writes.clear();
        return out;
    }
    std::vector<Reg> writes;

  private:
    void before_write(uint16_t port, uint32_t value) override {
        if (port == 0xCF8)
            address_ = value;
        else if (port >= 0xCFC && port <= 0xCFF && (address_ & 0x80000000u))
            writes.push_back({static_cast<uint8_t>(address_ >> 11 & 0x1F),
                              static_cast<uint8_t>(address_ >> 8 & 7),
                              static_cast<uint8_t>((address_ & 0xFC) | (port & 3))});
    }
    uint32_t address_ = 0;
};

class ChipsetTab : public ::testing::Test, protected WindowWorld {
  protected:
    ChipsetTab() {
        machine = std::make_unique<SimMachine>(*sim_profile(7));
        machine->set_cpu_load(0);
        ports = std::make_unique<RecordingBackend>(*machine);
        install_port_backend(ports.get());
    }
    ~ChipsetTab() override { install_port_backend(nullptr); }
    std::unique_ptr<TMain> start(const std::string& config, std::vector<std::string> args = {}) {
        write_file("config.ini", config);
        return std::make_unique<TMain>(prompts, std::move(args));
    }
    std::string log() { return read_file("velmora.deb"); }
    bool logged(const std::string& text) { return log().find(text) != std::string::npos; }
    // One byte of a register, read straight from the machine.
    uint32_t reg(Reg r, int width = 1) {
        machine->out32(0xCF8, pci_config_address(0, r.device, r.function, r.offset & 0xFC));
        const uint32_t dword = machine->in32(0xCFC);
        machine->out32(0xCF8, 0);
        const uint32_t v = dword >> 8 * (r.offset & 3);
        return width == 4 ? v : v & 0xFF;
    }
    bool stpgnt() { return reg(kCpuCtrl, 4) & 0x10000000u; }
    void pick_board(TMain& main, int index) {
        main.PageControl1->setCurrentWidget(main.TabSheet3);
        main.settings_tab.ComboBoxBoard->setCurrentIndex(index);
        main.settings_tab.Button1->click();
    }

    std::unique_ptr<SimMachine> machine;
    std::unique_ptr<RecordingBackend> ports;
};

const std::string kBoard7 = "\r\n[Main]\r\nBoard=7\r\n";

// The chipset powers on with STPGNT off, aperture code 4 (byte 0x0C) and latencies of 32.
TEST_F(ChipsetTab, TheStoredOptionsAreWrittenAtStartOnlyWithLoadAndOnlyWhereTheyDiffer) {
    const struct {
        const char* chipset;
        bool stpgnt;
        uint32_t aperture_byte;
        std::vector<Reg> written;
        bool ticked;
    } cases[] = {
        {"Load=1\r\nStpGnt=1\r\n", true, 0x0C, {kCpuCtrl}, true},
        {"Load=0\r\nStpGnt=1\r\nAGPAP=8\r\n", false, 0x0C, {}, false},
        {"Load=1\r\nAGPAP=8\r\n", false, 0x08, {kAperture}, true},
        {"Load=1\r\nAGPAP=4\r\nPCIBusLatency=32\r\n", false, 0x0C, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chipset);
        machine->power_on();
        ports->writes.clear();
        auto main = start(kBoard7 + "\r\n[Chipset]\r\n" + c.chipset);
        EXPECT_EQ(ports->option_writes(), c.written);
        EXPECT_EQ(stpgnt(), c.stpgnt);
        EXPECT_EQ(reg(kAperture), c.aperture_byte);
        EXPECT_EQ(reg(kPciLatency), 0x20u);
        EXPECT_EQ(main->chipset_tab.CheckBoxChipset->isChecked(), c.ticked);
    }
}

TEST_F(ChipsetTab, TheCloseSavesWhatTheChipsetHoldsSoStoredOptionsStay) {
    const struct {
        const char* load;
        std::vector<const char*> saved;
    } cases[] = {
        {"Load=1\r\n",
         {"Load=1\r\n", "AGPAP=8\r\n", "PCIBusLatency=64\r\n", "StpGnt=1\r\n",
          "AutoPrecharge=1\r\n", "AGPSB=1\r\n", "AGPBusLatency=72\r\n", "AGPCtrLatency=80\r\n"}},
        // Not set at start: the values read from the chipset are saved.
        {"Load=0\r\n",
         {"Load=0\r\n", "AGPAP=4\r\n", "PCIBusLatency=32\r\n", "StpGnt=0\r\n",
          "AutoPrecharge=0\r\n", "AGPSB=0\r\n", "AGPBusLatency=32\r\n", "AGPCtrLatency=32\r\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.load);
        machine->power_on();
        auto main = start(kBoard7 + "\r\n[Chipset]\r\n" + c.load +
                          "AGPAP=8\r\nPCIBusLatency=64\r\nStpGnt=1\r\nAutoPrecharge=1\r\n"
                          "AGPSB=1\r\nAGPBusLatency=72\r\nAGPCtrLatency=80\r\n");
        // The main tab shows the auto-precharge now set, and its Apply keeps it.
        EXPECT_EQ(main->main_tab.CheckBoxAutoPC->isChecked(), c.load[5] == '1');
        main->main_tab.Apply();
        EXPECT_EQ((reg(kPrecharge) & 0x02) != 0, c.load[5] == '1');
        main->close();
        const std::string saved = read_file("config.ini");
        for (const char* line : c.saved)
            EXPECT_NE(saved.find(line), std::string::npos) << line << saved;
    }
}

TEST_F(ChipsetTab, AStoredApertureOutsideOneToFifteenKeepsTheChipsetValue) {
    for (const char* stored : {"0", "16", "300"}) {
        SCOPED_TRACE(stored);
        machine->power_on();
        auto main =
            start(kBoard7 + "\r\n[Chipset]\r\nLoad=1\r\nStpGnt=1\r\nAGPAP=" + stored + "\r\n");
        EXPECT_EQ(reg(kAperture), 0x0Cu);
        EXPECT_EQ(main->chipset.agp_aperture, 4);
        EXPECT_TRUE(stpgnt());  // the other stored options still count
        EXPECT_TRUE(logged(std::string(stored) == "16"
                               ? "VELMORA: AGPAP 16 (512 MB) in config.ini cannot be set, "
                                 "chipset value kept\n"
                               : std::string("VELMORA: AGPAP ") + stored +
                                     " in config.ini out of range 1 to 15, chipset value kept\n"));
    }
    // A chipset at 512 MB is saved as 16, which the next start takes without a word.
    machine->power_on();
    {
        auto main = start(kBoard7);
        main->chipset.agp_aperture = 16;
        main->close();
    }
    EXPECT_NE(read_file("config.ini").find("AGPAP=16\r\n"), std::string::npos);
    machine->power_on();
    machine->out32(0xCF8, pci_config_address(0, 0, 0, kAperture.offset));
    machine->out32(0xCFC, machine->in32(0xCFC) & ~0xFFu);  // nibble 0: 512 MB
    const size_t seen = log().size();
    auto again = start(kBoard7 + "\r\n[Chipset]\r\nLoad=1\r\nAGPAP=16\r\n");
    EXPECT_EQ(again->chipset.agp_aperture, 16);
    EXPECT_EQ(log().find("VELMORA: AGPAP", seen), std::string::npos);
}

TEST_F(ChipsetTab, TheTabShowsTheChipsetAndSetWritesOnlyWhatChanged) {
    auto main = start(kBoard7);
    main->PageControl1->setCurrentWidget(main->TabSheet4);
    EXPECT_EQ(main->chipset_tab.CSpinEditAGPApSize->value(), 128);
    EXPECT_EQ(main->chipset_tab.CSpinEditPCILatency->value(), 32);
    EXPECT_FALSE(main->chipset_tab.CheckBoxSTPGNT->isChecked());

    ports->writes.clear();
    main->chipset_tab.ButtonChipsetSet->click();
    EXPECT_EQ(ports->option_writes(), std::vector<Reg>{});
    EXPECT_TRUE(
        logged("VELMORA: STPGNT disabled\nVELMORA: AGP-SBA disabled\n"
               "VELMORA: PCI bridge latency 32\nVELMORA: AGP controller latency 32\n"
               "VELMORA: AGP bus latency 32\nVELMORA: AGP aperture size 4\n"));
    EXPECT_EQ(main->StatusBar1->currentMessage(), "Done.");

    main->chipset_tab.CSpinEditAGPApSize->setValue(256);
    main->chipset_tab.CheckBoxSTPGNT->setChecked(true);
    main->chipset_tab.ButtonChipsetSet->click();
    EXPECT_EQ(ports->option_writes(), (std::vector<Reg>{kCpuCtrl, kAperture}));
    EXPECT_EQ(reg(kAperture), 0x08u);
    EXPECT_TRUE(stpgnt());
    EXPECT_TRUE(logged("VELMORA: STPGNT enabled\n"));
    EXPECT_TRUE(logged("VELMORA: AGP aperture size 8\n"));
    EXPECT_EQ(main->StatusBar1->currentMessage(), "Done.");

    // The three latencies, each its own value, each in its own register.
    main->chipset_tab.CSpinEditPCILatency->setValue(40);
    main->chipset_tab.CSpinEditAGPLatency->setValue(48);
    main->chipset_tab.CSpinEditAGPBusLatency->setValue(56);
    main->chipset_tab.ButtonChipsetSet->click();
    EXPECT_EQ(ports->option_writes(),
              (std::vector<Reg>{kPciLatency, kAgpBusLatency, kAgpCtrLatency}));
    EXPECT_EQ(reg(kPciLatency), 40u);
    EXPECT_EQ(reg(kAgpCtrLatency), 48u);
    EXPECT_EQ(reg(kAgpBusLatency), 56u);
    EXPECT_TRUE(
        logged("VELMORA: PCI bridge latency 40\nVELMORA: AGP controller latency 48\n"
               "VELMORA: AGP bus latency 56\n"));

    // 512 MB is code 16, which the aperture register cannot be set to.
    main->chipset_tab.CSpinEditAGPApSize->setValue(512);
    main->chipset_tab.ButtonChipsetSet->click();
    EXPECT_EQ(ports->option_writes(), std::vector<Reg>{});
    EXPECT_EQ(reg(kAperture), 0x08u);
    EXPECT_EQ(main->StatusBar1->currentMessage(), "AGP aperture size 512 MB not set.");
    EXPECT_TRUE(logged("VELMORA: Chipset settings: AGP aperture size 512 MB not set.\n"));
}

TEST_F(ChipsetTab, WithoutABoardTheListOffersTheFirstAndSetBoardBringsTheTabsBack) {
    auto main = start("\r\n[Main]\r\nBoard=255\r\n");
    ASSERT_EQ(main->PageControl1->currentWidget(), main->TabSheet3);
    EXPECT_EQ(main->settings_tab.ComboBoxBoard->count(), 15);
    EXPECT_EQ(main->settings_tab.ComboBoxBoard->currentIndex(), 0);
    EXPECT_EQ(main->settings_tab.ComboBoxBoard->itemText(0), "Abit NF7");
    EXPECT_EQ(main->settings_tab.ComboBoxBoard->itemText(14), "General board");

    pick_board(*main, 7);
    EXPECT_EQ(main->board_number, 7);
    EXPECT_TRUE(logged("VELMORA: Re-setting board\n"));
    for (QWidget* sheet : {main->TabSheet1, main->TabSheet2, main->TabSheet4})
        EXPECT_TRUE(main->PageControl1->isTabVisible(main->PageControl1->indexOf(sheet)));
    EXPECT_EQ(main->PageControl1->currentWidget(), main->TabSheet1);
    EXPECT_TRUE(main->Timer1->isActive());
    // Shown again, the list marks the board in use.
    main->PageControl1->setCurrentWidget(main->TabSheet3);
    EXPECT_EQ(main->settings_tab.ComboBoxBoard->currentIndex(), 7);
}

TEST_F(ChipsetTab, SetBoardWithoutABoardOfTheListChangesNothing) {
    auto main = start(kBoard7);
    ASSERT_TRUE(main->Timer1->isActive());
    // Never shown, the list is empty: nothing is selected.
    main->settings_tab.Button1->click();
    EXPECT_TRUE(logged("VELMORA: No board selected, nothing changed\n"));
    main->PageControl1->setCurrentWidget(main->TabSheet3);
    main->settings_tab.ComboBoxBoard->addItem("No such board");
    main->settings_tab.ComboBoxBoard->setCurrentIndex(15);
    main->settings_tab.Button1->click();
    EXPECT_TRUE(logged("VELMORA: Board nr. 15 not in the board list, nothing changed\n"));
    EXPECT_FALSE(logged("VELMORA: Re-setting board\n"));
    EXPECT_EQ(main->board_number, 7);
    EXPECT_TRUE(main->Timer1->isActive());
}

TEST_F(ChipsetTab, ABoardWithoutAMapStartsFromAnEmptyOne) {
    const std::string map7 = "[Sensormap]\r\n7=1:0,1:2,0:0,0:0,0:0,0:0,0:0,1:0,1:1,0:0\r\n";
    write_file("sensor.ini", map7);
    write_file("sensormap.ini", map7);
    auto main = start(kBoard7);
    ASSERT_NE(main->sensor_map.bytes[0], 0);
    pick_board(*main, 5);
    EXPECT_EQ(main->board_number, 5);
    EXPECT_EQ(std::count(std::begin(main->sensor_map.bytes), std::end(main->sensor_map.bytes), 0),
              2 * kSensorMapPairs);
    main->close();
    EXPECT_NE(read_file("sensor.ini").find("5=0:0,0:0,0:0,0:0,0:0,0:0,0:0,0:0,0:0,0:0\r\n"),
              std::string::npos);
}

TEST_F(ChipsetTab, CommandLineSettingsAreNotAppliedWhenABoardIsPickedLater) {
    auto main = start("\r\n[Main]\r\nBoard=255\r\n", {"-f", "200"});
    EXPECT_FALSE(logged("VELMORA: Parsing command-line options\n"));
    pick_board(*main, 7);
    EXPECT_EQ(os.exits, std::vector<int>{});
    EXPECT_EQ(main->board_number, 7);
    EXPECT_DOUBLE_EQ(machine->world().fsb_mhz, 166.0);
    EXPECT_EQ(main->values_selected.fsb, 166);
    EXPECT_TRUE(logged("VELMORA: Command-line settings were for the start, not applied again\n"));

    // Help and usage texts come again with every pass.
    auto helped = start(kBoard7, {"-h"});
    ASSERT_EQ(prompts.messages.size(), 1u);
    pick_board(*helped, 7);
    EXPECT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0], prompts.messages[1]);
}

}  // namespace
