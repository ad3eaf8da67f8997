#include "TestFiles.h"
#include "XServer.h"

#include <Zym/LogEntry.h>
#include <ZymWindows/ConsoleLog.h>

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <atomic>
#include <filesystem>
#include <thread>

using logwindowtest::Eventually;
using logwindowtest::Rgb;
using logwindowtest::ScreenClient;
using logwindowtest::XWindow;
using Zym::LogEntryCallInterface;
using Zym::SmartPtr;
using ZymWindows::ConsoleLog;

namespace {

constexpr const char* CLASS = "{1A4F8CAB-C8EF-4a6d-86C0-8F7A141D57F8}";
constexpr long WHITE = 0xFFFFFF;
constexpr long GREY = 0x808080;
constexpr long LIGHT_GREY = 0xF0F0F0;
constexpr long YELLOW = 0xFFFF00;
constexpr long RED = 0xFF0000;

LogEntryCallInterface::EntrySeverities Severity(int value) {
    return static_cast<LogEntryCallInterface::EntrySeverities>(value);
}

// Log windows on the test's own X server, 640 by 480 pixels: the client
// area is 624 by 464 beside the scroll bars, 35 rows.
class WindowTest : public ::testing::Test {
protected:
    // The window of `log`, once shown and painted.
    XWindow Shown(ConsoleLog& log, const std::string& title) {
        log.Show();
        XWindow window = 0;
        EXPECT_TRUE(Eventually([&] { return (window = m_Screen.Find(CLASS, title)) != 0; }));
        EXPECT_TRUE(Eventually([&] { return m_Screen.IsMapped(window); }));
        return window;
    }
    bool PixelBecomes(XWindow window, int x, int y, long rgb) {
        const bool reached = Eventually([&] { return m_Screen.Pixel(window, x, y) == rgb; });
        if (!reached)
            ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex
                          << m_Screen.Pixel(window, x, y) << ", not " << rgb;
        return reached;
    }

    zymtest::ScopedEnvironment m_Display{"DISPLAY", logwindowtest::TestDisplay()};
    ScreenClient m_Screen;
};

int RowMiddle(int row) {
    return row * 13 + 6;
}

} // namespace

TEST_F(WindowTest, RowsShowTheirSeverityTimeAndProgress) {
    SmartPtr<ConsoleLog> log = new ConsoleLog(u"Colours", 640, 480);
    ASSERT_TRUE(log->HasDisplay());
    EXPECT_FALSE(log->IsVisible());
    log->AddEntry(u"information", Severity(1));
    log->AddEntry(u"warning", Severity(2));
    log->AddEntry(u"error", Severity(3));
    auto work = log->OpenEntry(u"copying", Severity(0));
    log->SetEntryProgress(work, 0.5);
    const XWindow window = Shown(*log, "Colours");
    EXPECT_TRUE(log->IsVisible());
    EXPECT_EQ(m_Screen.Class(window), CLASS);

    PixelBecomes(window, 300, RowMiddle(0), WHITE);
    PixelBecomes(window, 300, RowMiddle(1), YELLOW);
    PixelBecomes(window, 300, RowMiddle(2), RED);
    PixelBecomes(window, 300, RowMiddle(3), WHITE);
    PixelBecomes(window, 2, RowMiddle(2), GREY); // the time column
    // The progress bar: 100 pixels ending one before the client's right
    // edge (624), half of its inside grey.
    PixelBecomes(window, 624 - 101, RowMiddle(3), GREY);
    PixelBecomes(window, 540, RowMiddle(3), GREY);
    PixelBecomes(window, 600, RowMiddle(3), WHITE);
    // Below the rows: grey time column, white text column.
    PixelBecomes(window, 2, 300, GREY);
    PixelBecomes(window, 300, 300, WHITE);

    // The time column holds white text (some white pixels in the cell).
    bool timeText = false;
    for (int x = 5; x < 55 && !timeText; ++x)
        for (int y = 0; y < 13 && !timeText; ++y)
            timeText = m_Screen.Pixel(window, x, y) == WHITE;
    EXPECT_TRUE(timeText);

    // Closing the entry drops its bar.
    log->CloseEntry(work);
    PixelBecomes(window, 540, RowMiddle(3), WHITE);
}

TEST_F(WindowTest, FollowsTheNewestRowsAndTrimsClosedOnes) {
    SmartPtr<ConsoleLog> log = new ConsoleLog(u"Follow", 640, 480, nullptr, nullptr, 50);
    auto open = log->OpenEntry(u"kept", Severity(2));
    for (int i = 0; i < 99; ++i)
        log->AddEntry(u"row", Severity(i == 98 ? 3 : 1));
    const XWindow window = Shown(*log, "Follow");
    // 50 rows remain (the open one among them); the last 35 are in view,
    // the newest (red) at the bottom.
    PixelBecomes(window, 300, RowMiddle(34), RED);
    PixelBecomes(window, 300, RowMiddle(33), WHITE);
    // Scrolled to the top, the open entry is still the first row.
    m_Screen.Key(window, XK_Home); // not a key of the log: nothing happens
    for (int i = 0; i < 6; ++i)
        m_Screen.Click(window, 300, 300, 4); // the wheel, away: up
    PixelBecomes(window, 300, RowMiddle(0), YELLOW);
}

TEST_F(WindowTest, AClickFreezesTheLogUntilEscape) {
    SmartPtr<ConsoleLog> log = new ConsoleLog(u"Freeze", 640, 480);
    auto work = log->OpenEntry(u"one", Severity(0));
    log->AddEntry(u"two", Severity(1));
    const XWindow window = Shown(*log, "Freeze");
    PixelBecomes(window, 300, 300, WHITE);

    m_Screen.Click(window, 300, 300); // below the rows: selects the last
    ASSERT_TRUE(
        Eventually([&] { return m_Screen.Caption(window) == "Freeze (press ESC to unlock)"; }));
    PixelBecomes(window, 300, 300, LIGHT_GREY);
    PixelBecomes(window, 300, RowMiddle(1), Rgb(0xD77800)); // the selection

    std::atomic<bool> added{false};
    std::thread writer([&] {
        log->AddEntry(u"three", Severity(3));
        added = true;
    });
    // A change still gets through while the writer waits: the open entry
    // shows its progress (on the frozen light grey).
    log->SetEntryProgress(work, 0.5);
    PixelBecomes(window, 540, RowMiddle(0), GREY);
    PixelBecomes(window, 600, RowMiddle(0), LIGHT_GREY);
    EXPECT_FALSE(added);
    m_Screen.Key(window, XK_Escape);
    writer.join();
    EXPECT_TRUE(added);
    ASSERT_TRUE(Eventually([&] { return m_Screen.Caption(window) == "Freeze"; }));
    PixelBecomes(window, 300, RowMiddle(1), WHITE);
    PixelBecomes(window, 300, RowMiddle(2), RED);
}

TEST_F(WindowTest, ClosingHidesTheWindowOrSignalsTheCloseEvent) {
    SmartPtr<ConsoleLog> hidden = new ConsoleLog(u"Hide me", 640, 480);
    hidden->AddEntry(u"row", Severity(1));
    XWindow window = Shown(*hidden, "Hide me");
    m_Screen.Click(window, 10, 5);
    ASSERT_TRUE(
        Eventually([&] { return m_Screen.Caption(window) == "Hide me (press ESC to unlock)"; }));
    m_Screen.Close(window);
    EXPECT_TRUE(Eventually([&] { return !m_Screen.IsMapped(window); }));
    EXPECT_FALSE(hidden->IsVisible());
    // The freeze went with it: adding returns.
    hidden->AddEntry(u"after", Severity(1));

    // With a close event the window stays, and thaws all the same.
    ZymThread::EventSemaphore closed(true, false);
    SmartPtr<ConsoleLog> signalled = new ConsoleLog(u"Signal me", 640, 480, nullptr, &closed);
    signalled->AddEntry(u"row", Severity(1));
    window = Shown(*signalled, "Signal me");
    m_Screen.Click(window, 10, 5);
    ASSERT_TRUE(
        Eventually([&] { return m_Screen.Caption(window) == "Signal me (press ESC to unlock)"; }));
    m_Screen.Close(window);
    EXPECT_EQ(closed.Wait(10000), ZymThread::WAIT_OBJECT_0);
    EXPECT_TRUE(Eventually([&] { return m_Screen.Caption(window) == "Signal me"; }));
    EXPECT_TRUE(m_Screen.IsMapped(window));
    EXPECT_TRUE(signalled->IsVisible());
    signalled->AddEntry(u"after", Severity(1));
    signalled->Hide();
    EXPECT_TRUE(Eventually([&] { return !m_Screen.IsMapped(window); }));
}

TEST_F(WindowTest, WithoutADisplayEntriesAreKeptAndNothingIsDrawn) {
    const zymtest::ScopedEnvironment noDisplay("DISPLAY");
    SmartPtr<ConsoleLog> log = new ConsoleLog(u"Nowhere", 640, 480, nullptr, nullptr, 5);
    EXPECT_FALSE(log->HasDisplay());
    log->Show();
    for (int i = 0; i < 100; ++i) {
        auto entry = log->OpenEntry(u"work", Severity(0));
        log->SetEntryProgress(entry, 0.5);
        log->CloseEntry(entry);
    }
    EXPECT_TRUE(log->IsVisible());
}

TEST_F(WindowTest, LosingTheDisplayThawsTheLogAndTheApplicationGoesOn) {
    logwindowtest::Xvfb server;
    const zymtest::ScopedEnvironment display("DISPLAY", server.Display());
    SmartPtr<ConsoleLog> log = new ConsoleLog(u"Doomed", 640, 480, nullptr, nullptr, 5);
    log->AddEntry(u"row", Severity(1));
    log->Show();
    {
        // The test's own connection goes before the server does.
        ScreenClient screen(server.Display());
        XWindow window = 0;
        ASSERT_TRUE(Eventually([&] { return (window = screen.Find(CLASS, "Doomed")) != 0; }));
        ASSERT_TRUE(Eventually([&] { return screen.IsMapped(window); }));
        screen.Click(window, 10, 5);
        ASSERT_TRUE(
            Eventually([&] { return screen.Caption(window) == "Doomed (press ESC to unlock)"; }));
    }
    std::atomic<bool> added{false};
    std::thread writer([&] {
        log->AddEntry(u"waits for the thaw", Severity(1));
        added = true;
    });
    server.Kill();
    EXPECT_TRUE(Eventually([&] { return !log->HasDisplay(); }));
    EXPECT_TRUE(Eventually([&] { return added.load(); }));
    for (int i = 0; i < 100; ++i)
        log->CloseEntry(log->OpenEntry(u"after", Severity(0)));
    log->Hide();
    log = nullptr;
    writer.join();
}

TEST_F(WindowTest, TheCommandAcknowledgesEachLine) {
    // A sanitized zymwin reports fontconfig's lasting configuration.
    const auto suppressions = std::filesystem::path(__FILE__).parent_path() / "fontconfig.supp";
    const zymtest::ScopedEnvironment lsan("LSAN_OPTIONS", "suppressions=" + suppressions.string());
    const auto result = zymtest::RunProcess(
        {ZYMWIN_PATH, "logwindow", "--title", "CLI", "--max", "10"},
        "add 1 hello\nopen a 0 copying\nprogress a 0.5\nclose a\ncancel b\nshow\nhide\nbogus\n");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "ok\nok\nok\nok\nerror: no open entry 'b'\nok\nok\n"
                          "error: unknown command 'bogus'\n");
}
