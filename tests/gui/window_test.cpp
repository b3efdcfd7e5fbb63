// SPDX-License-Identifier: GPL-2.0-or-later
// The window as the form builds it: controls, groups, tray menu, and which event reaches
// which handler. The window starts without a board (Board=255), so no start-up step moves a
// control away from its form state.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <tuple>

#include "gui/main_window.h"
#include "gui/up_down.h"
#include "helpers/fake_platform.h"
#include "helpers/scripted_prompts.h"
#include "helpers/temp_dir.h"
#include "platform/clock.h"

namespace {

QStringList words(const char* text) {
    return QString(text).split(' ', Qt::SkipEmptyParts);
}

struct Raised {
    std::string handler;
    QObject* sender;
    bool operator==(const Raised&) const = default;
};

void PrintTo(const Raised& raised, std::ostream* out) {
    *out << raised.handler << "("
         << (raised.sender ? raised.sender->objectName().toStdString() : "null") << ")";
}

class Window : public ::testing::Test {
  protected:
    Window() {
        install_clock(&clock);
        write_file("config.ini", "\r\n[Main]\r\nBoard=255\r\n");
        main = std::make_unique<TMain>(prompts, std::vector<std::string>{});
        main->on_handler = [this](const char* handler, QObject* sender) {
            raised.push_back({handler, sender});
        };
    }
    ~Window() override {
        main.reset();
        install_clock(nullptr);
    }

    template <class T>
    T* get(const char* name) {
        T* found = main->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // The name of the nearest enclosing group, or of the tab for a control outside groups.
    static std::string place_of(QWidget* control) {
        for (QWidget* up = control->parentWidget(); up; up = up->parentWidget())
            if (qobject_cast<QGroupBox*>(up) || up->objectName().startsWith("TabSheet"))
                return up->objectName().toStdString();
        return "";
    }
    void show_every_tab() {
        for (int i = 0; i < main->PageControl1->count(); ++i)
            main->PageControl1->setTabVisible(i, true);
    }
    static void key(QWidget* target, int code) {
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier,
                        code >= Qt::Key_0 && code <= Qt::Key_9 ? QString(QChar(code)) : "");
        QApplication::sendEvent(target, &press);
    }

    TempWorkDir dir;
    FakePlatform os;
    ScopedPlatform installed{os};
    ScriptedPrompts prompts;
    VirtualClock clock;
    std::unique_ptr<TMain> main;
    std::vector<Raised> raised;
};

TEST_F(Window, GroupsHoldTheirControlsUnderTheirCaptions) {
    const struct {
        const char *group, *caption, *place, *controls;
    } groups[] = {
        {"GroupSensor", "Sensor", "TabSheet1",
         "SensorTemp SensorSysTemp SensorVcore SensorVdimm SensorVdd Sensor5V Sensor12V "
         "SensorFan1 SensorFan2 SensorFan3"},
        {"GroupBoxVCore", "CPU Core Voltage", "TabSheet1",
         "TrackBarVcore UpDownVcore EditVCore LabelVCoreMax LabelVCoreMin"},
        {"GroupBoxVdimm", "DIMM Voltage", "TabSheet1",
         "TrackBarVdimm EditVdimm LabelVdimmMax LabelVdimmMin"},
        {"GroupBoxVagp", "AGP Voltage", "TabSheet1",
         "TrackBarVagp EditVagp LabelVagpMax LabelVagpMin"},
        {"GroupBoxVdd", "Vdd Voltage", "TabSheet1", "TrackBarVdd EditVdd LabelVddMax LabelVddMin"},
        {"GroupBoxRam", "RAM Settings", "TabSheet1",
         "ComboBoxTras ComboBoxTrcd ComboBoxTrp CheckBoxAutoPC"},
        {"GroupBoxFSB", "FSB", "TabSheet1", "TrackBarFSB UpDownFSB EditFSB EditCPU"},
        {"GroupBoxLoad", "AutoFSB", "TabSheet1",
         "EditMaxFSB EditMinFSB ButtonMaxFSB ButtonMinFSB CheckBoxAutoFSB CSpinEditMaxTemp "
         "CheckBoxTemp ComboBoxDelayChange CSpinEditDelayMax CSpinEditDelayMin CSpinEditMaxLoad "
         "CSpinEditMinLoad ComboBoxPreset ButtonPresetAdd ButtonPresetDel ButtonPresetApply"},
        {"GroupBoxDisplay", "", "TabSheet1", "DisplayMhz DisplayLoad"},
        {"GroupBoxSensorSettings", "Sensor settings", "TabSheet2",
         "CSpinEditSensor CSpinEditSensorInput ComboBoxSensorTyp SensorValue "
         "CSpinEditSensorUpdate CheckBoxPort80 ComboBoxPort80"},
        {"GroupBoxSensorInfo", "Sensor information", "TabSheet2",
         "SensorInfoName SensorInfoTemps SensorInfoVts SensorInfoFANs SensorInfoCTLs"},
        {"GroupBoxSensorCTL", "Sensor controls", "TabSheet2",
         "CSpinEditCTLSensor CSpinEditCTL CSpinEditCTLvalue LabelCTLdescr ButtonSetCTLvalue"},
        {"GroupBoxFan", "Auto fan control", "TabSheet2",
         "CSpinEditCtlFAN CSpinEditFanmin CSpinEditFanmax CSpinEditFanTmin CSpinEditFanTmax "
         "CheckBoxFanEnable CheckBoxFanAA LabelFanDuty ButtonFANSet CheckBoxFANCtl"},
        {"GroupBoxSensorLimits", "Sensor limits", "TabSheet2",
         "CSpinEditCpuLimit CSpinEditSysLimit"},
        {"GroupBoxPCI", "PCI && AGP settings", "TabSheet4",
         "CheckBoxSTPGNT CheckBoxAGP CSpinEditPCILatency CSpinEditAGPLatency "
         "CSpinEditAGPBusLatency CSpinEditAGPApSize ButtonChipsetSet CheckBoxChipset"},
        {"GroupBox1", "Settings", "TabSheet3",
         "CSpinEditLoadUpdate CheckBoxReset CheckBoxMinimized"},
        {"GroupBoxBoard", "Board", "GroupBox1", "ComboBoxBoard Button1"}};
    for (const auto& group : groups) {
        auto* box = get<QGroupBox>(group.group);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->title(), group.caption) << group.group;
        EXPECT_EQ(place_of(box), group.place) << group.group;
        for (const QString& name : words(group.controls)) {
            auto* control = main->findChild<QWidget*>(name);
            ASSERT_NE(control, nullptr) << name.toStdString();
            EXPECT_EQ(place_of(control), group.group) << name.toStdString();
        }
    }
    for (const QString& name : words("ButtonApply ButtonExit ButtonReset"))
        EXPECT_EQ(place_of(get<QPushButton>(qPrintable(name))), "TabSheet1");
}

TEST_F(Window, SpinEditsHaveTheirRangesStepsAndStartValuesAndTakeNoTyping) {
    const struct {
        const char* name;
        int min, max, step, value;
    } spins[] = {
        {"CSpinEditMaxTemp", 25, 65, 1, 45},       {"CSpinEditDelayMax", 5, 90, 5, 15},
        {"CSpinEditDelayMin", 5, 90, 5, 30},       {"CSpinEditMaxLoad", 50, 95, 5, 50},
        {"CSpinEditMinLoad", 5, 60, 5, 30},        {"CSpinEditSensor", 0, 1, 1, 0},
        {"CSpinEditSensorInput", 0, 1, 1, 0},      {"CSpinEditSensorUpdate", 0, 60, 2, 5},
        {"CSpinEditCTLSensor", 0, 255, 1, 0},      {"CSpinEditCTL", 0, 255, 1, 0},
        {"CSpinEditCTLvalue", 0, 255, 1, 0},       {"CSpinEditCtlFAN", 0, 3, 1, 0},
        {"CSpinEditFanmin", 0, 255, 1, 255},       {"CSpinEditFanmax", 0, 255, 1, 255},
        {"CSpinEditFanTmin", 0, 60, 1, 30},        {"CSpinEditFanTmax", 0, 80, 1, 50},
        {"CSpinEditPCILatency", 0, 248, 8, 32},    {"CSpinEditAGPLatency", 0, 255, 1, 32},
        {"CSpinEditAGPBusLatency", 0, 255, 1, 32}, {"CSpinEditAGPApSize", 32, 512, 32, 128},
        {"CSpinEditLoadUpdate", 1, 60, 1, 5},      {"CSpinEditCpuLimit", 0, 127, 1, 0},
        {"CSpinEditSysLimit", 0, 127, 1, 0}};
    EXPECT_EQ(main->findChildren<QSpinBox*>().size(), qsizetype(std::size(spins)));
    for (const auto& spin : spins) {
        auto* edit = get<QSpinBox>(spin.name);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(std::tuple(edit->minimum(), edit->maximum(), edit->singleStep(), edit->value()),
                  std::tuple(spin.min, spin.max, spin.step, spin.value))
            << spin.name;
        key(edit, Qt::Key_7);
        EXPECT_EQ(edit->value(), spin.value) << spin.name << " took a typed digit";
    }
}

TEST_F(Window, TrackBarsAndUpDownsRunUpsideDownOverTheirRanges) {
    const struct {
        const char* name;
        int max, position, tick;
    } bars[] = {{"TrackBarVcore", 45, 24, 1},
                {"TrackBarVdimm", 3, 3, 1},
                {"TrackBarVagp", 3, 3, 1},
                {"TrackBarVdd", 2, 2, 1},
                {"TrackBarFSB", 250, 0, 5}};
    for (const auto& bar : bars) {
        auto* slider = get<QSlider>(bar.name);
        ASSERT_NE(slider, nullptr);
        // Upright, with position 0 on top.
        EXPECT_EQ(std::tuple(slider->orientation(), slider->invertedAppearance(), slider->minimum(),
                             slider->maximum(), slider->value(), slider->tickInterval()),
                  std::tuple(Qt::Vertical, true, 0, bar.max, bar.position, bar.tick))
            << bar.name;
    }
    const struct {
        const char* name;
        int max, position;
    } arrows[] = {{"UpDownVcore", 45, 24}, {"UpDownFSB", 200, 0}};
    for (const auto& pair : arrows) {
        auto* up_down = get<UpDown>(pair.name);
        ASSERT_NE(up_down, nullptr);
        EXPECT_EQ(std::tuple(up_down->minimum(), up_down->maximum(), up_down->position(),
                             up_down->increment()),
                  std::tuple(0, pair.max, pair.position, -1))
            << pair.name;
    }

    // 300 MHz is printed above the FSB track bar and 50 MHz below it.
    show_every_tab();
    main->PageControl1->setCurrentWidget(main->TabSheet1);
    main->show();
    QApplication::processEvents();
    auto* fsb = get<QSlider>("TrackBarFSB");
    std::map<QString, int> label_y;
    for (QLabel* label : get<QGroupBox>("GroupBoxFSB")->findChildren<QLabel*>())
        label_y[label->text()] = label->geometry().center().y();
    ASSERT_TRUE(label_y.count("300 MHz") && label_y.count("50 MHz"));
    EXPECT_LT(label_y["300 MHz"], fsb->geometry().top());
    EXPECT_GT(label_y["50 MHz"], fsb->geometry().bottom());
}

TEST_F(Window, ControlsShowTheirFormTextsAndStates) {
    // clang-format off
    const std::pair<const char*, const char*> texts[] = {
        {"SensorTemp", "NA"}, {"SensorSysTemp", "NA"}, {"SensorVcore", "NA"}, {"SensorVdimm", "NA"},
        {"SensorVdd", "NA"}, {"Sensor5V", "NA"}, {"Sensor12V", "NA"}, {"SensorFan1", "NA"},
        {"SensorFan2", "NA"}, {"SensorFan3", "NA"}, {"SensorValue", "NA"},
        {"EditVCore", "1.600 V"}, {"EditVdimm", ""}, {"EditVagp", ""}, {"EditVdd", ""},
        {"EditFSB", ""}, {"EditCPU", ""}, {"EditMaxFSB", "0"}, {"EditMinFSB", "0"},
        {"LabelVCoreMax", "2.200 V"}, {"LabelVCoreMin", "1.075 V"}, {"LabelVdimmMax", "2.9 V"},
        {"LabelVdimmMin", "2.5 V"}, {"LabelVagpMax", "1.8 V"}, {"LabelVagpMin", "1.5 V"},
        {"LabelVddMax", "2.0 V"}, {"LabelVddMin", "1.6 V"}, {"DisplayMhz", "1000"},
        {"DisplayLoad", "100%"}, {"LabelFanDuty", "255"},
        {"ButtonMaxFSB", "Max"}, {"ButtonMinFSB", "Min"}, {"ButtonPresetAdd", "Add"},
        {"ButtonPresetDel", "Del"}, {"ButtonPresetApply", "Apply"}, {"ButtonApply", "&Apply"},
        {"ButtonExit", "E&xit"}, {"ButtonReset", "&Reset"}, {"ButtonSetCTLvalue", "Set"},
        {"ButtonFANSet", "Set"}, {"ButtonChipsetSet", "Set"}, {"Button1", "Set"},
        {"CheckBoxAutoPC", "Auto-\nprecharge"}, {"CheckBoxAutoFSB", "Enable"},
        {"CheckBoxTemp", "FSB down on MT"}, {"CheckBoxPort80", "Enable Port80 LED for"},
        {"CheckBoxFanEnable", "Enable"}, {"CheckBoxFanAA", "Auto adjust"},
        {"CheckBoxFANCtl", "Enable FAN control"}, {"CheckBoxSTPGNT", "Enable &STPGNT"},
        {"CheckBoxAGP", "Enable &AGP SBA"}, {"CheckBoxChipset", "Set on startup"},
        {"CheckBoxReset", "Reset values before exit"}, {"CheckBoxMinimized", "Start minimized"}};
    // clang-format on
    for (const auto& [name, text] : texts) {
        auto* control = main->findChild<QWidget*>(name);
        ASSERT_NE(control, nullptr) << name;
        EXPECT_EQ(control->property("text").toString(), text) << name;
        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            EXPECT_TRUE(edit->isReadOnly()) << name;
        }
    }
    for (QCheckBox* box : main->findChildren<QCheckBox*>())
        EXPECT_EQ(box->isChecked(), box->objectName() == "CheckBoxTemp")
            << qPrintable(box->objectName());
    for (QPushButton* button : main->findChildren<QPushButton*>())
        EXPECT_EQ(button->font().bold(), button == main->main_tab.ButtonApply)
            << qPrintable(button->objectName());
    EXPECT_EQ(main->main_tab.DisplayMhz->font().pixelSize(), 24);
    EXPECT_EQ(main->main_tab.DisplayLoad->font().pixelSize(), 24);

    auto numbers = [](int last) {
        QStringList items;
        for (int n = 1; n <= last; ++n)
            items << QString::number(n);
        return items;
    };
    // Without a board the start fills the board list, so that one can be picked there.
    QStringList board_names;
    for (const Board& board : main->board_list)
        board_names << QString::fromStdString(board.name);
    ASSERT_EQ(board_names.size(), 15);
    const std::pair<const char*, QStringList> lists[] = {
        {"ComboBoxTras", numbers(31)},
        {"ComboBoxTrcd", numbers(7)},
        {"ComboBoxTrp", numbers(7)},
        {"ComboBoxDelayChange", words("Fast Medium Slow")},
        {"ComboBoxPreset", {}},
        {"ComboBoxSensorTyp", words("CPU SYS VCore VDimm Vdd 5V 12V FAN1 FAN2 FAN3")},
        {"ComboBoxPort80", words("CPU SYS")},
        {"ComboBoxBoard", board_names}};
    for (const auto& [name, items] : lists) {
        auto* combo = get<QComboBox>(name);
        ASSERT_NE(combo, nullptr);
        QStringList shown;
        for (int i = 0; i < combo->count(); ++i)
            shown << combo->itemText(i);
        EXPECT_EQ(shown, items) << name;
        EXPECT_EQ(combo->currentIndex(), items.isEmpty() ? -1 : 0) << name;
        EXPECT_FALSE(combo->isEditable()) << name;
    }
}

TEST_F(Window, EveryHintAndEveryCaptionIsOnItsControlAndNowhereElse) {
    const std::map<QString, QString> hints = {
        {"EditMaxFSB", "Maximum FSB, set with trackbar"},
        {"EditMinFSB", "Min. FSB, set with trackbar"},
        {"CSpinEditMaxTemp", "The FSB is not more increased if this temperature is reached"},
        {"CheckBoxTemp", "Decreases the FSB if CPU temp > Max. temp"},
        {"ComboBoxDelayChange", "Sets how fast the FSB is increased or decreased"},
        {"CSpinEditDelayMax", "Delay until the FSB is increased"},
        {"CSpinEditDelayMin", "Delay until the FSB is decreased"},
        {"CSpinEditMaxLoad", "The FSB is increased if this load is reached"},
        {"CSpinEditMinLoad", "The FSB is decreased if load < Min. Load"},
        {"ComboBoxPreset", "Add VCore presets with FSB and VCore trackbar"},
        {"CSpinEditSensorUpdate", "Set to 0 disables sensor updates"},
        {"SensorInfoName", "Sensor name"},
        {"SensorInfoTemps", "Nr. of temperature inputs"},
        {"SensorInfoVts", "Nr. of voltage inputs"},
        {"SensorInfoFANs", "Nr. of fan inputs"},
        {"SensorInfoCTLs", "Nr. of controls (FAN speed, other outputs)"},
        {"CSpinEditCtlFAN", "Fan control number"},
        {"CSpinEditFanmin", "Fan speed"},
        {"CSpinEditFanmax", "Fan speed"},
        {"CSpinEditFanTmin", "estimated min. temp"},
        {"CSpinEditFanTmax", "estimated max. temp"},
        {"CheckBoxFanAA", "Automatically adjusts min. and max. CPU temperature range"},
        {"CheckBoxSTPGNT", "Enable StopGrant mode bit in NB"},
        {"CheckBoxAGP", "Enables AGP sideband addressing"},
        {"CSpinEditPCILatency", "PCI bus latency (PCI bridge sec. interface)"},
        {"CSpinEditAGPLatency", "AGP bridge controller latency (PCI interface)"},
        {"CSpinEditAGPBusLatency", "AGP bus latency (AGP<->GPU)"},
        {"CSpinEditAGPApSize", "AGP aperture size (MB)"},
        {"CSpinEditLoadUpdate", "The CPU load is measured in average over this time (s)"},
        {"CheckBoxReset", "Resets all values before exit"},
        {"CheckBoxMinimized", "Start velmora minimized"},
        {"CSpinEditCpuLimit", "An alarm when the CPU temperature passes it; 0 = off"},
        {"CSpinEditSysLimit", "An alarm when the SYS temperature passes it; 0 = off"}};
    std::map<QString, QString> found;
    for (QWidget* widget : main->findChildren<QWidget*>())
        if (!widget->toolTip().isEmpty())
            found[widget->objectName()] = widget->toolTip();
    EXPECT_EQ(found, hints);

    // Each caption stands beside its control as the label naming it.
    // clang-format off
    const std::map<QString, QString> captions = {
        {"SensorTemp", "CPU"}, {"SensorSysTemp", "SYS"}, {"SensorVcore", "VCore"},
        {"SensorVdimm", "VDimm"}, {"SensorVdd", "Vdd"}, {"Sensor5V", "5V"}, {"Sensor12V", "12V"},
        {"SensorFan1", "FAN1"}, {"SensorFan2", "FAN2"}, {"SensorFan3", "FAN3"},
        {"ComboBoxTras", "Tras"}, {"ComboBoxTrcd", "Trcd"}, {"ComboBoxTrp", "Trp"},
        {"CSpinEditMaxTemp", "Max. Temp"}, {"ComboBoxDelayChange", "Change delay"},
        {"CSpinEditDelayMax", "Delay (max)"}, {"CSpinEditDelayMin", "Delay (min)"},
        {"CSpinEditMaxLoad", "Max. Load"}, {"CSpinEditMinLoad", "Min. Load"},
        {"ComboBoxPreset", "Presets:"}, {"ComboBoxSensorTyp", "Typ"}, {"CSpinEditSensor", "Sensor"},
        {"CSpinEditSensorInput", "Input"}, {"SensorValue", "Value"},
        {"CSpinEditSensorUpdate", "Update frequency (sec)"}, {"SensorInfoName", "Name:"},
        {"SensorInfoTemps", "Temp. inputs:"}, {"SensorInfoVts", "Voltage inputs:"},
        {"SensorInfoFANs", "FAN inputs:"}, {"SensorInfoCTLs", "Controls:"},
        {"CSpinEditCTLSensor", "Sensor"}, {"CSpinEditCTL", "Control"},
        {"CSpinEditCTLvalue", "Value"}, {"LabelCTLdescr", "Description:"},
        {"CSpinEditCtlFAN", "Control"},
        {"CSpinEditFanmin", "Duty cycle"}, {"CSpinEditFanTmin", "Temperature"},
        {"LabelFanDuty", "Current:"}, {"CSpinEditPCILatency", "PCI bus latency"},
        {"CSpinEditAGPLatency", "AGP controller latency"},
        {"CSpinEditAGPBusLatency", "AGP bus latency"}, {"CSpinEditAGPApSize", "AGP aperture size"},
        {"CSpinEditLoadUpdate", "CPU load measure time"}, {"ComboBoxBoard", "Board:"},
        {"CSpinEditCpuLimit", "CPU max. (\u00B0C)"}, {"CSpinEditSysLimit", "SYS max. (\u00B0C)"}};
    // clang-format on
    found.clear();
    for (QLabel* label : main->findChildren<QLabel*>())
        if (label->buddy())
            found[label->buddy()->objectName()] = label->text();
    EXPECT_EQ(found, captions);
}

// The tray icon carries the CPU temperature as a number in white; the plain chip has none.
TEST_F(Window,
       TheTrayMenuOffersItsFiveItemsInOrderAndTheIconWaitsForTheStartAndCanCarryTheCpuTemperature) {
    auto* menu = get<QMenu>("PopupMenu1");
    ASSERT_NE(menu, nullptr);
    const struct {
        const char *name, *text;
        bool checkable;
    } items[] = {{"TrayForceMax", "Force max.", false},
                 {"TrayForceMin", "Force min.", false},
                 {"TrayAutoFSB", "AutoFSB", true},
                 {"TrayAutoFan", "AutoFan", true},
                 {"Exit1", "Exit", false}};
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(actions[i]->objectName(), items[i].name);
        EXPECT_EQ(actions[i]->text(), items[i].text) << items[i].name;
        EXPECT_EQ(actions[i]->isCheckable(), items[i].checkable) << items[i].name;
        EXPECT_FALSE(actions[i]->isChecked()) << items[i].name;
    }
    auto* tray = get<QSystemTrayIcon>("TrayIcon1");
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(tray->contextMenu(), menu);
    EXPECT_FALSE(tray->icon().isNull());
    EXPECT_FALSE(tray->isVisible());
    auto white = [](const QIcon& icon) {
        const QImage image = icon.pixmap(32, 32).toImage();
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += QColor(image.pixel(x, y)).lightness() > 240 && qAlpha(image.pixel(x, y)) > 200;
        return n;
    };
    EXPECT_EQ(white(main->tray.TrayIcon1->icon()), 0);
    EXPECT_GT(white(tray_icon_with_temperature(57)), 20);
}

TEST_F(Window, WithoutANotificationAreaMinimisingKeepsTheWindowReachable) {
    if (QSystemTrayIcon::isSystemTrayAvailable())
        GTEST_SKIP() << "this desktop has a notification area";
    EXPECT_FALSE(main->tray.ShowTrayIcon());
    EXPECT_FALSE(main->tray.TrayIcon1->isVisible());
    main->show();
    main->tray.MinimizeToTray();
    EXPECT_TRUE(main->isMinimized());
    EXPECT_TRUE(main->isVisible());
    main->tray.RestoreFromTray();
    EXPECT_FALSE(main->isMinimized());
    EXPECT_TRUE(main->isVisible());
}

// Fires the event a control has in the form, the way a user would: a click, a tick, a step,
// a list choice, a timer tick, a tab shown.
void fire(TMain& main, QObject* control) {
    if (auto* push = qobject_cast<QPushButton*>(control)) {
        push->click();
    } else if (auto* check = qobject_cast<QCheckBox*>(control)) {
        check->click();
    } else if (auto* spin = qobject_cast<QSpinBox*>(control)) {
        spin->value() < spin->maximum() ? spin->stepUp() : spin->stepDown();
    } else if (auto* slider = qobject_cast<QSlider*>(control)) {
        slider->setValue(slider->value() < slider->maximum() ? slider->value() + 1 : 0);
    } else if (auto* list = qobject_cast<QComboBox*>(control)) {
        QKeyEvent press(QEvent::KeyPress,
                        list->currentIndex() + 1 < list->count() ? Qt::Key_Down : Qt::Key_Up,
                        Qt::NoModifier);
        QApplication::sendEvent(list, &press);
    } else if (auto* arrows = qobject_cast<UpDown*>(control)) {
        (arrows->position() < arrows->maximum() ? arrows->downButton() : arrows->upButton())
            ->click();
    } else if (auto* item = qobject_cast<QAction*>(control)) {
        item->trigger();
    } else if (auto* timer = qobject_cast<QTimer*>(control)) {
        timer->setSingleShot(true);
        timer->start(0);
        QApplication::processEvents();
        timer->setSingleShot(false);
    } else if (auto* sheet = qobject_cast<QWidget*>(control)) {
        main.PageControl1->setCurrentWidget(sheet);
    }
}

TEST_F(Window, EveryEventReachesItsHandlerWithItsControlAsSender) {
    show_every_tab();
    const std::pair<const char*, const char*> wiring[] = {
        {"TrackBarChange", "TrackBarVcore TrackBarVdimm TrackBarVagp TrackBarVdd"},
        {"UpDownChange", "UpDownVcore"},
        {"TrackBarFSBChange", "TrackBarFSB"},
        {"UpDownFSBClick", "UpDownFSB"},
        {"RamChange", "ComboBoxTras ComboBoxTrcd ComboBoxTrp"},
        {"SetFSBRange", "ButtonMaxFSB ButtonMinFSB"},
        {"EnableAutoFSB", "CheckBoxAutoFSB TrayAutoFSB"},
        {"MaxTempChange", "CSpinEditMaxTemp"},
        {"SetDelayChange", "ComboBoxDelayChange CSpinEditDelayMax CSpinEditDelayMin"},
        {"SetAutoFSBload", "CSpinEditMaxLoad CSpinEditMinLoad"},
        {"AddPreset", "ButtonPresetAdd"},
        {"RemovePreset", "ButtonPresetDel"},
        {"ApplyPreset", "ButtonPresetApply TrayForceMax TrayForceMin"},
        {"Apply", "ButtonApply"},
        {"Exit", "ButtonExit Exit1"},
        {"Reset", "ButtonReset"},
        // Without a board no sensor exists: choosing a sensor leaves its input and control
        // number at 0-0 and disabled, so those two go first.
        {"SetSensor", "CSpinEditSensorInput CSpinEditSensor ComboBoxSensorTyp"},
        {"SensorUpdateChange", "CSpinEditSensorUpdate"},
        {"SetSensorCTL", "CSpinEditCTL CSpinEditCTLSensor ButtonSetCTLvalue"},
        {"Settings", "CSpinEditCtlFAN ButtonFANSet TabSheet2"},
        {"EnableAutoFan", "CheckBoxFANCtl TrayAutoFan"},
        {"Chipset", "ButtonChipsetSet TabSheet4"},
        {"LoadUpdateChange", "CSpinEditLoadUpdate"},
        {"CreateBoardList", "TabSheet3"},
        {"SetBoard", "Button1"},
        {"UpdateSensor", "Timer1"},
        {"AutoFSB", "TimerAutoFSBmax TimerAutoFSBmin"},
        // The About tab goes first, so that showing the main tab is a change.
        {nullptr,
         "TabSheet5 TabSheet1 CheckBoxAutoPC CheckBoxTemp ComboBoxPreset CheckBoxPort80 "
         "ComboBoxPort80 CSpinEditCTLvalue CSpinEditFanmin CSpinEditFanmax CSpinEditFanTmin "
         "CSpinEditFanTmax CheckBoxFanEnable CheckBoxFanAA CheckBoxSTPGNT CheckBoxAGP "
         "CSpinEditPCILatency CSpinEditAGPLatency CSpinEditAGPBusLatency CSpinEditAGPApSize "
         "CheckBoxChipset CheckBoxReset CheckBoxMinimized ComboBoxBoard CSpinEditCpuLimit "
         "CSpinEditSysLimit"}};
    std::set<QString> covered;
    for (const auto& [handler, controls] : wiring) {
        for (const QString& name : words(controls)) {
            QObject* control = main->findChild<QObject*>(name);
            ASSERT_NE(control, nullptr) << name.toStdString();
            covered.insert(name);
            raised.clear();
            fire(*main, control);
            // The control's own event comes first; what its handler then moves may follow.
            if (handler) {
                ASSERT_FALSE(raised.empty()) << name.toStdString();
                EXPECT_EQ(raised.front(), (Raised{handler, control})) << name.toStdString();
            } else {
                EXPECT_TRUE(raised.empty()) << name.toStdString();
            }
        }
    }

    // No control with an event of its own is left out of the table above.
    QStringList missing;
    auto check = [&](const auto& controls) {
        for (QObject* control : controls)
            if (!control->objectName().isEmpty() && !control->objectName().startsWith("qt_") &&
                !covered.count(control->objectName()))
                missing.push_back(control->objectName());
    };
    check(main->findChildren<QPushButton*>());
    check(main->findChildren<QCheckBox*>());
    check(main->findChildren<QSpinBox*>());
    check(main->findChildren<QSlider*>());
    check(main->findChildren<QComboBox*>());
    check(main->findChildren<UpDown*>());
    check(main->findChildren<QTimer*>());
    check(main->tray.PopupMenu1->actions());
    EXPECT_EQ(missing.join(' ').toStdString(), "");
}

TEST_F(Window, CodeRaisesAHandlerOnlyWhereTheFormWouldToo) {
    // A list set from code stays quiet; the same change by the user is reported.
    auto* tras = get<QComboBox>("ComboBoxTras");
    tras->setCurrentIndex(10);
    EXPECT_TRUE(raised.empty());
    key(tras, Qt::Key_Down);
    EXPECT_EQ(tras->currentIndex(), 11);
    EXPECT_EQ(raised, (std::vector<Raised>{{"RamChange", tras}}));

    // A tick from code is a click, but only when it changes the box. (Limits that AutoFSB
    // accepts, so that its handler leaves the box ticked; switching on moves the FSB and Vcore
    // track bars, which report their own changes.)
    main->settings.min_fsb = 150;
    raised.clear();
    auto* autofsb = get<QCheckBox>("CheckBoxAutoFSB");
    autofsb->setChecked(true);
    autofsb->setChecked(true);
    std::vector<Raised> clicks;
    std::copy_if(raised.begin(), raised.end(), std::back_inserter(clicks),
                 [](const Raised& r) { return r.handler == "EnableAutoFSB"; });
    EXPECT_EQ(clicks, (std::vector<Raised>{{"EnableAutoFSB", autofsb}}));

    // A spin edit reports a change of its clamped value, once.
    raised.clear();
    auto* temp = get<QSpinBox>("CSpinEditMaxTemp");
    temp->setValue(45);
    temp->setValue(200);
    temp->setValue(300);
    EXPECT_EQ(temp->value(), 65);
    EXPECT_EQ(raised, (std::vector<Raised>{{"MaxTempChange", temp}}));

    // Track bars report every move, also one made by code.
    raised.clear();
    auto* vdd = get<QSlider>("TrackBarVdd");
    vdd->setValue(0);
    vdd->setValue(0);
    EXPECT_EQ(raised, (std::vector<Raised>{{"TrackBarChange", vdd}}));

    // A tray item keeps its check mark for the handler to set: the handler toggles the mark once
    // per click; a mark Qt toggled as well would stay.
    raised.clear();
    auto* autofan = main->tray.TrayAutoFan;
    autofan->trigger();
    EXPECT_TRUE(autofan->isChecked());
    autofan->setChecked(false);  // code sets the mark without raising anything
    autofan->trigger();
    EXPECT_TRUE(autofan->isChecked());
    EXPECT_EQ(raised,
              (std::vector<Raised>{{"EnableAutoFan", autofan}, {"EnableAutoFan", autofan}}));
}

TEST_F(Window, AnUpDownStepsByItsIncrementWithinItsRangeAndReportsOnlyArrowClicks) {
    auto* fsb = get<UpDown>("UpDownFSB");
    std::vector<bool> clicks;
    QObject::connect(fsb, &UpDown::clicked, [&](bool up) { clicks.push_back(up); });

    fsb->setPosition(250);  // code: clamped, quiet
    EXPECT_EQ(fsb->position(), 200);
    fsb->downButton()->click();  // at the limit: nothing moves, nothing reported
    EXPECT_EQ(fsb->position(), 200);
    fsb->upButton()->click();  // increment -1: the upper arrow walks towards position 0
    EXPECT_EQ(fsb->position(), 199);
    fsb->setRange(0, 150);
    EXPECT_EQ(fsb->position(), 150);
    EXPECT_EQ(clicks, std::vector<bool>{true});
    ASSERT_FALSE(raised.empty());
    EXPECT_EQ(raised.front(), (Raised{"UpDownFSBClick", fsb}));  // then the track bar follows
}

TEST_F(Window, AClosedWindowRanCloseFuncFirst) {
    main->show();
    EXPECT_TRUE(main->close());
    EXPECT_FALSE(main->isVisible());
    EXPECT_EQ(raised, (std::vector<Raised>{{"CloseFunc", main.get()}}));
}

// Every tab lays out its groups and controls side by side within the window. Tab goes through
// each group as the eye does: from the control where the keyboard enters the group, each next
// one lies further down or further right, never up and back to the left.
TEST_F(Window, EveryTabLaysOutItsControlsSideBySideAndTheKeyboardFollowsEachGroupAsItIsSeen) {
    show_every_tab();
    main->show();
    auto focusable = [](QWidget* w) {
        return w->isVisible() && (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy();
    };
    auto in_box = [&](QWidget* w, QGroupBox* box) {
        return focusable(w) && place_of(w) == box->objectName().toStdString();
    };
    for (int i = 0; i < main->PageControl1->count(); ++i) {
        QWidget* sheet = main->PageControl1->widget(i);
        main->PageControl1->setCurrentWidget(sheet);
        QApplication::processEvents();
        // Every container: the sheet and each group in it.
        std::vector<QWidget*> containers{sheet};
        for (QGroupBox* box : sheet->findChildren<QGroupBox*>())
            containers.push_back(box);
        for (QWidget* container : containers) {
            std::vector<QWidget*> shown;
            for (QWidget* child :
                 container->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
                if (child->isVisible())
                    shown.push_back(child);
            const std::string where = container->objectName().toStdString();
            for (size_t a = 0; a < shown.size(); ++a) {
                const std::string name = shown[a]->objectName().toStdString() + " '" +
                                         shown[a]->property("text").toString().toStdString() +
                                         "' in " + where;
                EXPECT_TRUE(container->rect().contains(shown[a]->geometry())) << name;
                // Buttons may be narrower than the style's preference, not than their text.
                if (auto* push = qobject_cast<QPushButton*>(shown[a]))
                    EXPECT_GT(push->width(),
                              push->fontMetrics().horizontalAdvance(push->text().remove('&')) + 8)
                        << name;
                else
                    EXPECT_GE(shown[a]->width(), shown[a]->minimumSizeHint().width()) << name;
                for (size_t b = a + 1; b < shown.size(); ++b)
                    EXPECT_FALSE(shown[a]->geometry().intersects(shown[b]->geometry()))
                        << name << " overlaps " << shown[b]->objectName().toStdString();
            }
        }
        for (QGroupBox* box : sheet->findChildren<QGroupBox*>()) {
            std::vector<QWidget*> chain;
            for (QWidget* w : box->findChildren<QWidget*>())
                if (in_box(w, box)) {
                    chain.push_back(w);
                    break;
                }
            for (QWidget* w = chain.empty() ? nullptr : chain[0]->nextInFocusChain();
                 w && w != chain[0] && chain.size() < 64; w = w->nextInFocusChain())
                if (in_box(w, box))
                    chain.push_back(w);
            // Start where the keyboard comes in: after a control outside the group.
            for (size_t k = 0; k < chain.size(); ++k) {
                QWidget* before = chain[k]->previousInFocusChain();
                while (before != chain[k] && !focusable(before))
                    before = before->previousInFocusChain();
                if (!in_box(before, box)) {
                    std::rotate(chain.begin(), chain.begin() + static_cast<long>(k), chain.end());
                    break;
                }
            }
            for (size_t k = 0; k + 1 < chain.size(); ++k) {
                const QPoint a = chain[k]->mapTo(main.get(), QPoint());
                const QPoint b = chain[k + 1]->mapTo(main.get(), QPoint());
                EXPECT_TRUE(b.y() > a.y() + 2 || b.x() > a.x() + 4)
                    << box->objectName().toStdString() << ": "
                    << chain[k]->objectName().toStdString() << " -> "
                    << chain[k + 1]->objectName().toStdString();
            }
        }
    }
}

TEST_F(Window, TheLongestValuesFitTheirFields) {
    const std::pair<const char*, QString> longest[] = {{"EditCPU", "166 x 12.5 = 2083 MHz"},
                                                       {"EditFSB", "300 MHz"},
                                                       {"EditVCore", "2.200 V"},
                                                       {"EditVdimm", "2.90 V"},
                                                       {"Sensor12V", "12.10 V"},
                                                       {"SensorTemp", "-45 \u00b0C"},
                                                       {"EditMaxFSB", "300 MHz"}};
    for (const auto& [name, text] : longest) {
        auto* edit = get<QLineEdit>(name);
        ASSERT_NE(edit, nullptr);
        const int frame = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
        EXPECT_LE(edit->fontMetrics().horizontalAdvance(text), edit->width() - 2 * frame - 4)
            << name;
    }
}

// 1024 x 768 at 150 % leaves 683 x 512: the window fits the screen and scrolls its tabs.
TEST_F(Window, OnAScreenTooSmallTheWindowScrollsInsteadOfLyingOffIt) {
    const QSize fixed = main->size();
    main->FitToScreen(QRect(0, 0, 683, 512));
    auto* scroller = qobject_cast<QScrollArea*>(main->centralWidget());
    ASSERT_NE(scroller, nullptr);
    EXPECT_EQ(scroller->widget(), main->PageControl1);
    EXPECT_LE(main->width(), 683);
    EXPECT_LE(main->height(), 512);
    EXPECT_EQ(main->pos(), QPoint(0, 0));
    EXPECT_NE(main->minimumSize(), main->maximumSize());  // the user may resize it
    EXPECT_GE(main->PageControl1->minimumWidth(), fixed.width());
}

}  // namespace
