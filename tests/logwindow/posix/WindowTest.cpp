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
using logwindowtest::ScreenClient;
using logwindowtest::XWindow;
using Zym::LogEntryCallInterface;
using Zym::SmartPtr;
using ZymWindows::ConsoleLog;

namespace {

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
    XWindow Shown(ConsoleLog& log, const std::string& title) {
        log.Show();
        return m_Screen.LogWindow(title);
    }
    void PixelBecomes(XWindow window, int x, int y, long rgb) {
        EXPECT_TRUE(Eventually([&] { return m_Screen.Pixel(window, x, y) == rgb; }))
            << "pixel " << x << "," << y << " is " << std::hex << m_Screen.Pixel(window, x, y)
            << ", not " << rgb;
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
    // 50 rows remain, the open one first; the newest (red) at the bottom.
    PixelBecomes(window, 300, RowMiddle(34), RED);
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
    ASSERT_TRUE(m_Screen.CaptionBecomes(window, "Freeze (press ESC to unlock)"));
    PixelBecomes(window, 300, 300, LIGHT_GREY);
    PixelBecomes(window, 300, RowMiddle(1), 0x0078D7); // the selection (0xD77800 as 0xRRGGBB)

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
    ASSERT_TRUE(m_Screen.CaptionBecomes(window, "Freeze"));
    PixelBecomes(window, 300, RowMiddle(1), WHITE);
    PixelBecomes(window, 300, RowMiddle(2), RED);
}

TEST_F(WindowTest, ClosingSignalsTheCloseEventOrElseHidesTheWindowAndThawsTheLog) {
    ZymThread::EventSemaphore closed(true, false);
    for (ZymThread::EventSemaphore* event : {static_cast<decltype(&closed)>(nullptr), &closed}) {
        const std::string title = event ? "Signal me" : "Hide me";
        SmartPtr<ConsoleLog> log =
            new ConsoleLog(event ? u"Signal me" : u"Hide me", 640, 480, nullptr, event);
        log->AddEntry(u"row", Severity(1));
        const XWindow window = Shown(*log, title);
        m_Screen.Click(window, 10, 5);
        ASSERT_TRUE(m_Screen.CaptionBecomes(window, title + " (press ESC to unlock)"));
        m_Screen.Close(window);
        EXPECT_TRUE(m_Screen.CaptionBecomes(window, title));
        log->AddEntry(u"after", Severity(1)); // does not wait
        EXPECT_EQ(closed.Wait(event ? 10000 : 0),
                  event ? ZymThread::WAIT_OBJECT_0 : ZymThread::WAIT_TIMEOUT);
        EXPECT_EQ(log->IsVisible(), event != nullptr);
        EXPECT_TRUE(Eventually([&] { return m_Screen.IsMapped(window) == (event != nullptr); }));
    }
}

TEST_F(WindowTest, WithoutADisplayOrAfterLosingItTheLogGoesOnThawed) {
    {
        const zymtest::ScopedEnvironment noDisplay("DISPLAY");
        EXPECT_FALSE(SmartPtr<ConsoleLog>(new ConsoleLog(u"Nowhere"))->HasDisplay());
    }
    logwindowtest::Xvfb server;
    const zymtest::ScopedEnvironment display("DISPLAY", server.Display());
    SmartPtr<ConsoleLog> log = new ConsoleLog(u"Doomed", 640, 480, nullptr, nullptr, 5);
    log->AddEntry(u"row", Severity(1));
    log->Show();
    {
        // The test's own connection goes before the server does.
        ScreenClient screen(server.Display());
        const XWindow window = screen.LogWindow("Doomed");
        screen.Click(window, 10, 5);
        ASSERT_TRUE(screen.CaptionBecomes(window, "Doomed (press ESC to unlock)"));
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
    EXPECT_TRUE(log->IsVisible());
    log = nullptr;
    writer.join();
}

TEST_F(WindowTest, TheCommandAcknowledgesEachLine) {
    // A sanitized zymwin reports fontconfig's lasting configuration.
    const auto suppressions = std::filesystem::path(ZYM_TEST_DATA_DIR).parent_path() / "logwindow" /
                              "posix" / "fontconfig.supp";
    const zymtest::ScopedEnvironment lsan("LSAN_OPTIONS", "suppressions=" + suppressions.string());
    const auto result = zymtest::RunProcess(
        {ZYMWIN_PATH, "logwindow", "--title", "CLI", "--max", "10"},
        "add 1 hello\nopen a 0 copying\nprogress a 0.5\nclose a\ncancel b\nshow\nhide\nbogus\n");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "ok\nok\nok\nok\nerror: no open entry 'b'\nok\nok\n"
                          "error: unknown command 'bogus'\n");
}
