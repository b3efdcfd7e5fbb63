// SPDX-License-Identifier: GPL-2.0-or-later
// The History tab's charts: one strip per unit (°C, RPM, the core-side volts, the supply volts,
// MHz, %) over the last 10 minutes, hour or six hours, drawn with QPainter alone. Each strip has
// its lines, a legend with each line's current value and its lowest and highest in the window,
// a value axis, the shared time axis, and a vertical mark where an Apply, a preset or an AutoFSB
// run changed the FSB or the core voltage. A missing reading leaves a gap in its line.
//
// A redraw costs one pass over the window's samples per line and a few hundred line segments:
// the lines are cut down to one vertical stroke per pixel column (lowest to highest reading in
// it), so six hours cost about what ten minutes do, on the CPUs of the boards this tool is for.
#pragma once

#include <QLine>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "automation/history.h"

class QPainter;
struct HistoryStrip;

class HistoryChart : public QWidget {
    Q_OBJECT

  public:
    explicit HistoryChart(const History& history, QWidget* parent = nullptr);

    // The span shown, ending at the clock's now.
    void set_window_seconds(uint32_t seconds);
    uint32_t window_seconds() const { return window_ms_ / 1000; }

    // An item's legend as the chart draws it at now_ms: "CPU 45 °C (40–52)", the current value
    // and the lowest and highest of the window; "FAN3 NA" without readings.
    QString legend_text(int item, uint32_t now_ms) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    struct Scale {
        double low, high, step;
        int decimals;
    };
    static Scale nice_scale(double low, double high, double min_span);
    // The x of the instant age_ms before the window's end, as history_trace's columns have it.
    int x_of_age(const QRect& plot, uint32_t age_ms) const;
    void paint_strip(QPainter& painter, const HistoryStrip& strip, const QRect& plot,
                     uint32_t now_ms);
    void paint_value_axis(QPainter& painter, const QRect& plot, const Scale& scale, bool right,
                          const QColor& color);
    void paint_line(QPainter& painter, const std::vector<HistoryPoint>& points, const QRect& plot,
                    const Scale& scale);
    void paint_time_grid(QPainter& painter, const QRect& plot);
    void paint_time_labels(QPainter& painter, const QRect& plot, int top);
    void paint_marks(QPainter& painter, const HistoryStrip& strip, const QRect& plot,
                     uint32_t now_ms);

    const History& history_;
    uint32_t window_ms_ = 600000;
    int legend_width_ = 0;  // worked out from the font at each redraw
    // Reused at every redraw: no allocation once they have grown.
    std::vector<HistoryPoint> points_[3];
    std::vector<QLine> lines_;
};
