#include "logwindow/ConsolePaint.h"
#include "logwindow/ScrollBarLayout.h"

#include <Zym/LogEntry.h>

#include <gtest/gtest.h>

using namespace ZymWindows::LogWindow;
using Zym::LogEntry;
using Zym::LogEntryCallInterface;
using Zym::SmartPtr;

namespace {

SmartPtr<LogEntry> Entry(int severity, bool closed) {
    return new LogEntry(u"text", static_cast<LogEntryCallInterface::EntrySeverities>(severity),
                        closed, Zym::DateTime(2024, 2, 1, 13, 4, 5, false));
}

const PaintOp* TextCell(const std::vector<PaintOp>& ops, int top) {
    for (const auto& op : ops)
        if (op.kind == PaintOp::TEXT && op.rect.left == TIME_WIDTH && op.rect.top == top)
            return &op;
    return nullptr;
}

} // namespace

TEST(Paint, FontsAndColoursFollowSeverityStateAndFreezing) {
    ConsoleRows rows;
    struct Case {
        int severity;
        bool closed;
        bool cancelled;
        Font font;
        Colour text;
        Colour background;
        Colour frozenBackground;
    };
    const Case cases[] = {
        {0, false, false, Font::Bold, GREY, WHITE, LIGHT_GREY},
        {0, true, false, Font::Normal, GREY, WHITE, LIGHT_GREY},
        {0, true, true, Font::Struck, GREY, WHITE, LIGHT_GREY},
        {1, true, true, Font::Bold, BLACK, WHITE, WHITE},
        {2, false, false, Font::Bold, BLACK, YELLOW, YELLOW},
        {3, true, false, Font::Bold, WHITE, RED, RED},
        {4, true, false, Font::Bold, WHITE, RED, RED},
        {7, true, false, Font::Time, WHITE, GREY, GREY},
    };
    for (const Case& c : cases) {
        rows.Append(Entry(c.severity, c.closed));
        if (c.cancelled)
            rows.SetCancelled(rows.Count() - 1);
    }
    for (bool frozen : {false, true}) {
        const auto ops = PaintRows(rows, {800, 0, 0, -1, frozen}, {0, 0, 800, 500});
        for (int row = 0; row < rows.Count(); ++row) {
            const Case& c = cases[row];
            const PaintOp* cell = TextCell(ops, row * ROW_HEIGHT);
            ASSERT_TRUE(cell) << row;
            EXPECT_EQ(cell->font, c.font) << row;
            EXPECT_EQ(cell->foreground, c.text) << row;
            EXPECT_EQ(cell->background, frozen ? c.frozenBackground : c.background) << row;
            EXPECT_EQ(cell->rect, (Rect{TIME_WIDTH, row * 13, 800, row * 13 + 13}));
            EXPECT_EQ(cell->x, 62);
        }
    }

    // The time column and, below the last row, the empty columns.
    const auto ops = PaintRows(rows, {800, 0, 0, -1, true}, {0, 0, 800, 200});
    const PaintOp& time = ops.front();
    EXPECT_EQ(time.kind, PaintOp::TEXT);
    EXPECT_EQ(time.rect, (Rect{0, 0, TIME_WIDTH, 13}));
    EXPECT_EQ(time.text, Zym::DateTime(2024, 2, 1, 13, 4, 5, false).AsWStringLocal(u"%H:%M:%S"));
    EXPECT_EQ(time.foreground, WHITE);
    EXPECT_EQ(time.background, GREY);
    EXPECT_EQ(time.x, 5);
    const PaintOp& timeFill = ops[ops.size() - 2];
    const PaintOp& textFill = ops.back();
    EXPECT_EQ(timeFill.rect, (Rect{0, 8 * 13, TIME_WIDTH, 16 * 13}));
    EXPECT_EQ(timeFill.background, GREY);
    EXPECT_EQ(textFill.rect, (Rect{TIME_WIDTH, 8 * 13, 800, 16 * 13}));
    EXPECT_EQ(textFill.background, LIGHT_GREY);
}

TEST(Paint, OnlyRowsInTheUpdateAreaScrolledAndSelected) {
    ConsoleRows rows;
    for (int i = 0; i < 50; ++i)
        rows.Append(Entry(1, true));
    // Rows 12 to 13 of the client area, scrolled by 10 rows and 4 units.
    const auto ops = PaintRows(rows, {600, 10, 4, 22, false}, {0, 12 * 13 + 1, 600, 13 * 13 + 2});
    std::vector<int> tops;
    for (const auto& op : ops)
        if (op.kind == PaintOp::TEXT && op.rect.left == TIME_WIDTH)
            tops.push_back(op.rect.top);
    EXPECT_EQ(tops, (std::vector<int>{12 * 13, 13 * 13}));
    const PaintOp* selected = TextCell(ops, 12 * 13);
    ASSERT_TRUE(selected);
    EXPECT_EQ(selected->foreground, HIGHLIGHT_TEXT);
    EXPECT_EQ(selected->background, HIGHLIGHT);
    EXPECT_EQ(selected->x, 57 + 5 - 5 * 4);
    int focus = 0;
    for (const auto& op : ops)
        focus += op.kind == PaintOp::FOCUS && op.rect == selected->rect;
    EXPECT_EQ(focus, 1);
}

TEST(Paint, OpenEntriesWithProgressGetABarAtTheRightEnd) {
    ConsoleRows rows;
    auto running = Entry(0, false);
    running->SetProgress(0.5);
    rows.Append(running);
    auto idle = Entry(0, false); // no progress, no bar
    rows.Append(idle);
    const auto ops = PaintRows(rows, {700, 0, 0, -1, false}, {0, 0, 700, 26});
    std::vector<PaintOp> bar;
    for (const auto& op : ops)
        if (op.kind == PaintOp::FRAME || (op.kind == PaintOp::FILL && op.rect.left > TIME_WIDTH))
            bar.push_back(op);
    ASSERT_EQ(bar.size(), 3u);
    EXPECT_EQ(bar[0].kind, PaintOp::FRAME);
    EXPECT_EQ(bar[0].rect, (Rect{599, 0, 699, 12}));
    EXPECT_EQ(bar[0].foreground, GREY);
    EXPECT_EQ(bar[1].rect, (Rect{600, 1, 698, 11}));
    EXPECT_EQ(bar[1].background, WHITE);
    EXPECT_EQ(bar[2].rect, (Rect{600, 1, 648, 11}));
    EXPECT_EQ(bar[2].background, GREY);
}

TEST(ScrollBarLayout, PressesScrollAndTheThumbTracksTheRange) {
    const ScrollBar bar{0, 99, 20, 40};
    // A vertical strip 216 pixels long: a 184-pixel track between arrows.
    const ScrollBarLayout layout(bar, {500, 0, 516, 216});
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

    // A horizontal strip of the default range: 0 to 1000, page 20.
    const ScrollBarLayout wide({0, 1000, 20, 0}, {0, 300, 600, 316});
    EXPECT_EQ(wide.HitTest(5, 305), SB_LINEUP);
    EXPECT_EQ(wide.HitTest(590, 305), SB_LINEDOWN);
    EXPECT_EQ(wide.HitTest(300, 305), SB_PAGEDOWN);
}
