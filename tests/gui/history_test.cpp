// SPDX-License-Identifier: GPL-2.0-or-later
// The History tab on the simulated board: sensor ticks into the charts' legends and the CSV
// file, the marks of an Apply, and the CSV file's name kept in config.ini.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTimer>
#include <clocale>
#include <memory>

#include "automation/cpuload.h"
#include "automation/history.h"
#include "automation/history_csv.h"
#include "board/chipset.h"
#include "board/fsb.h"
#include "gui/history_chart.h"
#include "gui/main_window.h"
#include "helpers/window_world.h"
#include "hw/port_io.h"
#include "sim/sim_machine.h"

namespace {

class HistoryTab : public ::testing::Test, protected WindowWorld {
  protected:
    HistoryTab() {
        clock.now = 1000;
        fsb_reset_state();
        chipset_reset_state();
        machine.set_cpu_load(0);
        install_port_backend(&machine);
        // FAN3 not mapped: it has no readings.
        write_file("sensor.ini", "[Sensormap]\r\n7=1:0,1:2,1:0,1:1,1:5,1:3,1:4,1:0,1:1,0:0\r\n");
    }
    ~HistoryTab() override {
        main.reset();
        install_port_backend(nullptr);
    }
    void start() {
        cpu_load.store(30);
        main = std::make_unique<TMain>(prompts, std::vector<std::string>{});
        cpuload_stop();  // the test sets the load itself
    }
    void tick(int load) {
        cpu_load.store(load);
        clock.advance(1000);
        main->UpdateSensor(main->Timer1);
    }
    QString legend(int item) {
        return main->history_tab.HistoryChart1->legend_text(item, clock.now);
    }

    SimMachine machine{*sim_profile(7)};
    std::unique_ptr<TMain> main;
};

TEST_F(HistoryTab, TicksReachTheLegendsAndOneCsvLineEachWithADecimalPoint) {
    write_file("config.ini",
               "\r\n[Main]\r\nBoard=7\r\n[Sensor]\r\nUpdate=1\r\n[History]\r\nCsvFile=r.csv\r\n");
    start();
    ASSERT_NE(main->history_tab.TabSheet6, nullptr);
    EXPECT_EQ(main->PageControl1->indexOf(main->history_tab.TabSheet6), 5);
    EXPECT_EQ(main->PageControl1->tabText(5), "History");
    EXPECT_EQ(main->history_tab.ComboBoxHistoryRange->count(), 3);
    EXPECT_EQ(main->history_tab.EditCsvFile->text(), "r.csv");

    const bool german = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    for (int load : {60, 20, 40})
        tick(load);
    std::setlocale(LC_ALL, "C");
    if (!german)
        std::printf("de_DE.UTF-8 is not installed: the CSV's numbers checked in the C locale\n");

    EXPECT_EQ(legend(HISTORY_LOAD), "Load 40 % (20\u201360)");
    EXPECT_EQ(legend(HISTORY_FSB), "FSB 166 MHz (166\u2013166)");
    EXPECT_EQ(legend(HISTORY_FAN3), "FAN3 NA");
    EXPECT_TRUE(
        legend(HISTORY_CPU_TEMP).startsWith("CPU " + main->main_tab.SensorTemp->text() + " ("))
        << legend(HISTORY_CPU_TEMP).toStdString();
    EXPECT_TRUE(
        legend(HISTORY_VCORE).startsWith("Vcore " + main->main_tab.SensorVcore->text() + " ("))
        << legend(HISTORY_VCORE).toStdString();

    // The header once, then the start's tick and the three above.
    const QStringList lines = QString::fromStdString(read_file("r.csv")).split('\n');
    ASSERT_EQ(lines.size(), 6) << read_file("r.csv");
    EXPECT_EQ(lines[0].toStdString(),
              history_csv_header().substr(0, history_csv_header().size() - 1));
    const QRegularExpression line(
        "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d,-?\\d+,-?\\d+,\\d+,\\d+,,"
        "\\d\\.\\d{3},\\d\\.\\d\\d,\\d\\.\\d\\d,\\d\\.\\d\\d,\\d+\\.\\d\\d,166,1826,(\\d+)$");
    const char* loads[] = {"30", "60", "20", "40"};
    for (int i = 1; i <= 4; ++i) {
        const auto match = line.match(lines[i]);
        ASSERT_TRUE(match.hasMatch()) << lines[i].toStdString();
        EXPECT_EQ(match.captured(1), loads[i - 1]);
    }
    EXPECT_EQ(lines[5], "");

    // Every range draws over what is there.
    main->show();
    main->PageControl1->setCurrentWidget(main->history_tab.TabSheet6);
    for (int range = 0; range < 3; ++range) {
        main->history_tab.ComboBoxHistoryRange->setCurrentIndex(range);
        main->history_tab.HistoryRangeChange();
        QImage image(main->history_tab.HistoryChart1->size(), QImage::Format_ARGB32_Premultiplied);
        main->history_tab.HistoryChart1->render(&image);
    }
    EXPECT_EQ(main->history_tab.HistoryChart1->window_seconds(), 6u * 3600u);
}

TEST_F(HistoryTab, AnApplyLeavesMarksAndTheCsvFileIsKeptInConfigIni) {
    write_file("config.ini", "\r\n[Main]\r\nBoard=7\r\n");
    start();
    EXPECT_EQ(main->history_tab.EditCsvFile->text(), "");
    main->main_tab.ShowFsb(170);
    main->main_tab.ShowVcore(1.7);
    main->main_tab.Apply();
    ASSERT_EQ(main->history->mark_count(), 2);
    EXPECT_EQ(main->history->mark_at(0).text, "FSB 166 \u2192 170 MHz");
    EXPECT_EQ(main->history->mark_at(1).text, "Vcore 1.650 \u2192 1.700 V");
    main->main_tab.Apply();  // nothing changed: no mark
    EXPECT_EQ(main->history->mark_count(), 2);

    // A name takes effect when its editing ends, and is saved at close.
    main->history_tab.EditCsvFile->setText(" readings.csv ");
    emit main->history_tab.EditCsvFile->editingFinished();
    tick(50);
    EXPECT_EQ(read_file("readings.csv").rfind(history_csv_header(), 0), 0u);
    main->close();
    main.reset();
    EXPECT_NE(read_file("config.ini").find("\r\n[History]\r\nCsvFile=readings.csv\r\n"),
              std::string::npos)
        << read_file("config.ini");
    start();
    EXPECT_EQ(main->history_tab.EditCsvFile->text(), "readings.csv");
    // Emptied, the key stays and says so.
    main->history_tab.EditCsvFile->setText("");
    main->close();
    EXPECT_NE(read_file("config.ini").find("\r\nCsvFile=\r\n"), std::string::npos);
}

}  // namespace
