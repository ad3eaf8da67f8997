#include "logwindow/ConsoleView.h"

#include <Zym/LogEntry.h>
#include <ZymThread/EventSemaphore.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <vector>

using namespace ZymWindows::LogWindow;
using Zym::LogEntry;
using Zym::LogEntryCallInterface;
using Zym::SmartPtr;

namespace {

class CountingLink : public WindowThreadLink {
public:
    void Post(unsigned int message) noexcept override {
        if (message == MSG_NEW_ENTRY)
            ++newEntries;
        else if (message == MSG_REPAINT)
            ++repaints;
    }
    std::atomic<int> newEntries{0};
    std::atomic<int> repaints{0};
};

SmartPtr<LogEntry> Entry(const char16_t* text, int severity, bool closed) {
    return new LogEntry(text, static_cast<LogEntryCallInterface::EntrySeverities>(severity),
                        closed);
}

// The window thread's part: each new row is announced and taken in.
void Add(ConsoleView& view, const SmartPtr<LogEntry>& entry) {
    view.EntryAdded(entry);
    view.MsgNewEntry();
}

// A view 1000 by 390 pixels: thirty rows fit.
struct ViewTest : ::testing::Test {
    CountingLink link;
    ConsoleView view{u"Log", 1000, 390, 1000, nullptr, link};
};

} // namespace

TEST_F(ViewTest, TrimsOnlyClosedRowsOldestFirstOnceAboveTheMaximum) {
    std::vector<SmartPtr<LogEntry>> open;
    for (int i = 0; i < 1001; ++i) {
        open.push_back(Entry(u"open", 0, false));
        Add(view, open.back());
    }
    EXPECT_EQ(view.RowCount(), 1001); // nothing closed, nothing removed
    EXPECT_EQ(view.Vertical().pos, 1001 - 30);

    for (int row : {700, 5}) {
        open[row]->Close();
        view.EntryChanged(open[row]);
    }
    view.EntryChanged(open[5]); // recorded once
    Add(view, Entry(u"new", 1, true));
    // Two rows over: both closed ones go, the 1001 open and the new row stay.
    EXPECT_EQ(view.RowCount(), 1000);
    const auto frame = view.TakeFrame();
    // The view still follows the newest rows after dropping old ones.
    EXPECT_EQ(frame.vertical.pos, 970);
    EXPECT_EQ(frame.vertical.max, 999);

    // The closed rows' indices moved down with the rows: the next row
    // drops the new row (added closed, now index 998), and once that one
    // is closed, the row after it drops it in turn.
    auto newest = Entry(u"newest", 1, false);
    Add(view, newest);
    EXPECT_EQ(view.RowCount(), 1000);
    newest->Close();
    view.EntryChanged(newest);
    Add(view, Entry(u"last", 1, false));
    EXPECT_EQ(view.RowCount(), 1000);
    view.MsgVScroll(SB_BOTTOM, 0);
    const auto bottom = view.TakeFrame();
    std::vector<std::u16string> texts;
    for (const auto& op : bottom.ops)
        if (op.kind == PaintOp::TEXT && op.rect.left == TIME_WIDTH)
            texts.push_back(op.text);
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), u"last");
    EXPECT_EQ(std::count(texts.begin(), texts.end(), u"newest"), 0);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), u"new"), 0);

    // Entries added closed are closed rows from the start.
    CountingLink otherLink;
    ConsoleView small(u"Log", 1000, 390, 3, nullptr, otherLink);
    for (int i = 0; i < 10; ++i)
        Add(small, Entry(u"done", 1, true));
    EXPECT_EQ(small.RowCount(), 3);
}

TEST_F(ViewTest, FollowsTheNewestRowsAndScrollsWithinTheRange) {
    for (int i = 0; i < 30; ++i)
        Add(view, Entry(u"row", 1, true));
    EXPECT_EQ(view.Vertical().pos, 0);
    Add(view, Entry(u"row", 1, true));
    EXPECT_EQ(view.Vertical().pos, 1);
    for (int i = 0; i < 69; ++i)
        Add(view, Entry(u"row", 1, true));
    ScrollBar bar = view.Vertical();
    EXPECT_EQ(bar.max, 99);
    EXPECT_EQ(bar.page, VERTICAL_PAGE);
    EXPECT_EQ(bar.pos, 70);

    view.MsgVScroll(SB_TOP, 0);
    EXPECT_EQ(view.Vertical().pos, 0);
    view.MsgVScroll(SB_LINEUP, 0);
    EXPECT_EQ(view.Vertical().pos, 0);
    view.MsgVScroll(SB_PAGEDOWN, 0);
    EXPECT_EQ(view.Vertical().pos, 20);
    view.MsgVScroll(SB_LINEDOWN, 0);
    EXPECT_EQ(view.Vertical().pos, 21);
    view.MsgVScroll(SB_PAGEUP, 0);
    EXPECT_EQ(view.Vertical().pos, 1);
    view.MsgVScroll(SB_THUMBTRACK, 42);
    EXPECT_EQ(view.Vertical().pos, 42);
    view.MsgVScroll(4, 7); // the end of a thumb drag changes nothing
    EXPECT_EQ(view.Vertical().pos, 42);
    // A full page before the end of the range is as far as it goes.
    view.MsgVScroll(SB_BOTTOM, 0);
    EXPECT_EQ(view.Vertical().pos, 80);

    // 240 units towards the user: six rows down, never past the end.
    view.MsgVScroll(SB_TOP, 0);
    view.MsgMouseWheel(-240);
    EXPECT_EQ(view.Vertical().pos, 6);
    view.MsgMouseWheel(-119); // less than a notch
    EXPECT_EQ(view.Vertical().pos, 6);
    view.MsgMouseWheel(360);
    EXPECT_EQ(view.Vertical().pos, 0);
    view.MsgVScroll(SB_THUMBTRACK, 78);
    view.MsgMouseWheel(-240);
    EXPECT_EQ(view.Vertical().pos, 80);

    view.MsgHScroll(SB_BOTTOM, 0);
    EXPECT_EQ(view.TakeFrame().horizontal.pos, HORIZONTAL_RANGE - HORIZONTAL_PAGE + 1);
}

TEST_F(ViewTest, AClickSelectsAndFreezesUntilEscapeAndKeysMoveTheSelection) {
    view.MsgLButtonDown(10, 10); // an empty log ignores clicks
    EXPECT_FALSE(view.IsFrozen());
    EXPECT_EQ(view.Selected(), -1);

    Add(view, Entry(u"copying", 0, false));
    Add(view, Entry(u"two", 1, true));
    Add(view, Entry(u"three", 2, true));
    view.MsgKeyDown(KEY_ESCAPE); // nothing selected, nothing frozen
    EXPECT_FALSE(view.IsFrozen());

    // A click below the last row selects the last row, and freezes.
    view.MsgLButtonDown(10, 380);
    EXPECT_EQ(view.Selected(), 2);
    EXPECT_TRUE(view.IsFrozen());
    EXPECT_EQ(view.Caption(), u"Log (press ESC to unlock)");
    view.MsgKeyDown(KEY_DOWN); // already the last
    EXPECT_EQ(view.Selected(), 2);
    view.MsgKeyDown(KEY_UP);
    view.MsgKeyDown(KEY_UP);
    view.MsgKeyDown(KEY_UP); // already the first
    EXPECT_EQ(view.Selected(), 0);
    view.MsgLButtonDown(10, 14); // a second click moves the selection only
    EXPECT_EQ(view.Selected(), 1);

    // Writers wait and changes get through meanwhile: the window tests
    // watch that on the screen.
    view.MsgKeyDown(KEY_ESCAPE);
    EXPECT_FALSE(view.IsFrozen());
    EXPECT_EQ(view.Selected(), -1);
    EXPECT_EQ(view.Caption(), u"Log");
}

TEST_F(ViewTest, InvalidatesSingleRowsAndWakesTheWindowOnce) {
    auto entry = Entry(u"row", 1, false);
    Add(view, entry);
    Add(view, Entry(u"other", 1, false));
    view.TakeFrame();
    const int before = link.repaints;
    view.EntryCancelled(entry);
    view.EntryChanged(entry);
    view.EntryChanged(Entry(u"stranger", 1, false)); // not a row: ignored
    EXPECT_EQ(link.repaints, before + 1);
    const auto frame = view.TakeFrame();
    ASSERT_TRUE(frame.paint);
    EXPECT_EQ(frame.update, (Rect{0, 0, 1000, ROW_HEIGHT}));
    EXPECT_FALSE(view.TakeFrame().paint);

    // Growing the window repaints it; shrinking or minimising does not.
    view.MsgSize(0, 900, 300);
    EXPECT_FALSE(view.TakeFrame().paint);
    view.MsgSize(SIZE_MINIMIZED, 0, 0);
    EXPECT_EQ(view.TakeFrame().clientWidth, 900);
    view.MsgSize(0, 950, 300);
    EXPECT_EQ(view.TakeFrame().update, (Rect{0, 0, 950, 300}));
}
