// SPDX-License-Identifier: GPL-2.0-or-later
// The History tab and the CSV log in the window: every sensor tick's readings go into the ring,
// the CSV file and the charts; Apply, presets and AutoFSB runs leave their marks.
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cmath>
#include <ctime>
#include <iterator>

#include "automation/cpuload.h"
#include "diag/number_text.h"
#include "gui/form.h"
#include "gui/hardware_steps.h"
#include "gui/history_chart.h"
#include "gui/main_window.h"
#include "platform/clock.h"
#include "sensors/sensor_display.h"
#include "support/configfile.h"

namespace {

constexpr struct {
    const char* text;
    uint32_t seconds;
} kRanges[] = {{"10 min", 600}, {"1 h", 3600}, {"6 h", 6 * 3600}};

// config.ini gives back at most this many bytes of a value.
constexpr int kCsvFileBytes = static_cast<int>(kConfigValueBuffer) - 1;

// A file name as the line edit holds it: blanks around it and control characters dropped.
std::string csv_file_name(const QString& shown) {
    QString text = shown.trimmed();
    text.remove(QRegularExpression("[\\x00-\\x1f\\x7f]"));
    return text.toStdString();
}

}  // namespace

// The tab comes with the first reading, after the five others: a window without a board has no
// readings, and shows only its Settings and About tabs.
void HistoryTab::Start() {
    TabSheet6 = new QWidget;
    TabSheet6->setObjectName("TabSheet6");
    QStringList ranges;
    for (const auto& range : kRanges)
        ranges << range.text;
    ComboBoxHistoryRange = form::fixed_list(TabSheet6, "ComboBoxHistoryRange", ranges);
    HistoryChart1 = new HistoryChart(*window_.history, TabSheet6);
    HistoryChart1->setObjectName("HistoryChart1");
    HistoryChart1->set_window_seconds(kRanges[0].seconds);

    auto* row = new QHBoxLayout;
    row->addWidget(form::caption_for(ComboBoxHistoryRange, "Show the last"));
    row->addWidget(ComboBoxHistoryRange);
    row->addStretch(1);
    auto* page = new QVBoxLayout(TabSheet6);
    page->setContentsMargins(6, 6, 6, 6);
    page->addLayout(row);
    page->addWidget(HistoryChart1, 1);
    window_.PageControl1->addTab(TabSheet6, "History");

    QObject::connect(ComboBoxHistoryRange, qOverload<int>(&QComboBox::activated), &window_, [this] {
        window_.Raise("HistoryRangeChange", *this, &HistoryTab::HistoryRangeChange,
                      ComboBoxHistoryRange);
    });
}

// On the Settings tab: the file the readings are logged to. No hint and no buddy caption: the
// placeholder says what an empty one means.
QWidget* HistoryTab::CreateCsvFileGroup(QWidget* sheet) {
    QGroupBox* group = form::group(sheet, "GroupBoxHistory", "History");
    EditCsvFile = new QLineEdit(group);
    EditCsvFile->setObjectName("EditCsvFile");
    EditCsvFile->setMaxLength(kCsvFileBytes);
    EditCsvFile->setPlaceholderText("empty: readings not logged");
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(8, 6, 8, 8);
    row->addWidget(new QLabel("Log readings to CSV", group));
    row->addWidget(EditCsvFile, 1);
    QObject::connect(EditCsvFile, &QLineEdit::editingFinished, &window_, [this] {
        window_.Raise("CsvFileChange", *this, &HistoryTab::CsvFileChange, EditCsvFile);
    });
    return group;
}

// Once, with the settings loaded: at the first tick, or after the start for a run without one.
void HistoryTab::ShowStoredSettings() {
    if (settings_shown_)
        return;
    settings_shown_ = true;
    const MainSettings& settings = window_.settings;
    EditCsvFile->setText(QString::fromStdString(settings.csv_file));
    window_.history_csv.set_path(settings.csv_file);
    if (settings.csv_file_too_long)
        window_.StatusBar1->showMessage("CSV file name in config.ini too long: at most 79 bytes.");
}

// The name as config.ini can give it back (at most kCsvFileBytes bytes of UTF-8); a longer one
// keeps the file in use.
std::string HistoryTab::CsvFileSetting() const {
    const std::string name = csv_file_name(EditCsvFile->text());
    return name.size() <= static_cast<size_t>(kCsvFileBytes) ? name : window_.history_csv.path();
}

void HistoryTab::CsvFileChange(QObject*) {
    if (csv_file_name(EditCsvFile->text()).size() > static_cast<size_t>(kCsvFileBytes))
        window_.StatusBar1->showMessage("CSV file name too long: at most 79 bytes.");
    window_.history_csv.set_path(CsvFileSetting());
}

void HistoryTab::HistoryRangeChange(QObject*) {
    const int index = ComboBoxHistoryRange->currentIndex();
    if (index >= 0 && index < static_cast<int>(std::size(kRanges)))
        HistoryChart1->set_window_seconds(kRanges[index].seconds);
}

void HistoryTab::Changed() {
    if (HistoryChart1->isVisible())
        HistoryChart1->update();
}
