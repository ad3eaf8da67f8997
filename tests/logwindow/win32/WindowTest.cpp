#include "../Eventually.h"

#include <ZymWindows/ConsoleLog.h>

#include <Zym/LogEntry.h>
#include <ZymThread/EventSemaphore.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include <windows.h>

using logwindowtest::Eventually;
using Zym::LogEntryCallInterface;
using Zym::SmartPtr;
using ZymWindows::ConsoleLog;

namespace {

// Colours as the screen gives them, 0x00BBGGRR.
constexpr COLORREF WHITE = 0xFFFFFF;
constexpr COLORREF GREY = 0x808080;
constexpr COLORREF LIGHT_GREY = 0xF0F0F0;
constexpr COLORREF YELLOW = 0x00FFFF;
constexpr COLORREF RED = 0x0000FF;

LogEntryCallInterface::EntrySeverities Severity(int value) {
    return static_cast<LogEntryCallInterface::EntrySeverities>(value);
}

int RowMiddle(int row) {
    return row * 13 + 6;
}

std::wstring Caption(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return text;
}

SCROLLINFO VerticalBar(HWND window) {
    SCROLLINFO bar{};
    bar.cbSize = sizeof bar;
    bar.fMask = SIF_ALL;
    ::GetScrollInfo(window, SB_VERT, &bar);
    return bar;
}

// The colour on the screen at (x, y) of the window's client area: what
// the display shows, read back through the desktop.
COLORREF ScreenPixel(HWND window, int x, int y) {
    POINT point{x, y};
    ::ClientToScreen(window, &point);
    const HDC screen = ::GetDC(nullptr);
    const COLORREF colour = ::GetPixel(screen, point.x, point.y);
    ::ReleaseDC(nullptr, screen);
    return colour;
}

void PixelBecomes(HWND window, int x, int y, COLORREF colour) {
    EXPECT_TRUE(Eventually([&] { return ScreenPixel(window, x, y) == colour; }))
        << "pixel " << x << "," << y << " is " << std::hex << ScreenPixel(window, x, y) << ", not "
        << colour;
}

// The log's window, found as any program would: by its class and caption.
HWND Shown(ConsoleLog& log, const std::wstring& title) {
    const std::string name = ConsoleLog::WINDOW_CLASS;
    const std::wstring className(name.begin(), name.end());
    HWND window = nullptr;
    EXPECT_TRUE(Eventually([&] {
        window = ::FindWindowW(className.c_str(), title.c_str());
        return window != nullptr;
    }));
    EXPECT_FALSE(::IsWindowVisible(window));
    log.Show();
    EXPECT_TRUE(Eventually([&] { return ::IsWindowVisible(window) != FALSE; }));
    return window;
}

} // namespace

TEST(Win32WindowTest, RowsArePaintedInTheColoursOfTheirSeverity) {
    SmartPtr<ConsoleLog> log = new ConsoleLog(u"Colours", 640, 480);
    ASSERT_TRUE(log->HasDisplay());
    log->AddEntry(u"information", Severity(1));
    log->AddEntry(u"warning", Severity(2));
    log->AddEntry(u"error", Severity(3));
    auto work = log->OpenEntry(u"copying", Severity(0));
    log->SetEntryProgress(work, 0.5);
    const HWND window = Shown(*log, L"Colours");
    ASSERT_NE(window, nullptr);
    // Four rows fit a page: the system hides the vertical bar.
    const LONG style = ::GetWindowLongW(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_OVERLAPPEDWINDOW | WS_HSCROLL | WS_VSCROLL),
              WS_OVERLAPPEDWINDOW | WS_HSCROLL);
    RECT client{};
    ::GetClientRect(window, &client);

    PixelBecomes(window, 300, RowMiddle(0), WHITE);
    PixelBecomes(window, 300, RowMiddle(1), YELLOW);
    PixelBecomes(window, 300, RowMiddle(2), RED);
    PixelBecomes(window, 2, RowMiddle(2), GREY); // the time column
    // The progress bar: 100 pixels ending one before the client's right
    // edge, the left half of its inside grey.
    PixelBecomes(window, client.right - 101, RowMiddle(3), GREY);
    PixelBecomes(window, client.right - 70, RowMiddle(3), GREY);
    PixelBecomes(window, client.right - 20, RowMiddle(3), WHITE);
    // Below the rows: grey time column, white text column.
    PixelBecomes(window, 2, 300, GREY);
    PixelBecomes(window, 300, 300, WHITE);

    log->CloseEntry(work); // from this thread: the window repaints the row
    PixelBecomes(window, client.right - 70, RowMiddle(3), WHITE);
}

TEST(Win32WindowTest, NewRowsMoveTheSystemScrollBarAndTheWheelScrollsBack) {
    SmartPtr<ConsoleLog> log = new ConsoleLog(u"Follow", 640, 480, nullptr, nullptr, 50);
    auto open = log->OpenEntry(u"kept", Severity(2));
    for (int i = 0; i < 99; ++i)
        log->AddEntry(u"row", Severity(1));
    const HWND window = Shown(*log, L"Follow");
    ASSERT_NE(window, nullptr);
    RECT client{};
    ::GetClientRect(window, &client);
    const int visible = client.bottom / 13;
    // 50 rows remain, the open one first; the view follows the newest.
    EXPECT_TRUE(Eventually([&] {
        const SCROLLINFO bar = VerticalBar(window);
        return bar.nMax == 49 && bar.nPos == 50 - visible && bar.nPage == 20;
    }));
    // 240 units away from the user: 6 rows up; then back down, at most to
    // the last position.
    ::PostMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, 240), 0);
    EXPECT_TRUE(Eventually([&] { return VerticalBar(window).nPos == 50 - visible - 6; }));
    ::PostMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-1200)), 0);
    EXPECT_TRUE(Eventually([&] { return VerticalBar(window).nPos == 49 - 19; }));
    ::SendMessageW(window, WM_VSCROLL, MAKEWPARAM(SB_TOP, 0), 0);
    PixelBecomes(window, 300, RowMiddle(0), YELLOW);
}

TEST(Win32WindowTest, AClickFreezesTheLogUntilEscape) {
    SmartPtr<ConsoleLog> log = new ConsoleLog(u"Freeze", 640, 480);
    auto work = log->OpenEntry(u"one", Severity(0));
    log->AddEntry(u"two", Severity(1));
    const HWND window = Shown(*log, L"Freeze");
    ASSERT_NE(window, nullptr);
    PixelBecomes(window, 300, 300, WHITE);

    ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 300));
    EXPECT_TRUE(Eventually([&] { return Caption(window) == L"Freeze (press ESC to unlock)"; }));
    PixelBecomes(window, 300, 300, LIGHT_GREY);
    PixelBecomes(window, 300, RowMiddle(1), ::GetSysColor(COLOR_HIGHLIGHT)); // the last row

    std::atomic<bool> added{false};
    std::thread writer([&] {
        log->AddEntry(u"three", Severity(3));
        added = true;
    });
    // A change still gets through while the writer waits.
    log->SetEntryProgress(work, 0.5);
    RECT client{};
    ::GetClientRect(window, &client);
    PixelBecomes(window, client.right - 70, RowMiddle(0), GREY);
    EXPECT_FALSE(added);
    ::PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    writer.join();
    EXPECT_TRUE(Eventually([&] { return Caption(window) == L"Freeze"; }));
    PixelBecomes(window, 300, RowMiddle(2), RED);
}

TEST(Win32WindowTest, ClosingSignalsTheCloseEventOrElseHidesTheWindowAndThawsTheLog) {
    ZymThread::EventSemaphore closed(true, false);
    for (ZymThread::EventSemaphore* event : {static_cast<decltype(&closed)>(nullptr), &closed}) {
        const std::wstring title = event ? L"Signal me" : L"Hide me";
        SmartPtr<ConsoleLog> log =
            new ConsoleLog(event ? u"Signal me" : u"Hide me", 640, 480, nullptr, event);
        log->AddEntry(u"row", Severity(1));
        const HWND window = Shown(*log, title);
        ASSERT_NE(window, nullptr);
        ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 5));
        EXPECT_TRUE(
            Eventually([&] { return Caption(window) == title + L" (press ESC to unlock)"; }));
        ::PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_TRUE(Eventually([&] { return Caption(window) == title; }));
        log->AddEntry(u"after", Severity(1)); // does not wait
        EXPECT_EQ(closed.Wait(event ? 10000 : 0), event ? WAIT_OBJECT_0 : WAIT_TIMEOUT);
        EXPECT_EQ(log->IsVisible(), event != nullptr);
        EXPECT_TRUE(
            Eventually([&] { return (::IsWindowVisible(window) != FALSE) == (event != nullptr); }));
        EXPECT_TRUE(::IsWindow(window)); // never destroyed by closing
    }
}
