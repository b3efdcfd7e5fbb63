// SPDX-License-Identifier: GPL-2.0-or-later
#include "gui/history_chart.h"

#include <QColor>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "gui/qt_number_text.h"
#include "platform/clock.h"

// One strip: up to three items on the scale at its left, and one item with a scale of its own
// at its right where its values lie far from the others' (12 V beside 5 V, the CPU clock beside
// the FSB). The load always runs from 0 to 100 %.
struct HistoryStrip {
    int left[3];
    int left_count;
    int right;  // -1: none
    bool percent;
};

namespace {

constexpr HistoryStrip kStrips[] = {
    {{HISTORY_CPU_TEMP, HISTORY_SYS_TEMP}, 2, -1, false},
    {{HISTORY_FAN1, HISTORY_FAN2, HISTORY_FAN3}, 3, -1, false},
    {{HISTORY_VCORE, HISTORY_VDIMM, HISTORY_VDD}, 3, -1, false},
    {{HISTORY_5V}, 1, HISTORY_12V, false},
    {{HISTORY_FSB}, 1, HISTORY_CPU_CLOCK, false},
    {{HISTORY_LOAD}, 1, -1, true},
};
constexpr int kStripCount = static_cast<int>(std::size(kStrips));

// The legend is as wide as its longest usual text: "Vcore 1.650 V (1.625–1.700)".
const char* const kWidestLegends[] = {"Vcore 1.650 V (1.625\u20131.700)",
                                      "Clock 2300 MHz (1826\u20132300)"};
constexpr int kSwatchWidth = 16;
constexpr int kAxisWidth = 40;
constexpr int kStripGap = 5;

const QColor kRed(200, 30, 30), kBlue(30, 80, 210), kGreen(20, 140, 50), kOrange(220, 120, 0),
    kPurple(130, 40, 170);
const QColor kGrid(225, 225, 225), kMark(170, 0, 170);

struct ItemLook {
    QColor color;
    double min_span;  // the least range its scale shows, so that noise stays small
};
const ItemLook kLooks[kHistoryItems] = {
    {kRed, 4.0},     {kBlue, 4.0},                     // CPU, SYS
    {kRed, 200.0},   {kBlue, 200.0}, {kGreen, 200.0},  // fans
    {kRed, 0.05},    {kBlue, 0.05},  {kGreen, 0.05},   // Vcore, VDimm, Vdd
    {kOrange, 0.1},  {kPurple, 0.2},                   // 5 V, 12 V
    {kRed, 10.0},    {kBlue, 100.0},                   // FSB, CPU clock
    {kGreen, 100.0},                                   // load
};

// The time grid: a line every tick, labelled in minutes below two hours, else in hours.
uint32_t time_tick_ms(uint32_t window_ms) {
    if (window_ms <= 600000)
        return 120000;
    if (window_ms <= 3600000)
        return 600000;
    return 3600000;
}

QString age_text(uint32_t age_ms, uint32_t window_ms) {
    if (age_ms == 0)
        return "now";
    if (window_ms > 2 * 3600000u)
        return "-" + format_whole(age_ms / 3600000) + " h";
    return "-" + format_whole(age_ms / 60000) + " min";
}

QString legend(int item, const HistoryStats& stats) {
    const HistoryItemInfo& info = history_item_info(item);
    QString text = QString::fromUtf8(info.name) + " ";
    text += history_missing(stats.current)
                ? QString("NA")
                : format_fixed(stats.current, info.decimals) + " " + QString::fromUtf8(info.unit);
    if (stats.any)
        text += " (" + format_fixed(stats.low, info.decimals) + "\u2013" +
                format_fixed(stats.high, info.decimals) + ")";
    return text;
}

int y_of(double value, const QRect& plot, double low, double high) {
    const double share = (value - low) / (high - low);
    return plot.bottom() - static_cast<int>(share * (plot.height() - 1) + 0.5);
}

}  // namespace

HistoryChart::HistoryChart(const History& history, QWidget* parent)
    : QWidget(parent), history_(history) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (auto& points : points_)
        points.reserve(History::kCapacity);
    lines_.reserve(2 * History::kCapacity);
}

void HistoryChart::set_window_seconds(uint32_t seconds) {
    window_ms_ = seconds * 1000;
    update();
}

QString HistoryChart::legend_text(int item, uint32_t now_ms) const {
    return legend(item, history_stats(history_, item, now_ms, window_ms_));
}

// Steps of 1, 2 or 5 times a power of ten, about three of them, the range widened to whole
// steps and to at least min_span.
HistoryChart::Scale HistoryChart::nice_scale(double low, double high, double min_span) {
    if (high - low < min_span) {
        const double middle = (low + high) / 2;
        low = middle - min_span / 2;
        high = middle + min_span / 2;
    }
    const double rough = (high - low) / 3;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    const double n = rough / power;
    const double step = (n <= 1.0 ? 1.0 : n <= 2.0 ? 2.0 : n <= 5.0 ? 5.0 : 10.0) * power;
    Scale scale{std::floor(low / step + 1e-9) * step, std::ceil(high / step - 1e-9) * step, step,
                std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)))};
    if (scale.high <= scale.low)
        scale.high = scale.low + step;
    return scale;
}

int HistoryChart::x_of_age(const QRect& plot, uint32_t age_ms) const {
    const uint64_t since_start = window_ms_ - std::min(age_ms, window_ms_);
    return plot.left() +
           static_cast<int>(since_start * static_cast<uint64_t>(plot.width() - 1) / window_ms_);
}

void HistoryChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const uint32_t now = current_clock().now_ms();
    const int line = fontMetrics().height();
    const int strip_height = (height() - line - 2 - (kStripCount - 1) * kStripGap) / kStripCount;
    legend_width_ = 0;
    for (const char* text : kWidestLegends)
        legend_width_ =
            std::max(legend_width_,
                     kSwatchWidth + 6 + fontMetrics().horizontalAdvance(QString::fromUtf8(text)));
    const int left = legend_width_ + kAxisWidth;
    QRect plot;
    for (int i = 0; i < kStripCount; ++i) {
        plot =
            QRect(left, i * (strip_height + kStripGap), width() - left - kAxisWidth, strip_height);
        paint_strip(painter, kStrips[i], plot, now);
        paint_marks(painter, kStrips[i], plot, now);
    }
    paint_time_labels(painter, plot, plot.bottom() + 2);
    if (history_.count_within(now, window_ms_) == 0) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QRect(left, 0, plot.width(), plot.bottom()), Qt::AlignCenter,
                         "No readings in this time yet");
    }
}

void HistoryChart::paint_strip(QPainter& painter, const HistoryStrip& strip, const QRect& plot,
                               uint32_t now_ms) {
    HistoryStats stats[3];
    const int count = strip.left_count + (strip.right >= 0 ? 1 : 0);
    for (int k = 0; k < count; ++k) {
        const int item = k < strip.left_count ? strip.left[k] : strip.right;
        stats[k] = history_trace(history_, item, now_ms, window_ms_, plot.width(), &points_[k]);
    }
    // The left scale covers every left item's readings in the window.
    bool any = false;
    double low = 0.0, high = 0.0, min_span = 0.0;
    for (int k = 0; k < strip.left_count; ++k) {
        min_span = std::max(min_span, kLooks[strip.left[k]].min_span);
        if (!stats[k].any)
            continue;
        low = any ? std::min<double>(low, stats[k].low) : stats[k].low;
        high = any ? std::max<double>(high, stats[k].high) : stats[k].high;
        any = true;
    }
    const Scale scale =
        strip.percent ? Scale{0.0, 100.0, 50.0, 0} : nice_scale(low, high, min_span);

    painter.fillRect(plot, palette().base());
    paint_time_grid(painter, plot);
    // The values keep clear of the frame, so that a line at the top or bottom shows.
    const QRect area = plot.adjusted(0, 3, 0, -3);
    const QColor text = palette().color(QPalette::WindowText);
    paint_value_axis(painter, area, scale, false, text);
    Scale right_scale{};
    if (strip.right >= 0) {
        const HistoryStats& r = stats[strip.left_count];
        right_scale =
            nice_scale(r.any ? r.low : 0.0, r.any ? r.high : 0.0, kLooks[strip.right].min_span);
        paint_value_axis(painter, area, right_scale, true, kLooks[strip.right].color);
    }

    painter.setClipRect(plot);
    for (int k = 0; k < count; ++k) {
        const int item = k < strip.left_count ? strip.left[k] : strip.right;
        painter.setPen(QPen(kLooks[item].color, 1));
        paint_line(painter, points_[k], area, k < strip.left_count ? scale : right_scale);
    }
    painter.setClipping(false);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(plot.adjusted(0, 0, -1, -1));

    // The legend beside the strip: a line of each item's colour, its name and readings.
    const int line = painter.fontMetrics().height();
    for (int k = 0; k < count; ++k) {
        const int item = k < strip.left_count ? strip.left[k] : strip.right;
        const int y = plot.top() + k * line;
        painter.fillRect(QRect(2, y + line / 2 - 1, 10, 3), kLooks[item].color);
        painter.setPen(text);
        painter.drawText(QRect(kSwatchWidth, y, legend_width_ - kSwatchWidth, line),
                         Qt::AlignLeft | Qt::AlignVCenter, legend(item, stats[k]));
    }
}

// Grid lines across the plot at the scale's steps, their values beside it: on the left in the
// text colour, on the right in the colour of the line they belong to. Labels that would touch
// are thinned out.
void HistoryChart::paint_value_axis(QPainter& painter, const QRect& plot, const Scale& scale,
                                    bool right, const QColor& color) {
    const int line = painter.fontMetrics().height();
    const int steps = static_cast<int>(std::lround((scale.high - scale.low) / scale.step));
    const int every = std::max(1, (steps + 1) * line / std::max(1, plot.height()) + 1);
    for (int i = 0; i <= steps; ++i) {
        const double value = scale.low + i * scale.step;
        const int y = y_of(value, plot, scale.low, scale.high);
        if (!right) {
            painter.setPen(kGrid);
            painter.drawLine(plot.left() + 1, y, plot.right() - 1, y);
        }
        if (i % every != 0)
            continue;
        const int top = std::clamp(y - line / 2, plot.top() - 3, plot.bottom() + 4 - line);
        const QRect box = right ? QRect(plot.right() + 4, top, kAxisWidth - 4, line)
                                : QRect(plot.left() - kAxisWidth, top, kAxisWidth - 4, line);
        painter.setPen(color);
        painter.drawText(box, (right ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter,
                         format_fixed(value, scale.decimals));
    }
}

// Each point is a vertical stroke over the readings of its column. Where the line goes on into
// the next column the stroke reaches back to the last reading before it; across empty columns
// a line joins them. One drawLines call for the whole line: vertical strokes are the cheapest
// thing a raster engine draws.
void HistoryChart::paint_line(QPainter& painter, const std::vector<HistoryPoint>& points,
                              const QRect& plot, const Scale& scale) {
    lines_.clear();
    const double per_unit = (plot.height() - 1) / (scale.high - scale.low);
    const int bottom = plot.bottom();
    auto y_of_value = [&](float value) {
        return bottom - static_cast<int>((value - scale.low) * per_unit + 0.5);
    };
    int last_x = 0, last_y = 0;
    for (const HistoryPoint& p : points) {
        const int x = plot.left() + p.column;
        int top = y_of_value(p.high), low = y_of_value(p.low);
        if (p.joins && x - last_x <= 1) {
            top = std::min(top, last_y);
            low = std::max(low, last_y);
        } else if (p.joins) {
            lines_.emplace_back(last_x, last_y, x, y_of_value(p.first));
        }
        lines_.emplace_back(x, top, x, low);
        last_x = x;
        last_y = y_of_value(p.last);
    }
    painter.drawLines(lines_.data(), static_cast<int>(lines_.size()));
}

void HistoryChart::paint_time_grid(QPainter& painter, const QRect& plot) {
    painter.setPen(kGrid);
    const uint32_t tick = time_tick_ms(window_ms_);
    for (uint32_t age = tick; age < window_ms_; age += tick) {
        const int x = x_of_age(plot, age);
        painter.drawLine(x, plot.top() + 1, x, plot.bottom() - 1);
    }
}

// Below the last strip: "-10 min" at the left end, "now" at the right one.
void HistoryChart::paint_time_labels(QPainter& painter, const QRect& plot, int top) {
    painter.setPen(palette().color(QPalette::WindowText));
    const int line = painter.fontMetrics().height();
    const uint32_t tick = time_tick_ms(window_ms_);
    for (uint32_t age = 0; age <= window_ms_; age += tick) {
        const int x = x_of_age(plot, age);
        const QString text = age_text(age, window_ms_);
        const int width = painter.fontMetrics().horizontalAdvance(text);
        const int at = std::clamp(x - width / 2, plot.left() - kAxisWidth, plot.right() - width);
        painter.drawText(QRect(at, top, width + 1, line), Qt::AlignLeft | Qt::AlignTop, text);
    }
}

// A dashed line at each change in every strip; its text in the strip of what changed, moved to
// the line's left near the right end and down a row (of the three at most that fit) where it
// would cover a text before it; where none is free, the line stands alone.
void HistoryChart::paint_marks(QPainter& painter, const HistoryStrip& strip, const QRect& plot,
                               uint32_t now_ms) {
    const int line = painter.fontMetrics().height();
    constexpr int kRows = 3;
    const int rows = std::clamp((plot.height() - 2) / line, 1, kRows);
    QRect taken[kRows];
    for (int i = 0; i < history_.mark_count(); ++i) {
        const HistoryMark& mark = history_.mark_at(i);
        const uint32_t age = now_ms - mark.time_ms;
        if (age > window_ms_)
            continue;
        const int x = x_of_age(plot, age);
        painter.setPen(QPen(kMark, 1, Qt::DashLine));
        painter.drawLine(x, plot.top() + 1, x, plot.bottom() - 1);
        const bool here = std::find(strip.left, strip.left + strip.left_count, mark.item) !=
                              strip.left + strip.left_count ||
                          strip.right == mark.item;
        if (!here)
            continue;
        const QString text = QString::fromStdString(mark.text);
        const int width = painter.fontMetrics().horizontalAdvance(text) + 4;
        const int at = x + 2 + width <= plot.right() ? x + 2 : x - 2 - width;
        for (int row = 0; row < rows; ++row) {
            const QRect box(at, plot.top() + 1 + row * line, width, line);
            if (box.intersects(taken[row]))
                continue;
            taken[row] = taken[row].united(box);
            painter.fillRect(box, palette().base());
            painter.setPen(kMark);
            painter.drawText(box, Qt::AlignCenter, text);
            break;
        }
    }
}
