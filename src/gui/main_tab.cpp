// SPDX-License-Identifier: GPL-2.0-or-later
// Tab "Main" at work: the voltage and FSB track bars show and select the values, and Apply
// writes every changed setting to the board in one go.
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
#include <algorithm>
#include <charconv>
#include <cmath>
#include <initializer_list>

#include "app/prompts.h"
#include "board/chipset.h"
#include "board/fsb.h"
#include "board/voltage.h"
#include "diag/debuglog.h"
#include "diag/errortext.h"
#include "gui/hardware_steps.h"
#include "gui/main_window.h"
#include "gui/qt_number_text.h"
#include "gui/rail_view.h"
#include "gui/up_down.h"
#include "hw/stop_request.h"

namespace {

constexpr double kVoltsPerPosition = 0.025;  // one VID code
constexpr double kPositionsPerVolt = 40.0;
constexpr double kVidTopVolts = 1.85;  // above it only the add-on bits lift the core
constexpr int kFsbOfPositionZero = 300;
constexpr int32_t kAsusA7n8x = 2;  // board number; unstable above 1.85 V and with a higher Vdd

const char* const kHighVcoreText =
    "Setting VCore from <1.85V to >1.85V is not stable!\nDo you want to continue?";
const char* const kHighVcoreCaption = "High VCore warning";
const char* const kRegulatorOffText =
    "VID code 11111 switches the core regulator off on most boards; the PC will stop. Set "
    "1.075 V anyway?";
const char* const kRegulatorOffCaption = "Core regulator warning";
const char* const kHigherVddText =
    "Setting Vdd to a higher value is not very stable!\nDo you want to continue?";
const char* const kHigherVddCaption = "Higher Vdd warning";

// The track bar's dynamic property with the last position of its selection (0: none).
constexpr const char* kSelectionEnd = "selectionEnd";

// Voltages built by different sums (VID code plus add-on, track bar top minus steps) differ in
// their last bits; whole millivolts, finer than any board sets, decide what is the same value.
long millivolts(double v) {
    return std::lround(v * 1000.0);
}

bool same_volts(double a, double b) {
    return millivolts(a) == millivolts(b);
}

bool above_vid_range(double v) {
    return millivolts(v) > millivolts(kVidTopVolts);
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
void move_track_bar(TMain& main, QSlider* bar, int position, void (TMain::*handler)(QObject*)) {
    const int target = std::clamp(position, bar->minimum(), bar->maximum());
    if (bar->value() != target) {
        bar->setValue(target);
    } else if (!bar->signalsBlocked()) {
        (main.*handler)(bar);
    }
}

void show_table_voltage(TMain& main, QSlider* bar, QLineEdit* edit, const RailView& rail,
                        double v) {
    if (table_count(rail.table) == 0)
        return;  // the board has no such control; its group says so
    move_track_bar(main, bar, position_of(rail, table_index_of(rail.table, v)),
                   &TMain::TrackBarChange);
    edit->setText(TMain::FormatVolts(shown_volts(rail, v), 2));
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

QString TMain::FormatVolts(double v, int digits) {
    return format_fixed(v, digits == 3 ? 3 : 2) + " V";
}

void TMain::ShowCpuClock() {
    EditCPU->setText(format_whole(kFsbOfPositionZero - TrackBarFSB->value()) + " x " +
                     format_shortest(cpu_multiplier) + " = " +
                     format_whole(std::lround(values_selected.fsb * cpu_multiplier)) + " MHz");
}

void TMain::FillMainTab() {
    LabelVCoreMax->setText(FormatVolts(board.vcore_max, 3));
    LabelVCoreMin->setText(FormatVolts(board.vcore_min, 3));
    const int last = vcore_position(board, board.vcore_min);
    TrackBarVcore->setMaximum(last);
    UpDownVcore->setMaximum(last);
    TrackBarVcore->setProperty(
        kSelectionEnd, board.vcore_max > kVidTopVolts ? vcore_position(board, kVidTopVolts) : 0);
    const QString mark_name = TrackBarVcore->objectName() + "Selection";
    if (auto* mark = TrackBarVcore->findChild<QWidget*>(mark_name)) {
        mark->update();
    } else {
        (new SelectionMark(TrackBarVcore))->show();
    }
    // Without a VID chip no voltage can be read or set.
    const bool chip = board.chip.address != 0;
    GroupBoxVCore->setEnabled(chip);
    ShowVcore(values_read.vcore);
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
        void (TMain::*show)(double);
    };
    const Rail rails[] = {
        {GroupBoxVdimm, TrackBarVdimm, EditVdimm, LabelVdimmMax, LabelVdimmMin, "DIMM Voltage",
         "Vdimm disabled", board.vdimm, values_read.vdimm, &TMain::ShowVdimm},
        {GroupBoxVagp, TrackBarVagp, EditVagp, LabelVagpMax, LabelVagpMin, "AGP Voltage",
         "Vagp disabled", board.vagp, values_read.vagp, &TMain::ShowVagp},
        {GroupBoxVdd, TrackBarVdd, EditVdd, LabelVddMax, LabelVddMin, "Vdd Voltage", "Vdd disabled",
         board.vdd, values_read.vdd, &TMain::ShowVdd},
    };
    for (const Rail& rail : rails) {
        QWidget* const controls[] = {rail.box, rail.max, rail.min, rail.edit, rail.bar};
        if (!chip || table_min(rail.table) == 0.0) {
            // "... disabled" is wider than the rail's own caption: in a slightly smaller font
            // it takes no more room, and the FSB group beside it keeps its width in the fixed
            // window.
            QFont narrower = TabSheet1->font();
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
            rail.box->setFont(TabSheet1->font());
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
    ComboBoxBoard->setCurrentIndex(board_number);
    KeepReadSelections();
}

// A read value that no position shows (Vdd bits no table entry has, a VID below the board's
// minimum, an FSB below 50 MHz) puts its control at the nearest position, whose handler then
// selects that position's value. Until the user or the command line moves the control, the
// selection stays the value read, so an Apply that nobody changed writes nothing.
void TMain::KeepReadSelections() {
    values_selected.vcore = values_read.vcore;
    values_selected.vdimm = values_read.vdimm;
    values_selected.vagp = values_read.vagp;
    values_selected.vdd = values_read.vdd;
    values_selected.fsb = values_read.fsb;
}

void TMain::ShowVcore(double v) {
    const int position = vcore_position(board, v);
    UpDownVcore->setPosition(position);
    move_track_bar(*this, TrackBarVcore, position, &TMain::TrackBarChange);
}

void TMain::ShowVdimm(double v) {
    show_table_voltage(*this, TrackBarVdimm, EditVdimm, rail_view(board.vdimm, false), v);
}

void TMain::ShowVagp(double v) {
    show_table_voltage(*this, TrackBarVagp, EditVagp, rail_view(board.vagp, true), v);
}

void TMain::ShowVdd(double v) {
    show_table_voltage(*this, TrackBarVdd, EditVdd, rail_view(board.vdd, false), v);
}

void TMain::ShowFsb(int fsb) {
    UpDownFSB->setPosition(kFsbOfPositionZero - fsb);
    move_track_bar(*this, TrackBarFSB, kFsbOfPositionZero - fsb, &TMain::TrackBarFSBChange);
}

void TMain::TrackBarChange(QObject* sender) {
    if (sender == TrackBarVcore) {
        const double v = vcore_at(board, TrackBarVcore->value());
        EditVCore->setText(FormatVolts(v, 3));
        UpDownVcore->setPosition(TrackBarVcore->value());
        values_selected.vcore = v;
        return;
    }
    const struct {
        QSlider* bar;
        QLineEdit* edit;
        const VoltageTable& table;
        double& selected;
    } rails[] = {{TrackBarVdimm, EditVdimm, board.vdimm, values_selected.vdimm},
                 {TrackBarVagp, EditVagp, board.vagp, values_selected.vagp},
                 {TrackBarVdd, EditVdd, board.vdd, values_selected.vdd}};
    for (const auto& rail : rails) {
        const RailView view = rail_view(rail.table, rail.bar == TrackBarVagp);
        double v = 0.0;
        if (sender == rail.bar && table_value_at(view, rail.bar->value(), v)) {
            rail.selected = v;
            rail.edit->setText(FormatVolts(shown_volts(view, v), 2));
        }
    }
}

void TMain::UpDownChange(QObject*) {
    TrackBarVcore->setValue(UpDownVcore->position());
    values_selected.vcore = vcore_at(board, UpDownVcore->position());
}

void TMain::TrackBarFSBChange(QObject*) {
    const int fsb = kFsbOfPositionZero - TrackBarFSB->value();
    values_selected.fsb = fsb;
    EditFSB->setText(format_whole(fsb) + " MHz");
    UpDownFSB->setPosition(TrackBarFSB->value());
    ShowCpuClock();
}

void TMain::UpDownFSBClick(QObject*) {
    TrackBarFSB->setValue(UpDownFSB->position());
}

void TMain::RamChange(QObject*) {
    values_selected.tras = ComboBoxTras->currentIndex() + 1;
    values_selected.trcd = ComboBoxTrcd->currentIndex() + 1;
    values_selected.trp = ComboBoxTrp->currentIndex() + 1;
}

void TMain::Apply(QObject* sender) {
    if (EndAutoFsbRunFirst(&TMain::Apply, sender))
        return;
    StartApply(nullptr);
}

// One action at a time: while an Apply or a preset steps, a second one is not started (its
// controls are off; this also covers a click queued before they went off).
void TMain::StartApply(std::function<void()> then) {
    if (steps_->busy(HardwareSteps::Kind::Action))
        return;
    ShowActionBusy(true);
    steps_->start(
        HardwareSteps::Kind::Action, [this] { ApplySteps(); },
        [this, then = std::move(then)] {
            ShowActionBusy(false);
            ShowTrayHint();
            MarkHistoryChanges();
            if (then)
                then();
        });
}

void TMain::ShowActionBusy(bool busy) {
    for (QWidget* control :
         std::initializer_list<QWidget*>{ButtonApply, ButtonReset, ButtonPresetApply, Button1})
        control->setEnabled(!busy);
    TrayForceMax->setEnabled(!busy);
    TrayForceMin->setEnabled(!busy);
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
    ShowTrayHint();
}

void TMain::ApplySteps() {
    StatusBar1->showMessage("Apply new settings...");
    apply_failures.clear();

    // A failure's text must outlast the steps after it, or "Done." would hide it.
    QString failure;
    auto failed = [&](const QString& text) {
        failure = text;
        apply_failures.push_back(text.toStdString());
        StatusBar1->showMessage(text);
    };
    // A question answered No ends the Apply: what it asked about and every later step stay
    // as they were.
    auto declined = [&](const char* what) {
        apply_failures.push_back(std::string(what) + " not confirmed, the rest not applied.");
    };

    // RAM timings are bytes in the chipset record: a value outside its range would be cut to
    // another valid one (257 to 1), so such a selection is refused before anything is written.
    const struct {
        const char* name;
        int32_t value;
        int32_t max;
    } timings[] = {{"Tras", values_selected.tras, 31},
                   {"Trcd", values_selected.trcd, 7},
                   {"Trp", values_selected.trp, 7}};
    for (const auto& t : timings) {
        if (t.value >= 1 && t.value <= t.max)
            continue;
        debug_print("VELMORA: %s %d out of range 1 to %d, nothing applied\n", t.name, t.value,
                    t.max);
        const QString refusal = QString("%1 %2 is out of range (1 to %3), nothing applied.")
                                    .arg(t.name)
                                    .arg(t.value)
                                    .arg(t.max);
        apply_failures.push_back(refusal.toStdString());
        StatusBar1->showMessage(refusal);
        return;
    }

    enum class Step { Done, Declined, Failed };
    const bool fsb_rises = values_selected.fsb > values_applied.fsb;
    auto vcore_step = [&]() {
        // A core voltage that failed before is set again before any FSB rises on it.
        if (same_volts(values_selected.vcore, values_applied.vcore) &&
            !(fsb_rises && vcore_unsettled))
            return Step::Done;
        if (board_number == kAsusA7n8x && above_vid_range(values_selected.vcore) &&
            !above_vid_range(values_applied.vcore) &&
            !prompts_.ask_yes_no(kHighVcoreText, kHighVcoreCaption)) {
            declined("VCore above 1.85 V");
            return Step::Declined;
        }
        // The lowest VID code is "no CPU" to the regulator: only when the user says so. A No
        // writes nothing, so the chip keeps its voltage and nothing counts as applied.
        const bool switches_off = vcore_switches_regulator_off(board, values_selected.vcore);
        if (switches_off && !prompts_.ask_yes_no(kRegulatorOffText, kRegulatorOffCaption)) {
            last_setter_result = ERR_INVALID_VCORE;
            debug_print("VELMORA: Setting Vcore failed\n");
            failed(error_text(last_setter_result));
            return Step::Failed;
        }
        // Counted as applied before the setter runs: a failed value is not retried unasked.
        values_applied.vcore = values_selected.vcore;
        last_setter_result = set_vcore(board, values_selected.vcore, switches_off);
        vcore_unsettled = last_setter_result != 0;
        if (last_setter_result != 0) {
            debug_print("VELMORA: Setting Vcore failed\n");
            failed(error_text(last_setter_result));
            return Step::Failed;
        }
        debug_print("VELMORA: Setting Vcore to %f done\n", values_selected.vcore);
        return Step::Done;
    };
    auto fsb_step = [&] {
        if (values_selected.fsb == values_applied.fsb)
            return Step::Done;
        values_applied.fsb = values_selected.fsb;
        const int result = set_fsb(values_selected.fsb);
        if (result == 0) {
            debug_print("VELMORA: Setting FSB to %d done\n", values_selected.fsb);
            return Step::Done;
        }
        if (result == 3) {
            // A signal or the close stopped the walk at a whole step: that is no failure, and
            // the next Apply goes on from there.
            values_applied.fsb = get_fsb();
            debug_print("VELMORA: Setting FSB stopped at %d MHz\n", values_applied.fsb);
            failed(QString("FSB setting stopped at %1 MHz.").arg(values_applied.fsb));
        } else {
            debug_print("VELMORA: Setting FSB failed!\n");
            failed("FSB setting failed, try another value.");
        }
        return Step::Failed;
    };

    // The core needs its voltage before the clock rises, and keeps it until the clock fell. A
    // failure skips the step that depends on it: no clock rises on a voltage that was not set,
    // and no voltage changes under a clock that did not fall.
    if (values_selected.fsb >= values_applied.fsb) {
        const Step vcore = vcore_step();
        if (vcore == Step::Declined)
            return;
        if (vcore == Step::Done) {
            fsb_step();
        } else if (fsb_rises) {
            debug_print("VELMORA: FSB not raised: the core voltage was not set\n");
            apply_failures.push_back("FSB not raised: the core voltage was not set.");
        }
    } else if (fsb_step() == Step::Done) {
        if (vcore_step() == Step::Declined)
            return;
    } else if (!same_volts(values_selected.vcore, values_applied.vcore)) {
        debug_print("VELMORA: Vcore not changed: the FSB was not set\n");
        apply_failures.push_back("VCore not changed: the FSB was not set.");
    }
    // A signal asks the process to end, or the window to close: no further step starts.
    if (stop_pending()) {
        apply_failures.push_back("Apply stopped on request, the remaining steps skipped.");
        return;
    }

    struct TableStep {
        const VoltageTable& table;
        double& selected;
        double& applied;
        int (*set)(Board&, double);
        const char* failed_line;
        const char* done_line;
        const char* done_mark;  // appended to the status text, or nullptr
        const char* warning;    // asked first on the A7N8X, or nullptr
        const char* warning_caption;
    };
    const TableStep steps[] = {
        {board.vdimm, values_selected.vdimm, values_applied.vdimm, set_vdimm,
         "VELMORA: Setting Vdimm failed\n", "VELMORA: Setting Vdimm to %f done\n", "VDimm.",
         nullptr, nullptr},
        {board.vagp, values_selected.vagp, values_applied.vagp, set_vagp,
         "VELMORA: Setting Vagp failed\n", "VELMORA: Setting Vagp to %f done\n", "VAgp.", nullptr,
         nullptr},
        {board.vdd, values_selected.vdd, values_applied.vdd, set_vdd,
         "VELMORA: Setting Vdd failed\n", "VELMORA: Setting Vdd to %f done\n", nullptr,
         kHigherVddText, kHigherVddCaption},
    };
    for (const TableStep& step : steps) {
        if (table_count(step.table) == 0 || same_volts(step.selected, step.applied))
            continue;
        if (step.warning && board_number == kAsusA7n8x &&
            !prompts_.ask_yes_no(step.warning, step.warning_caption)) {
            declined("A higher Vdd");
            return;
        }
        step.applied = step.selected;
        last_setter_result = step.set(board, step.selected);
        if (last_setter_result != 0) {
            debug_print(step.failed_line);
            failed(error_text(last_setter_result));
        } else {
            debug_print(step.done_line, step.selected);
            if (step.done_mark)
                StatusBar1->showMessage(StatusBar1->currentMessage() + step.done_mark);
        }
    }

    // The chipset module writes only the timings that differ from what it last read.
    values_applied.tras = values_selected.tras;
    values_applied.trcd = values_selected.trcd;
    values_applied.trp = values_selected.trp;
    chipset.tras = static_cast<uint8_t>(values_selected.tras);
    chipset.trcd = static_cast<uint8_t>(values_selected.trcd);
    chipset.trp = static_cast<uint8_t>(values_selected.trp);
    chipset.auto_precharge = CheckBoxAutoPC->isChecked() ? 1 : 0;
    write_chipset_settings(&chipset);

    StatusBar1->showMessage(failure.isEmpty() ? QString("Done.") : failure);
}
