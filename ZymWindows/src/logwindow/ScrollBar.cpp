#include "logwindow/ScrollBar.h"

#include <algorithm>

namespace ZymWindows::LogWindow {

int ScrollBar::MaxPosition() const noexcept {
    return std::max(min, max - std::max(page - 1, 0));
}

void ScrollBar::SetPosition(int position) noexcept {
    pos = std::clamp(position, min, MaxPosition());
}

int ScrollBar::Scrolled(int code, int thumb) const noexcept {
    switch (code) {
    case SB_LINEUP:
        return pos - 1;
    case SB_LINEDOWN:
        return pos + 1;
    case SB_PAGEUP:
        return std::max(pos - page, min);
    case SB_PAGEDOWN:
        return std::min(pos + page, max);
    case SB_THUMBTRACK:
        return thumb;
    case SB_TOP:
        return min;
    case SB_BOTTOM:
        return max;
    default:
        return pos;
    }
}

} // namespace ZymWindows::LogWindow
