#pragma once

#include "logwindow/ConsoleView.h"
#include "logwindow/ScrollBarLayout.h"
#include "logwindow/WindowEvent.h"

#include <vector>

namespace ZymWindows::LogWindow {

// Turns the window's input into the view's handlers, on the window thread:
// presses in the client area select (and freeze), presses on the scroll
// bars scroll, a dragged thumb tracks, the wheel turns 120 units a notch.
class ConsoleInput {
public:
    explicit ConsoleInput(ConsoleView& view) : m_View(view) {}

    void Handle(const WindowEvent& event);

    // The scroll bars' painting, in window coordinates, for a frame.
    static std::vector<PaintOp> PaintBars(const ConsoleView::Frame& frame);

private:
    void Press(int x, int y, const ConsoleView::Frame& frame);

    ConsoleView& m_View;
    // The bar whose thumb is being dragged (0 none, 1 vertical, 2
    // horizontal) and where in the thumb it was grabbed.
    int m_Dragging = 0;
    int m_GrabOffset = 0;
};

// Both bars of a frame: vertical at the right of the client area,
// horizontal below it.
ScrollBarLayout VerticalBar(const ConsoleView::Frame& frame);
ScrollBarLayout HorizontalBar(const ConsoleView::Frame& frame);

} // namespace ZymWindows::LogWindow
