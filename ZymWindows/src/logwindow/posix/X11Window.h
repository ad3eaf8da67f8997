#pragma once

#include "logwindow/ConsolePaint.h"
#include "logwindow/WindowEvent.h"

#include <string>
#include <vector>

namespace ZymThread {
class EventSemaphore;
}

// What the X11 log window asks of the display. Every call comes from the
// one window thread.
namespace ZymWindows::Platform {

// A top-level window on the display, with its fonts and colours.
class DisplayWindow;

// Connects to the display and creates the window, hidden, `width` by
// `height` pixels, captioned `title` (UTF-8) and of window class
// `className`. Null with the last error set when there is no display.
DisplayWindow* CreateLogWindow(const std::string& title, int width, int height,
                               const char* className);
void DestroyLogWindow(DisplayWindow* window) noexcept;

// Whether the connection to the display broke. The window then shows
// nothing more, and the only call on it left to make is DestroyLogWindow.
bool IsLogWindowLost(const DisplayWindow& window);

// Waits until the stop event is signalled (WAIT_OBJECT_0), the calling
// thread's message queue holds a message (WAIT_OBJECT_0 + 1) or the window
// has input or its connection broke (WAIT_OBJECT_0 + 2); WAIT_FAILED with the last error set.
// Without a window only the first two count.
unsigned long WaitForLogWindow(DisplayWindow* window, ZymThread::EventSemaphore& stop);

// The next input of the window, without waiting; false when there is none.
bool NextWindowEvent(DisplayWindow& window, ZymWindows::LogWindow::WindowEvent& event);

void ShowLogWindow(DisplayWindow& window, bool show);
void SetLogWindowCaption(DisplayWindow& window, const std::string& caption);

// Draws `ops` (window coordinates) clipped to `clip`, and sends it all to
// the display.
void DrawLogWindow(DisplayWindow& window, const std::vector<ZymWindows::LogWindow::PaintOp>& ops,
                   const ZymWindows::LogWindow::Rect& clip);

} // namespace ZymWindows::Platform
