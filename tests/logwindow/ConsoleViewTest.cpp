#include "logwindow/ConsoleView.h"

#include <Zym/LogEntry.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <vector>

using namespace ZymWindows::LogWindow;
using Zym::LogEntry;
using Zym::SmartPtr;

namespace {

class CountingLink : public WindowThreadLink {
public:
    void Post(unsigned int message) noexcept override { repaints += message == MSG_REPAINT; }
    std::atomic<int> repaints{0};
};

SmartPtr<LogEntry> Entry(const char16_t* text, bool closed) {
    return new LogEntry(text, Zym::LogEntryCallInterface::SEVERITY_INFORMATION, closed);
}

// A view 1000 by 390 pixels, thirty rows, whose window thread is the test:
// each new row is announced and taken in at once.
struct ViewTest : ::testing::Test {
    void Add(const SmartPtr<LogEntry>& entry) {
        view.EntryAdded(entry);
        view.MsgNewEntry();
    }
    // The texts of the rows, as painted from the top.
    std::vector<std::u16string> Texts() {
        view.MsgVScroll(SB_TOP, 0);
        view.InvalidateAll();
        std::vector<std::u16string> texts;
        for (const auto& op : view.TakeFrame().ops)
            if (op.kind == PaintOp::TEXT && op.rect.left == TIME_WIDTH)
                texts.push_back(op.text);
        return texts;
    }
    CountingLink link;
    ConsoleView view{u"Log", 1000, 390, 5, nullptr, link};
};

} // namespace

TEST_F(ViewTest, TrimsOnlyClosedRowsOldestFirstOnceAboveTheMaximum) {
    std::vector<SmartPtr<LogEntry>> open;
    for (const char16_t* text : {u"0", u"1", u"2", u"3", u"4", u"5"}) {
        open.push_back(Entry(text, false));
        Add(open.back());
    }
    EXPECT_EQ(view.RowCount(), 6); // nothing closed, nothing removed
    for (int row : {4, 1, 1}) {    // recorded once, in order
        open[row]->Close();
        view.EntryChanged(open[row]);
    }
    Add(Entry(u"6", true)); // added closed: a closed row from the start
    EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"0", u"2", u"3", u"5", u"6"}));
    // The indices moved down with the rows: the next row drops "6".
    Add(Entry(u"7", false));
    EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"0", u"2", u"3", u"5", u"7"}));
}

TEST_F(ViewTest, FollowsTheNewestRowsAndScrollsWithinTheRange) {
    ConsoleView wide{u"Log", 1000, 390, 1000, nullptr, link};
    for (int i = 0; i < 100; ++i) {
        wide.EntryAdded(Entry(u"row", true));
        wide.MsgNewEntry();
        EXPECT_EQ(wide.Vertical().pos, std::max(0, i + 1 - 30)); // thirty rows fit
    }
    EXPECT_EQ(wide.Vertical().max, 99);
    struct Step {
        int code, position, expected;
    };
    for (const Step step : {Step{SB_TOP, 0, 0},
                            {SB_LINEUP, 0, 0},
                            {SB_PAGEDOWN, 0, 20},
                            {SB_LINEDOWN, 0, 21},
                            {SB_PAGEUP, 0, 1},
                            {SB_THUMBTRACK, 42, 42},
                            {4, 7, 42},
                            {SB_BOTTOM, 0, 80}}) { // a page before the end at most
        wide.MsgVScroll(step.code, step.position);
        EXPECT_EQ(wide.Vertical().pos, step.expected) << step.code;
    }
    wide.MsgHScroll(SB_BOTTOM, 0);
    EXPECT_EQ(wide.TakeFrame().horizontal.pos, HORIZONTAL_RANGE - HORIZONTAL_PAGE + 1);
    // Each 120 units of the wheel towards the user: three rows down.
    wide.MsgVScroll(SB_TOP, 0);
    for (const auto& [delta, expected] : {std::pair{-240, 6}, {-119, 6}, {360, 0}}) {
        wide.MsgMouseWheel(delta);
        EXPECT_EQ(wide.Vertical().pos, expected) << delta;
    }
    wide.MsgVScroll(SB_THUMBTRACK, 78);
    wide.MsgMouseWheel(-240);
    EXPECT_EQ(wide.Vertical().pos, 80); // never past the end
}

TEST_F(ViewTest, AClickSelectsAndFreezesUntilEscapeAndKeysMoveTheSelection) {
    view.MsgLButtonDown(10, 10); // an empty log ignores clicks
    EXPECT_EQ(view.Selected(), -1);
    for (int i = 0; i < 3; ++i)
        Add(Entry(u"row", true));
    view.MsgKeyDown(KEY_ESCAPE); // nothing selected, nothing frozen
    EXPECT_FALSE(view.IsFrozen());
    view.MsgLButtonDown(10, 380); // below the last row: selects the last
    EXPECT_EQ(view.Selected(), 2);
    EXPECT_TRUE(view.IsFrozen());
    EXPECT_EQ(view.Caption(), u"Log (press ESC to unlock)");
    for (int key : {KEY_DOWN, KEY_UP, KEY_UP, KEY_UP}) // the last, then the first stay put
        view.MsgKeyDown(key);
    EXPECT_EQ(view.Selected(), 0);
    view.MsgLButtonDown(10, 14); // a second click moves the selection only
    EXPECT_EQ(view.Selected(), 1);
    view.MsgKeyDown(KEY_ESCAPE);
    EXPECT_FALSE(view.IsFrozen());
    EXPECT_EQ(view.Selected(), -1);
    EXPECT_EQ(view.Caption(), u"Log");
}

TEST_F(ViewTest, AChangeRepaintsItsRowOnlyAndWakesTheWindowOnce) {
    auto entry = Entry(u"row", false);
    Add(entry);
    Add(Entry(u"other", false));
    view.TakeFrame();
    const int before = link.repaints;
    view.EntryCancelled(entry);
    view.EntryChanged(entry);
    view.EntryChanged(Entry(u"stranger", false)); // not a row: ignored
    EXPECT_EQ(link.repaints, before + 1);
    const auto frame = view.TakeFrame();
    EXPECT_EQ(frame.update, (Rect{0, 0, 1000, ROW_HEIGHT}));
    EXPECT_FALSE(view.TakeFrame().paint);
}
