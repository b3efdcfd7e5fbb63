// SPDX-License-Identifier: GPL-2.0-or-later
// Tab "Main": sensor fields, the voltage and FSB track bars, RAM timings, AutoFSB with the
// presets, the clock and load display and the main buttons.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "gui/form.h"
#include "gui/main_window.h"
#include "gui/up_down.h"

namespace {
constexpr int kSensorFieldWidth = 50;
constexpr int kVoltageEditWidth = 58;
constexpr int kFsbEditWidth = 138;  // "166 x 12.5 = 2083 MHz"
constexpr int kSpinWidth = 50;
constexpr int kFsbRangeWidth = 58;
constexpr int kSmallButtonWidth = 40;
constexpr int kDisplayPixels = 24;  // the clock and load read from across the room

QStringList numbers(int first, int last) {
    QStringList items;
    for (int n = first; n <= last; ++n)
        items << QString::number(n);
    return items;
}

// A track bar between its limit labels, an optional up-down beside it and its text below.
void lay_out_track_bar(QGroupBox* box, QLabel* top, QSlider* bar, UpDown* arrows, QLabel* bottom,
                       const QList<QLineEdit*>& texts) {
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(3, 4, 3, 6);
    column->setSpacing(2);
    column->addWidget(top, 0, Qt::AlignHCenter);
    auto* middle = new QHBoxLayout;
    middle->addStretch(1);
    middle->addWidget(bar);
    if (arrows)
        middle->addWidget(arrows, 0, Qt::AlignVCenter);
    middle->addStretch(1);
    column->addLayout(middle, 1);
    column->addWidget(bottom, 0, Qt::AlignHCenter);
    for (QLineEdit* text : texts)
        column->addWidget(text, 0, Qt::AlignHCenter);
}
}  // namespace

QWidget* MainTab::Create() {
    auto* sheet = new QWidget;
    sheet->setObjectName("TabSheet1");

    // Sensor readings, "NA" until a sensor delivers them.
    GroupSensor = form::group(sheet, "GroupSensor", "Sensor");
    {
        // One column, in the order of the display items: temperatures, voltages, fans.
        auto* grid = new QGridLayout(GroupSensor);
        grid->setContentsMargins(6, 4, 6, 6);
        grid->setVerticalSpacing(2);
        int row = 0;
        auto field = [&](QLineEdit*& member, const char* name, const char* caption) {
            member = form::read_only_text(GroupSensor, name, "NA");
            member->setFixedWidth(kSensorFieldWidth);
            grid->addWidget(form::caption_for(member, caption), row, 0);
            grid->addWidget(member, row++, 1);
        };
        field(SensorTemp, "SensorTemp", "CPU");
        field(SensorSysTemp, "SensorSysTemp", "SYS");
        field(SensorVcore, "SensorVcore", "VCore");
        field(SensorVdimm, "SensorVdimm", "VDimm");
        field(SensorVdd, "SensorVdd", "Vdd");
        field(Sensor5V, "Sensor5V", "5V");
        field(Sensor12V, "Sensor12V", "12V");
        field(SensorFan1, "SensorFan1", "FAN1");
        field(SensorFan2, "SensorFan2", "FAN2");
        field(SensorFan3, "SensorFan3", "FAN3");
        grid->setRowStretch(row, 1);
    }

    // The voltages; each track bar has its highest value on top.
    GroupBoxVCore = form::group(sheet, "GroupBoxVCore", "CPU Core Voltage");
    TrackBarVcore = form::track_bar(GroupBoxVCore, "TrackBarVcore", 45, 24);
    UpDownVcore = new UpDown(GroupBoxVCore);
    UpDownVcore->setObjectName("UpDownVcore");
    UpDownVcore->setRange(0, 45);
    UpDownVcore->setIncrement(-1);
    UpDownVcore->setPosition(24);
    EditVCore = form::read_only_text(GroupBoxVCore, "EditVCore", "1.600 V");
    EditVCore->setFixedWidth(kVoltageEditWidth);
    LabelVCoreMax = form::label(GroupBoxVCore, "LabelVCoreMax", "2.200 V");
    LabelVCoreMin = form::label(GroupBoxVCore, "LabelVCoreMin", "1.075 V");
    lay_out_track_bar(GroupBoxVCore, LabelVCoreMax, TrackBarVcore, UpDownVcore, LabelVCoreMin,
                      {EditVCore});

    struct Rail {
        QGroupBox*& box;
        QSlider*& bar;
        QLineEdit*& edit;
        QLabel*& max;
        QLabel*& min;
        const char* suffix;
        const char* caption;
        int last_position;  // the maximum, and the start: the lowest voltage
        const char* max_text;
        const char* min_text;
    };
    const Rail rails[] = {
        {GroupBoxVdimm, TrackBarVdimm, EditVdimm, LabelVdimmMax, LabelVdimmMin, "Vdimm",
         "DIMM Voltage", 3, "2.9 V", "2.5 V"},
        {GroupBoxVagp, TrackBarVagp, EditVagp, LabelVagpMax, LabelVagpMin, "Vagp", "AGP Voltage", 3,
         "1.8 V", "1.5 V"},
        {GroupBoxVdd, TrackBarVdd, EditVdd, LabelVddMax, LabelVddMin, "Vdd", "Vdd Voltage", 2,
         "2.0 V", "1.6 V"},
    };
    for (const Rail& rail : rails) {
        const QByteArray suffix(rail.suffix);
        rail.box = form::group(sheet, ("GroupBox" + suffix).constData(), rail.caption);
        rail.bar = form::track_bar(rail.box, ("TrackBar" + suffix).constData(), rail.last_position,
                                   rail.last_position);
        rail.edit = form::read_only_text(rail.box, ("Edit" + suffix).constData(), "");
        rail.edit->setFixedWidth(kVoltageEditWidth);
        rail.max = form::label(rail.box, ("Label" + suffix + "Max").constData(), rail.max_text);
        rail.min = form::label(rail.box, ("Label" + suffix + "Min").constData(), rail.min_text);
        lay_out_track_bar(rail.box, rail.max, rail.bar, nullptr, rail.min, {rail.edit});
    }

    // FSB: position p stands for 300 - p MHz, so 300 MHz is on top.
    GroupBoxFSB = form::group(sheet, "GroupBoxFSB", "FSB");
    TrackBarFSB = form::track_bar(GroupBoxFSB, "TrackBarFSB", 250, 0, 5);
    UpDownFSB = new UpDown(GroupBoxFSB);
    UpDownFSB->setObjectName("UpDownFSB");
    UpDownFSB->setRange(0, 200);
    UpDownFSB->setIncrement(-1);
    EditFSB = form::read_only_text(GroupBoxFSB, "EditFSB", "");
    EditCPU = form::read_only_text(GroupBoxFSB, "EditCPU", "");
    EditFSB->setFixedWidth(kFsbEditWidth);
    EditCPU->setFixedWidth(kFsbEditWidth);
    lay_out_track_bar(GroupBoxFSB, new QLabel("300 MHz", GroupBoxFSB), TrackBarFSB, UpDownFSB,
                      new QLabel("50 MHz", GroupBoxFSB), {EditFSB, EditCPU});

    // RAM timings in cycles.
    GroupBoxRam = form::group(sheet, "GroupBoxRam", "RAM Settings");
    ComboBoxTras = form::fixed_list(GroupBoxRam, "ComboBoxTras", numbers(1, 31));
    ComboBoxTrcd = form::fixed_list(GroupBoxRam, "ComboBoxTrcd", numbers(1, 7));
    ComboBoxTrp = form::fixed_list(GroupBoxRam, "ComboBoxTrp", numbers(1, 7));
    CheckBoxAutoPC = form::check_box(GroupBoxRam, "CheckBoxAutoPC", "Auto-\nprecharge");
    {
        auto* grid = new QGridLayout(GroupBoxRam);
        grid->setContentsMargins(6, 4, 6, 6);
        int row = 0;
        for (auto [list, caption] :
             {std::pair{ComboBoxTras, "Tras"}, std::pair{ComboBoxTrcd, "Trcd"},
              std::pair{ComboBoxTrp, "Trp"}}) {
            grid->addWidget(form::caption_for(list, caption), row, 0);
            grid->addWidget(list, row++, 1);
        }
        grid->addWidget(CheckBoxAutoPC, row++, 0, 1, 2);
        grid->setRowStretch(row, 1);
    }

    window_.autofsb_group.Create(sheet);

    // CPU clock and load in large digits, on a dark panel: the load's red, green and yellow
    // all read on black (on the light window yellow would not).
    GroupBoxDisplay = form::group(sheet, "GroupBoxDisplay", "");
    DisplayMhz = form::label(GroupBoxDisplay, "DisplayMhz", "1000");
    DisplayLoad = form::label(GroupBoxDisplay, "DisplayLoad", "100%");
    auto* mhz = new QLabel("MHz", GroupBoxDisplay);
    {
        QPalette dark = GroupBoxDisplay->palette();
        dark.setColor(QPalette::Window, kDisplayPanel);
        dark.setColor(QPalette::WindowText, QColor(255, 255, 255));
        GroupBoxDisplay->setAutoFillBackground(true);
        GroupBoxDisplay->setPalette(dark);
        QFont large = DisplayMhz->font();
        large.setPixelSize(kDisplayPixels);
        for (QLabel* shown : {DisplayMhz, DisplayLoad, mhz}) {
            shown->setFont(large);
            shown->setPalette(dark);
        }
        // The figures change at every tick: at a fixed size a new text repaints the label
        // alone and never lays out the tab again.
        const QFontMetrics digits(large);
        DisplayMhz->setFixedSize(digits.horizontalAdvance("00000") + 4, digits.height() + 2);
        DisplayLoad->setFixedSize(digits.horizontalAdvance("100%") + 4, digits.height() + 2);
        DisplayMhz->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        DisplayLoad->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* grid = new QGridLayout(GroupBoxDisplay);
        grid->setContentsMargins(6, 4, 6, 6);
        grid->addWidget(DisplayMhz, 0, 0);
        grid->addWidget(mhz, 0, 1);
        grid->addWidget(DisplayLoad, 1, 0, 1, 2);
        grid->setColumnStretch(0, 1);
    }

    ButtonApply = form::button(sheet, "ButtonApply", "&Apply");
    QFont bold = ButtonApply->font();
    bold.setBold(true);
    ButtonApply->setFont(bold);
    ButtonReset = form::button(sheet, "ButtonReset", "&Reset");
    ButtonExit = form::button(sheet, "ButtonExit", "E&xit");

    auto* top = new QHBoxLayout;
    top->setSpacing(2);
    top->addWidget(GroupSensor);
    // The voltage groups share what the FSB group, whose texts need their width, leaves.
    for (QGroupBox* box : {GroupBoxVCore, GroupBoxVdimm, GroupBoxVagp, GroupBoxVdd})
        top->addWidget(box, 1);
    top->addWidget(GroupBoxFSB);
    auto* side = new QVBoxLayout;
    side->addWidget(GroupBoxDisplay);
    side->addStretch(1);
    for (QPushButton* push : {ButtonApply, ButtonReset, ButtonExit})
        side->addWidget(push);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(GroupBoxRam);
    bottom->addWidget(window_.autofsb_group.GroupBoxLoad, 1);
    bottom->addLayout(side);
    auto* page = new QVBoxLayout(sheet);
    page->setContentsMargins(3, 4, 3, 4);
    page->addLayout(top, 1);
    page->addLayout(bottom);
    return sheet;
}

// AutoFSB limits and timing, and the presets it steps through.
QGroupBox* AutoFsbGroup::Create(QWidget* sheet) {
    GroupBoxLoad = form::group(sheet, "GroupBoxLoad", "AutoFSB");
    EditMaxFSB =
        form::read_only_text(GroupBoxLoad, "EditMaxFSB", "0", "Maximum FSB, set with trackbar");
    EditMinFSB =
        form::read_only_text(GroupBoxLoad, "EditMinFSB", "0", "Min. FSB, set with trackbar");
    EditMaxFSB->setFixedWidth(kFsbRangeWidth);
    EditMinFSB->setFixedWidth(kFsbRangeWidth);
    ButtonMaxFSB = form::button(GroupBoxLoad, "ButtonMaxFSB", "Max");
    ButtonMinFSB = form::button(GroupBoxLoad, "ButtonMinFSB", "Min");
    CheckBoxAutoFSB = form::check_box(GroupBoxLoad, "CheckBoxAutoFSB", "Enable");
    CSpinEditMaxTemp = form::spin_edit(GroupBoxLoad, "CSpinEditMaxTemp", 25, 65, 1, 45,
                                       "The FSB is not more increased if this temperature is "
                                       "reached");
    CheckBoxTemp = form::check_box(GroupBoxLoad, "CheckBoxTemp", "FSB down on MT",
                                   "Decreases the FSB if CPU temp > Max. temp");
    CheckBoxTemp->setChecked(true);
    ComboBoxDelayChange =
        form::fixed_list(GroupBoxLoad, "ComboBoxDelayChange", {"Fast", "Medium", "Slow"},
                         "Sets how fast the FSB is increased or decreased");
    CSpinEditDelayMax = form::spin_edit(GroupBoxLoad, "CSpinEditDelayMax", 5, 90, 5, 15,
                                        "Delay until the FSB is increased");
    CSpinEditDelayMin = form::spin_edit(GroupBoxLoad, "CSpinEditDelayMin", 5, 90, 5, 30,
                                        "Delay until the FSB is decreased");
    CSpinEditMaxLoad = form::spin_edit(GroupBoxLoad, "CSpinEditMaxLoad", 50, 95, 5, 50,
                                       "The FSB is increased if this load is reached");
    CSpinEditMinLoad = form::spin_edit(GroupBoxLoad, "CSpinEditMinLoad", 5, 60, 5, 30,
                                       "The FSB is decreased if load < Min. Load");
    ComboBoxPreset = form::fixed_list(GroupBoxLoad, "ComboBoxPreset", {},
                                      "Add VCore presets with FSB and VCore trackbar");
    ButtonPresetAdd = form::button(GroupBoxLoad, "ButtonPresetAdd", "Add");
    ButtonPresetDel = form::button(GroupBoxLoad, "ButtonPresetDel", "Del");
    ButtonPresetApply = form::button(GroupBoxLoad, "ButtonPresetApply", "Apply");
    for (QPushButton* small :
         {ButtonMaxFSB, ButtonMinFSB, ButtonPresetAdd, ButtonPresetDel, ButtonPresetApply})
        small->setFixedWidth(kSmallButtonWidth);
    for (QSpinBox* spin : {CSpinEditMaxTemp, CSpinEditDelayMax, CSpinEditDelayMin, CSpinEditMaxLoad,
                           CSpinEditMinLoad})
        spin->setFixedWidth(kSpinWidth);
    {
        auto* grid = new QGridLayout(GroupBoxLoad);
        grid->setContentsMargins(6, 4, 6, 6);
        grid->setVerticalSpacing(4);
        grid->setHorizontalSpacing(6);
        // Left: the FSB range taken from the track bar, and the switch.
        grid->addWidget(ButtonMaxFSB, 0, 0);
        grid->addWidget(EditMaxFSB, 0, 1);
        grid->addWidget(ButtonMinFSB, 1, 0);
        grid->addWidget(EditMinFSB, 1, 1);
        grid->addWidget(CheckBoxAutoFSB, 2, 0, 1, 2);
        // Middle: load limits and delays.
        auto labelled = [grid](QWidget* control, const char* caption, int row, int column) {
            grid->addWidget(form::caption_for(control, caption), row, column);
            grid->addWidget(control, row, column + 1);
        };
        labelled(CSpinEditMaxLoad, "Max. Load", 0, 2);
        labelled(CSpinEditMinLoad, "Min. Load", 1, 2);
        labelled(CSpinEditDelayMax, "Delay (max)", 2, 2);
        labelled(CSpinEditDelayMin, "Delay (min)", 3, 2);
        // Right: temperature limit and the step speed.
        labelled(CSpinEditMaxTemp, "Max. Temp", 0, 4);
        grid->addWidget(CheckBoxTemp, 1, 4, 1, 2);
        labelled(ComboBoxDelayChange, "Change delay", 2, 4);
        // Bottom: the presets.
        auto* presets = new QHBoxLayout;
        presets->addWidget(form::caption_for(ComboBoxPreset, "Presets:"));
        presets->addWidget(ComboBoxPreset, 1);
        presets->addWidget(ButtonPresetAdd);
        presets->addWidget(ButtonPresetDel);
        presets->addWidget(ButtonPresetApply);
        grid->addLayout(presets, 4, 0, 1, 6);
        grid->setColumnStretch(3, 1);
        // The keyboard goes down each column in turn, then along the presets.
        form::keyboard_order({ButtonMaxFSB, EditMaxFSB, ButtonMinFSB, EditMinFSB, CheckBoxAutoFSB,
                              CSpinEditMaxLoad, CSpinEditMinLoad, CSpinEditDelayMax,
                              CSpinEditDelayMin, CSpinEditMaxTemp, CheckBoxTemp,
                              ComboBoxDelayChange, ComboBoxPreset, ButtonPresetAdd, ButtonPresetDel,
                              ButtonPresetApply});
    }
    return GroupBoxLoad;
}
