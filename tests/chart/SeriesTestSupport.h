#pragma once
#include <memory>
#include <string>
#include <vector>

#include "chart/Chart.h"
#include "chart/RecordingCanvas.h"

namespace zyn::chart::test {

// A chart whose plot is the whole panel (no margins, border, bevels, title or axes) and whose
// bottom and left axes show 0 … width and 0 … height: a value v lies at column v and at row
// height − v, so the expected pixels can be read straight from the data.
struct TSeriesChart {
    int W, H;
    TChart chart{std::make_unique<TRecordingCanvas>()};

    explicit TSeriesChart(int w = 600, int h = 400) : W(w), H(h) {
        chart.SetBounds(w, h);
        chart.SetMargins(0, 0, 0, 0);
        chart.SetBorderWidth(0);
        chart.SetBevelOuter(TPanelBevel::bvNone);
        chart.SetAxisVisible(false);
        chart.SetView3D(false);
        chart.BottomAxis().SetRange(0, w);
        chart.LeftAxis().SetRange(0, h);
        chart.RightAxis().SetRange(0, h);
    }

    TRecordingCanvas& Rec() { return static_cast<TRecordingCanvas&>(chart.Canvas()); }

    template <class S>
    S& Add() {
        return chart.Add(std::make_unique<S>());
    }

    void Draw() {
        Rec().Clear();
        chart.DrawChart(TRect{0, 0, W, H});
    }

    // The calls of the k-th series drawn in the last frame: those between its SetClip and
    // ClearClip, one "Op(args)" text each (with the pen, brush and clip when withState).
    std::vector<std::string> SeriesCalls(int k = 0, bool withState = false) {
        std::vector<std::string> out;
        int block = -1;
        bool inside = false;
        for (const TCanvasCall& c : Rec().Calls) {
            if (c.Op == TCanvasOp::SetClip) {
                ++block;
                inside = block == k;
                continue;
            }
            if (c.Op == TCanvasOp::ClearClip) {
                if (inside) break;
                continue;
            }
            if (inside) out.push_back(c.ToString(withState));
        }
        return out;
    }

    // The recorded calls of the k-th series (for reading pen and brush state).
    std::vector<TCanvasCall> SeriesCallRecords(int k = 0) {
        std::vector<TCanvasCall> out;
        int block = -1;
        bool inside = false;
        for (const TCanvasCall& c : Rec().Calls) {
            if (c.Op == TCanvasOp::SetClip) {
                ++block;
                inside = block == k;
                continue;
            }
            if (c.Op == TCanvasOp::ClearClip) {
                if (inside) break;
                continue;
            }
            if (inside) out.push_back(c);
        }
        return out;
    }
};

using Calls = std::vector<std::string>;

}  // namespace zyn::chart::test
