// The sensors in the window: detection at start, the map of which reading each field shows,
// the readings in the main tab's fields, and the safe state they are left in at close.
#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include "app/shipped_files.h"
#include "diag/debuglog.h"
#include "gui/main_window.h"
#include "sensors/sensor_display.h"
#include "sensors/sensor_map.h"
#include "sensors/standby.h"

// The user's own map first; the map that comes with the program only for a board the user
// has none for. With neither, the map stays as it was.
void TMain::LoadSensorMap() {
    if (sensormap_load(kUserSensorMapFile, &sensor_map, board_number)) {
        debug_print("VELMORA: Loaded sensor definitions from sensor.ini\n");
        return;
    }
    const std::string shipped = shipped_file_path(
        kShippedSensorMapFile, QCoreApplication::applicationDirPath().toStdString());
    if (sensormap_load(shipped.c_str(), &sensor_map, board_number))
        debug_print("VELMORA: Loaded sensor definitions from sensormap.ini\n");
}

void TMain::DetectSensors() {
    sensor_count = sensors_detect(&sensor_table());
    if (sensor_count != 0) {
        UpdateSensor(nullptr);
        StartSensorTimer();
    } else {
        debug_print("VELMORA: No sensors found.\n");
    }
}

// One refresh of the readings and the fields they feed.
void TMain::UpdateSensor(QObject*) {
    sensors_read_all(&sensor_table());
    sensors_read_once = true;
    ShowSensorFields();
}

void TMain::ShowSensorFields() {
    const SensorFields fields = sensor_fields(sensor_table(), sensor_map);
    QLineEdit* const shown_in[kSensorMapPairs] = {
        SensorTemp, SensorSysTemp, SensorVcore, SensorVdimm, SensorVdd,
        Sensor5V,   Sensor12V,     SensorFan1,  SensorFan2,  SensorFan3};
    for (int pair = 0; pair < kSensorMapPairs; ++pair)
        if (!fields.text[pair].empty())
            shown_in[pair]->setText(QString::fromStdString(fields.text[pair]));
    if (fields.have_cpu_temperature)
        cpu_temperature = fields.cpu_temperature;
}

// Only with a board in use, and only once the controls hold what the chips were read to hold:
// a write of never-read values would program the chips with zeros.
void TMain::LeaveSensorsSafe() {
    if (board_number == NO_BOARD || !sensors_read_once)
        return;
    SensorTable& table = sensor_table();
    Sensor& port80 = table.sensors[sensor_index_of_type(&table, SENSOR_PORT80)];
    if (port80.type == SENSOR_PORT80 && port80.controls)
        port80.controls[0].value = 255;
    for (int i = 0; i < table.count; ++i) {
        Sensor& sensor = table.sensors[i];
        for (int c = 0; sensor.controls && c < sensor.control_count; ++c)
            if (sensor.controls[c].kind == CONTROL_PWM)
                sensor.controls[c].value = 255;
    }
    sensors_write_controls(&table);
}

void TMain::StartSensorTimer() {
    const int seconds = CSpinEditSensorUpdate->value();
    if (seconds <= 0 || sensor_count == 0 || closing_) {
        Timer1->stop();
        return;
    }
    Timer1->setInterval(seconds * 1000);
    standby_reset();
    Timer1->start();
}

void TMain::StopSensorTimer() {
    Timer1->stop();
}
