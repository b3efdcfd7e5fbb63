// SPDX-License-Identifier: GPL-2.0-or-later
// The presets on the main tab and in the tray menu, on the simulated board 7 (1.075 - 2.2 V,
// Vdimm 2.50 - 2.90 V, 166 MHz).
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <memory>

#include "automation/presets.h"
#include "board/chipset.h"
#include "board/fsb.h"
#include "gui/main_window.h"
#include "helpers/scripted_prompts.h"
#include "helpers/temp_dir.h"
#include "helpers/window_world.h"
#include "platform/clock.h"
#include "sim/sim_machine.h"
#include "support/configfile.h"

namespace {

using Texts = std::vector<std::string>;

class Presets : public ::testing::Test, protected WindowWorld {
  protected:
    Presets() {
        presets_reset_state();
        fsb_reset_state();
        chipset_reset_state();
        machine = std::make_unique<SimMachine>(*sim_profile(7));
        machine->set_cpu_load(0);
        install_port_backend(machine.get());
        write_file("config.ini", "\r\n[Main]\r\nBoard=7\r\n");
    }
    ~Presets() override {
        main.reset();
        install_port_backend(nullptr);
        presets_reset_state();
    }
    void start(const std::string& presets) {
        write_file("presets.ini", presets);
        main = std::make_unique<TMain>(prompts, std::vector<std::string>{});
        QObject::connect(main->StatusBar1, &QStatusBar::messageChanged,
                         [this](const QString& text) { statuses.push_back(text.toStdString()); });
    }
    Texts listed() const {
        Texts texts;
        for (int i = 0; i < main->autofsb_group.ComboBoxPreset->count(); ++i)
            texts.push_back(main->autofsb_group.ComboBoxPreset->itemText(i).toStdString());
        return texts;
    }
    void select(const char* text) {
        main->autofsb_group.ComboBoxPreset->setCurrentIndex(
            main->autofsb_group.ComboBoxPreset->findText(text));
    }
    std::string log() const { return read_file("velmora.deb"); }
    const SimWorld& world() { return machine->world(); }

    std::unique_ptr<SimMachine> machine;
    std::unique_ptr<TMain> main;
    Texts statuses;
};

TEST_F(Presets, TheListStandsInFsbOrderAndTheTrayForcesItsEnds) {
    start("200:1.700:2.77\n99:1.600:2.63\n166:nan:2.70\n133:1.650:2.63\n");
    EXPECT_EQ(listed(), (Texts{"99:1.600:2.63", "133:1.650:2.63", "200:1.700:2.77"}));
    EXPECT_EQ(main->autofsb_group.ComboBoxPreset->currentIndex(), 0);
    EXPECT_NE(log().find("PRESETS: presets.ini line 166:nan:2.70 wrong syntax\n"),
              std::string::npos);

    const struct {
        QAction* item;
        double fsb, vcore, vdimm;
        const char* text;
    } forced[] = {{main->tray.TrayForceMax, 200, 1.7, 2.77, "200:1.700:2.77"},
                  {main->tray.TrayForceMin, 99, 1.6, 2.63, "99:1.600:2.63"}};
    for (const auto& f : forced) {
        statuses.clear();
        f.item->trigger();
        EXPECT_EQ(main->autofsb_group.ComboBoxPreset->currentText(), f.text);
        EXPECT_DOUBLE_EQ(world().fsb_mhz, f.fsb) << f.text;
        EXPECT_DOUBLE_EQ(world().vcore, f.vcore) << f.text;
        EXPECT_DOUBLE_EQ(world().vdimm, f.vdimm) << f.text;
        ASSERT_FALSE(statuses.empty());
        EXPECT_EQ(statuses.front(), std::string("Forcing ") + f.text);
        EXPECT_EQ(statuses.back(), "Done.");
        // The controls show what was applied, and nothing is left to apply.
        EXPECT_EQ(main->main_tab.EditFSB->text().toStdString(),
                  std::to_string(int(f.fsb)) + " MHz");
        EXPECT_EQ(main->values_selected.fsb, main->values_applied.fsb);
        EXPECT_DOUBLE_EQ(main->values_selected.vcore, main->values_applied.vcore);
        EXPECT_DOUBLE_EQ(main->values_selected.vdimm, main->values_applied.vdimm);
    }
    select("133:1.650:2.63");
    main->autofsb_group.ButtonPresetApply->click();
    EXPECT_DOUBLE_EQ(world().fsb_mhz, 133);
    EXPECT_TRUE(world().faults.empty());
}

TEST_F(Presets, AddAndDelRewriteTheFileAndTheList) {
    start("200:1.700:2.77\n");
    main->main_tab.ShowFsb(180);
    main->main_tab.ShowVcore(1.725);
    main->main_tab.ShowVdimm(2.9);
    main->autofsb_group.ButtonPresetAdd->click();
    main->main_tab.ShowFsb(90);
    main->autofsb_group.ButtonPresetAdd->click();
    EXPECT_EQ(read_file("presets.ini"),
              "200:1.700:2.77\n180:1.725:2.90\n90:1.725:2.90\n");  // in the order added
    EXPECT_EQ(listed(), (Texts{"90:1.725:2.90", "180:1.725:2.90", "200:1.700:2.77"}));
    EXPECT_DOUBLE_EQ(world().fsb_mhz, 166);  // adding applies nothing

    select("180:1.725:2.90");
    main->autofsb_group.ButtonPresetDel->click();
    EXPECT_EQ(read_file("presets.ini"), "200:1.700:2.77\n90:1.725:2.90\n");
    EXPECT_EQ(listed(), (Texts{"90:1.725:2.90", "200:1.700:2.77"}));
    main->autofsb_group.ButtonPresetDel->click();  // the first entry, selected after the refill
    main->autofsb_group.ButtonPresetDel->click();
    EXPECT_EQ(read_file("presets.ini"), "");
    EXPECT_TRUE(listed().empty());

    // Nothing to force: nothing applied, nothing selected that the controls do not show.
    main->main_tab.ShowFsb(180);
    main->tray.TrayForceMax->trigger();
    EXPECT_EQ(main->values_selected.fsb, 180);
    EXPECT_DOUBLE_EQ(world().fsb_mhz, 166);
}

TEST_F(Presets, ARefusedPresetLeavesTheSelectionAsTheControlsShowIt) {
    start("150:0.900:2.63\n160:1.650:0.00\n");
    main->main_tab.ShowFsb(180);  // chosen, not yet applied
    const TMain::MainValues before = main->values_selected;
    const double vdimm = world().vdimm;
    for (const char* text : {"150:0.900:2.63", "160:1.650:0.00"}) {
        select(text);
        main->autofsb_group.ButtonPresetApply->click();
        EXPECT_DOUBLE_EQ(world().fsb_mhz, 166) << text;
        EXPECT_EQ(main->values_selected.fsb, before.fsb) << text;
        EXPECT_DOUBLE_EQ(main->values_selected.vcore, before.vcore) << text;
        EXPECT_DOUBLE_EQ(main->values_selected.vdimm, before.vdimm) << text;
    }
    main->main_tab.Apply();
    EXPECT_DOUBLE_EQ(world().fsb_mhz, 180);
    EXPECT_DOUBLE_EQ(world().vcore, 1.65);
    EXPECT_DOUBLE_EQ(world().vdimm, vdimm);
}

}  // namespace
