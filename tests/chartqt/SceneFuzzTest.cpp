// Seeded random scenes against the engine's public API: line, candle and bar series of every
// setting the fast drawing may accept, on charts of every layout and pixel ratio, zoomed and
// panned. Each scene is drawn with the fast drawing (a series with more visible points than
// pixel columns leaves out what its later points cover) and point by point, from the same
// state, and the two frames must agree pixel for pixel; and two successive frames of the
// unchanged chart must agree too, once the layout has settled (the axes reserve their label
// space with the label step of the previous frame, so the first frames of a size may differ).
//
// A mismatch prints the scene's seed, a one-line description and the first differing pixel,
// then the description of a smaller scene that still fails.
//
//   ZYN_SCENES=N        scenes per family instead of the short run's (a long run: ZYN_SCENES=5000)
//   ZYN_SCENE_FIRST=F   the first scene of each family (to split a long run into parts)
//   ZYN_SCENE_SEED=S    replays the one scene S
//   ZYN_SCENE_TRACE=1   prints each scene's seed before it is drawn (to find one that crashes)
#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "TestApplication.h"
#include "chart/BarSeries.h"
#include "chart/CandleSeries.h"
#include "chart/Chart.h"
#include "chart/LineSeries.h"
#include "chart/qt/QtCanvas.h"

namespace zyn::chart {
namespace {

// ---- random numbers, the same on every machine ----

class TRandom {
public:
    explicit TRandom(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Int(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<std::uint64_t>(hi - lo + 1)); }
    double Real() { return static_cast<double>(Next() >> 11) * 0x1p-53; }
    double Real(double lo, double hi) { return lo + (hi - lo) * Real(); }
    bool Chance(double p) { return Real() < p; }
    template <class T, size_t N>
    T Pick(const T (&items)[N]) {
        return items[Next() % N];
    }

private:
    std::uint64_t state_;
};

// ---- the scene, as data ----

struct TPenSpec {
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = TPenStyle::psSolid;
    TPenMode Mode = TPenMode::pmCopy;
    bool Visible = true, SmallDots = false;
};

struct TValuesSpec {
    int Count = 0;
    // x: 0 one unit apart, 1 gaps, 2 repeated values, 3 a fraction of a unit apart, 4 long runs
    // of one value.
    int XKind = 0, XOffset = 0;
    double XStart = 0;
    // y: 0 random walk, 1 waves, 2 levels held for runs, 3 constant, 4 spikes, 5 a few values far
    // beyond the others (beyond the pixel range once zoomed).
    int YKind = 0;
    double YBase = 100, YScale = 1, YMultiplier = 1, XMultiplier = 1;
    // colours: 0 none of their own, 1 one, 2 runs of two, 3 each its own, 4 rising and falling.
    int Colours = 0;
    // null points: 0 none, 1 a few, 2 runs, 3 many.
    int Nulls = 0;
    std::uint64_t XSeed = 0, YSeed = 0;
    bool Unordered = false;  // the x list keeps no order
};

enum class TKind { Line, Candle, Bar };

struct TSeriesSpec {
    TKind Kind = TKind::Line;
    TValuesSpec Values;
    TColor SeriesColor = clAutoColor;
    bool RightAxis = false, TopAxis = false, Active = true, Hooks = false;
    // line
    bool PointerVisible = false, PointerStyleEvent = false, Stairs = false, InvertedStairs = false;
    TSeriesPointerStyle PointerStyle = TSeriesPointerStyle::psRectangle;
    int HorizSize = 4, VertSize = 4;
    TPenSpec PointerPen, LinePen;
    TBrushStyle PointerBrushStyle = TBrushStyle::bsSolid;
    TColor PointerBrushColor = clAutoColor;
    // candle
    TCandleStyle CandleStyle = TCandleStyle::csCandleStick;
    int CandleWidth = 5;
    TColor UpColor = clWhite, DownColor = clRed;
    bool OpenTick = true, CloseTick = true;
    // bar
    TBarStyle BarStyle = TBarStyle::bsRectangle;
    int BarWidthPercent = 70, CustomBarWidth = 0, OffsetPercent = 0;
    TMultiBar MultiBar = TMultiBar::mbSide;
    TPenSpec BarPen;
    TBrushStyle BarBrushStyle = TBrushStyle::bsSolid;
    TColor BarBrushColor = clAutoColor;
    bool UseYOrigin = true, SideMargins = true, AutoBarSize = false;
    double YOrigin = 0;
};

enum class TActionKind { Zoom, Unzoom, Pan, ZoomHorizontal, Scroll };

struct TAction {
    TActionKind Kind;
    double A, B, C, D;  // fractions of the plot, or factor and centre, or the scroll's fraction
};

struct TAxisSpec {
    bool Inverted = false, Labels = true, Visible = true;
    int FontSize = 8;
};

struct TSceneSpec {
    std::uint64_t Seed = 0;
    int Width = 400, Height = 250;
    double Ratio = 1;
    bool Clip = true, View3D = false, Legend = false, AxisVisible = true, Foot = false;
    int TitleLines = 1, BorderWidth = 0, BevelInner = 0, BevelOuter = 1;
    TColor Color = clBtnFace, BackColor = clAutoColor;
    TBrushStyle BackBrush = TBrushStyle::bsClear;
    TAxisSpec Axes[4];  // bottom, top, left, right
    std::vector<TSeriesSpec> Series;
    std::vector<TAction> Actions;
};

// ---- describing a scene in one line ----

std::string Hex(TColor c) {
    if (c == clNone) return "none";
    if (c == clAutoColor) return "auto";
    char text[16];
    std::snprintf(text, sizeof text, "%X", c);
    return text;
}

std::string Describe(const TPenSpec& p) {
    if (!p.Visible) return "hidden";
    static const char* styles[] = {"solid", "dash", "dot", "dashdot", "dashdotdot", "clear"};
    std::string s = "w" + std::to_string(p.Width) + " " + styles[static_cast<int>(p.Style)] + " " + Hex(p.Color);
    if (p.Mode == TPenMode::pmNotXor) s += " notxor";
    if (p.SmallDots) s += " smalldots";
    return s;
}

std::string Describe(const TSeriesSpec& s) {
    static const char* xKinds[] = {"unit", "gaps", "repeats", "fraction", "bunched"};
    static const char* yKinds[] = {"walk", "waves", "levels", "constant", "spikes", "far"};
    static const char* colours[] = {"auto", "one", "runs", "each", "updown"};
    static const char* nulls[] = {"", " nulls:few", " nulls:runs", " nulls:many"};
    static const char* pointers[] = {"rect", "circle", "triangle", "downtriangle", "cross", "diagcross", "star",
                                     "diamond", "smalldot"};
    static const char* brushes[] = {"solid", "clear", "horiz", "vert", "fdiag", "bdiag", "cross", "diagcross"};
    static const char* barStyles[] = {"rect", "pyramid", "invpyramid", "cilinder", "ellipse", "arrow", "gradient"};
    static const char* multi[] = {"none", "side", "stacked", "stacked100"};
    const TValuesSpec& v = s.Values;
    std::string d = s.Kind == TKind::Line ? "line" : s.Kind == TKind::Candle ? "candle" : "bar";
    d += " n=" + std::to_string(v.Count) + " x:" + xKinds[v.XKind] + (v.XOffset ? "+" + std::to_string(v.XOffset) : "") +
         (v.Unordered ? " unordered" : "") + " y:" + yKinds[v.YKind];
    if (v.YMultiplier != 1) d += "*" + std::to_string(v.YMultiplier).substr(0, 6);
    if (v.XMultiplier != 1) d += " x*" + std::to_string(v.XMultiplier).substr(0, 6);
    d += std::string(" col:") + colours[v.Colours] + nulls[v.Nulls] + " colour " + Hex(s.SeriesColor);
    d += s.RightAxis ? " right" : " left";
    if (s.TopAxis) d += " top";
    if (!s.Active) d += " inactive";
    if (s.Hooks) d += " hooks";
    switch (s.Kind) {
        case TKind::Line:
            if (s.PointerVisible)
                d += std::string(" pointer(") + pointers[static_cast<int>(s.PointerStyle)] + " " + std::to_string(s.HorizSize) +
                     "x" + std::to_string(s.VertSize) + " pen " + Describe(s.PointerPen) + " brush " +
                     brushes[static_cast<int>(s.PointerBrushStyle)] + " " + Hex(s.PointerBrushColor) +
                     (s.PointerStyleEvent ? " by event" : "") + ")";
            d += " line(" + Describe(s.LinePen) + ")";
            if (s.Stairs) d += s.InvertedStairs ? " stairs inverted" : " stairs";
            break;
        case TKind::Candle:
            d += s.CandleStyle == TCandleStyle::csCandleStick ? " stick" : " bar";
            d += " width " + std::to_string(s.CandleWidth) + " pen(" + Describe(s.PointerPen) + ") brush " +
                 brushes[static_cast<int>(s.PointerBrushStyle)] + " up " + Hex(s.UpColor) + " down " + Hex(s.DownColor);
            if (s.CandleStyle == TCandleStyle::csCandleBar) d += std::string(s.OpenTick ? " open" : "") + (s.CloseTick ? " close" : "");
            break;
        case TKind::Bar:
            d += std::string(" ") + barStyles[static_cast<int>(s.BarStyle)] + " " + std::to_string(s.BarWidthPercent) + "%";
            if (s.CustomBarWidth) d += " custom " + std::to_string(s.CustomBarWidth);
            if (s.OffsetPercent) d += " offset " + std::to_string(s.OffsetPercent);
            d += std::string(" multi ") + multi[static_cast<int>(s.MultiBar)] + " pen(" + Describe(s.BarPen) + ") brush " +
                 brushes[static_cast<int>(s.BarBrushStyle)] + " " + Hex(s.BarBrushColor);
            if (!s.UseYOrigin) d += " no origin";
            else if (s.YOrigin != 0) d += " origin " + std::to_string(s.YOrigin).substr(0, 8);
            if (!s.SideMargins) d += " no side margins";
            if (s.AutoBarSize) d += " auto size";
            break;
    }
    return d;
}

std::string Describe(const TSceneSpec& scene) {
    char head[96];
    std::snprintf(head, sizeof head, "%dx%d ratio %g", scene.Width, scene.Height, scene.Ratio);
    std::string d = head;
    if (!scene.Clip) d += " unclipped";
    if (scene.View3D) d += " 3D";
    if (scene.Legend) d += " legend";
    if (!scene.AxisVisible) d += " no axes";
    d += " title " + std::to_string(scene.TitleLines);
    if (scene.Foot) d += " foot";
    if (scene.BorderWidth) d += " border " + std::to_string(scene.BorderWidth);
    d += " panel " + Hex(scene.Color);
    if (scene.BackColor != clAutoColor) d += " wall " + Hex(scene.BackColor);
    static const char* names[] = {"bottom", "top", "left", "right"};
    for (int a = 0; a < 4; ++a) {
        const TAxisSpec& axis = scene.Axes[a];
        if (axis.Inverted) d += std::string(" ") + names[a] + " inverted";
        if (!axis.Labels) d += std::string(" ") + names[a] + " no labels";
        if (!axis.Visible) d += std::string(" ") + names[a] + " hidden";
        if (axis.FontSize != 8) d += std::string(" ") + names[a] + " font " + std::to_string(axis.FontSize);
    }
    for (const TSeriesSpec& s : scene.Series) d += " | " + Describe(s);
    static const char* actions[] = {"zoom", "unzoom", "pan", "wheel", "scroll"};
    for (const TAction& a : scene.Actions) {
        char text[96];
        std::snprintf(text, sizeof text, " | %s %.3g %.3g %.3g %.3g", actions[static_cast<int>(a.Kind)], a.A, a.B, a.C, a.D);
        d += text;
    }
    return d;
}

// ---- generating a scene ----

constexpr TColor kColours[] = {clRed, clGreen, clBlue, clMaroon, clFuchsia, clGray, clBlack, clWhite, 0x00C0FF, 0x408000, 0x7F007F};

TColor SomeColour(TRandom& r) {
    if (r.Chance(0.04)) return clBtnFace;
    return r.Pick(kColours);
}

// A pen: mostly solid, opaque and thin, sometimes anything.
TPenSpec SomePen(TRandom& r, double wide) {
    TPenSpec p;
    p.Visible = !r.Chance(0.07);
    p.Width = r.Chance(wide) ? r.Int(2, 4) : 1;
    if (r.Chance(0.12)) p.Style = static_cast<TPenStyle>(r.Int(1, 5));
    if (r.Chance(0.06)) p.Mode = TPenMode::pmNotXor;
    p.SmallDots = r.Chance(0.04);
    const double c = r.Real();
    p.Color = c < 0.04 ? clNone : c < 0.09 ? clAutoColor : c < 0.6 ? clBlack : SomeColour(r);
    return p;
}

TValuesSpec SomeValues(TRandom& r, int plotWidth, bool allowHuge) {
    TValuesSpec v;
    const double d = r.Real();
    const int columns = std::max(1, plotWidth);
    if (allowHuge && d < 0.05)
        v.Count = r.Int(20000, 100000);
    else if (d < 0.15)
        v.Count = r.Int(1, 60);
    else if (d < 0.4)
        v.Count = static_cast<int>(columns * r.Real(1.0, 4.0));
    else
        v.Count = static_cast<int>(columns * r.Real(4.0, 24.0));
    v.Count = r.Chance(0.02) ? 0 : std::clamp(v.Count, 1, 100000);
    const double x = r.Real();
    v.XKind = x < 0.55 ? 0 : x < 0.7 ? 1 : x < 0.85 ? 2 : x < 0.95 ? 3 : 4;
    v.XStart = r.Chance(0.5) ? 40000 : r.Chance(0.5) ? 0 : r.Real(-1e3, 1e3);
    v.XSeed = r.Next();
    v.YSeed = r.Next();
    v.YKind = r.Chance(0.06) ? 5 : r.Int(0, 4);
    v.YBase = r.Chance(0.1) ? 1e7 : r.Chance(0.3) ? 0 : 100;
    v.YScale = r.Chance(0.5) ? 1 : r.Chance(0.5) ? 0.01 : 50;
    const double m = r.Real();
    v.YMultiplier = m < 0.85 ? 1 : m < 0.9 ? 2 : m < 0.95 ? -1 : 0.001;
    const double c = r.Real();
    v.Colours = c < 0.4 ? 0 : c < 0.65 ? 1 : c < 0.8 ? 2 : c < 0.9 ? 3 : 4;
    const double n = r.Real();
    v.Nulls = n < 0.7 ? 0 : n < 0.85 ? 1 : n < 0.95 ? 2 : 3;
    v.Unordered = r.Chance(0.03);
    if (r.Chance(0.03)) v.XMultiplier = r.Chance(0.5) ? 2 : -1;
    return v;
}

void Plain(TRandom& r, TPenSpec& pen) {
    pen.Visible = true;
    pen.Style = TPenStyle::psSolid;
    pen.Mode = TPenMode::pmCopy;
    pen.SmallDots = false;
    if (pen.Color == clNone || pen.Color == clAutoColor) pen.Color = SomeColour(r);
}

void Plain(TRandom& r, TSeriesSpec& s) {
    switch (s.Kind) {
        case TKind::Line:
            Plain(r, s.LinePen);
            // An inverting line under pointers without an outline, whose fill then inverts too.
            if (r.Chance(0.2)) s.LinePen.Mode = TPenMode::pmNotXor;
            s.PointerStyleEvent = false;
            if (s.PointerVisible) {
                constexpr TSeriesPointerStyle filled[] = {TSeriesPointerStyle::psRectangle, TSeriesPointerStyle::psCircle,
                                                          TSeriesPointerStyle::psTriangle, TSeriesPointerStyle::psDownTriangle,
                                                          TSeriesPointerStyle::psDiamond};
                s.PointerStyle = r.Pick(filled);
                if (s.PointerPen.Visible) Plain(r, s.PointerPen);
                if (r.Chance(0.2)) s.PointerPen.Visible = false;
                s.PointerBrushStyle = TBrushStyle::bsSolid;
                if (s.PointerBrushColor == clNone) s.PointerBrushColor = clAutoColor;
                s.Values.Nulls = 0;
            } else {
                if (s.Values.Colours > 1) s.Values.Colours = 1;
                s.Values.Nulls = 0;
            }
            break;
        case TKind::Candle:
            s.CandleStyle = TCandleStyle::csCandleStick;
            Plain(r, s.PointerPen);
            s.PointerPen.Width = std::max(2, s.PointerPen.Width);
            s.PointerBrushStyle = TBrushStyle::bsSolid;
            // Without an outline the bodies fill in the pen mode the series before left.
            if (r.Chance(0.1)) s.PointerPen.Visible = false;
            break;
        case TKind::Bar: {
            constexpr TBarStyle boxes[] = {TBarStyle::bsRectangle, TBarStyle::bsCilinder, TBarStyle::bsRectGradient};
            s.BarStyle = r.Pick(boxes);
            s.CustomBarWidth = 0;
            s.MultiBar = r.Chance(0.5) ? TMultiBar::mbNone : TMultiBar::mbSide;
            const TPenStyle style = s.BarPen.Style == TPenStyle::psClear ? TPenStyle::psClear : TPenStyle::psSolid;
            Plain(r, s.BarPen);
            s.BarPen.Style = style;
            s.BarPen.Width = 1;
            s.BarBrushStyle = TBrushStyle::bsSolid;
            if (r.Chance(0.1)) s.BarPen.Visible = false;
            break;
        }
    }
}

TSeriesSpec SomeSeries(TRandom& r, TKind kind, int plotWidth, bool allowHuge) {
    TSeriesSpec s;
    s.Kind = kind;
    s.Values = SomeValues(r, plotWidth, allowHuge);
    s.SeriesColor = r.Chance(0.15) ? clAutoColor : SomeColour(r);
    s.RightAxis = r.Chance(0.5);
    s.TopAxis = r.Chance(0.12);
    s.Active = !r.Chance(0.04);
    s.Hooks = r.Chance(0.04);
    auto brushStyle = [&] {
        const double b = r.Real();
        return b < 0.85 ? TBrushStyle::bsSolid : b < 0.93 ? TBrushStyle::bsClear : static_cast<TBrushStyle>(r.Int(2, 7));
    };
    switch (kind) {
        case TKind::Line:
            s.PointerVisible = r.Chance(0.5);
            s.PointerStyle = static_cast<TSeriesPointerStyle>(r.Chance(0.5) ? r.Int(0, 1) : r.Int(0, 8));
            s.PointerStyleEvent = r.Chance(0.04);
            if (r.Chance(0.1)) {
                // Taller than a word of rows.
                s.HorizSize = r.Int(1, 40);
                s.VertSize = r.Int(28, 45);
            } else {
                s.HorizSize = r.Int(1, 6);
                s.VertSize = r.Chance(0.7) ? s.HorizSize : r.Int(1, 6);
            }
            s.PointerPen = SomePen(r, 0.25);
            s.PointerBrushStyle = brushStyle();
            s.PointerBrushColor = r.Chance(0.7) ? clAutoColor : r.Chance(0.1) ? clNone : SomeColour(r);
            s.LinePen = SomePen(r, 0.35);
            s.Stairs = r.Chance(0.3);
            s.InvertedStairs = r.Chance(0.5);
            break;
        case TKind::Candle:
            s.CandleStyle = r.Chance(0.85) ? TCandleStyle::csCandleStick : TCandleStyle::csCandleBar;
            s.CandleWidth = r.Chance(0.05) ? r.Int(-6, -1) : r.Int(0, 12);
            s.PointerPen = SomePen(r, 0.75);
            s.PointerBrushStyle = brushStyle();
            s.UpColor = r.Chance(0.05) ? clAutoColor : r.Chance(0.03) ? clNone : SomeColour(r);
            s.DownColor = r.Chance(0.05) ? clAutoColor : r.Chance(0.03) ? clNone : SomeColour(r);
            s.OpenTick = !r.Chance(0.2);
            s.CloseTick = !r.Chance(0.2);
            break;
        case TKind::Bar:
            s.BarStyle = r.Chance(0.5) ? TBarStyle::bsRectangle : static_cast<TBarStyle>(r.Int(0, 6));
            s.BarWidthPercent = r.Chance(0.5) ? 70 : r.Int(1, 100);
            s.CustomBarWidth = r.Chance(0.8) ? 0 : r.Chance(0.9) ? r.Int(1, 12) : r.Int(-6, -1);
            s.OffsetPercent = r.Chance(0.8) ? 0 : r.Int(-100, 100);
            s.MultiBar = static_cast<TMultiBar>(r.Int(0, 3));
            s.BarPen = SomePen(r, 0.2);
            if (r.Chance(0.15)) s.BarPen.Style = TPenStyle::psClear;
            s.BarBrushStyle = brushStyle();
            s.BarBrushColor = r.Chance(0.8) ? clAutoColor : SomeColour(r);
            s.UseYOrigin = !r.Chance(0.15);
            s.YOrigin = r.Chance(0.7) ? 0 : s.Values.YBase + r.Real(-5, 5) * s.Values.YScale;
            s.SideMargins = !r.Chance(0.2);
            s.AutoBarSize = r.Chance(0.05);
            break;
    }
    // Half the series keep to what the fast drawing takes, varied within it.
    if (r.Chance(0.5)) Plain(r, s);
    return s;
}

enum class TFamily { Lines = 1, Candles = 2, Bars = 3, Mixed = 4 };
constexpr std::uint64_t kFamilySeeds = 10'000'000;

TSceneSpec SomeScene(std::uint64_t seed) {
    TRandom r(seed * 0x2545F4914F6CDD1Dull + 17);
    const auto family = static_cast<TFamily>(seed / kFamilySeeds);
    TSceneSpec scene;
    scene.Seed = seed;
    scene.Width = r.Chance(0.1) ? r.Int(40, 140) : r.Int(140, 900);
    scene.Height = r.Chance(0.1) ? r.Int(40, 140) : r.Int(140, 600);
    const double ratios[] = {1, 1, 1, 1, 1.25, 1.5, 2, 2};
    scene.Ratio = r.Pick(ratios);
    scene.Clip = !r.Chance(0.15);
    scene.View3D = r.Chance(0.1);
    scene.Legend = r.Chance(0.3);
    scene.AxisVisible = !r.Chance(0.08);
    scene.TitleLines = r.Chance(0.3) ? 0 : r.Chance(0.7) ? 1 : 2;
    scene.Foot = r.Chance(0.2);
    scene.BorderWidth = r.Chance(0.6) ? 0 : r.Int(1, 4);
    scene.BevelInner = r.Int(0, 2);
    scene.BevelOuter = r.Int(0, 2);
    scene.Color = r.Chance(0.5) ? clBtnFace : SomeColour(r);
    if (r.Chance(0.2)) {
        scene.BackColor = SomeColour(r);
        scene.BackBrush = r.Chance(0.5) ? TBrushStyle::bsSolid : static_cast<TBrushStyle>(r.Int(0, 7));
    }
    for (TAxisSpec& axis : scene.Axes) {
        axis.Inverted = r.Chance(0.15);
        axis.Labels = !r.Chance(0.15);
        axis.Visible = !r.Chance(0.05);
        axis.FontSize = r.Chance(0.8) ? 8 : r.Int(5, 14);
    }
    // The plot's width, roughly, so that the points outnumber its columns as often as not.
    const int plotWidth = std::max(1, scene.Width * 8 / 10 - 60);
    const int count = r.Chance(0.5) ? 1 : r.Int(2, 4);
    bool huge = r.Chance(0.15);  // one series of up to 100,000 points at most
    for (int i = 0; i < count; ++i) {
        TKind kind = TKind::Line;
        switch (family) {
            case TFamily::Lines: kind = TKind::Line; break;
            case TFamily::Candles: kind = i == 0 || r.Chance(0.6) ? TKind::Candle : TKind::Line; break;
            case TFamily::Bars: kind = i == 0 || r.Chance(0.6) ? TKind::Bar : TKind::Line; break;
            case TFamily::Mixed: kind = static_cast<TKind>(r.Int(0, 2)); break;
        }
        TSeriesSpec s = SomeSeries(r, kind, plotWidth, huge);
        if (s.Values.Count > 20000) huge = false;
        // Series of the same x values, or of the same shifted by a point, as the viewer's
        // levels and their projection are.
        if (i > 0 && r.Chance(0.4)) {
            const TValuesSpec& before = scene.Series.back().Values;
            s.Values.Count = before.Count;
            s.Values.XKind = before.XKind;
            s.Values.XStart = before.XStart;
            s.Values.XSeed = before.XSeed;
            s.Values.XOffset = before.XOffset + (r.Chance(0.5) ? 1 : 0);
            s.Values.Unordered = before.Unordered;
        }
        scene.Series.push_back(s);
    }
    const int actions = r.Chance(0.4) ? 0 : r.Int(1, 3);
    for (int i = 0; i < actions; ++i) {
        TAction a{};
        const double k = r.Real();
        a.Kind = k < 0.35 ? TActionKind::Zoom : k < 0.4 ? TActionKind::Unzoom : k < 0.65 ? TActionKind::Pan
                 : k < 0.85 ? TActionKind::ZoomHorizontal : TActionKind::Scroll;
        a.A = r.Real();
        a.B = r.Real();
        a.C = r.Real();
        a.D = r.Real();
        if (a.Kind == TActionKind::Zoom) {
            // Mostly narrow drags: deep zooms into dense series.
            a.B = a.A + (1 - a.A) * (r.Chance(0.5) ? r.Real(0.02, 0.3) : r.Real());
            a.D = a.C + (1 - a.C) * r.Real();
        }
        if (a.Kind == TActionKind::ZoomHorizontal) a.A = r.Chance(0.8) ? r.Real(1.2, 12) : r.Real(0.2, 0.9);
        if (a.Kind == TActionKind::Scroll) a.A = r.Real(-0.9, 0.9);
        scene.Actions.push_back(a);
    }
    return scene;
}

// ---- building the chart of a scene ----

// Counts what the canvas is asked for by drawing that composes pixels.
struct TCountingCanvas final : TQtCanvas {
    long Boxes = 0, Captures = 0, ColumnBits = 0;
    bool PenBoxes(TPenBoxes& boxes) override {
        const bool b = TQtCanvas::PenBoxes(boxes);
        Boxes += b;
        return b;
    }
    bool BeginCapture(TPixelSink& sink) override {
        const bool b = TQtCanvas::BeginCapture(sink);
        Captures += b;
        return b;
    }
    bool FillColumnBits(int x, int top, int words, int columns, std::span<const TColumnBits> layers) override {
        const bool b = TQtCanvas::FillColumnBits(x, top, words, columns, layers);
        ColumnBits += b;
        return b;
    }
};

std::vector<double> XValuesOf(const TValuesSpec& v) {
    TRandom r(v.XSeed);
    std::vector<double> xs(static_cast<size_t>(v.Count + v.XOffset));
    double x = v.XStart;
    for (double& value : xs) {
        value = x;
        switch (v.XKind) {
            case 0: x += 1; break;
            case 1: x += r.Chance(0.8) ? 1 : r.Int(2, 40); break;
            case 2: x += r.Chance(0.4) ? 0 : 1; break;
            case 3: x += 0.37; break;
            default: x += r.Chance(0.005) ? r.Int(1, 20) : 0; break;
        }
    }
    xs.erase(xs.begin(), xs.begin() + v.XOffset);
    if (v.Unordered)
        for (size_t i = 0; i + 1 < xs.size(); i += 7) std::swap(xs[i], xs[i + 1]);
    return xs;
}

std::vector<double> YValuesOf(const TValuesSpec& v) {
    TRandom r(v.YSeed);
    std::vector<double> ys(static_cast<size_t>(v.Count));
    double y = v.YBase, level = v.YBase;
    const double period = r.Real(5, 500);
    for (size_t i = 0; i < ys.size(); ++i) {
        switch (v.YKind) {
            case 0: y += (r.Real() - 0.5) * 2 * v.YScale; break;
            case 1: y = v.YBase + 20 * v.YScale * std::sin(double(i) / period * 6.283) + (r.Real() - 0.5) * v.YScale; break;
            case 2:
                if (r.Chance(0.05)) level += (r.Real() - 0.5) * 20 * v.YScale;
                y = level;
                break;
            case 3: y = v.YBase; break;
            case 4: y = v.YBase + (r.Chance(0.03) ? (r.Real() - 0.3) * 100 * v.YScale : (r.Real() - 0.5) * v.YScale); break;
            default:
                y += (r.Real() - 0.5) * 2 * v.YScale;
                ys[i] = r.Chance(0.01) ? y + (r.Real() - 0.5) * 1e6 * v.YScale : y;
                continue;
        }
        ys[i] = y;
    }
    return ys;
}

std::vector<TColor> ColoursOf(const TValuesSpec& v, const std::vector<double>& ys) {
    TRandom r(v.YSeed ^ 0x5555);
    std::vector<TColor> colours(ys.size(), clAutoColor);
    const TColor one = SomeColour(r), other = SomeColour(r);
    bool second = false;
    bool nullRun = false;
    for (size_t i = 0; i < colours.size(); ++i) {
        switch (v.Colours) {
            case 1: colours[i] = one; break;
            case 2:
                if (r.Chance(0.02)) second = !second;
                colours[i] = second ? other : one;
                break;
            case 3: colours[i] = SomeColour(r); break;
            case 4: colours[i] = i > 0 && ys[i] < ys[i - 1] ? clRed : clGreen; break;
            default: break;
        }
        switch (v.Nulls) {
            case 1: if (r.Chance(0.01)) colours[i] = clNone; break;
            case 2:
                if (r.Chance(nullRun ? 0.1 : 0.01)) nullRun = !nullRun;
                if (nullRun) colours[i] = clNone;
                break;
            case 3: if (r.Chance(0.3)) colours[i] = clNone; break;
            default: break;
        }
    }
    return colours;
}

void Apply(TChartPen& pen, const TPenSpec& p) {
    pen.Color = p.Color;
    pen.Width = p.Width;
    pen.Style = p.Style;
    pen.Mode = p.Mode;
    pen.Visible = p.Visible;
    pen.SmallDots = p.SmallDots;
}

// A series of the scene's kind and settings, without points.
TChartSeries* NewSeries(TChart& chart, const TSeriesSpec& spec) {
    TChartSeries* series = nullptr;
    switch (spec.Kind) {
        case TKind::Line: {
            auto& s = chart.Add(std::make_unique<TLineSeries>());
            s.Pointer.SetVisible(spec.PointerVisible);
            s.Pointer.SetStyle(spec.PointerStyle);
            s.Pointer.SetHorizSize(spec.HorizSize);
            s.Pointer.SetVertSize(spec.VertSize);
            Apply(s.Pointer.Pen, spec.PointerPen);
            s.Pointer.Brush.Style = spec.PointerBrushStyle;
            s.Pointer.Brush.Color = spec.PointerBrushColor;
            if (spec.PointerStyleEvent)
                s.OnGetPointerStyle = [](TCustomSeries&, int i) {
                    return i % 3 ? TSeriesPointerStyle::psCircle : TSeriesPointerStyle::psRectangle;
                };
            Apply(s.LinePen, spec.LinePen);
            s.SetStairs(spec.Stairs);
            s.SetInvertedStairs(spec.InvertedStairs);
            series = &s;
            break;
        }
        case TKind::Candle: {
            auto& s = chart.Add(std::make_unique<TCandleSeries>());
            s.SetCandleStyle(spec.CandleStyle);
            s.SetCandleWidth(spec.CandleWidth);
            s.SetUpCloseColor(spec.UpColor);
            s.SetDownCloseColor(spec.DownColor);
            s.SetShowOpenTick(spec.OpenTick);
            s.SetShowCloseTick(spec.CloseTick);
            Apply(s.Pen(), spec.PointerPen);
            s.Pointer.Brush.Style = spec.PointerBrushStyle;
            series = &s;
            break;
        }
        case TKind::Bar: {
            auto& s = chart.Add(std::make_unique<TBarSeries>());
            s.SetBarStyle(spec.BarStyle);
            s.SetBarWidthPercent(spec.BarWidthPercent);
            s.SetCustomBarWidth(spec.CustomBarWidth);
            s.SetOffsetPercent(spec.OffsetPercent);
            s.SetMultiBar(spec.MultiBar);
            Apply(s.BarPen, spec.BarPen);
            s.BarBrush.Style = spec.BarBrushStyle;
            s.BarBrush.Color = spec.BarBrushColor;
            s.SetUseYOrigin(spec.UseYOrigin);
            s.SetYOrigin(spec.YOrigin);
            s.SetSideMargins(spec.SideMargins);
            s.SetAutoBarSize(spec.AutoBarSize);
            series = &s;
            break;
        }
    }
    return series;
}

void AddSeries(TChart& chart, const TSeriesSpec& spec) {
    const TValuesSpec& v = spec.Values;
    const std::vector<double> xs = XValuesOf(v), ys = YValuesOf(v);
    const std::vector<TColor> colours = ColoursOf(v, ys);
    TChartSeries* series = NewSeries(chart, spec);
    if (spec.SeriesColor != clAutoColor) series->SetSeriesColor(spec.SeriesColor);
    if (spec.RightAxis) series->SetVertAxis(TVertAxis::aRightAxis);
    if (spec.TopAxis) series->SetHorizAxis(THorizAxis::aTopAxis);
    if (v.Unordered) series->XValues().Order = TChartListOrder::loNone;
    series->Reserve(v.Count);
    if (spec.Kind == TKind::Candle) {
        auto& candles = static_cast<TCandleSeries&>(*series);
        TRandom r(v.YSeed ^ 0xCA4D1E);
        const double spread = std::max(std::fabs(v.YScale), 1e-9) * (v.YBase == 1e7 ? 1e5 : 1);
        for (size_t i = 0; i < xs.size(); ++i) {
            const double open = ys[i], close = r.Chance(0.1) ? open : ys[i] + (r.Real() - 0.5) * 4 * spread;
            const double high = std::max(open, close) + r.Real() * 2 * spread * (r.Chance(0.2) ? 0 : 1);
            const double low = std::min(open, close) - r.Real() * 2 * spread * (r.Chance(0.2) ? 0 : 1);
            const int index = candles.AddCandlePoint(xs[i], open, high, low, close);
            // A candle's own colour only makes it a null point or colours the next one's tie.
            if (colours[i] != clAutoColor) candles.SetPointColor(index, colours[i]);
        }
    } else {
        for (size_t i = 0; i < xs.size(); ++i) series->AddPoint(xs[i], ys[i], {}, colours[i]);
    }
    if (v.YMultiplier != 1) series->YValues().SetMultiplier(v.YMultiplier);
    if (v.XMultiplier != 1) series->XValues().SetMultiplier(v.XMultiplier);
    // Hooks around a series' drawing, which may paint themselves.
    if (spec.Hooks) {
        series->BeforeDrawValues = [](TChartSeries&) {};
        series->AfterDrawValues = [](TChartSeries&) {};
    }
    series->SetActive(spec.Active);
}

struct TScene {
    TCountingCanvas* canvas;
    TChart chart;
    explicit TScene(const TSceneSpec& spec) : TScene(std::make_unique<TCountingCanvas>(), spec) {}

private:
    TScene(std::unique_ptr<TCountingCanvas> c, const TSceneSpec& spec) : canvas(c.get()), chart(std::move(c)) {
        canvas->SetDevicePixelRatio(spec.Ratio);
        chart.SetView3D(spec.View3D);
        chart.ClipPoints = spec.Clip;
        chart.Legend.Visible = spec.Legend;
        chart.SetAxisVisible(spec.AxisVisible);
        chart.SetColor(spec.Color);
        chart.SetBorderWidth(spec.BorderWidth);
        chart.SetBevelInner(static_cast<TPanelBevel>(spec.BevelInner));
        chart.SetBevelOuter(static_cast<TPanelBevel>(spec.BevelOuter));
        chart.BackWall.Color = spec.BackColor;
        chart.BackWall.Brush.Style = spec.BackBrush;
        if (spec.TitleLines == 0) chart.Title.SetVisible(false);
        else chart.Title.SetText(spec.TitleLines == 1 ? std::vector<std::string>{"Scene"} : std::vector<std::string>{"Scene", "Two lines"});
        if (spec.Foot) chart.Foot.SetText({"Foot"});
        TChartAxis* axes[] = {&chart.BottomAxis(), &chart.TopAxis(), &chart.LeftAxis(), &chart.RightAxis()};
        for (int a = 0; a < 4; ++a) {
            axes[a]->SetInverted(spec.Axes[a].Inverted);
            axes[a]->SetLabels(spec.Axes[a].Labels);
            axes[a]->SetVisible(spec.Axes[a].Visible);
            axes[a]->LabelsFont.Size = spec.Axes[a].FontSize;
        }
        for (const TSeriesSpec& s : spec.Series) AddSeries(chart, s);
        chart.SetBounds(spec.Width, spec.Height);
    }
};

// ---- drawing and comparing ----

// What decides a frame's layout, and so the next frame's reserved label space.
std::vector<double> Layout(TChart& chart) {
    std::vector<double> layout = {double(chart.PlotRect.Left), double(chart.PlotRect.Top), double(chart.PlotRect.Right),
                                  double(chart.PlotRect.Bottom)};
    for (TCustomChartAxis* axis : chart.AxesList())
        for (double v : {double(axis->StartPixel), double(axis->EndPixel), double(axis->PixelLength), axis->RangeMin,
                         axis->RangeMax, double(axis->LabelsPosition), double(axis->TitlePosition), double(axis->LinePosition)})
            layout.push_back(v);
    return layout;
}

QImage Draw(TScene& scene, bool everyPoint) {
    scene.chart.DrawEveryPoint = everyPoint;
    scene.chart.InvalidateChart();
    scene.chart.DrawChart(TRect{0, 0, scene.chart.Width(), scene.chart.Height()});
    return scene.canvas->Image().copy();
}

// The first differing pixel and how many differ, or an empty text where the frames agree.
std::string Difference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return "sizes differ";
    long count = 0;
    int fx = -1, fy = -1;
    QRgb fa = 0, fb = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* ra = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        if (std::memcmp(ra, rb, static_cast<size_t>(a.width()) * sizeof(QRgb)) == 0) continue;
        for (int x = 0; x < a.width(); ++x) {
            if (ra[x] == rb[x]) continue;
            if (count++ == 0) {
                fx = x;
                fy = y;
                fa = ra[x];
                fb = rb[x];
            }
        }
    }
    if (count == 0) return {};
    const double ratio = a.devicePixelRatio();
    char text[160];
    std::snprintf(text, sizeof text, "%ld device pixels, first (%d, %d) = logical (%d, %d): %06X instead of %06X", count,
                  fx, fy, int(fx / ratio), int(fy / ratio), fa & 0xFFFFFFu, fb & 0xFFFFFFu);
    return text;
}

struct TOutcome {
    std::string Kind;    // empty where the scene passed
    std::string Detail;
    bool Composed = false;  // the fast drawing composed pixels in a compared frame
};

// Draws the chart until its layout repeats, then compares the last two composed frames and
// the point-by-point frame.
void CompareStage(TScene& scene, const char* stage, TOutcome& outcome) {
    constexpr int kMostFrames = 8;
    QImage previous = Draw(scene, false), frame;
    bool settled = false;
    for (int i = 1; i < kMostFrames && !settled; ++i) {
        const std::vector<double> layout = Layout(scene.chart);
        scene.canvas->Captures = scene.canvas->ColumnBits = scene.canvas->Boxes = 0;
        frame = Draw(scene, false);
        settled = Layout(scene.chart) == layout;
        if (!settled) previous = frame;
    }
    if (!settled) {
        outcome = {"layout does not settle", stage, false};
        return;
    }
    outcome.Composed |= scene.canvas->Captures + scene.canvas->ColumnBits + scene.canvas->Boxes > 0;
    std::string d = Difference(frame, previous);
    if (!d.empty()) {
        outcome = {"successive frames differ", std::string(stage) + ": " + d, outcome.Composed};
        return;
    }
    const QImage exact = Draw(scene, true);
    d = Difference(frame, exact);
    if (d.empty()) return;
    const std::string again = Difference(exact, Draw(scene, true));
    if (!again.empty())
        outcome = {"successive point-by-point frames differ", std::string(stage) + ": " + again, outcome.Composed};
    else
        outcome = {"composed frame differs from point by point", std::string(stage) + ": " + d, outcome.Composed};
}

void Act(TChart& chart, const TAction& a) {
    const TRect p = chart.PlotRect;
    auto at = [](int lo, int hi, double f) { return lo + static_cast<int>(f * (hi - lo)); };
    switch (a.Kind) {
        case TActionKind::Zoom:
        case TActionKind::Unzoom: {
            int x0 = at(p.Left, p.Right, a.A), x1 = at(p.Left, p.Right, a.B);
            int y0 = at(p.Top, p.Bottom, a.C), y1 = at(p.Top, p.Bottom, a.D);
            if (a.Kind == TActionKind::Unzoom) std::swap(x0, x1);
            chart.MouseDown(TMouseButton::mbLeft, ssLeft, x0, y0);
            chart.MouseMove(ssLeft, x1, y1);
            chart.MouseUp(TMouseButton::mbLeft, 0, x1, y1);
            break;
        }
        case TActionKind::Pan: {
            const int x0 = at(p.Left, p.Right, a.A), y0 = at(p.Top, p.Bottom, a.B);
            const int x1 = at(p.Left, p.Right, a.C), y1 = at(p.Top, p.Bottom, a.D);
            chart.MouseDown(TMouseButton::mbRight, ssRight, x0, y0);
            chart.MouseMove(ssRight, x1, y1);
            chart.MouseUp(TMouseButton::mbRight, 0, x1, y1);
            break;
        }
        case TActionKind::ZoomHorizontal:
            chart.ZoomHorizontal(a.A, chart.BottomAxis().PixelToValue(at(p.Left, p.Right, a.B)));
            break;
        case TActionKind::Scroll: chart.ScrollHorizontal(a.A); break;
    }
}

TOutcome RunScene(const TSceneSpec& spec) {
    TScene scene(spec);
    TOutcome outcome;
    CompareStage(scene, "whole view", outcome);
    if (!outcome.Kind.empty() || spec.Actions.empty()) return outcome;
    for (const TAction& a : spec.Actions) {
        Act(scene.chart, a);
        Draw(scene, false);
    }
    CompareStage(scene, "after zoom and scroll", outcome);
    return outcome;
}

// ---- making a failing scene smaller ----

// Drops actions, series, points and settings while the scene fails in the same way.
TSceneSpec Minimise(TSceneSpec spec, const std::string& kind) {
    auto fails = [&](const TSceneSpec& s) { return RunScene(s).Kind == kind; };
    std::vector<std::function<bool(TSceneSpec&)>> steps;
    for (size_t i = 0; i < 4; ++i)
        steps.push_back([i](TSceneSpec& s) {
            if (i >= s.Actions.size()) return false;
            s.Actions.erase(s.Actions.begin() + static_cast<long>(i));
            return true;
        });
    for (size_t i = 0; i < 4; ++i)
        steps.push_back([i](TSceneSpec& s) {
            if (i >= s.Series.size() || s.Series.size() == 1) return false;
            s.Series.erase(s.Series.begin() + static_cast<long>(i));
            return true;
        });
    steps.push_back([](TSceneSpec& s) { return std::exchange(s.TitleLines, 0) != 0; });
    steps.push_back([](TSceneSpec& s) { return std::exchange(s.Foot, false); });
    steps.push_back([](TSceneSpec& s) { return std::exchange(s.Legend, false); });
    steps.push_back([](TSceneSpec& s) { return std::exchange(s.View3D, false); });
    steps.push_back([](TSceneSpec& s) { return std::exchange(s.BorderWidth, 0) != 0; });
    steps.push_back([](TSceneSpec& s) { return std::exchange(s.BackColor, clAutoColor) != clAutoColor; });
    for (int a = 0; a < 4; ++a) {
        steps.push_back([a](TSceneSpec& s) { return std::exchange(s.Axes[a].Inverted, false); });
        steps.push_back([a](TSceneSpec& s) { return !std::exchange(s.Axes[a].Labels, true); });
        steps.push_back([a](TSceneSpec& s) { return std::exchange(s.Axes[a].FontSize, 8) != 8; });
    }
    for (size_t i = 0; i < 4; ++i) {
        steps.push_back([i](TSceneSpec& s) {
            if (i >= s.Series.size() || s.Series[i].Values.Count < 2) return false;
            s.Series[i].Values.Count /= 2;
            return true;
        });
        steps.push_back([i](TSceneSpec& s) { return i < s.Series.size() && std::exchange(s.Series[i].Values.Nulls, 0) != 0; });
        steps.push_back([i](TSceneSpec& s) { return i < s.Series.size() && std::exchange(s.Series[i].Values.Colours, 0) != 0; });
        steps.push_back([i](TSceneSpec& s) { return i < s.Series.size() && std::exchange(s.Series[i].Values.XKind, 0) != 0; });
        steps.push_back([i](TSceneSpec& s) { return i < s.Series.size() && std::exchange(s.Series[i].Values.YMultiplier, 1.0) != 1; });
        steps.push_back([i](TSceneSpec& s) { return i < s.Series.size() && std::exchange(s.Series[i].Values.XMultiplier, 1.0) != 1; });
    }
    constexpr int kMostRuns = 80;
    int runs = 0;
    for (bool progress = true; progress && runs < kMostRuns;) {
        progress = false;
        for (auto& step : steps) {
            TSceneSpec smaller = spec;
            if (!step(smaller)) continue;
            if (++runs > kMostRuns) break;
            if (fails(smaller)) {
                spec = smaller;
                progress = true;
            }
        }
    }
    return spec;
}

// ---- the runs ----

long EnvNumber(const char* name, long otherwise) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtol(text, nullptr, 10) : otherwise;
}

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

void RunFamily(TFamily family, long shortRun) {
    test::EnsureApplication();
    const long replay = EnvNumber("ZYN_SCENE_SEED", -1);
    const std::uint64_t base = static_cast<std::uint64_t>(family) * kFamilySeeds;
    if (replay >= 0 && static_cast<std::uint64_t>(replay) / kFamilySeeds != static_cast<std::uint64_t>(family)) {
        GTEST_SKIP() << "scene " << replay << " belongs to another family";
    }
#if defined(__SANITIZE_ADDRESS__)
    shortRun /= 4;  // eight times slower under the sanitizers
#endif
    const long scenes = replay >= 0 ? 1 : EnvNumber("ZYN_SCENES", shortRun);
    const long firstScene = EnvNumber("ZYN_SCENE_FIRST", 0);
    const bool trace = EnvNumber("ZYN_SCENE_TRACE", 0) != 0;
    const double start = CpuSeconds();
    long composed = 0, failed = 0;
    for (long i = 0; i < scenes; ++i) {
        const std::uint64_t seed = replay >= 0 ? static_cast<std::uint64_t>(replay) : base + static_cast<std::uint64_t>(firstScene + i);
        const TSceneSpec spec = SomeScene(seed);
        if (trace) {
            std::printf("scene %llu\n", static_cast<unsigned long long>(seed));
            std::fflush(stdout);
        }
        const TOutcome outcome = RunScene(spec);
        composed += outcome.Composed;
        if (outcome.Kind.empty()) continue;
        ++failed;
        std::string smaller;
        if (failed <= 5) smaller = "\n  still fails as: " + Describe(Minimise(spec, outcome.Kind));
        ADD_FAILURE() << "scene " << seed << ": " << outcome.Kind << " (" << outcome.Detail << ")\n  " << Describe(spec)
                      << smaller;
    }
    std::printf("%ld scenes, %ld composed, %ld failed, %.1f s of processor time\n", scenes, composed, failed,
                CpuSeconds() - start);
    // A generator that no longer reaches the fast drawing would prove nothing.
    if (replay < 0 && scenes >= 40) {
        EXPECT_GE(composed * 5, scenes) << "too few scenes took the fast drawing";
    }
}

// A shape without an outline fills in the pen mode the canvas holds, which a series that draws
// nothing leaves as it was: a line of one pixel, or candles that are all null points, between an
// inverting line and bars without an outline. Too rare for the random scenes to meet.
TEST(SceneFuzz, SeriesThatDrawNothingLeaveThePenMode) {
    test::EnsureApplication();
    for (const bool candles : {false, true}) {
        QImage frames[2];
        for (const bool everyPoint : {false, true}) {
            TChart chart(std::make_unique<TQtCanvas>());
            auto& inverting = chart.Add(std::make_unique<TLineSeries>());
            inverting.LinePen.Mode = TPenMode::pmNotXor;
            for (int i = 0; i < 10; ++i) inverting.AddPoint(i * 300, i % 3, {}, clRed);
            if (candles) {
                auto& nulls = chart.Add(std::make_unique<TCandleSeries>());
                nulls.Pen().Width = 2;
                for (int i = 0; i < 3000; ++i) nulls.SetPointColor(nulls.AddCandlePoint(i, 1, 2, 0, 1.5), clNone);
            } else {
                auto& dot = chart.Add(std::make_unique<TLineSeries>());
                for (int i = 0; i < 3000; ++i) dot.AddPoint(1500, 1, {}, clBlue);
            }
            auto& bars = chart.Add(std::make_unique<TBarSeries>());
            bars.BarPen.Visible = false;
            for (int i = 0; i < 10; ++i) bars.AddPoint(i * 300, 1.5, {}, clGreen);
            chart.SetBounds(400, 300);
            chart.DrawEveryPoint = everyPoint;
            chart.DrawChart(TRect{0, 0, 400, 300});
            frames[everyPoint] = static_cast<const TQtCanvas&>(chart.Canvas()).Image().copy();
        }
        EXPECT_EQ(Difference(frames[0], frames[1]), "") << (candles ? "null candles" : "a line of one pixel");
    }
}

// Dense bars whose values and origin all lie above the plot compose into no rows at all; the
// sanitizers see any reach into the rows that are not there.
TEST(SceneFuzz, DenseBarsAboveThePlot) {
    test::EnsureApplication();
    QImage frames[2];
    for (const bool everyPoint : {false, true}) {
        TChart chart(std::make_unique<TQtCanvas>());
        auto& bars = chart.Add(std::make_unique<TBarSeries>());
        bars.SetYOrigin(10);
        for (int i = 0; i < 5000; ++i) bars.AddPoint(i, 11 + i % 7, {}, clGreen);
        chart.LeftAxis().SetRange(0, 5);
        chart.SetBounds(400, 300);
        chart.DrawEveryPoint = everyPoint;
        chart.DrawChart(TRect{0, 0, 400, 300});
        EXPECT_EQ(bars.BarPixelWidth, 0);
        frames[everyPoint] = static_cast<const TQtCanvas&>(chart.Canvas()).Image().copy();
    }
    EXPECT_EQ(Difference(frames[0], frames[1]), "");
}

TEST(SceneFuzz, Lines) { RunFamily(TFamily::Lines, 100); }
TEST(SceneFuzz, Candles) { RunFamily(TFamily::Candles, 80); }
TEST(SceneFuzz, Bars) { RunFamily(TFamily::Bars, 80); }
TEST(SceneFuzz, Mixed) { RunFamily(TFamily::Mixed, 80); }

}  // namespace
}  // namespace zyn::chart
