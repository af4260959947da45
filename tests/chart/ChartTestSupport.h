#pragma once
#include <memory>

#include "chart/Chart.h"
#include "chart/RecordingCanvas.h"

namespace zyn::chart::test {

// A chart drawing into a recording canvas (fake metrics: 6 px per character, Arial 8 → 14).
struct TRecordedChart {
    TChart chart{std::make_unique<TRecordingCanvas>()};
    TRecordingCanvas& Rec() { return static_cast<TRecordingCanvas&>(chart.Canvas()); }
    void Frame(int w, int h) {
        chart.SetBounds(w, h);
        Rec().Clear();
        chart.DrawChart(TRect{0, 0, w, h});
    }
};

// A plain series for the core tests: draws nothing of its own.
class TPlainSeries : public TChartSeries {};

}  // namespace zyn::chart::test
