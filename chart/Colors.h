#pragma once
#include <cstdint>

namespace zyn::chart {

// Low byte red, then green, then blue; the top bit marks a system colour.
using TColor = std::uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clGray = 0x808080;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clDarkGray = 0x808080;

constexpr TColor clWindowText = 0x80000008;
constexpr TColor clBtnFace = 0x8000000F;
constexpr TColor clBtnShadow = 0x80000010;
constexpr TColor clBtnHighlight = 0x80000014;

// No colour of its own: the series colour (or the colour passed when drawing) is used.
constexpr TColor clAutoColor = 0x80000000;
// A null point: keeps its place but is not drawn.
constexpr TColor clNone = 0x1FFFFFFF;

constexpr bool IsSystemColor(TColor c) { return (c & 0x80000000u) != 0; }
constexpr int RedOf(TColor c) { return int(c & 0xFF); }
constexpr int GreenOf(TColor c) { return int((c >> 8) & 0xFF); }
constexpr int BlueOf(TColor c) { return int((c >> 16) & 0xFF); }

}  // namespace zyn::chart
