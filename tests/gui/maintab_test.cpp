// SPDX-License-Identifier: GPL-2.0-or-later
// The Main tab on the simulated boards: what it shows, what its controls select, and what
// Apply writes to the board in which order.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSlider>
#include <QStatusBar>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <memory>
#include <tuple>

#include "automation/cpuload.h"
#include "board/chipset.h"
#include "board/fsb.h"
#include "diag/errortext.h"
#include "gui/main_window.h"
#include "gui/up_down.h"
#include "helpers/fake_platform.h"
#include "helpers/kernel_mode.h"
#include "helpers/scripted_prompts.h"
#include "helpers/temp_dir.h"
#include "hw/pci.h"
#include "hw/smbus.h"
#include "platform/clock.h"
#include "sim/sim_machine.h"

namespace {

using Texts = std::vector<std::string>;

class MainTab : public ::testing::TestWithParam<bool> {
  protected:
    MainTab() {
        install_clock(&clock);
        fsb_reset_state();
        chipset_reset_state();
    }
    ~MainTab() override {
        main.reset();
        kernel.reset();
        install_port_backend(nullptr);
        install_clock(nullptr);
    }
    // Starts on the board of the profile and shows its values as the start-up will.
    void start(const SimProfile& profile, bool power_on = true, int board = -1) {
        if (power_on)
            machine = std::make_unique<SimMachine>(profile);
        machine->set_cpu_load(0);
        install_port_backend(machine.get());
        // Through the ports, or through the kernel's drivers as the start finds them.
        main.reset();
        kernel.reset();
        kernel = std::make_unique<KernelMode>(*machine, GetParam(), false);
        write_file("config.ini", "\r\n[Main]\r\nBoard=" +
                                     std::to_string(board < 0 ? profile.number : board) + "\r\n");
        main = std::make_unique<TMain>(prompts, std::vector<std::string>{});
        main->main_tab.ShowFsb(main->values_read.fsb);
        main->main_tab.FillMainTab();
        QObject::connect(main->StatusBar1, &QStatusBar::messageChanged,
                         [this](const QString& text) { statuses.push_back(text.toStdString()); });
        log_start = read_file("velmora.deb").size();
    }
    std::string new_log() const { return read_file("velmora.deb").substr(log_start); }
    // Pixels of the Vcore track bar in the red of its selection.
    int marked_pixels() {
        main->show();
        const QImage bar = main->main_tab.TrackBarVcore->grab().toImage();
        int marked = 0;
        for (int y = 0; y < bar.height(); ++y)
            for (int x = 0; x < bar.width(); ++x)
                marked += QColor(bar.pixel(x, y)).hue() < 10 &&
                          QColor(bar.pixel(x, y)).saturation() > 100;
        return marked;
    }

    TempWorkDir dir;
    FakePlatform os;
    ScopedPlatform installed{os};
    ScriptedPrompts prompts;
    VirtualClock clock;  // the VID and FSB steps take no time
    std::unique_ptr<SimMachine> machine;
    std::unique_ptr<KernelMode> kernel;
    std::unique_ptr<TMain> main;
    Texts statuses;
    size_t log_start = 0;
};

TEST_P(MainTab, FillMainTabShowsTheReadValuesWithinTheBoardsRanges) {
    start(*sim_profile(7));  // 1.075 - 2.2 V
    EXPECT_EQ(main->main_tab.LabelVCoreMax->text(), "2.200 V");
    EXPECT_EQ(main->main_tab.LabelVCoreMin->text(), "1.075 V");
    EXPECT_EQ(main->main_tab.TrackBarVcore->maximum(), 45);
    EXPECT_EQ(main->main_tab.UpDownVcore->maximum(), 45);
    EXPECT_EQ(main->main_tab.TrackBarVcore->property("selectionEnd").toInt(), 14);  // above 1.85 V
    EXPECT_GT(marked_pixels(), 0);
    EXPECT_EQ(main->main_tab.UpDownVcore->position(), 22);
    EXPECT_EQ(main->main_tab.EditVCore->text(), "1.650 V");
    EXPECT_EQ(main->main_tab.TrackBarVdimm->value(), 2);
    EXPECT_EQ(main->main_tab.EditVdimm->text(), "2.63 V");
    EXPECT_EQ(main->main_tab.LabelVdimmMax->text(), "2.90 V");
    EXPECT_EQ(main->main_tab.TrackBarVagp->value(), 3);
    EXPECT_EQ(main->main_tab.TrackBarVdd->maximum(), 2);
    EXPECT_EQ(main->main_tab.EditVdd->text(), "1.60 V");
    EXPECT_EQ(main->main_tab.TrackBarFSB->value(), 134);
    EXPECT_EQ(main->main_tab.EditFSB->text(), "166 MHz");
    EXPECT_EQ(main->main_tab.EditCPU->text(), "166 x 11 = 1826 MHz");
    EXPECT_DOUBLE_EQ(main->values_selected.vcore, 1.65);
}

TEST_P(MainTab, ABarThatStartsWhereTheReadVoltageIsStillShowsIt) {
    SimProfile low = *sim_profile(1);  // top 1.850 V: the form's position 24 is 1.250 V
    low.cpu_vid_code = 24;
    start(low);
    EXPECT_EQ(main->main_tab.EditVCore->text(), "1.250 V");
    EXPECT_EQ(marked_pixels(), 0);
    EXPECT_EQ(main->main_tab.GroupBoxVdd->title(), "Vdd disabled");
}

TEST_P(MainTab, TheControlsSelectWhatTheyShowInAnyLocale) {
    std::setlocale(LC_ALL, "de_DE.utf8");
    QLocale::setDefault(QLocale(QLocale::German));
    start(*sim_profile(7));
    main->main_tab.TrackBarVcore->setValue(20);
    EXPECT_DOUBLE_EQ(main->values_selected.vcore, 1.7);
    EXPECT_EQ(main->main_tab.EditVCore->text(), "1.700 V");
    main->main_tab.UpDownVcore->step(true);  // upper arrow: one step higher
    EXPECT_EQ(main->main_tab.TrackBarVcore->value(), 19);
    EXPECT_EQ(main->main_tab.EditVCore->text(), "1.725 V");
    main->main_tab.TrackBarVdimm->setValue(0);
    EXPECT_DOUBLE_EQ(main->values_selected.vdimm, 2.9);
    EXPECT_EQ(main->main_tab.EditVdimm->text(), "2.90 V");

    main->main_tab.TrackBarFSB->setValue(100);
    EXPECT_EQ(main->values_selected.fsb, 200);
    EXPECT_EQ(main->main_tab.EditFSB->text(), "200 MHz");
    EXPECT_EQ(main->main_tab.EditCPU->text(), "200 x 11 = 2200 MHz");
    main->cpu_multiplier = 12.5;
    main->main_tab.ShowFsb(133);
    EXPECT_EQ(main->main_tab.EditCPU->text(), "133 x 12.5 = 1663 MHz");
    main->main_tab.TrackBarFSB->setValue(250);
    EXPECT_EQ(main->main_tab.EditFSB->text(), "50 MHz");
    EXPECT_EQ(main->main_tab.UpDownFSB->position(), 200);  // the arrows stop at 100 MHz

    main->main_tab.ComboBoxTrcd->setCurrentIndex(2);
    main->main_tab.RamChange(main->main_tab.ComboBoxTrcd);
    EXPECT_EQ(main->values_selected.trcd, 3);
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(QLocale::c());
}

TEST_P(MainTab, TableVoltagesAndTimingsAreWrittenAndUnchangedOnesAreNot) {
    start(*sim_profile(7));
    main->main_tab.ComboBoxTras->setCurrentIndex(
        10);  // the read timings, as the start-up shows them
    main->main_tab.ComboBoxTrcd->setCurrentIndex(4);
    main->main_tab.ComboBoxTrp->setCurrentIndex(6);
    main->main_tab.Apply();
    EXPECT_EQ(new_log(), "");
    EXPECT_EQ(statuses, (Texts{"Apply new settings...", "Done."}));
    EXPECT_DOUBLE_EQ(machine->world().vcore, 1.65);

    statuses.clear();
    for (QSlider* top :
         {main->main_tab.TrackBarVdimm, main->main_tab.TrackBarVagp, main->main_tab.TrackBarVdd})
        top->setValue(0);
    main->main_tab.ComboBoxTras->setCurrentIndex(6);
    main->main_tab.RamChange();
    main->main_tab.Apply();
    const std::string log = new_log();
    const size_t vagp = log.find("VELMORA: Setting Vagp to 1.800 done\n");
    EXPECT_LT(log.find("VELMORA: Setting Vdimm to 2.900 done\n"), vagp);
    EXPECT_LT(vagp, log.find("VELMORA: Setting Vdd to 2.000 done\n"));
    EXPECT_EQ(statuses, (Texts{"Apply new settings...", "Apply new settings...VDimm.",
                               "Apply new settings...VDimm.VAgp.", "Done."}));
    EXPECT_DOUBLE_EQ(machine->world().vdimm, 2.9);
    EXPECT_DOUBLE_EQ(machine->world().vdd, 2.0);
    ChipsetSettings now;
    read_chipset_settings(&now);
    EXPECT_EQ(now.tras, 7);
    EXPECT_EQ(now.trcd, 5);
}

// The board's missing rails are off on the tab; what Apply does on it is the session's
// (SessionApply.OnTheA7n8x...).
TEST_P(MainTab, OnTheA7n8xTheDimmAndAgpRailsAreOff) {
    start(*sim_profile(2));
    EXPECT_EQ(main->main_tab.GroupBoxVdimm->title(), "Vdimm disabled");
    EXPECT_FALSE(main->main_tab.TrackBarVagp->isEnabled());
}

// What the user did not change is not written; a selection that a byte cannot hold is refused
// whole; and no board is written through a VID chip that is not there.
TEST_P(MainTab, ApplyWritesOnlyWhatWasAskedForAndCanBeSet) {
    // Read values no control can show: Vdd bits that select no table entry, and an FSB below
    // the bar's 50 MHz. The controls snap to a neighbour; nothing is written for it.
    machine = std::make_unique<SimMachine>(*sim_profile(7));
    install_port_backend(machine.get());
    ASSERT_EQ(smbus_write_byte(0, 0x37, 0x06, 0x0C), 0);  // Vdimm 2.90 V, Vdd bits 00
    pci_config_write(0, 0, 0, 0xA8, 1, 1);                // the PLL taken over at 40 MHz
    pci_config_write(0, 0, 0, 0xA4, 0x00100000 | 8 << 8 | 5, 4);
    machine->world().faults.clear();
    start(*sim_profile(7), false);
    EXPECT_EQ(main->values_read.fsb, 40);
    EXPECT_EQ(main->main_tab.TrackBarFSB->value(), 250);
    main->main_tab.Apply();
    EXPECT_EQ(new_log(), "");
    EXPECT_EQ(machine->world().fsb_mhz, 40);

    // Tras 257 would reach the chipset as 1, Trp -254 as 2.
    for (auto [tras, trp, line] :
         {std::tuple{257, 7, "VELMORA: Tras 257 out of range 1 to 31, nothing applied\n"},
          std::tuple{11, -254, "VELMORA: Trp -254 out of range 1 to 7, nothing applied\n"}}) {
        log_start = read_file("velmora.deb").size();
        main->values_selected.tras = tras;
        main->values_selected.trp = trp;
        main->values_selected.vcore = 1.7;
        main->main_tab.Apply();
        EXPECT_EQ(new_log(), line);
        EXPECT_DOUBLE_EQ(machine->world().vcore, 1.65);
    }
    ChipsetSettings now;
    read_chipset_settings(&now);
    EXPECT_EQ(std::pair(now.tras, now.trp), std::pair(uint8_t{11}, uint8_t{7}));

    // A stored board whose chip is not where the table puts it: no voltage control, and a
    // rising FSB waits for a Vcore that cannot be set.
    main.reset();
    start(*sim_profile(2), true, 7);
    ASSERT_FALSE(prompts.messages.empty());
    EXPECT_EQ(prompts.messages.back(), "ATXP1 not found\nVoltage adjustments not working");
    EXPECT_FALSE(main->main_tab.GroupBoxVCore->isEnabled());
    EXPECT_EQ(main->main_tab.EditVCore->text(), "NA");
    EXPECT_EQ(main->main_tab.GroupBoxVdimm->title(), "Vdimm disabled");
    main->values_selected.vcore = 1.75;
    main->values_selected.fsb = 200;
    main->main_tab.Apply();
    EXPECT_EQ(main->StatusBar1->currentMessage(), "ERROR: velmora -> SMB write error.");
    EXPECT_EQ(machine->world().fsb_mhz, 166);
    main->main_tab.Reset();  // the chip stays missing without a new reading
    EXPECT_EQ(main->board.chip.address, 0);
}

// The lowest position of the bar stays 1.075 V, and setting it asks first: No writes
// nothing, Yes sets it and the simulated board's regulator switches off.
TEST_P(MainTab, TheRegulatorOffCodeIsSetOnlyWhenTheUserSaysYes) {
    start(*sim_profile(7));
    main->main_tab.ShowVcore(1.075);
    EXPECT_EQ(main->main_tab.EditVCore->text(), "1.075 V");
    main->main_tab.Apply();
    ASSERT_EQ(prompts.questions.size(), 1u);
    EXPECT_EQ(prompts.questions[0].text,
              "VID code 11111 switches the core regulator off on most boards; the PC will stop. "
              "Set 1.075 V anyway?");
    EXPECT_EQ(main->apply_failures, Texts{"ERROR: velmora -> Invalid VCore."});
    EXPECT_DOUBLE_EQ(machine->world().vcore, 1.65);
    EXPECT_DOUBLE_EQ(main->values_applied.vcore, 1.65);

    prompts.answers = {true};
    main->main_tab.Apply();
    EXPECT_TRUE(machine->world().stopped);
    EXPECT_EQ(machine->world().faults,
              Texts{"VID code 11111 switched the core regulator off: the PC stopped"});
}

// The groups share the fixed window: no control of the tab may lie outside it, whichever rails a
// board can set (a disabled rail's caption is wider than its enabled one).
TEST_P(MainTab, NoControlIsCutOffOnAnyBoard) {
    for (int number = 0; number < kSimProfileCount; ++number) {
        main.reset();
        start(*sim_profile(number));
        main->show();
        QApplication::processEvents();
        for (QWidget* control : main->TabSheet1->findChildren<QWidget*>()) {
            if (!control->isVisible())
                continue;
            const QRect placed(control->mapTo(main.get(), QPoint(0, 0)), control->size());
            EXPECT_TRUE(main->rect().contains(placed))
                << "profile " << number << ": " << control->objectName().toStdString() << " at "
                << placed.x() << "+" << placed.width() << " in " << main->width();
        }
    }
}

// The contrast of two colours as the accessibility guidelines measure it (1 to 21).
double contrast(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& c) {
        auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The load's colours read on the panel behind it. Red and yellow reach 4.5:1; the load's green
// (0, 128, 0) reaches 4.1:1 on black, the most any background gives it, above the 3:1 that
// figures of this size need.
TEST_P(MainTab, TheLoadReadsInEachOfItsColoursOnItsPanel) {
    start(*sim_profile(7));
    main->settings.max_load = 90;
    main->settings.min_load = 10;
    const QColor panel = main->main_tab.GroupBoxDisplay->palette().color(QPalette::Window);
    EXPECT_TRUE(main->main_tab.GroupBoxDisplay->autoFillBackground());
    const struct {
        int load;
        QColor colour;
        double least;
    } cases[] = {
        {95, QColor(255, 0, 0), 4.5}, {50, QColor(255, 255, 0), 4.5}, {5, QColor(0, 128, 0), 4.0}};
    for (const auto& c : cases) {
        cpu_load.store(c.load);
        main->main_tab.ShowLoad();
        const QColor shown = main->main_tab.DisplayLoad->palette().color(QPalette::WindowText);
        EXPECT_EQ(shown, c.colour) << c.load;
        EXPECT_GE(contrast(shown, panel), c.least) << c.load;
        EXPECT_EQ(main->main_tab.DisplayLoad->palette().color(QPalette::Window), panel);
    }
    cpu_load.store(0);
    EXPECT_GE(contrast(main->main_tab.DisplayMhz->palette().color(QPalette::WindowText), panel),
              4.5);
}

// The DFI boards' AGP bits add to the rail's 1.5 V: the bar shows the rail, highest on top, and
// selects the table's own add-on value.
TEST_P(MainTab, TheDfiAgpBarShowsTheRailWithItsHighestVoltageOnTop) {
    start(*sim_profile(4));
    EXPECT_EQ(main->main_tab.LabelVagpMax->text(), "1.90 V");
    EXPECT_EQ(main->main_tab.LabelVagpMin->text(), "1.50 V");
    main->main_tab.TrackBarVagp->setValue(0);
    EXPECT_EQ(main->main_tab.EditVagp->text(), "1.90 V");
    EXPECT_DOUBLE_EQ(main->values_selected.vagp, 0.4);
    main->main_tab.TrackBarVagp->setValue(1);
    EXPECT_EQ(main->main_tab.EditVagp->text(), "1.50 V");
    EXPECT_DOUBLE_EQ(main->values_selected.vagp, 0.0);
}

INSTANTIATE_TEST_SUITE_P(BothWays, MainTab, testing::Bool(), kernel_mode_name);

}  // namespace
