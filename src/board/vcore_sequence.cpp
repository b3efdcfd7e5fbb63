// SPDX-License-Identifier: GPL-2.0-or-later
#include "board/vcore_sequence.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kVidTopMv = 1850;  // VID code 0
constexpr int kMvPerCode = 25;
constexpr uint8_t kVidEnable = 0x20;  // the chip drives the regulator with its own code

// The add-on entries in order of their offsets, lowest first.
struct Ladder {
    int count = 0;
    int offset_mv[kTableSlots] = {};
    uint8_t code[kTableSlots] = {};

    explicit Ladder(const VoltageTable& t) {
        for (int i = 0; i < kTableSlots && t.values[i] != TABLE_END; ++i) {
            int at = count++;
            const int mv = static_cast<int>(std::lround(t.values[i] * 1000.0));
            while (at > 0 && offset_mv[at - 1] > mv) {
                offset_mv[at] = offset_mv[at - 1];
                code[at] = code[at - 1];
                --at;
            }
            offset_mv[at] = mv;
            code[at] = t.codes[i] & t.mask;
        }
    }
    int index_of_code(uint8_t bits) const {
        for (int i = 0; i < count; ++i)
            if (code[i] == bits)
                return i;
        return -1;
    }
    int index_of_no_offset() const {
        for (int i = 0; i < count; ++i)
            if (offset_mv[i] == 0)
                return i;
        return 0;
    }
};

int sign(int x) {
    return (x > 0) - (x < 0);
}

class Planner {
  public:
    Planner(const VoltageTable& add_on, const VcoreMove& m) : table_(add_on), ladder_(add_on) {
        code_ = m.start_code;
        add_byte_ = m.add_byte;
        if (ladder_.count > 0) {
            add_ = ladder_.index_of_code(m.add_byte & add_on.mask);
            add_target_ = ladder_.index_of_code(m.target_add & add_on.mask);
            // Bits that select no entry of the table: the rail is taken as unlifted, as the
            // start-up reads it, and the final code is written even where no step is needed.
            if (add_ < 0) {
                add_ = ladder_.index_of_no_offset();
                add_rewrite_ = add_ == add_target_;
            }
        }
        // The VID register's bytes: every code from the start to the target, both included,
        // when stepping; the target alone otherwise. Nothing when the register holds it.
        const uint8_t target_byte = static_cast<uint8_t>(m.target_code | kVidEnable);
        if (m.code_by_code && !(m.start_code == m.target_code && m.vid_byte == target_byte)) {
            for (int c = m.start_code;; c += sign(m.target_code - m.start_code)) {
                vid_codes_.push_back(c);
                if (c == m.target_code)
                    break;
            }
        } else if (!m.code_by_code && m.vid_byte != target_byte) {
            vid_codes_.push_back(m.target_code);
        }
        code_by_code_ = m.code_by_code;
        const int start = rail(code_, add_);
        const int end = rail(m.target_code, add_target_);
        ceiling_ = std::max(start, end);
        floor_ = std::min(start, end);
    }

    std::vector<VcoreWrite> plan() {
        std::vector<VcoreWrite> writes;
        const bool rising = add_target_ > add_;
        const bool single_step = ladder_.count == 2;
        while (add_pending() || vid_pending()) {
            bool add_on;
            if (single_step) {
                // One big step: it comes where it carries the rail toward the target.
                add_on = rising ? !vid_pending() : add_pending();
            } else if (rising) {
                add_on = add_pending() && rail(code_, next_add()) <= ceiling_;
                add_on = add_on || !vid_pending();
            } else {
                add_on = add_pending() && rail(code_, next_add()) >= floor_;
                if (!add_on && !(vid_pending() && rail(next_code(), add_) <= ceiling_))
                    add_on = add_pending();
            }
            writes.push_back(add_on ? step_add_on() : step_vid());
        }
        // A single VID write is left to settle only when another write follows it.
        for (size_t i = 0; i < writes.size(); ++i)
            if (writes[i].target == VcoreWrite::Target::Vid && !code_by_code_)
                writes[i].settle_ms = i + 1 < writes.size() ? kVcoreStepMs : 0;
        return writes;
    }

  private:
    int rail(int code, int add) const {
        return kVidTopMv - code * kMvPerCode + (add >= 0 ? ladder_.offset_mv[add] : 0);
    }
    bool add_pending() const { return ladder_.count > 0 && (add_ != add_target_ || add_rewrite_); }
    bool vid_pending() const { return next_vid_ < vid_codes_.size(); }
    int next_add() const { return add_ + sign(add_target_ - add_); }
    int next_code() const { return vid_codes_[next_vid_]; }

    VcoreWrite step_add_on() {
        add_ = next_add();
        add_rewrite_ = false;
        add_byte_ = static_cast<uint8_t>(ladder_.code[add_] | (add_byte_ & ~table_.mask));
        return {VcoreWrite::Target::AddOn, add_byte_, kVcoreStepMs, rail(code_, add_),
                add_ == add_target_};
    }
    VcoreWrite step_vid() {
        code_ = next_code();
        ++next_vid_;
        return {VcoreWrite::Target::Vid, static_cast<uint8_t>(code_ | kVidEnable), kVcoreStepMs,
                rail(code_, add_), false};
    }

    const VoltageTable& table_;
    Ladder ladder_;
    int code_ = 0;
    int add_ = -1, add_target_ = -1;
    bool add_rewrite_ = false;
    uint8_t add_byte_ = 0;
    std::vector<int> vid_codes_;
    size_t next_vid_ = 0;
    bool code_by_code_ = false;
    int ceiling_ = 0, floor_ = 0;
};

}  // namespace

std::vector<VcoreWrite> plan_vcore_move(const VoltageTable& add_on, const VcoreMove& move) {
    return Planner(add_on, move).plan();
}
