// SPDX-License-Identifier: GPL-2.0-or-later
// The presets on the main tab: the list, Add, Del and Apply, and the tray's "Force max." and
// "Force min.", which apply the presets of the highest and the lowest FSB.
#include <QAction>
#include <QComboBox>
#include <QStatusBar>
#include <algorithm>
#include <cctype>
#include <vector>

#include "automation/presets.h"
#include "automation/presets_file.h"
#include "diag/debuglog.h"
#include "gui/hardware_steps.h"
#include "gui/main_window.h"

namespace {

// An entry's text up to its first ':' holds the FSB; more than this is never looked at.
constexpr int kFsbTextLength = 18;

}  // namespace

// Listed by FSB, lowest first, whatever order the store keeps: the first and the last entry
// are the minimum and the maximum the tray forces, also for two-digit FSBs.
void AutoFsbGroup::FillPresetList() {
    ComboBoxPreset->clear();
    std::vector<Preset> presets(static_cast<size_t>(preset_count()));
    for (int i = 0; i < preset_count(); ++i)
        preset_at(i, &presets[static_cast<size_t>(i)]);
    if (presets.empty())
        return;
    std::stable_sort(presets.begin(), presets.end(),
                     [](const Preset& a, const Preset& b) { return a.fsb < b.fsb; });
    for (const Preset& preset : presets)
        ComboBoxPreset->addItem(QString::fromStdString(preset_format(preset)));
    ComboBoxPreset->setCurrentIndex(0);
}

int AutoFsbGroup::SelectedPresetFSB() {
    const std::string text = ComboBoxPreset->currentText().left(kFsbTextLength).toStdString();
    const size_t colon = text.find(':');
    if (colon == std::string::npos)
        return -1;
    size_t at = 0;
    while (at < colon && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    const bool negative = at < colon && text[at] == '-';
    if (at < colon && (text[at] == '-' || text[at] == '+'))
        ++at;
    int fsb = 0;
    for (; at < colon && text[at] >= '0' && text[at] <= '9'; ++at)
        fsb = fsb * 10 + (text[at] - '0');
    return negative ? -fsb : fsb;
}

void AutoFsbGroup::AddPreset(QObject*) {
    preset_add(Preset{static_cast<int16_t>(window_.values_selected.fsb),
                      window_.values_selected.vcore, window_.values_selected.vdimm});
    preset_save(kPresetFile);
    FillPresetList();
}

void AutoFsbGroup::RemovePreset(QObject*) {
    preset_remove(SelectedPresetFSB());
    preset_save(kPresetFile);
    FillPresetList();
}

void AutoFsbGroup::ApplyPreset(QObject* sender) {
    if (window_.EndAutoFsbRunFirst([this, sender] { ApplyPreset(sender); }) ||
        window_.steps_->busy(HardwareSteps::Kind::Action))
        return;
    if (sender == window_.tray.TrayForceMax)
        ComboBoxPreset->setCurrentIndex(ComboBoxPreset->count() - 1);
    else if (sender == window_.tray.TrayForceMin)
        ComboBoxPreset->setCurrentIndex(0);

    const int fsb = SelectedPresetFSB();
    if (fsb < 0 || !window_.SelectPreset(fsb))
        return;
    window_.StatusBar1->showMessage("Forcing " + ComboBoxPreset->currentText());
    window_.main_tab.StartApply([this] {
        window_.main_tab.ShowVcore(window_.values_applied.vcore);
        window_.main_tab.ShowVdimm(window_.values_applied.vdimm);
        window_.main_tab.ShowFsb(window_.values_applied.fsb);
    });
}
