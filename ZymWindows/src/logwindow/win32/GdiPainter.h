#pragma once

#include "logwindow/ConsolePaint.h"

#include <vector>

// After the log window's own headers, whose names some of its macros
// would replace.
#include <windows.h>

namespace ZymWindows::Platform {

// The log window's fonts and brushes, made and deleted on the window
// thread, and the painting of a view's drawing steps with them.
class GdiPainter {
public:
    GdiPainter();
    ~GdiPainter();
    GdiPainter(const GdiPainter&) = delete;
    GdiPainter& operator=(const GdiPainter&) = delete;

    void Draw(HDC dc, const std::vector<LogWindow::PaintOp>& ops) const;

private:
    HFONT FontOf(LogWindow::Font font) const noexcept;
    // One of the window's brushes for `colour`, or null for another colour.
    HBRUSH BrushOf(LogWindow::Colour colour) const noexcept;
    void Fill(HDC dc, const RECT& rect, LogWindow::Colour colour) const;

    HFONT m_Bold;
    HFONT m_Normal;
    HFONT m_Struck;
    HBRUSH m_White;
    HFONT m_Time;
    HBRUSH m_Grey;
    HBRUSH m_LightGrey;
};

} // namespace ZymWindows::Platform
