#pragma once

namespace ZymWindows::LogWindow {

// Scroll requests of a scroll bar.
enum ScrollCode : int {
    SB_LINEUP = 0,
    SB_LINEDOWN = 1,
    SB_PAGEUP = 2,
    SB_PAGEDOWN = 3,
    SB_THUMBTRACK = 5,
    SB_TOP = 6,
    SB_BOTTOM = 7,
};

// A scroll bar's range, page and position.
struct ScrollBar {
    int min = 0;
    int max = 0;
    int page = 0;
    int pos = 0;

    bool operator==(const ScrollBar&) const = default;

    // The highest position: a full page before the end of the range.
    int MaxPosition() const noexcept;
    // Sets the position, kept between min and MaxPosition().
    void SetPosition(int position) noexcept;
    // The position a scroll request asks for (before SetPosition keeps it
    // within the range); `thumb` is the position of a thumb track.
    int Scrolled(int code, int thumb) const noexcept;
};

} // namespace ZymWindows::LogWindow
