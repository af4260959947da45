#include "chart/qt/QtCanvas.h"

#include <cwchar>

#include <sys/mman.h>

#include <QGuiApplication>
#include <QPalette>
#include <QPolygon>
#include <QString>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define ZYN_FILL_BY_ROWS 1
#endif

namespace zyn::chart {

namespace {

#ifdef ZYN_FILL_BY_ROWS
// The compiler's own intrinsics leave the unused source of a masked operation undefined on
// purpose, which its flow analysis takes for an uninitialised value.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#define ZYN_ROW_TARGET __attribute__((target("avx512f,avx512bw,avx512dq,avx512vbmi,gfni")))
// The bits of 8 column words (lane j: column j) as 64 row masks (byte r: bit j for column j's
// row r): qword b gathers byte b of every column, the last column first, and each such 8 x 8
// matrix is transposed. Two such halves are then interleaved into 16-column masks.
struct TRowMasks {
    __m512i Regroup, LowRows, HighRows, Identity;
    ZYN_ROW_TARGET TRowMasks() {
        alignas(64) std::uint8_t regroup[64], low[64], high[64];
        for (int p = 0; p < 64; ++p) {
            regroup[p] = static_cast<std::uint8_t>(8 * (7 - p % 8) + p / 8);
            low[p] = static_cast<std::uint8_t>((p % 2 ? 64 : 0) + p / 2);
            high[p] = static_cast<std::uint8_t>((p % 2 ? 64 : 0) + 32 + p / 2);
        }
        Regroup = _mm512_load_si512(regroup);
        LowRows = _mm512_load_si512(low);
        HighRows = _mm512_load_si512(high);
        Identity = _mm512_set1_epi64(static_cast<long long>(0x8040201008040201ULL));
    }
    // out[r]: bit i for column i's row r, columns 0-7 from left and 8-15 from right.
    [[gnu::always_inline]] ZYN_ROW_TARGET inline void Transpose(__m512i left, __m512i right, __mmask16* out) const {
        const __m512i l = _mm512_gf2p8affine_epi64_epi8(Identity, _mm512_permutexvar_epi8(Regroup, left), 0);
        const __m512i r = _mm512_gf2p8affine_epi64_epi8(Identity, _mm512_permutexvar_epi8(Regroup, right), 0);
        _mm512_store_si512(out, _mm512_permutex2var_epi8(l, LowRows, r));
        _mm512_store_si512(out + 32, _mm512_permutex2var_epi8(l, HighRows, r));
    }
};

// Blocks of 16 columns by 64 rows of column bits written row by row, where the processor has
// 16-lane masked stores and bit transposition: a row of a block is one store, each lane in the
// colour of the last layer that marks it (up to kLayersAtOnce layers at a time; more are
// written in turns, in order). `image` holds device row 0, whose pixel x is the bits' first
// column.
ZYN_ROW_TARGET void FillColumnBitsByRows(
    uchar* image, int x, qsizetype stride, int top, int words, int from, int to, int firstRow, int lastRow,
    const std::uint64_t* const* layers, const QRgb* rgb, size_t n) {
    constexpr size_t kLayersAtOnce = 16;
    // Blocks begin where a row's 16 pixels are one cache line (in the rows whose start lies
    // like the first's), so that writing a row of a block touches one line and not two.
    uchar* const pixels = image + qsizetype(x) * 4;
    const auto skew = static_cast<int>(reinterpret_cast<std::uintptr_t>(pixels) % 64 / 4);
    int start = from - (skew + from) % 16;
    if (reinterpret_cast<std::uintptr_t>(pixels) % 4 != 0 || x + start < 0) start = from;
    const __m512i lane = _mm512_set_epi64(7, 6, 5, 4, 3, 2, 1, 0), apart = _mm512_set1_epi64(words);
    const TRowMasks rowMasks;
    // Per row r: masks[b][r] the lanes whose layer's number has bit b, masks[kAny][r] those
    // any layer marks.
    constexpr int kAny = 4;
    alignas(64) __mmask16 masks[kAny + 1][64];
    for (int strip = start; strip < to; strip += 16) {
        // Lane i holds column strip + i, where it lies in from .. to - 1; the words of the
        // columns lie `words` apart and are gathered, not stored and reloaded.
        const int firstLane = std::max(0, from - strip), endLane = std::min(16, to - strip);
        const auto valid = static_cast<unsigned>(((1u << endLane) - 1) & ~((1u << firstLane) - 1));
        const auto leftColumns = static_cast<__mmask8>(valid & 0xFF), rightColumns = static_cast<__mmask8>(valid >> 8);
        const __m512i leftAt = _mm512_mullo_epi64(_mm512_add_epi64(_mm512_set1_epi64(strip - from), lane), apart);
        const __m512i rightAt = _mm512_add_epi64(leftAt, _mm512_mullo_epi64(_mm512_set1_epi64(8), apart));
        uchar* column = pixels + qsizetype(strip) * 4;
        for (int w = 0; w < words; ++w) {
            const std::int64_t base = std::int64_t(top) + 64 * w;
            const std::int64_t lo = std::max<std::int64_t>(firstRow - base, 0), hi = std::min<std::int64_t>(lastRow - base, 63);
            if (lo > hi) continue;
            const std::uint64_t visible = (~std::uint64_t(0) >> (63 - hi)) & (~std::uint64_t(0) << lo);
            const __m512i shown = _mm512_set1_epi64(static_cast<long long>(visible));
            for (size_t l0 = 0; l0 < n; l0 += kLayersAtOnce) {
                const size_t count = std::min(kLayersAtOnce, n - l0);
                // Four bits of the layer number whatever the count, so that the loops over
                // them unroll.
                constexpr int bits = 4;
                __m512i left[kAny + 1], right[kAny + 1];
                for (int b = 0; b <= kAny; ++b) left[b] = right[b] = _mm512_setzero_si512();
                for (size_t l = 0; l < count; ++l) {
                    const std::uint64_t* first =
                        layers[l0 + l] + static_cast<size_t>(from) * static_cast<size_t>(words) + static_cast<size_t>(w);
                    const __m512i none = _mm512_setzero_si512();
                    const __m512i a = _mm512_and_si512(_mm512_mask_i64gather_epi64(none, leftColumns, leftAt, first, 8), shown);
                    const __m512i c = _mm512_and_si512(_mm512_mask_i64gather_epi64(none, rightColumns, rightAt, first, 8), shown);
                    // A later layer takes the pixels it marks from the earlier ones.
                    for (int b = 0; b < bits; ++b) {
                        left[b] = (l >> b) & 1 ? _mm512_or_si512(left[b], a) : _mm512_andnot_si512(a, left[b]);
                        right[b] = (l >> b) & 1 ? _mm512_or_si512(right[b], c) : _mm512_andnot_si512(c, right[b]);
                    }
                    left[kAny] = _mm512_or_si512(left[kAny], a);
                    right[kAny] = _mm512_or_si512(right[kAny], c);
                }
                alignas(64) std::uint64_t either[8];
                _mm512_store_si512(either, _mm512_or_si512(left[kAny], right[kAny]));
                std::uint64_t rows = 0;
                for (const std::uint64_t word : either) rows |= word;
                if (!rows) continue;
                for (int b = 0; b < bits; ++b) rowMasks.Transpose(left[b], right[b], masks[b]);
                rowMasks.Transpose(left[kAny], right[kAny], masks[kAny]);
                const __m512i colours = _mm512_maskz_loadu_epi32(static_cast<__mmask16>((1u << count) - 1), rgb + l0);
                for (; rows; rows &= rows - 1) {
                    const int r = std::countr_zero(rows);
                    __m512i index = _mm512_setzero_si512();
                    for (int b = 0; b < bits; ++b)
                        index = _mm512_mask_or_epi32(index, _load_mask16(&masks[b][r]), index, _mm512_set1_epi32(1 << b));
                    _mm512_mask_storeu_epi32(column + qsizetype(base + r) * stride, _load_mask16(&masks[kAny][r]),
                                             _mm512_permutexvar_epi32(index, colours));
                }
            }
        }
    }
}
#pragma GCC diagnostic pop
#undef ZYN_ROW_TARGET
const bool gHasRowStores = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                           __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vbmi") &&
                           __builtin_cpu_supports("gfni");
#endif
bool gRowStoresAllowed = true;

// The styles of one-pixel pens, stepped per pixel along the line: runs of on/off pixels.
struct TDashTable {
    std::array<bool, 24> Bits{};
    int Period = 0;
    constexpr TDashTable(std::initializer_list<int> runs) {
        bool on = true;
        for (int run : runs) {
            for (int i = 0; i < run; ++i) Bits[Period++] = on;
            on = !on;
        }
    }
};

constexpr TDashTable DashStyle{18, 6};
constexpr TDashTable DotStyle{3, 3};
constexpr TDashTable DashDotStyle{9, 6, 3, 6};
constexpr TDashTable DashDotDotStyle{9, 3, 3, 3, 3, 3};
constexpr TDashTable SmallDotStyle{1, 1};

QRect Span(int x0, int y0, int x1, int y1) { return QRect(x0, y0, x1 - x0 + 1, y1 - y0 + 1); }

bool IsBox(std::span<const TPoint> p) {
    // Four corners of an axis-aligned rectangle in either winding.
    if (p.size() != 4) return false;
    const bool a = p[0].Y == p[1].Y && p[1].X == p[2].X && p[2].Y == p[3].Y && p[3].X == p[0].X;
    const bool b = p[0].X == p[1].X && p[1].Y == p[2].Y && p[2].X == p[3].X && p[3].Y == p[0].Y;
    return a || b;
}

}  // namespace

TQtCanvas::TQtCanvas() = default;

TQtCanvas::~TQtCanvas() {
    if (FPainter.isActive()) FPainter.end();
}

int TQtCanvas::FontPixelSize(int points) { return Round(points * 96.0 / 72.0); }

bool TQtCanvas::ResolveColor(TColor c, QColor& out) {
    if (!IsSystemColor(c)) {
        out = QColor(RedOf(c), GreenOf(c), BlueOf(c));
        return true;
    }
    if (c == clAutoColor) return false;
    const QPalette pal = QGuiApplication::palette();
    QPalette::ColorRole role;
    QPalette::ColorGroup group = QPalette::Active;
    switch (c & 0xFF) {
        case 5: role = QPalette::Base; break;                 // window background
        case 8: role = QPalette::WindowText; break;           // window text
        case 13: role = QPalette::Highlight; break;
        case 14: role = QPalette::HighlightedText; break;
        case 15: role = QPalette::Button; break;              // button face
        case 16: role = QPalette::Dark; break;                // button shadow
        case 17: role = QPalette::Text; group = QPalette::Disabled; break;  // grey text
        case 18: role = QPalette::ButtonText; break;
        case 20: role = QPalette::Light; break;               // button highlight
        case 21: role = QPalette::Shadow; break;              // dark 3D shadow
        case 22: role = QPalette::Midlight; break;            // 3D light
        case 23: role = QPalette::ToolTipText; break;
        case 24: role = QPalette::ToolTipBase; break;
        case 7: role = QPalette::WindowText; break;           // menu text
        default: role = QPalette::Window; break;              // faces, borders, workspace
    }
    out = pal.color(group, role);
    return true;
}

// --- state ------------------------------------------------------------------------------

void TQtCanvas::ResetPainterState() {
    FPainter.setRenderHint(QPainter::Antialiasing, false);
    FPainter.setRenderHint(QPainter::TextAntialiasing, true);
    FPainterPen = TPainterPen::Unknown;
    FPainterBrushSet = false;
    FPainterFont = nullptr;
    FComposition = QPainter::CompositionMode_SourceOver;
}

bool TQtCanvas::Ready() {
    if (!FPainter.isActive()) {
        QPaintDevice* device = FExternal;
        if (!device && !FImage.isNull()) device = &FImage;
        if (!device || !FPainter.begin(device)) return false;
        ResetPainterState();
        FScale = 0;
        FFraction = 0;
        const qreal ratio = FImage.devicePixelRatio();
        if (!FExternal && ratio >= 1 && ratio <= 8) {
            // After begin() the image is unshared, so this does not copy it.
            FBits = FImage.bits();
            FStride = FImage.bytesPerLine();
            if (ratio == std::floor(ratio))
                FScale = int(ratio);
            else
                FFraction = ratio;
        }
        ApplyClip();
    }
    return !FClipEmpty;
}

void TQtCanvas::ApplyClip() {
    // Lines are only walked over the part that can show; beyond the image Qt clips anyway.
    const QRect bounds = FExternal ? QRect(-32768, -32768, 65536, 65536) : QRect(0, 0, FWidth, FHeight);
    FClipEmpty = false;
    if (FClipped) {
        FClipEmpty = FClip.IsEmpty();
        const QRect clip = FClipEmpty ? QRect() : QRect(FClip.Left, FClip.Top, FClip.Width(), FClip.Height());
        FVisible = bounds & clip;
        if (FPainter.isActive() && !FClipEmpty) FPainter.setClipRect(clip);
    } else {
        FVisible = bounds;
        if (FPainter.isActive()) FPainter.setClipping(false);
    }
}

void TQtCanvas::SetClip(const TRect& r) {
    FClipped = true;
    FClip = r;
    if (FPainter.isActive()) ApplyClip();
}

void TQtCanvas::ClearClip() {
    FClipped = false;
    FClip = TRect{};
    if (FPainter.isActive()) ApplyClip();
}

void TQtCanvas::SetComposition(QPainter::CompositionMode mode) {
    if (FComposition != mode) {
        FComposition = mode;
        FPainter.setCompositionMode(mode);
    }
}

void TQtCanvas::ApplyPen() {
    if (FPenValid && Pen == FAppliedPen) return;
    FAppliedPen = Pen;
    FPenValid = true;
    const int width = std::max(1, Pen.Width);
    FPenVisible = Pen.Style != TPenStyle::psClear && ResolveColor(Pen.Color, FPenColor);
    FPenRgb = FPenColor.rgb();
    FPenThin = width == 1;
    FPenComposition = Pen.Mode == TPenMode::pmNotXor ? QPainter::RasterOp_NotSourceXorDestination
                                                      : QPainter::CompositionMode_SourceOver;
    // Styles exist for one-pixel pens only; wider ones draw solid.
    const TDashTable* dash = nullptr;
    if (FPenThin) {
        if (Pen.SmallDots) {
            dash = &SmallDotStyle;
        } else {
            switch (Pen.Style) {
                case TPenStyle::psDash: dash = &DashStyle; break;
                case TPenStyle::psDot: dash = &DotStyle; break;
                case TPenStyle::psDashDot: dash = &DashDotStyle; break;
                case TPenStyle::psDashDotDot: dash = &DashDotDotStyle; break;
                default: break;
            }
        }
    }
    FDash = dash ? dash->Bits.data() : nullptr;
    FDashPeriod = dash ? dash->Period : 0;
    if (!FPenThin) {
        FWidePen = QPen(FPenColor, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        if (FPainterPen == TPainterPen::Wide) FPainterPen = TPainterPen::Unknown;
    }
}

void TQtCanvas::ApplyBrush() {
    if (FBrushValid && Brush == FAppliedBrush) return;
    FAppliedBrush = Brush;
    FBrushValid = true;
    FBrushVisible = Brush.Style != TBrushStyle::bsClear && ResolveColor(Brush.Color, FBrushColor);
    FBrushRgb = FBrushColor.rgb();
    FBrushSolid = Brush.Style == TBrushStyle::bsSolid;
    Qt::BrushStyle style = Qt::SolidPattern;
    switch (Brush.Style) {
        case TBrushStyle::bsHorizontal: style = Qt::HorPattern; break;
        case TBrushStyle::bsVertical: style = Qt::VerPattern; break;
        case TBrushStyle::bsFDiagonal: style = Qt::FDiagPattern; break;
        case TBrushStyle::bsBDiagonal: style = Qt::BDiagPattern; break;
        case TBrushStyle::bsCross: style = Qt::CrossPattern; break;
        case TBrushStyle::bsDiagCross: style = Qt::DiagCrossPattern; break;
        default: break;
    }
    FQtBrushStyle = style;
    FQtBrushStale = true;
    FPainterBrushSet = false;
}

const QBrush& TQtCanvas::QtBrush() {
    if (FQtBrushStale) {
        FQtBrush = QBrush(FBrushColor, FQtBrushStyle);
        FQtBrushStale = false;
    }
    return FQtBrush;
}

TQtCanvas::TFontEntry& TQtCanvas::CurrentFont() {
    if (FFont && FFont->Key == Font) return *FFont;
    for (auto& entry : FFonts) {
        if (entry->Key == Font) {
            FFont = entry.get();
            return *FFont;
        }
    }
    // A chart uses a handful of fonts; keep the recent ones with their measured widths.
    if (FFonts.size() >= 16) {
        if (FPainterFont == FFonts.front().get()) FPainterFont = nullptr;
        FFonts.erase(FFonts.begin());
    }
    QFont qf(QString::fromStdString(Font.Name));
    qf.setPixelSize(std::max(1, FontPixelSize(Font.Size)));
    qf.setBold(Font.Bold);
    qf.setItalic(Font.Italic);
    qf.setUnderline(Font.Underline);
    qf.setStrikeOut(Font.StrikeOut);
    auto entry = std::unique_ptr<TFontEntry>(new TFontEntry{Font, qf, QFontMetrics(qf), 0, 0, {}, {}});
    entry->Height = entry->Metrics.height();
    entry->Ascent = entry->Metrics.ascent();
    FFont = entry.get();
    FFonts.push_back(std::move(entry));
    return *FFont;
}

// --- pixel helpers ----------------------------------------------------------------------

// Solid spans of logical pixels. On the frame image at a whole pixel ratio, in copy mode, they
// are written straight into its rows: most of a chart is such spans, and the painter's
// per-call cost would dominate them.
// Long runs go through the C library's vectorised wide-character fill (wchar_t is a 32-bit
// pixel here); short ones are cheaper as a plain loop.
static void FillPixels(QRgb* row, int n, QRgb rgb) {
    static_assert(sizeof(wchar_t) == sizeof(QRgb));
    if (n >= 16) {
        std::wmemset(reinterpret_cast<wchar_t*>(row), static_cast<wchar_t>(rgb), static_cast<size_t>(n));
        return;
    }
    for (int i = 0; i < n; ++i) row[i] = rgb;
}

// The device pixels [d0, d1) of the logical pixels a..b at a fractional ratio r: the span starts
// where pixel a lies on the scaled grid and is ceil(n·r) device pixels long wherever it lies, so
// a line keeps one thickness and neighbouring spans leave no gap (they may overlap by one device
// pixel). lo..hi are the device pixels that may be painted.
static void FractionalSpan(int a, int b, qreal r, int lo, int hi, int& d0, int& d1) {
    d0 = int(std::floor(a * r + 0.5));
    d1 = std::min(d0 + int(std::ceil((b - a + 1) * r - 1e-9)), hi);
    d0 = std::max(d0, lo);
}

void TQtCanvas::Fill(int x0, int y0, int x1, int y1, QRgb rgb, const QColor& color) {
    const bool inverting = FComposition == QPainter::RasterOp_NotSourceXorDestination;
    if ((FScale > 0 || FFraction > 0) && (inverting || FComposition == QPainter::CompositionMode_SourceOver)) {
        x0 = std::max(x0, FVisible.left());
        y0 = std::max(y0, FVisible.top());
        x1 = std::min(x1, FVisible.right());
        y1 = std::min(y1, FVisible.bottom());
        if (x1 < x0 || y1 < y0) return;
        if (FCapture) {
            if (inverting || FScale <= 0)
                FCaptureLost = true;
            else
                FCapture->Box(TRect{x0, y0, x1 + 1, y1 + 1}, FCapturePen);
            return;
        }
        int dx0, dx1, dy0, dy1;
        if (FScale > 0) {
            dx0 = x0 * FScale, dx1 = (x1 + 1) * FScale;
            dy0 = y0 * FScale, dy1 = (y1 + 1) * FScale;
        } else {
            const qreal r = FFraction;
            auto edge = [r](int v) { return int(std::floor(v * r + 0.5)); };
            // The image is ceil(size × r) device pixels: where the scaled grid ends within its last
            // device pixel, that pixel belongs to the last logical one, or no fill would reach it
            // and text blended onto it would darken it frame by frame.
            auto far = [&](int v, int size, int device) { return v == size ? device : std::min(edge(v), device); };
            FractionalSpan(x0, x1, r, edge(FVisible.left()), far(FVisible.right() + 1, FWidth, FImage.width()), dx0, dx1);
            FractionalSpan(y0, y1, r, edge(FVisible.top()), far(FVisible.bottom() + 1, FHeight, FImage.height()), dy0, dy1);
            if (dx1 <= dx0 || dy1 <= dy0) return;
        }
        const int n = dx1 - dx0;
        for (int y = dy0; y < dy1; ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(FBits + qsizetype(y) * FStride) + dx0;
            if (inverting) {
                // Not (source xor destination), written in place: drawing it twice restores.
                for (int i = 0; i < n; ++i) row[i] = ~(rgb ^ row[i]) | 0xFF000000u;
            } else {
                FillPixels(row, n, rgb);
            }
        }
        return;
    }
    if (CaptureLost()) return;
    FPainter.fillRect(Span(x0, y0, x1, y1), color);
}

void TQtCanvas::PenSpan(int x0, int y0, int x1, int y1, bool on) {
    FCapturePen = true;
    if (on)
        Fill(x0, y0, x1, y1, FPenRgb, FPenColor);
    else if (FGapVisible && !CaptureLost())
        Fill(x0, y0, x1, y1, FGapColor.rgb(), FGapColor);
}

void TQtCanvas::FillSpan(int x0, int y0, int x1, int y1) {
    if (x1 < x0 || y1 < y0) return;
    FCapturePen = false;
    if (FBrushSolid) {
        Fill(x0, y0, x1, y1, FBrushRgb, FBrushColor);
        return;
    }
    if (CaptureLost()) return;
    const QRect r = Span(x0, y0, x1, y1);
    QColor back;
    if (FBackMode == TBackMode::Opaque && ResolveColor(FBackColor, back)) FPainter.fillRect(r, back);
    FPainter.fillRect(r, QtBrush());
}

// The outline through the pixel columns L..R and rows T..B as a ring of Width pixels centred
// on them, the brush inside; the sides do not overlap, so an inverting pen touches every
// pixel once.
bool TQtCanvas::RingBounds(int width, int L, int T, int R, int B, QRect& outer, QRect& inside) {
    const int w = std::max(1, width);
    const int lo = w / 2, hi = w - 1 - w / 2;
    const int oL = L - lo, oT = T - lo, oR = R + hi, oB = B + hi;
    outer = Span(oL, oT, oR, oB);
    if (oR - oL + 1 <= 2 * w || oB - oT + 1 <= 2 * w) {
        inside = QRect();
        return false;
    }
    inside = Span(oL + w, oT + w, oR - w, oB - w);
    return true;
}

void TQtCanvas::SolidBox(int L, int T, int R, int B) {
    const int w = std::max(1, FAppliedPen.Width);
    QRect outer, inside;
    if (!RingBounds(w, L, T, R, B, outer, inside)) {
        PenSpan(outer.left(), outer.top(), outer.right(), outer.bottom(), true);
        return;
    }
    // The fill first: at a fractional pixel ratio it may reach one device pixel into the
    // ring, which must keep its thickness.
    if (FBrushVisible) FillSpan(inside.left(), inside.top(), inside.right(), inside.bottom());
    const int oL = outer.left(), oT = outer.top(), oR = outer.right(), oB = outer.bottom();
    PenSpan(oL, oT, oR, oT + w - 1, true);
    PenSpan(oL, oB - w + 1, oR, oB, true);
    PenSpan(oL, oT + w, oL + w - 1, oB - w, true);
    PenSpan(oR - w + 1, oT + w, oR, oB - w, true);
}

bool TQtCanvas::PenBoxes(TPenBoxes& boxes) {
    // Only whole pixel ratios written directly give every logical pixel the same device
    // pixels whatever paints it.
    QColor color;
    if (FScale <= 0 || Pen.Style == TPenStyle::psClear || Pen.Mode != TPenMode::pmCopy || !ResolveColor(Pen.Color, color))
        return false;
    // As WideSegment paints a row or column and SolidBox an axis-aligned polygon: spread about
    // the centre line, both ends included.
    const int w = std::max(1, Pen.Width);
    boxes.Lines = w > 1;
    boxes.Outlines = w > 1 || (!Pen.SmallDots && Pen.Style == TPenStyle::psSolid);
    boxes.Width = w;
    boxes.Before = w / 2;
    boxes.After = w - 1 - w / 2;
    return true;
}

TQtCanvas::TCapabilities TQtCanvas::Capabilities() {
    Ready();
    return {FScale > 0, FScale > 0};
}

bool TQtCanvas::BeginCapture(TPixelSink& sink) {
    if (FScale <= 0 || FCapture) return false;
    FCapture = &sink;
    FCaptureLost = false;
    return true;
}

bool TQtCanvas::EndCapture() {
    const bool whole = FCapture && !FCaptureLost;
    FCapture = nullptr;
    FCaptureLost = false;
    return whole;
}

// A one-pixel line from (x0, y0) that stops one pixel short of (x1, y1): the pixel at step k
// of the n = max(|dx|, |dy|) steps lies k pixels along the major axis and rounds the minor
// axis to the nearest pixel (halves away from the start).
void TQtCanvas::ThinLine(int x0, int y0, int x1, int y1) {
    const std::int64_t dx = std::int64_t(x1) - x0, dy = std::int64_t(y1) - y0;
    const std::int64_t adx = std::llabs(dx), ady = std::llabs(dy);
    const std::int64_t n = std::max(adx, ady);
    if (n == 0) return;
    const int startDash = FDashPos;
    if (FDash) FDashPos = int((FDashPos + n) % FDashPeriod);

    if (!FDash && (dx == 0 || dy == 0)) {
        if (dy == 0)
            PenSpan(dx > 0 ? x0 : x1 + 1, y0, dx > 0 ? x1 - 1 : x0, y0, true);
        else
            PenSpan(x0, dy > 0 ? y0 : y1 + 1, x0, dy > 0 ? y1 - 1 : y0, true);
        return;
    }

    const bool xMajor = adx >= ady;
    const int m0 = xMajor ? x0 : y0;                   // major axis start
    const int n0 = xMajor ? y0 : x0;                   // minor axis start
    const int ms = (xMajor ? dx : dy) > 0 ? 1 : -1;    // major step
    const int ns = (xMajor ? dy : dx) >= 0 ? 1 : -1;   // minor step
    const std::int64_t ad = xMajor ? ady : adx;        // minor extent

    // Only the steps whose major coordinate can be seen are walked.
    const int vmin = xMajor ? FVisible.left() - 1 : FVisible.top() - 1;
    const int vmax = xMajor ? FVisible.right() + 1 : FVisible.bottom() + 1;
    std::int64_t kLo = 0, kHi = n - 1;
    if (ms > 0) {
        kLo = std::max<std::int64_t>(kLo, std::int64_t(vmin) - m0);
        kHi = std::min<std::int64_t>(kHi, std::int64_t(vmax) - m0);
    } else {
        kLo = std::max<std::int64_t>(kLo, std::int64_t(m0) - vmax);
        kHi = std::min<std::int64_t>(kHi, std::int64_t(m0) - vmin);
    }
    if (kLo > kHi) return;

    // Far outside the image the minor coordinate is only clipped, so keep it in range.
    auto minorAt = [&](std::int64_t k) {
        const std::int64_t v = n0 + ns * ((2 * k * ad + n) / (2 * n));
        return int(std::clamp<std::int64_t>(v, -(std::int64_t(1) << 30), std::int64_t(1) << 30));
    };
    // The style position and, on straight lines, the minor coordinate advance without a
    // division per pixel: dotted grid lines are walked thousands of pixels a frame.
    int dashIndex = FDash ? int((startDash + kLo) % FDashPeriod) : 0;
    auto nextOn = [&] {
        if (!FDash) return true;
        const bool on = FDash[dashIndex];
        if (++dashIndex == FDashPeriod) dashIndex = 0;
        return on;
    };
    const bool straight = ad == 0;
    auto flush = [&](std::int64_t kFirst, std::int64_t kLast, int minor, bool on) {
        const int a = m0 + ms * int(kFirst), b = m0 + ms * int(kLast);
        if (xMajor)
            PenSpan(std::min(a, b), minor, std::max(a, b), minor, on);
        else
            PenSpan(minor, std::min(a, b), minor, std::max(a, b), on);
    };

    std::int64_t runStart = kLo;
    int runMinor = minorAt(kLo);
    bool runOn = nextOn();
    for (std::int64_t k = kLo + 1; k <= kHi; ++k) {
        const int minor = straight ? runMinor : minorAt(k);
        const bool on = nextOn();
        if (minor != runMinor || on != runOn) {
            flush(runStart, k - 1, runMinor, runOn);
            runStart = k;
            runMinor = minor;
            runOn = on;
        }
    }
    flush(runStart, kHi, runMinor, runOn);
}

// A pen wider than one pixel covers the whole segment, both ends included.
void TQtCanvas::WideSegment(int x0, int y0, int x1, int y1) {
    if (x0 == x1 && y0 == y1) return;
    const int w = std::max(1, FAppliedPen.Width);
    const int lo = w / 2, hi = w - 1 - w / 2;
    if (x0 == x1 || y0 == y1) {
        PenSpan(std::min(x0, x1) - lo, std::min(y0, y1) - lo, std::max(x0, x1) + hi, std::max(y0, y1) + hi, true);
        return;
    }
    if (CaptureLost()) return;
    if (FPainterPen != TPainterPen::Wide) {
        FPainter.setPen(FWidePen);
        FPainterPen = TPainterPen::Wide;
    }
    // The centre line of a pen spreading lo pixels up/left and hi pixels down/right.
    const qreal c = (hi + 1 - lo) / 2.0;
    FPainter.drawLine(QPointF(x0 + c, y0 + c), QPointF(x1 + c, y1 + c));
}

void TQtCanvas::Segment(int x0, int y0, int x1, int y1) {
    if (FPenThin)
        ThinLine(x0, y0, x1, y1);
    else
        WideSegment(x0, y0, x1, y1);
}

// Pixels whose centres lie inside the polygon (alternate rule).
void TQtCanvas::FillPolygonArea(std::span<const TPoint> points) {
    if (CaptureLost()) return;
    QPolygon poly(int(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i) poly.setPoint(int(i), points[i].X, points[i].Y);
    if (FPainterPen != TPainterPen::None) {
        FPainter.setPen(Qt::NoPen);
        FPainterPen = TPainterPen::None;
    }
    QColor back;
    if (!FBrushSolid && FBackMode == TBackMode::Opaque && ResolveColor(FBackColor, back)) {
        FPainter.setBrush(back);
        FPainter.drawPolygon(poly, Qt::OddEvenFill);
        FPainterBrushSet = false;
    }
    if (!FPainterBrushSet) {
        FPainter.setBrush(QtBrush());
        FPainterBrushSet = true;
    }
    FPainter.drawPolygon(poly, Qt::OddEvenFill);
}

// --- primitives ---------------------------------------------------------------------------

void TQtCanvas::MoveTo(int x, int y) {
    FPenPos = {x, y};
    FDashPos = 0;
}

void TQtCanvas::LineTo(int x, int y) {
    const TPoint from = FPenPos;
    FPenPos = {x, y};
    ApplyPen();
    if (!FPenVisible || !Ready()) return;
    SetComposition(FPenComposition);
    FGapVisible = FDash && FBackMode == TBackMode::Opaque && ResolveColor(FBackColor, FGapColor);
    Segment(from.X, from.Y, x, y);
}

void TQtCanvas::Polyline(std::span<const TPoint> points) {
    if (points.size() < 2) return;
    ApplyPen();
    if (!FPenVisible || !Ready()) return;
    SetComposition(FPenComposition);
    FGapVisible = FDash && FBackMode == TBackMode::Opaque && ResolveColor(FBackColor, FGapColor);
    FDashPos = 0;
    for (std::size_t i = 1; i < points.size(); ++i)
        Segment(points[i - 1].X, points[i - 1].Y, points[i].X, points[i].Y);
}

// Orders a shape's bounding box and readies pen and brush; false when nothing would be drawn.
bool TQtCanvas::BeginBox(int& x0, int& y0, int& x1, int& y1) {
    if (x0 > x1) std::swap(x0, x1);
    if (y0 > y1) std::swap(y0, y1);
    if (x0 == x1 || y0 == y1) return false;
    ApplyPen();
    ApplyBrush();
    if ((!FPenVisible && !FBrushVisible) || !Ready()) return false;
    SetComposition(FPenComposition);
    return true;
}

void TQtCanvas::Rectangle(int x0, int y0, int x1, int y1) {
    if (!BeginBox(x0, y0, x1, y1)) return;
    const int L = x0, T = y0, R = x1 - 1, B = y1 - 1;
    if (!FPenVisible) {
        FillSpan(L, T, R, B);
        return;
    }
    if (FDash) {
        // A styled outline runs once around the box, the style continuing over the corners.
        if (FBrushVisible) FillSpan(L + 1, T + 1, R - 1, B - 1);
        FGapVisible = FBackMode == TBackMode::Opaque && ResolveColor(FBackColor, FGapColor);
        FDashPos = 0;
        const TPoint ring[] = {{L, T}, {R, T}, {R, B}, {L, B}, {L, T}};
        for (int i = 1; i < 5; ++i) ThinLine(ring[i - 1].X, ring[i - 1].Y, ring[i].X, ring[i].Y);
        return;
    }
    SolidBox(L, T, R, B);
}

void TQtCanvas::FillRect(const TRect& r) {
    if (r.IsEmpty()) return;
    ApplyBrush();
    if (!FBrushVisible || !Ready()) return;
    SetComposition(QPainter::CompositionMode_SourceOver);
    FillSpan(r.Left, r.Top, r.Right - 1, r.Bottom - 1);
}

void TQtCanvas::AllowRowStores(bool allowed) { gRowStoresAllowed = allowed; }

bool TQtCanvas::FillColumnBits(int x, int top, int words, int columns, std::span<const TColumnBits> layers) {
    // At a fractional ratio a run's device pixels depend on the box that paints it.
    if (FCapture || FScale <= 0) return false;
    if (!Ready()) return true;
    SetComposition(QPainter::CompositionMode_SourceOver);
    struct TLayer {
        const std::uint64_t* Bits;
        QColor Color;
        QRgb Rgb;
    };
    std::vector<TLayer> shown;
    for (const TColumnBits& layer : layers) {
        QColor color;
        if (ResolveColor(layer.Color, color)) shown.push_back({layer.Bits, color, color.rgb()});
    }
    auto column = [&](const TLayer& layer, int c) { return layer.Bits + static_cast<size_t>(c) * static_cast<size_t>(words); };
    if (FScale != 1) {
        for (const TLayer& layer : shown)
            for (int c = 0; c < columns; ++c)
                for (int w = 0; w < words; ++w)
                    ForEachRunOfBits(column(layer, c)[w], [&](int s, int len) {
                        const int row = top + 64 * w + s;
                        Fill(x + c, row, x + c, row + len - 1, layer.Rgb, layer.Color);
                    });
        return true;
    }
    // One device pixel per bit, written in place, 16 columns by 64 rows of all layers at a time
    // so that the rows written stay in the cache.
    const int firstRow = FVisible.top(), lastRow = FVisible.bottom();
    const int from = std::max(0, FVisible.left() - x), to = std::min(columns, FVisible.right() - x + 1);
#ifdef ZYN_FILL_BY_ROWS
    if (gHasRowStores && gRowStoresAllowed) {
        std::vector<const std::uint64_t*> bits;
        std::vector<QRgb> rgb;
        for (const TLayer& layer : shown) {
            bits.push_back(layer.Bits);
            rgb.push_back(layer.Rgb);
        }
        FillColumnBitsByRows(FBits, x, FStride, top, words, from, to, firstRow, lastRow, bits.data(),
                             rgb.data(), bits.size());
        return true;
    }
#endif
    constexpr int kStrip = 16;
    for (int strip = from; strip < to; strip += kStrip)
        for (int w = 0; w < words; ++w) {
            // The word's rows that lie within the visible ones.
            const std::int64_t base = std::int64_t(top) + 64 * w;
            const std::int64_t lo = std::max<std::int64_t>(firstRow - base, 0), hi = std::min<std::int64_t>(lastRow - base, 63);
            if (lo > hi) continue;
            const std::uint64_t visible = (~std::uint64_t(0) >> (63 - hi)) & (~std::uint64_t(0) << lo);
            for (const TLayer& layer : shown)
                for (int c = strip; c < std::min(to, strip + kStrip); ++c) {
                    uchar* pixels = FBits + qsizetype(x + c) * 4;
                    for (std::uint64_t set = column(layer, c)[w] & visible; set; set &= set - 1)
                        *reinterpret_cast<QRgb*>(pixels + qsizetype(base + std::countr_zero(set)) * FStride) = layer.Rgb;
                }
        }
    return true;
}

void TQtCanvas::Polygon(std::span<const TPoint> points) {
    if (points.size() < 2) return;
    ApplyPen();
    ApplyBrush();
    if ((!FPenVisible && !FBrushVisible) || !Ready()) return;
    SetComposition(FPenComposition);
    FGapVisible = FDash && FBackMode == TBackMode::Opaque && ResolveColor(FBackColor, FGapColor);

    if (IsBox(points) && !FDash) {
        // The common case of a candle body: an axis-aligned box through the corner pixels,
        // outlined as a ring and filled inside it.
        const int L = std::min(points[0].X, points[2].X), R = std::max(points[0].X, points[2].X);
        const int T = std::min(points[0].Y, points[2].Y), B = std::max(points[0].Y, points[2].Y);
        if (!FPenVisible) {
            FillSpan(L, T, R - 1, B - 1);
            return;
        }
        SolidBox(L, T, R, B);
        return;
    }

    if (FBrushVisible && points.size() >= 3) FillPolygonArea(points);
    if (FPenVisible) {
        FDashPos = 0;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const TPoint& a = points[i];
            const TPoint& b = points[(i + 1) % points.size()];
            Segment(a.X, a.Y, b.X, b.Y);
        }
    }
}

// The ellipse inscribed in the box: a pixel belongs to it when its centre lies inside.
// The outline is the band of Width pixels along its border (centred on it), the rest is
// filled with the brush; band and fill never overlap. Styled pens outline solid.
void TQtCanvas::Ellipse(int x0, int y0, int x1, int y1) {
    if (!BeginBox(x0, y0, x1, y1)) return;

    const int w = FPenVisible ? std::max(1, FAppliedPen.Width) : 0;
    const int lo = w / 2, hi = w > 0 ? w - 1 - w / 2 : 0;
    const int L = x0 - lo, T = y0 - lo, R = x1 - 1 + hi, B = y1 - 1 + hi;
    const int rows = B - T + 1;
    // Only the visible rows are computed (with room for the outline band).
    const int rFirst = std::max(T, FVisible.top() - w - 1);
    const int rLast = std::min(B, FVisible.bottom() + w + 1);
    if (rFirst > rLast) return;

    const double cx = (L + R + 1) / 2.0, cy = (T + B + 1) / 2.0;
    const double rx = (R - L + 1) / 2.0, ry = rows / 2.0;
    auto spanOf = [&](int row, int& left, int& right) {
        if (row < T || row > B) return false;
        const double ty = (row + 0.5 - cy) / ry;
        const double q = 1.0 - ty * ty;
        if (q < 0) return false;
        const double half = rx * std::sqrt(q) + 1e-9;
        left = int(std::ceil(cx - half - 0.5));
        right = int(std::floor(cx + half - 0.5));
        return left <= right;
    };

    const int first = rFirst - w, count = rLast - rFirst + 1 + 2 * w;
    std::vector<int>& ls = FRowLeft;
    std::vector<int>& rs = FRowRight;
    std::vector<char>& has = FRowHas;
    ls.resize(std::size_t(count));
    rs.resize(std::size_t(count));
    has.resize(std::size_t(count));
    for (int i = 0; i < count; ++i) has[std::size_t(i)] = spanOf(first + i, ls[std::size_t(i)], rs[std::size_t(i)]);

    for (int row = rFirst; row <= rLast; ++row) {
        const std::size_t i = std::size_t(row - first);
        if (!has[i]) continue;
        const int left = ls[i], right = rs[i];
        if (w == 0) {
            FillSpan(left, row, right, row);
            continue;
        }
        // Inside the band: every pixel within w steps (city-block distance) is in the shape.
        int il = left + w, ir = right - w;
        for (int d = 1; d <= w && il <= ir; ++d) {
            for (const int j : {int(i) - d, int(i) + d}) {
                if (!has[std::size_t(j)]) {
                    il = 1;
                    ir = 0;
                    break;
                }
                il = std::max(il, ls[std::size_t(j)] + w - d);
                ir = std::min(ir, rs[std::size_t(j)] - w + d);
            }
        }
        if (il > ir) {
            PenSpan(left, row, right, row, true);
        } else {
            PenSpan(left, row, il - 1, row, true);
            PenSpan(ir + 1, row, right, row, true);
            if (FBrushVisible) FillSpan(il, row, ir, row);
        }
    }
}

void TQtCanvas::TextOut(int x, int y, std::string_view text) {
    if (text.empty() || !Ready()) return;
    TFontEntry& font = CurrentFont();
    const QString qs = QString::fromUtf8(text.data(), qsizetype(text.size()));
    int width;
    if (auto it = font.Widths.find(text); it != font.Widths.end()) {
        width = it->second;
    } else {
        width = font.Metrics.horizontalAdvance(qs);
    }
    int left = x, top = y;
    switch (FTextAlign & 6) {
        case TA_CENTER: left = x - width / 2; break;
        case TA_RIGHT: left = x - width; break;
        default: break;
    }
    if ((FTextAlign & 24) == TA_BOTTOM)
        top = y - font.Height;
    else if ((FTextAlign & 24) == 24)  // baseline
        top = y - font.Ascent;

    if (CaptureLost()) return;
    SetComposition(QPainter::CompositionMode_SourceOver);
    QColor back;
    if (FBackMode == TBackMode::Opaque && ResolveColor(FBackColor, back))
        FPainter.fillRect(QRect(left, top, width, font.Height), back);
    QColor color;
    if (!ResolveColor(Font.Color, color)) return;
    if (FPainterPen != TPainterPen::Text || FPainterTextColor != color.rgb()) {
        FPainter.setPen(color);
        FPainterPen = TPainterPen::Text;
        FPainterTextColor = color.rgb();
    }
    if (FPainterFont != &font) {
        FPainter.setFont(font.QtFont);
        FPainterFont = &font;
    }
    FPainter.drawText(QPoint(left, top + font.Ascent), qs);
}

int TQtCanvas::TextWidth(std::string_view text) {
    if (text.empty()) return 0;
    TFontEntry& font = CurrentFont();
    if (auto it = font.Widths.find(text); it != font.Widths.end()) return it->second;
    const int width = font.Metrics.horizontalAdvance(QString::fromUtf8(text.data(), qsizetype(text.size())));
    if (font.Widths.size() >= 4096) font.Widths.clear();
    font.Widths.emplace(std::string(text), width);
    return width;
}

int TQtCanvas::TextHeight(std::string_view) { return CurrentFont().Height; }

namespace {
std::int64_t Fixed64(qreal pixels) { return std::llround(pixels * 64); }
constexpr std::int64_t kMaxBound = 1 << 20;
}  // namespace

std::int64_t TQtCanvas::TAdvanceTable::LearnChar(unsigned char c) {
    return Chars[c - kFirst] = Fixed64(Metrics.horizontalAdvance(QString(QChar(c))));
}

std::int64_t TQtCanvas::TAdvanceTable::LearnPair(unsigned char a, unsigned char b) {
    const QChar pair[] = {QChar(a), QChar(b)};
    return Pairs[(a - kFirst) * kCount + (b - kFirst)] =
               Fixed64(Metrics.horizontalAdvance(QString(pair, 2))) - Char(a) - Char(b);
}

bool TQtCanvas::TextWidthAtLeast(std::string_view text, int& width) {
    // Outside printable ASCII, shaping joins, reorders and drops glyphs: no cheap bound there.
    for (char c : text)
        if (c < TAdvanceTable::kFirst || c >= TAdvanceTable::kFirst + TAdvanceTable::kCount) return false;
    if (text.empty()) {
        width = 0;
        return true;
    }
    TFontEntry& font = CurrentFont();
    if (!font.Advances) font.Advances = std::make_unique<TAdvanceTable>(font.QtFont);
    TAdvanceTable& table = *font.Advances;
    const auto* u = reinterpret_cast<const unsigned char*>(text.data());
    std::int64_t sum = table.Char(u[0]);
    for (size_t i = 1; i < text.size(); ++i) sum += table.Char(u[i]) + table.Pair(u[i - 1], u[i]);
    // Characters and kerned pairs give the shaped width of Latin text; the margin leaves room
    // for ligatures and rules over longer runs, which narrow it by far less.
    const std::int64_t margin = 2 + static_cast<std::int64_t>(text.size()) / 8;
    const std::int64_t least = ((sum + 32) >> 6) - margin;
    // Far beyond any label the caller's size arithmetic would overflow; measure instead.
    if (least < -kMaxBound || least > kMaxBound) return false;
    width = static_cast<int>(least);
    return true;
}

// --- frames -------------------------------------------------------------------------------

void TQtCanvas::SetDevicePixelRatio(qreal ratio) {
    if (ratio > 0) FRatio = ratio;
}

namespace {
// A frame-sized image on huge pages where the system offers them: a strip of columns written
// row by row touches a page per row, and on ordinary pages each is a translation miss.
QImage FrameImage(int width, int height) {
    const qsizetype line = qsizetype(width) * 4;
    const size_t bytes = size_t(line) * size_t(height);
    constexpr size_t kHuge = size_t{2} << 20;
#ifdef MADV_HUGEPAGE
    if (bytes >= kHuge) {
        const size_t size = (bytes + kHuge - 1) / kHuge * kHuge + kHuge;
        void* mapped = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped != MAP_FAILED) {
            auto* start = reinterpret_cast<uchar*>((reinterpret_cast<std::uintptr_t>(mapped) + kHuge - 1) & ~(kHuge - 1));
            ::madvise(start, size - kHuge, MADV_HUGEPAGE);
            struct TMapping {
                void* At;
                size_t Size;
            };
            return QImage(
                start, width, height, line, QImage::Format_RGB32,
                [](void* info) {
                    auto* m = static_cast<TMapping*>(info);
                    ::munmap(m->At, m->Size);
                    delete m;
                },
                new TMapping{mapped, size});
        }
    }
#endif
    return QImage(width, height, QImage::Format_RGB32);
}
}  // namespace

void TQtCanvas::BeginFrame(int width, int height) {
    if (FPainter.isActive()) FPainter.end();
    FExternal = nullptr;
    width = std::max(0, width);
    height = std::max(0, height);
    if (width != FWidth || height != FHeight || FImage.devicePixelRatio() != FRatio || FImage.isNull() != (width * height == 0)) {
        FWidth = width;
        FHeight = height;
        if (width > 0 && height > 0) {
            FImage = FrameImage(int(std::ceil(width * FRatio)), int(std::ceil(height * FRatio)));
            FImage.setDevicePixelRatio(FRatio);
            FImage.fill(Qt::white);
        } else {
            FImage = QImage();
        }
    }
    FClipped = false;
    FClip = TRect{};
    FDashPos = 0;
    // Colours are looked up again each frame, so a changed desktop palette shows.
    FPenValid = false;
    FBrushValid = false;
    FInFrame = true;
    Ready();
}

void TQtCanvas::EndFrame() {
    if (FPainter.isActive()) FPainter.end();
    FInFrame = false;
    TChartCanvas3D::EndFrame();
}

void TQtCanvas::RedrawFromBuffer() { Release(); }

void TQtCanvas::Release() const {
    if (FPainter.isActive()) FPainter.end();
}

const QImage& TQtCanvas::Image() const {
    Release();
    return FImage;
}

void TQtCanvas::BeginPaintOn(QPaintDevice* device) {
    if (FPainter.isActive()) FPainter.end();
    FInFrame = false;
    FExternal = device;
}

void TQtCanvas::EndPaintOn() {
    if (FPainter.isActive()) FPainter.end();
    FExternal = nullptr;
}

}  // namespace zyn::chart
