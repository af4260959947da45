#pragma once
#include <algorithm>
#include <cstdlib>

#include "chart/Canvas.h"
#include "chart/compose/ColumnCoverage.h"

namespace zyn::chart {

// The lines of a series drawn with one solid opaque pen in one colour: the picture is the
// union of their pixels whatever the order, so runs along one row or column that overlap or
// adjoin are drawn as one line. A one-pixel line leaves out its last pixel; a wider one covers
// both ends and spreads about its centre line alike along the whole row or column, so its
// runs join where their boxes meet. The pen is set up before the first line, as drawing a
// segment does.
class TRunMerger {
public:
    TRunMerger(TChartCanvas3D& canvas, const TChartPen& pen, TColor color)
        : canvas_(canvas), pen_(pen), color_(color), width_(std::max<int>(1, pen.Width)) {}

    void Line(int x0, int y0, int x1, int y1) {
        if (x0 == x1 && y0 == y1) return;
        drawn_ = true;
        constexpr int kFar = 1 << 30;  // no run arithmetic near the ends of int
        const bool near = std::abs(x0) < kFar && std::abs(y0) < kFar && std::abs(x1) < kFar && std::abs(y1) < kFar;
        if (near && x0 == x1)
            Add(true, x0, y0, y1);
        else if (near && y0 == y1)
            Add(false, y0, x0, x1);
        else
            Draw(x0, y0, x1, y1);
    }

    // The centre-line pixels lo .. hi (inclusive) of column x, which the lines along it paint.
    void Column(int x, int lo, int hi) {
        drawn_ = true;
        Join(true, x, lo, hi);
    }
    // Whether a line of some length was given, which sets the canvas's pen.
    bool Drawn() const { return drawn_; }

    // Runs along a row or column are marked in bits as the boxes the canvas would paint for
    // them (see PenBoxes), which spares a canvas call per run while a capture is on.
    void IntoBits(TColumnCoverage& bits, const TChartCanvas3D::TPenBoxes& boxes) {
        bits_ = &bits;
        before_ = width_ > 1 ? boxes.Before : 0;
        after_ = width_ > 1 ? boxes.After : 0;
    }

    void Flush() {
        if (!pending_) return;
        pending_ = false;
        if (bits_) {
            const int left = vertical_ ? at_ : lo_, right = vertical_ ? at_ : hi_;
            const int top = vertical_ ? lo_ : at_, bottom = vertical_ ? hi_ : at_;
            bits_->MarkBox(TRect{left - before_, top - before_, right + after_ + 1, bottom + after_ + 1});
            return;
        }
        // A one-pixel run ends one pixel beyond its last pixel; a wide one at it.
        const int end = width_ == 1 ? hi_ + 1 : hi_;
        if (vertical_)
            Draw(at_, lo_, at_, end);
        else
            Draw(lo_, at_, end, at_);
    }

private:
    // The line from a to b along column or row at, as the pixels lo .. hi (inclusive) of its
    // centre line; runs whose pixels lie within the pen width of each other paint one box.
    void Add(bool vertical, int at, int a, int b) {
        int lo = std::min(a, b), hi = std::max(a, b);
        if (width_ == 1) {
            if (a < b) hi = b - 1; else lo = b + 1;
        }
        Join(vertical, at, lo, hi);
    }

    void Join(bool vertical, int at, int lo, int hi) {
        if (pending_ && vertical == vertical_ && at == at_ && lo <= hi_ + width_ && hi >= lo_ - width_) {
            lo_ = std::min(lo_, lo);
            hi_ = std::max(hi_, hi);
            return;
        }
        Flush();
        pending_ = true;
        vertical_ = vertical;
        at_ = at;
        lo_ = lo;
        hi_ = hi;
    }

    void Draw(int x0, int y0, int x1, int y1) {
        if (!ready_) {
            canvas_.AssignChartPen(pen_);
            canvas_.Brush.Style = TBrushStyle::bsClear;
            canvas_.Pen.Color = color_;
            ready_ = true;
        }
        canvas_.Line(x0, y0, x1, y1);
    }

    TChartCanvas3D& canvas_;
    const TChartPen& pen_;
    TColor color_;
    int width_;
    bool ready_ = false, drawn_ = false;
    bool pending_ = false, vertical_ = false;
    int at_ = 0, lo_ = 0, hi_ = 0;
    TColumnCoverage* bits_ = nullptr;
    int before_ = 0, after_ = 0;
};

}  // namespace zyn::chart
