#include <gtest/gtest.h>

#include "chart/RecordingCanvas.h"

namespace zyn::chart {
namespace {

TEST(RecordingCanvas, FakeMetrics) {
    TRecordingCanvas c;
    c.Font.Name = "Arial";
    c.Font.Size = 8;
    EXPECT_EQ(c.TextHeight("W"), 14);
    EXPECT_EQ(c.TextHeight(""), 14);
    EXPECT_EQ(c.FontLineHeight(), 14);
    c.Font.Size = 10;
    EXPECT_EQ(c.TextHeight("W"), 16);
    c.Font.Size = 12;  // 16 pixels
    EXPECT_EQ(c.TextHeight("x"), 19);

    EXPECT_EQ(c.TextWidth(""), 0);
    EXPECT_EQ(c.TextWidth("W"), 6);
    EXPECT_EQ(c.TextWidth("1.234,56"), 48);
    EXPECT_EQ(c.TextWidth("gültig"), 36);  // six code points, seven bytes
    // Measuring leaves the drawing record alone.
    EXPECT_TRUE(c.Calls.empty());
    EXPECT_EQ(c.MeasuredTexts.size(), 9u);
}

TEST(RecordingCanvas, RecordsCallsWithState) {
    TRecordingCanvas c;
    c.BeginFrame(673, 378);
    c.Pen.Color = clRed;
    c.Pen.Width = 3;
    c.MoveTo(10, 20);
    c.LineTo(30, 40);
    c.HorizontalLine(1, 5, 7);
    c.Brush.Style = TBrushStyle::bsClear;
    c.Rectangle(TRect{1, 2, 3, 4});
    const TPoint pts[] = {{1, 2}, {3, 4}, {5, 6}};
    c.Polygon(pts);
    c.SetClip(TRect{22, 17, 651, 361});
    c.Ellipse(0, 0, 4, 4);
    c.ClearClip();
    c.SetTextAlign(TA_CENTER);
    c.SetBackgroundMode(TBackMode::Transparent);
    c.SetBackgroundColor(clBtnFace);
    c.Font.Color = clBlue;
    c.TextOut(5, 6, "DAX");
    c.EndFrame();
    c.RedrawFromBuffer();

    EXPECT_EQ(c.Dump(),
              "BeginFrame(673,378)\n"
              "MoveTo(10,20)\n"
              "LineTo(30,40)\n"
              "MoveTo(1,7)\n"
              "LineTo(5,7)\n"
              "Rectangle(1,2,3,4)\n"
              "Polygon((1,2),(3,4),(5,6))\n"
              "SetClip(22,17,651,361)\n"
              "Ellipse(0,0,4,4)\n"
              "ClearClip()\n"
              "SetTextAlign(6)\n"
              "SetBackgroundMode(Transparent)\n"
              "SetBackgroundColor(0x8000000F)\n"
              "TextOut(5,6,\"DAX\")\n"
              "EndFrame()\n"
              "RedrawFromBuffer()\n");
    EXPECT_TRUE(c.BufferValid);
    EXPECT_EQ(c.FrameWidth(), 673);

    const auto lines = c.Of(TCanvasOp::LineTo);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]->From, (TPoint{10, 20}));
    EXPECT_EQ(lines[0]->Pen.Color, clRed);
    EXPECT_EQ(lines[0]->Pen.Width, 3);
    EXPECT_EQ(lines[1]->From, (TPoint{1, 7}));
    EXPECT_EQ(c.Count(TCanvasOp::MoveTo), 2u);

    const auto ellipse = c.Of(TCanvasOp::Ellipse);
    ASSERT_EQ(ellipse.size(), 1u);
    EXPECT_TRUE(ellipse[0]->Clipped);
    EXPECT_EQ(ellipse[0]->Clip, (TRect{22, 17, 651, 361}));
    EXPECT_EQ(ellipse[0]->ToString(true),
              "Ellipse(0,0,4,4) Pen(0x0000FF,3,psSolid) Brush(0xFFFFFF,bsClear) clip=22,17,651,361");

    const TCanvasCall& text = *c.Of(TCanvasOp::TextOut).at(0);
    EXPECT_FALSE(text.Clipped);
    EXPECT_EQ(text.TextAlign, TA_CENTER);
    EXPECT_EQ(text.ToString(true), "TextOut(5,6,\"DAX\") Font(Arial,10,0xFF0000) align=6 transparent");

    c.Clear();
    EXPECT_TRUE(c.Calls.empty());
    EXPECT_EQ(c.Dump(), "");
    EXPECT_EQ(c.TextAlign(), TA_CENTER);  // the state outlives the record
}

TEST(RecordingCanvas, Frame3DOwnsCornersLikeThePlatform) {
    TRecordingCanvas c;
    TRect r{0, 0, 10, 8};
    c.Frame3D(r, clBtnHighlight, clBtnShadow, 2);
    EXPECT_EQ(r, (TRect{2, 2, 8, 6}));
    EXPECT_EQ(c.Dump(TCanvasOp::Polyline, true),
              "Polyline((0,7),(0,0),(9,0)) Pen(0x80000014,1,psSolid)\n"
              "Polyline((9,0),(9,7),(-1,7)) Pen(0x80000010,1,psSolid)\n"
              "Polyline((1,6),(1,1),(8,1)) Pen(0x80000014,1,psSolid)\n"
              "Polyline((8,1),(8,6),(0,6)) Pen(0x80000010,1,psSolid)\n");
}

TEST(RecordingCanvas, PrepareFillBrushRecordsBackground) {
    TRecordingCanvas c;
    c.PrepareFillBrush(clBlack, TBrushStyle::bsCross, clBlack);
    EXPECT_EQ(c.Brush.Color, clWhite);  // a hatch in the background colour would vanish
    EXPECT_EQ(c.Dump(), "SetBackgroundMode(Opaque)\nSetBackgroundColor(0x000000)\n");
    c.Clear();
    c.PrepareFillBrush(clRed, TBrushStyle::bsSolid, clWhite);
    EXPECT_EQ(c.Dump(), "SetBackgroundMode(Transparent)\n");
}

}  // namespace
}  // namespace zyn::chart
