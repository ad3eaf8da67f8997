#pragma once

#include "logwindow/ConsolePaint.h"
#include "logwindow/ScrollBar.h"

#include <vector>

namespace ZymWindows::LogWindow {

// The window draws its own scroll bars: a strip this wide at the right of
// the client area and one at its bottom, each with an arrow button at both
// ends and a thumb in the track between.
inline constexpr int BAR_SIZE = 16;

// Where the parts of one bar lie, and what a press on it asks for.
class ScrollBarLayout {
public:
    // `strip` is the bar's rectangle, vertical when it is higher than wide.
    ScrollBarLayout(const ScrollBar& bar, const Rect& strip);

    bool Contains(int x, int y) const noexcept;
    // What a press at (x, y) asks for: a ScrollCode, or SB_THUMBTRACK when
    // it grabs the thumb; -1 outside the bar.
    int HitTest(int x, int y) const noexcept;
    // The position for the thumb dragged so that its start lies at `along`
    // pixels from the start of the track.
    int PositionAt(int along) const noexcept;
    // Pixels from the start of the track to the point (x, y), along the bar.
    int Along(int x, int y) const noexcept;
    // Where the thumb starts, in pixels from the start of the track.
    int ThumbOffset() const noexcept { return m_ThumbOffset; }

    std::vector<PaintOp> Paint() const;

private:
    ScrollBar m_Bar;
    Rect m_Strip;
    bool m_Vertical;
    int m_Track; // track length in pixels, between the arrows
    int m_Thumb; // thumb length
    int m_ThumbOffset;
};

} // namespace ZymWindows::LogWindow
