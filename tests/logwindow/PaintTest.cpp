#include "logwindow/ConsolePaint.h"
#include "logwindow/ScrollBarLayout.h"

#include <Zym/LogEntry.h>

#include <gtest/gtest.h>

using namespace ZymWindows::LogWindow;

namespace {

Zym::SmartPtr<Zym::LogEntry> Entry(int severity, bool closed) {
    return new Zym::LogEntry(
        u"text", static_cast<Zym::LogEntryCallInterface::EntrySeverities>(severity), closed);
}

std::vector<PaintOp> Painted(const std::vector<PaintOp>& ops, PaintOp::Kind kind) {
    std::vector<PaintOp> found;
    for (const auto& op : ops)
        if (op.kind == kind && op.rect.left >= TIME_WIDTH)
            found.push_back(op);
    return found;
}

} // namespace

// The screen tests see the colours; what they cannot tell apart is which
// font a progress row gets in each state, and the exact geometry.
TEST(Paint, ProgressRowsShowTheirStateTheSelectionAndTheBar) {
    ConsoleRows rows;
    rows.Append(Entry(0, false));
    rows.Append(Entry(0, true));
    rows.Append(Entry(0, true));
    rows.SetCancelled(2);
    auto running = Entry(0, false);
    running->SetProgress(0.5);
    rows.Append(running);
    for (int i = 0; i < 20; ++i)
        rows.Append(Entry(1, true));
    // Frozen, scrolled 4 units right, row 3 selected, rows 0 to 3 updated.
    const auto ops = PaintRows(rows, {700, 0, 4, 3, true}, {0, 1, 700, 4 * 13 - 1});
    const auto texts = Painted(ops, PaintOp::TEXT);
    ASSERT_EQ(texts.size(), 4u);
    const Font fonts[] = {Font::Bold, Font::Normal, Font::Struck, Font::Bold};
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(texts[row].font, fonts[row]) << row;
        EXPECT_EQ(texts[row].rect, (Rect{TIME_WIDTH, row * 13, 700, row * 13 + 13}));
        EXPECT_EQ(texts[row].x, 57 + 5 - 5 * 4);
        EXPECT_EQ(texts[row].background, row == 3 ? HIGHLIGHT : LIGHT_GREY) << row;
    }
    EXPECT_EQ(Painted(ops, PaintOp::FOCUS).front().rect, texts[3].rect);
    EXPECT_EQ(ops.front().text, rows[0].entry->GetTime().AsWStringLocal(u"%H:%M:%S"));
    // The bar: a grey frame 100 wide ending 1 before the edge, the frozen
    // inside, half of it grey.
    EXPECT_EQ(Painted(ops, PaintOp::FRAME).front().rect, (Rect{599, 39, 699, 51}));
    std::vector<std::pair<Rect, Colour>> fills;
    for (const auto& fill : Painted(ops, PaintOp::FILL))
        fills.emplace_back(fill.rect, fill.background);
    EXPECT_EQ(fills,
              (decltype(fills){{{600, 40, 698, 50}, LIGHT_GREY}, {{600, 40, 648, 50}, GREY}}));
}

TEST(ScrollBarLayout, PressesScrollAndTheThumbTracksTheRange) {
    // A vertical strip 216 pixels long: a 184-pixel track between arrows.
    const ScrollBarLayout layout({0, 99, 20, 40}, {500, 0, 516, 216});
    EXPECT_EQ(layout.HitTest(505, 3), SB_LINEUP);
    EXPECT_EQ(layout.HitTest(505, 210), SB_LINEDOWN);
    EXPECT_EQ(layout.HitTest(505, 17), SB_PAGEUP);
    EXPECT_EQ(layout.HitTest(505, 199), SB_PAGEDOWN);
    EXPECT_EQ(layout.HitTest(505, 16 + layout.ThumbOffset() + 1), SB_THUMBTRACK);
    EXPECT_EQ(layout.HitTest(499, 50), -1);
    // Thumb 184 * 20 / 100 = 36 pixels; 40 of 80 positions: half of 148.
    EXPECT_EQ(layout.ThumbOffset(), 74);
    EXPECT_EQ(layout.PositionAt(74), 40);
    EXPECT_EQ(layout.PositionAt(-10), 0);
    EXPECT_EQ(layout.PositionAt(1000), 80);
    // Horizontal when wider than high.
    EXPECT_EQ(ScrollBarLayout({0, 1000, 20, 0}, {0, 300, 600, 316}).HitTest(590, 305), SB_LINEDOWN);
}
