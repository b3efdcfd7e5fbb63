// SPDX-License-Identifier: GPL-2.0-or-later
// Tab "Main" at work: the voltage and FSB track bars show and select the values, and Apply
// runs the session's writing of every changed setting as one action.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <initializer_list>

#include "board/fsb.h"
#include "board/rail_view.h"
#include "board/voltage.h"
#include "gui/hardware_steps.h"
#include "gui/main_window.h"
#include "gui/qt_number_text.h"
#include "gui/up_down.h"

namespace {

constexpr double kVoltsPerPosition = 0.025;  // one VID code
constexpr double kPositionsPerVolt = 40.0;
constexpr double kVidTopVolts = 1.85;  // above it only the add-on bits lift the core
constexpr int kFsbOfPositionZero = 300;

// The track bar's dynamic property with the last position of its selection (0: none).
constexpr const char* kSelectionEnd = "selectionEnd";

// Whole millivolts, finer than any board sets: the track bar's top minus its steps differs from
// the value it means in the last bits.
long millivolts(double v) {
    return std::lround(v * 1000.0);
}

int vcore_position(const Board& board, double v) {
    return static_cast<int>(std::trunc((board.vcore_max - v) * kPositionsPerVolt + 0.4));
}

// Rounded to the millivolt: the value selected, logged and set is the one the text shows, and
// the position of 1.850 V is not taken for a hair above it.
double vcore_at(const Board& board, int position) {
    return millivolts(board.vcore_max - position * kVoltsPerPosition) / 1000.0;
}

// The table value that position shows: the highest on top. False outside the table.
bool table_value_at(const RailView& rail, int position, double& value) {
    const int index = entry_at(rail, position);
    if (index < 0 || index >= table_count(rail.table))
        return false;
    value = rail.table.values[index];
    return true;
}

// Moves a track bar, whose change handler then selects the value and shows it. A bar already
// there raises no change, yet its texts may still be the form's or another board's, so the
// handler runs all the same (unless the caller has detached it).
void move_track_bar(MainTab& main, QSlider* bar, int position, void (MainTab::*handler)(QObject*)) {
    const int target = std::clamp(position, bar->minimum(), bar->maximum());
    if (bar->value() != target) {
        bar->setValue(target);
    } else if (!bar->signalsBlocked()) {
        (main.*handler)(bar);
    }
}

void show_table_voltage(MainTab& main, QSlider* bar, QLineEdit* edit, const RailView& rail,
                        double v) {
    if (table_count(rail.table) == 0)
        return;  // the board has no such control; its group says so
    move_track_bar(main, bar, position_of(rail, table_index_of(rail.table, v)),
                   &MainTab::TrackBarChange);
    edit->setText(MainTab::FormatVolts(shown_volts(rail, v), 2));
}

// Marks the Vcore track bar from position 0 down to its selection end: the voltages above
// 1.85 V, which only the add-on bits reach.
class SelectionMark : public QWidget {
  public:
    explicit SelectionMark(QSlider* bar) : QWidget(bar), bar_(bar) {
        setObjectName(bar->objectName() + "Selection");
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(bar->rect());
        bar->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == bar_ && event->type() == QEvent::Resize)
            setGeometry(bar_->rect());
        return false;
    }

    void paintEvent(QPaintEvent*) override {
        const int end = bar_->property(kSelectionEnd).toInt();
        if (end <= 0)
            return;
        QStyleOptionSlider option;
        option.initFrom(bar_);
        option.orientation = bar_->orientation();
        option.minimum = bar_->minimum();
        option.maximum = bar_->maximum();
        option.sliderPosition = option.sliderValue = bar_->value();
        option.upsideDown = !bar_->invertedAppearance();  // as QSlider sets it for vertical bars
        option.tickPosition = bar_->tickPosition();
        option.tickInterval = bar_->tickInterval();
        const QStyle* style = bar_->style();
        const QRect groove =
            style->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, bar_);
        const QRect handle =
            style->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, bar_);
        const int span = groove.height() - handle.height();
        auto centre = [&](int position) {
            return groove.top() + handle.height() / 2 +
                   QStyle::sliderPositionFromValue(option.minimum, option.maximum, position, span,
                                                   option.upsideDown);
        };
        const int top = centre(option.minimum);
        QPainter painter(this);
        painter.fillRect(QRect(groove.left(), top, groove.width(), centre(end) - top + 1),
                         QColor(220, 40, 40, 140));
    }

  private:
    QSlider* bar_;
};

}  // namespace

QString MainTab::FormatVolts(double v, int digits) {
    return format_fixed(v, digits == 3 ? 3 : 2) + " V";
}

void MainTab::ShowCpuClock() {
    EditCPU->setText(
        format_whole(kFsbOfPositionZero - TrackBarFSB->value()) + " x " +
        format_shortest(window_.cpu_multiplier) + " = " +
        format_whole(std::lround(window_.values_selected.fsb * window_.cpu_multiplier)) + " MHz");
}

void MainTab::FillMainTab() {
    LabelVCoreMax->setText(FormatVolts(window_.board.vcore_max, 3));
    LabelVCoreMin->setText(FormatVolts(window_.board.vcore_min, 3));
    const int last = vcore_position(window_.board, window_.board.vcore_min);
    TrackBarVcore->setMaximum(last);
    UpDownVcore->setMaximum(last);
    TrackBarVcore->setProperty(kSelectionEnd, window_.board.vcore_max > kVidTopVolts
                                                  ? vcore_position(window_.board, kVidTopVolts)
                                                  : 0);
    const QString mark_name = TrackBarVcore->objectName() + "Selection";
    if (auto* mark = TrackBarVcore->findChild<QWidget*>(mark_name)) {
        mark->update();
    } else {
        (new SelectionMark(TrackBarVcore))->show();
    }
    // Without a VID chip no voltage can be read or set.
    const bool chip = window_.board.chip.address != 0;
    GroupBoxVCore->setEnabled(chip);
    ShowVcore(window_.values_read.vcore);
    if (!chip)
        EditVCore->setText("NA");

    struct Rail {
        QGroupBox* box;
        QSlider* bar;
        QLineEdit* edit;
        QLabel* max;
        QLabel* min;
        const char* caption;
        const char* disabled_caption;
        const VoltageTable& table;
        double read;
        void (MainTab::*show)(double);
    };
    const Rail rails[] = {
        {GroupBoxVdimm, TrackBarVdimm, EditVdimm, LabelVdimmMax, LabelVdimmMin, "DIMM Voltage",
         "Vdimm disabled", window_.board.vdimm, window_.values_read.vdimm, &MainTab::ShowVdimm},
        {GroupBoxVagp, TrackBarVagp, EditVagp, LabelVagpMax, LabelVagpMin, "AGP Voltage",
         "Vagp disabled", window_.board.vagp, window_.values_read.vagp, &MainTab::ShowVagp},
        {GroupBoxVdd, TrackBarVdd, EditVdd, LabelVddMax, LabelVddMin, "Vdd Voltage", "Vdd disabled",
         window_.board.vdd, window_.values_read.vdd, &MainTab::ShowVdd},
    };
    for (const Rail& rail : rails) {
        QWidget* const controls[] = {rail.box, rail.max, rail.min, rail.edit, rail.bar};
        if (!chip || table_min(rail.table) == 0.0) {
            // "... disabled" is wider than the rail's own caption: in a slightly smaller font
            // it takes no more room, and the FSB group beside it keeps its width in the fixed
            // window.
            QFont narrower = window_.TabSheet1->font();
            if (narrower.pointSizeF() > 0)
                narrower.setPointSizeF(narrower.pointSizeF() * 0.85);
            else
                narrower.setPixelSize(narrower.pixelSize() * 85 / 100);
            rail.box->setFont(narrower);
            rail.box->setTitle(rail.disabled_caption);
            for (QWidget* control : controls)
                control->setEnabled(false);
            continue;
        }
        if (!rail.bar->isEnabled()) {
            rail.box->setFont(window_.TabSheet1->font());
            rail.box->setTitle(rail.caption);
            for (QWidget* control : controls)
                control->setEnabled(true);
        }
        const RailView view = rail_view(rail.table, rail.bar == TrackBarVagp);
        rail.bar->setMaximum(table_count(rail.table) - 1);
        rail.min->setText(FormatVolts(bottom_volts(view), 2));
        rail.max->setText(FormatVolts(top_volts(view), 2));
        (this->*rail.show)(rail.read);
    }
    window_.settings_tab.ComboBoxBoard->setCurrentIndex(window_.board_number);
    KeepReadSelections();
}

// A read value that no position shows (Vdd bits no table entry has, a VID below the board's
// minimum, an FSB below 50 MHz) puts its control at the nearest position, whose handler then
// selects that position's value. Until the user or the command line moves the control, the
// selection stays the value read, so an Apply that nobody changed writes nothing.
void MainTab::KeepReadSelections() {
    window_.values_selected.vcore = window_.values_read.vcore;
    window_.values_selected.vdimm = window_.values_read.vdimm;
    window_.values_selected.vagp = window_.values_read.vagp;
    window_.values_selected.vdd = window_.values_read.vdd;
    window_.values_selected.fsb = window_.values_read.fsb;
}

void MainTab::ShowVcore(double v) {
    const int position = vcore_position(window_.board, v);
    UpDownVcore->setPosition(position);
    move_track_bar(*this, TrackBarVcore, position, &MainTab::TrackBarChange);
}

void MainTab::ShowVdimm(double v) {
    show_table_voltage(*this, TrackBarVdimm, EditVdimm, rail_view(window_.board.vdimm, false), v);
}

void MainTab::ShowVagp(double v) {
    show_table_voltage(*this, TrackBarVagp, EditVagp, rail_view(window_.board.vagp, true), v);
}

void MainTab::ShowVdd(double v) {
    show_table_voltage(*this, TrackBarVdd, EditVdd, rail_view(window_.board.vdd, false), v);
}

void MainTab::ShowFsb(int fsb) {
    UpDownFSB->setPosition(kFsbOfPositionZero - fsb);
    move_track_bar(*this, TrackBarFSB, kFsbOfPositionZero - fsb, &MainTab::TrackBarFSBChange);
}

void MainTab::TrackBarChange(QObject* sender) {
    if (sender == TrackBarVcore) {
        const double v = vcore_at(window_.board, TrackBarVcore->value());
        EditVCore->setText(FormatVolts(v, 3));
        UpDownVcore->setPosition(TrackBarVcore->value());
        window_.values_selected.vcore = v;
        return;
    }
    const struct {
        QSlider* bar;
        QLineEdit* edit;
        const VoltageTable& table;
        double& selected;
    } rails[] = {{TrackBarVdimm, EditVdimm, window_.board.vdimm, window_.values_selected.vdimm},
                 {TrackBarVagp, EditVagp, window_.board.vagp, window_.values_selected.vagp},
                 {TrackBarVdd, EditVdd, window_.board.vdd, window_.values_selected.vdd}};
    for (const auto& rail : rails) {
        const RailView view = rail_view(rail.table, rail.bar == TrackBarVagp);
        double v = 0.0;
        if (sender == rail.bar && table_value_at(view, rail.bar->value(), v)) {
            rail.selected = v;
            rail.edit->setText(FormatVolts(shown_volts(view, v), 2));
        }
    }
}

void MainTab::UpDownChange(QObject*) {
    TrackBarVcore->setValue(UpDownVcore->position());
    window_.values_selected.vcore = vcore_at(window_.board, UpDownVcore->position());
}

void MainTab::TrackBarFSBChange(QObject*) {
    const int fsb = kFsbOfPositionZero - TrackBarFSB->value();
    window_.values_selected.fsb = fsb;
    EditFSB->setText(format_whole(fsb) + " MHz");
    UpDownFSB->setPosition(TrackBarFSB->value());
    ShowCpuClock();
}

void MainTab::UpDownFSBClick(QObject*) {
    TrackBarFSB->setValue(UpDownFSB->position());
}

void MainTab::RamChange(QObject*) {
    window_.values_selected.tras = ComboBoxTras->currentIndex() + 1;
    window_.values_selected.trcd = ComboBoxTrcd->currentIndex() + 1;
    window_.values_selected.trp = ComboBoxTrp->currentIndex() + 1;
}

void MainTab::Apply(QObject* sender) {
    if (window_.EndAutoFsbRunFirst([this, sender] { Apply(sender); }))
        return;
    StartApply(nullptr);
}

// One action at a time: while an Apply or a preset steps, a second one is not started (its
// controls are off; this also covers a click queued before they went off).
void MainTab::StartApply(std::function<void()> then) {
    if (window_.steps_->busy(HardwareSteps::Kind::Action))
        return;
    window_.ShowActionBusy(true);
    window_.steps_->start(
        HardwareSteps::Kind::Action, [this] { window_.ApplySteps(); },
        [this, then = std::move(then)] {
            window_.ShowActionBusy(false);
            window_.tray.ShowTrayHint();
            window_.MarkHistoryChanges();
            if (then)
                then();
        });
}

void TMain::ShowActionBusy(bool busy) {
    for (QWidget* control :
         std::initializer_list<QWidget*>{main_tab.ButtonApply, main_tab.ButtonReset,
                                         autofsb_group.ButtonPresetApply, settings_tab.Button1})
        control->setEnabled(!busy);
    tray.TrayForceMax->setEnabled(!busy);
    tray.TrayForceMin->setEnabled(!busy);
}

// An AutoFSB run names the limit it walks to, an Apply the FSB it walks to.
QString TMain::HardwareProgressText() const {
    const FsbWalkProgress walk = fsb_walk_progress();
    if (autofsb_run_active) {
        const int at = walk.target != 0 ? walk.at : autofsb.fsb;
        return QString("FSB %1 \u2192 %2 MHz").arg(at).arg(autofsb_run_target);
    }
    if (walk.target == 0)
        return QString();
    return QString("FSB %1 \u2192 %2 MHz").arg(walk.at).arg(walk.target);
}

void TMain::ShowHardwareProgress() {
    const QString progress = HardwareProgressText();
    if (progress.isEmpty())
        return;
    StatusBar1->showMessage(progress);
    tray.ShowTrayHint();
}
