// SPDX-License-Identifier: GPL-2.0-or-later
// The sensor settings tab on the simulated boards: editing the sensor map, the chosen input's
// value, and the sensor controls read and set by hand.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <cstring>
#include <memory>

#include "gui/main_window.h"
#include "helpers/scripted_prompts.h"
#include "helpers/temp_dir.h"
#include "helpers/window_world.h"
#include "hw/smbus.h"
#include "platform/clock.h"
#include "sim/post_display.h"
#include "sim/sim_machine.h"
#include "support/configfile.h"

namespace {

class SensorTab : public ::testing::Test, protected WindowWorld {
  protected:
    SensorTab() {}
    ~SensorTab() override {
        main.reset();
        install_port_backend(nullptr);
    }
    // Starts on the board with the stored map line ("" for none).
    void start(int board, const std::string& map = "") {
        machine = std::make_unique<SimMachine>(*sim_profile(board));
        machine->set_cpu_load(0);
        install_port_backend(machine.get());
        write_file("config.ini", "\r\n[Main]\r\nBoard=" + std::to_string(board) + "\r\n");
        if (!map.empty())
            write_file("sensor.ini",
                       "[Sensormap]\r\n" + std::to_string(board) + "=" + map + "\r\n");
        main = std::make_unique<TMain>(prompts, std::vector<std::string>{});
        sensor = main->findChild<QSpinBox*>("CSpinEditSensor");
        input = main->findChild<QSpinBox*>("CSpinEditSensorInput");
        ctl_sensor = main->findChild<QSpinBox*>("CSpinEditCTLSensor");
        ctl = main->findChild<QSpinBox*>("CSpinEditCTL");
        ctl_value = main->findChild<QSpinBox*>("CSpinEditCTLvalue");
        ASSERT_TRUE(sensor && input && ctl_sensor && ctl && ctl_value);
    }
    void show_tab() {
        main->PageControl1->setCurrentWidget(main->TabSheet1);
        main->PageControl1->setCurrentWidget(main->TabSheet2);
    }
    // The user picks a display item from the list.
    void choose_item(int item) {
        main->sensor_tab.ComboBoxSensorTyp->setCurrentIndex(item);
        emit main->sensor_tab.ComboBoxSensorTyp->activated(item);
    }
    QString value() const { return main->sensor_tab.SensorValue->text(); }
    const Sensor& table_sensor(int i) const { return sensor_table().sensors[i]; }

    std::unique_ptr<SimMachine> machine;
    std::unique_ptr<TMain> main;
    QSpinBox *sensor = nullptr, *input = nullptr, *ctl_sensor = nullptr, *ctl = nullptr,
             *ctl_value = nullptr;
};

// Epox 8RDA+ Rev. 2.x: W83627HF at index 0, Port80 at index 1, then the BIOS's sensor.
TEST_F(SensorTab, ChoosingASensorMapsTheItemAndShowsTheRawReading) {
    start(7, "0:1,1:2,1:0,0:0,0:0,0:0,0:0,1:0,1:1,0:0");
    ASSERT_STREQ(table_sensor(0).name, "W83627HF");
    ASSERT_STREQ(table_sensor(1).name, "PORT80");
    // Channels told apart by their readings.
    ASSERT_NE(table_sensor(0).temperatures[1], table_sensor(0).temperatures[0]);
    ASSERT_NE(table_sensor(0).fans[1], table_sensor(0).fans[0]);
    ASSERT_NE(table_sensor(0).voltages[4], table_sensor(0).voltages[0]);

    // "CPU" unmapped: showing the tab maps it to the sensor at index 0, keeping its channel.
    show_tab();
    EXPECT_EQ(main->sensor_map.type(0), SENSOR_WINBOND);
    EXPECT_EQ(main->sensor_map.channel(0), 1);
    EXPECT_EQ(input->value(), 1);
    EXPECT_EQ(input->maximum(), 2);
    EXPECT_TRUE(input->isEnabled());
    EXPECT_EQ(value(), QString::number(table_sensor(0).temperatures[1]));
    EXPECT_EQ(main->sensor_tab.SensorInfoName->text(), "W83627HF");
    EXPECT_EQ(main->sensor_tab.SensorInfoTemps->text() + main->sensor_tab.SensorInfoVts->text() +
                  main->sensor_tab.SensorInfoFANs->text() + main->sensor_tab.SensorInfoCTLs->text(),
              "3734");
    EXPECT_EQ(main->main_tab.SensorTemp->text(), "NA");
    main->UpdateSensor(main->Timer1);
    EXPECT_EQ(main->main_tab.SensorTemp->text(),
              QString::number(table_sensor(0).temperatures[1]) + " \u00b0C");

    // "FAN2" on channel 1: the second fan's speed, as the main tab shows it.
    choose_item(8);
    EXPECT_EQ(input->maximum(), 2);
    EXPECT_EQ(input->value(), 1);
    EXPECT_EQ(value(), QString::number(table_sensor(0).fans[1]));
    EXPECT_EQ(value(), main->main_tab.SensorFan2->text());

    // VCore shows the converter count itself, never a scaled or localised voltage.
    choose_item(2);
    EXPECT_EQ(value(), QString::number(static_cast<int>(table_sensor(0).voltages[0])));
    EXPECT_EQ(input->maximum(), 6);

    // Another channel goes into the map.
    input->setValue(4);
    EXPECT_EQ(main->sensor_map.channel(2), 4);
    EXPECT_EQ(value(), QString::number(static_cast<int>(table_sensor(0).voltages[4])));

    // The Port80 pseudo-sensor has no temperatures: "CPU" is unmapped, its channel kept.
    choose_item(0);
    sensor->setValue(1);
    EXPECT_EQ(value(), "NA");
    EXPECT_FALSE(input->isEnabled());
    EXPECT_EQ(input->minimum(), 0);
    EXPECT_EQ(input->maximum(), 0);
    EXPECT_EQ(main->sensor_map.type(0), SENSOR_NONE);
    EXPECT_EQ(main->sensor_map.channel(0), 1);
    EXPECT_EQ(main->sensor_tab.SensorInfoName->text(), "PORT80");
    EXPECT_EQ(main->sensor_tab.SensorInfoCTLs->text(), "1");
}

// Shuttle SN45G: no monitor chip, Port80 at index 0 and the BIOS's sensor at index 1.
TEST_F(SensorTab, AnUnmappedCpuItemOnASensorWithoutTemperaturesStaysUnmapped) {
    start(12, "0:3,0:0,0:0,0:0,0:0,0:0,0:0,0:0,0:0,0:0");
    ASSERT_STREQ(table_sensor(0).name, "PORT80");
    show_tab();
    EXPECT_EQ(main->sensor_map.type(0), SENSOR_NONE);
    EXPECT_EQ(main->sensor_map.channel(0), 3);
    EXPECT_EQ(value(), "NA");
    EXPECT_FALSE(input->isEnabled());
    // The BIOS sensor has temperatures: choosing it maps "CPU".
    sensor->setValue(1);
    EXPECT_EQ(main->sensor_map.type(0), SENSOR_SMI);
    // The updates resume after a map change only with an update period.
    EXPECT_TRUE(main->Timer1->isActive());
    main->sensor_tab.CSpinEditSensorUpdate->setValue(0);
    choose_item(1);
    EXPECT_FALSE(main->Timer1->isActive());
}

// DFI Infinity: W83627HF, Port80, LM90 on bus 1, and the BIOS's sensor without readings.
TEST_F(SensorTab, ControlsAreReadAndSetAndTheTabStartsAtControl0OfSensor0) {
    start(4);
    ASSERT_EQ(main->sensor_count, 4);
    ASSERT_STREQ(table_sensor(2).name, "LM90");
    show_tab();
    EXPECT_EQ(ctl_sensor->maximum(), 3);
    EXPECT_EQ(sensor->maximum(), 3);
    EXPECT_EQ(ctl->maximum(), 3);  // the W83627HF's four controls
    EXPECT_EQ(ctl_value->value(), table_sensor(0).controls[0].value);
    EXPECT_EQ(main->sensor_tab.LabelCTLdescr->text().toStdString(),
              table_sensor(0).controls[0].description);

    // The LM90's one control: its conversion rate, 12 is more than the chip takes.
    ctl_sensor->setValue(2);
    EXPECT_FALSE(ctl->isEnabled());
    EXPECT_TRUE(ctl_value->isEnabled());
    EXPECT_TRUE(main->sensor_tab.LabelCTLdescr->text().startsWith("Conversion rate"));
    ctl_value->setValue(12);
    main->sensor_tab.ButtonSetCTLvalue->click();
    uint8_t rate = 0;
    ASSERT_TRUE(smbus_read_byte_checked(1, 0x4C, 0x04, rate));
    EXPECT_EQ(rate, 9);
    EXPECT_EQ(table_sensor(2).controls[0].value, 9);
    EXPECT_EQ(ctl_value->value(), 9);

    // Showing the tab again starts over at "CPU" and control 0 of sensor 0.
    choose_item(9);
    ctl_sensor->setValue(0);
    ctl->setValue(3);
    show_tab();
    EXPECT_EQ(main->sensor_tab.ComboBoxSensorTyp->currentIndex(), 0);
    EXPECT_EQ(ctl_sensor->value(), 0);
    EXPECT_EQ(ctl->value(), 0);
    EXPECT_EQ(main->sensor_tab.LabelCTLdescr->text().toStdString(),
              table_sensor(0).controls[0].description);
}

TEST_F(SensorTab, SensorsWithoutInputsOrControlsNeverGiveANegativeRangeOrAWrite) {
    start(4, "1:0,1:1,1:0,0:0,0:0,0:0,0:0,1:0,0:0,0:0");
    ASSERT_EQ(table_sensor(3).type, SENSOR_SMI);
    ASSERT_EQ(table_sensor(3).voltage_count, 0);
    ASSERT_EQ(table_sensor(3).control_count, 0);
    show_tab();

    // No voltages: VCore is unmapped, the input range stays 0-0.
    choose_item(2);
    sensor->setValue(3);
    EXPECT_EQ(input->minimum(), 0);
    EXPECT_EQ(input->maximum(), 0);
    EXPECT_FALSE(input->isEnabled());
    EXPECT_EQ(main->sensor_map.type(2), SENSOR_NONE);
    EXPECT_EQ(main->sensor_map.channel(2), 0);

    // No controls: both fields disabled, no description, and "Set" stores and writes nothing.
    const uint32_t writes = machine->port80().write_count();
    ctl_sensor->setValue(3);
    EXPECT_EQ(ctl->minimum(), 0);
    EXPECT_EQ(ctl->maximum(), 0);
    EXPECT_FALSE(ctl->isEnabled());
    EXPECT_FALSE(ctl_value->isEnabled());
    EXPECT_EQ(main->sensor_tab.LabelCTLdescr->text(), "");
    main->sensor_tab.ButtonSetCTLvalue->click();
    EXPECT_EQ(machine->port80().write_count(), writes);

    // A control number past the sensor's controls is neither shown nor set: the Port80
    // sensor has one control.
    ctl_sensor->setValue(1);
    ctl_value->setValue(77);
    const uint8_t held = table_sensor(1).controls[0].value;
    ctl->setMaximum(5);
    ctl->setValue(5);
    EXPECT_EQ(main->sensor_tab.LabelCTLdescr->text(), "");
    main->sensor_tab.ButtonSetCTLvalue->click();
    EXPECT_EQ(machine->port80().write_count(), writes);
    EXPECT_EQ(table_sensor(1).controls[0].value, held);

    // Without sensors every range stays 0-0 and nothing is shown or mapped.
    const SensorMap before = main->sensor_map;
    main->sensor_count = 0;
    show_tab();
    for (QSpinBox* spin : {sensor, ctl_sensor, ctl, input}) {
        EXPECT_EQ(spin->minimum(), 0) << spin->objectName().toStdString();
        EXPECT_EQ(spin->maximum(), 0) << spin->objectName().toStdString();
        EXPECT_FALSE(spin->isEnabled()) << spin->objectName().toStdString();
    }
    EXPECT_EQ(value(), "NA");
    EXPECT_EQ(main->sensor_tab.SensorInfoName->text(), "");
    EXPECT_EQ(0, std::memcmp(before.bytes, main->sensor_map.bytes, sizeof before.bytes));
    main->sensor_tab.ButtonSetCTLvalue->click();
    EXPECT_EQ(machine->port80().write_count(), writes);
}

}  // namespace
