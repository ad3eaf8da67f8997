#include "logwindow/win32/Win32LogWindow.h"

#include "logwindow/win32/WindowProcedure.h"

#include <ZymWindows/ConsoleLog.h>

#include <ZymThread/EventSemaphore.h>
#include <ZymThread/Thread.h>

namespace ZymWindows::Platform {

namespace {

// WS_EX_APPWINDOW | WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE.
constexpr DWORD EXTENDED_STYLE = 0x40300;
// WS_OVERLAPPEDWINDOW with both scroll bars, not visible.
constexpr DWORD STYLE = 0xFF0000;

const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

const wchar_t* ClassName() {
    static const std::wstring name(ConsoleLog::WINDOW_CLASS,
                                   ConsoleLog::WINDOW_CLASS +
                                       std::char_traits<char>::length(ConsoleLog::WINDOW_CLASS));
    return name.c_str();
}

void SetBar(HWND window, int bar, const LogWindow::ScrollBar& values, bool redraw) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = values.min;
    info.nMax = values.max;
    info.nPage = static_cast<UINT>(values.page);
    info.nPos = values.pos;
    ::SetScrollInfo(window, bar, &info, redraw);
}

} // namespace

Win32LogWindow::Win32LogWindow(const LogWindowSettings& settings)
    : LogWindowHost(settings), m_Title(settings.title), m_Width(settings.width),
      m_Height(settings.height), m_Icon(static_cast<HICON>(settings.icon)),
      m_Desktop(::GetThreadDesktop(::GetCurrentThreadId())) {}

void Win32LogWindow::Post(unsigned int message) noexcept {
    if (const HWND window = m_Window)
        ::PostMessageW(window, message, 0, 0);
}

HWND Win32LogWindow::Create() {
    ::SetThreadDesktop(m_Desktop);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &LogWindowProcedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hIcon = m_Icon;
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = ClassName();
    // A second log registers the class again, which fails harmlessly.
    ::RegisterClassExW(&windowClass);
    const HWND window = ::CreateWindowExW(EXTENDED_STYLE, ClassName(), Wide(m_Title), STYLE,
                                          CW_USEDEFAULT, CW_USEDEFAULT, m_Width, m_Height, nullptr,
                                          nullptr, windowClass.hInstance, this);
    if (!window)
        return nullptr;
    m_Window = window;
    const LogWindow::ConsoleView::Frame layout = View().Layout();
    SetBar(window, SB_VERT, m_ShownVertical = layout.vertical, false);
    SetBar(window, SB_HORZ, m_ShownHorizontal = layout.horizontal, false);
    m_ShownCaption = layout.caption;
    RECT client{};
    ::GetClientRect(window, &client);
    View().MsgSize(SIZE_RESTORED, client.right, client.bottom);
    View().SetSelectionColours(::GetSysColor(COLOR_HIGHLIGHTTEXT), ::GetSysColor(COLOR_HIGHLIGHT));
    // What the view invalidated before the window could be told.
    Update(window);
    return window;
}

void Win32LogWindow::Run(ZymThread::EventSemaphore& ready, ZymThread::EventSemaphore& stop) {
    m_Painter = std::make_unique<GdiPainter>();
    const HWND window = Create();
    if (!ready.Set())
        ZymThread::ThrowLastError();

    const HANDLE stopped = stop.Handle();
    for (;;) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        if (::MsgWaitForMultipleObjects(1, &stopped, FALSE, INFINITE, QS_ALLINPUT) !=
            WAIT_OBJECT_0 + 1)
            break;
    }
    View().Thaw();
    m_Window = nullptr;
    if (window)
        ::DestroyWindow(window);
    m_Painter.reset();
}

LRESULT Win32LogWindow::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LogWindow::ConsoleView& view = View();
    switch (message) {
    case WM_SIZE:
        view.MsgSize(static_cast<unsigned int>(wParam), LOWORD(lParam), HIWORD(lParam));
        break;
    case WM_PAINT:
        Paint(window);
        return 0;
    case WM_CLOSE:
        // Closing hides the window or tells the application; the window
        // itself stays.
        view.MsgClose();
        message = LogWindow::MSG_NEW_ENTRY;
        break;
    case WM_QUERYENDSESSION:
        ::PostMessageW(window, WM_CLOSE, 0, 0);
        break;
    case WM_KEYDOWN:
        view.MsgKeyDown(static_cast<int>(wParam));
        break;
    case WM_HSCROLL:
        view.MsgHScroll(LOWORD(wParam), HIWORD(wParam));
        break;
    case WM_VSCROLL:
        view.MsgVScroll(LOWORD(wParam), HIWORD(wParam));
        break;
    case WM_LBUTTONDOWN:
        view.MsgLButtonDown(LOWORD(lParam), HIWORD(lParam));
        break;
    case WM_MOUSEWHEEL:
        view.MsgMouseWheel(static_cast<short>(HIWORD(wParam)));
        break;
    case LogWindow::MSG_NEW_ENTRY:
        view.MsgNewEntry();
        break;
    default:
        break;
    }
    Update(window);
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void Win32LogWindow::Paint(HWND window) {
    PAINTSTRUCT paint;
    const HDC dc = ::BeginPaint(window, &paint);
    const RECT& area = paint.rcPaint;
    m_Painter->Draw(dc, View().MsgPaint({area.left, area.top, area.right, area.bottom}));
    ::EndPaint(window, &paint);
}

void Win32LogWindow::Update(HWND window) {
    LogWindow::ConsoleView& view = View();
    if (!view.IsVisible())
        view.Thaw();
    LogWindow::Rect area;
    if (view.TakeInvalidated(area)) {
        const RECT rect{area.left, area.top, area.right, area.bottom};
        ::InvalidateRect(window, &rect, FALSE);
    }
    const LogWindow::ConsoleView::Frame layout = view.Layout();
    if (layout.vertical != m_ShownVertical)
        SetBar(window, SB_VERT, m_ShownVertical = layout.vertical, true);
    if (layout.horizontal != m_ShownHorizontal)
        SetBar(window, SB_HORZ, m_ShownHorizontal = layout.horizontal, true);
    if (layout.caption != m_ShownCaption)
        ::SetWindowTextW(window, Wide(m_ShownCaption = layout.caption));
    const bool visible = view.IsVisible();
    if (visible != m_Shown)
        ::ShowWindow(window, (m_Shown = visible) ? SW_SHOW : SW_HIDE);
}

std::unique_ptr<LogWindowHost> NewLogWindowHost(const LogWindowSettings& settings) {
    return std::make_unique<Win32LogWindow>(settings);
}

} // namespace ZymWindows::Platform
