#include "logwindow/ScrollBarLayout.h"

#include <algorithm>

namespace ZymWindows::LogWindow {

namespace {

constexpr int MIN_THUMB = 8;
constexpr Colour TRACK = 0xE8E8E8;
constexpr Colour BUTTON = 0xD0D0D0;
constexpr Colour THUMB = 0xA0A0A0;
constexpr Colour ARROW_COLOUR = 0x404040;

} // namespace

ScrollBarLayout::ScrollBarLayout(const ScrollBar& bar, const Rect& strip)
    : m_Bar(bar), m_Strip(strip), m_Vertical(strip.bottom - strip.top > strip.right - strip.left) {
    const int length = m_Vertical ? strip.bottom - strip.top : strip.right - strip.left;
    m_Track = std::max(length - 2 * BAR_SIZE, 0);
    const long span = static_cast<long>(bar.max) - bar.min + 1;
    if (span <= 0 || bar.page <= 0 || bar.page >= span) {
        m_Thumb = m_Track;
    } else {
        m_Thumb = static_cast<int>(static_cast<long>(m_Track) * bar.page / span);
        m_Thumb = std::clamp(m_Thumb, std::min(MIN_THUMB, m_Track), m_Track);
    }
    const int travel = bar.MaxPosition() - bar.min;
    m_ThumbOffset =
        travel > 0
            ? static_cast<int>(static_cast<long>(m_Track - m_Thumb) * (bar.pos - bar.min) / travel)
            : 0;
}

bool ScrollBarLayout::Contains(int x, int y) const noexcept {
    return x >= m_Strip.left && x < m_Strip.right && y >= m_Strip.top && y < m_Strip.bottom;
}

int ScrollBarLayout::Along(int x, int y) const noexcept {
    return (m_Vertical ? y - m_Strip.top : x - m_Strip.left) - BAR_SIZE;
}

int ScrollBarLayout::HitTest(int x, int y) const noexcept {
    if (!Contains(x, y))
        return -1;
    const int along = Along(x, y);
    if (along < 0)
        return SB_LINEUP;
    if (along >= m_Track)
        return SB_LINEDOWN;
    if (along < m_ThumbOffset)
        return SB_PAGEUP;
    if (along >= m_ThumbOffset + m_Thumb)
        return SB_PAGEDOWN;
    return SB_THUMBTRACK;
}

int ScrollBarLayout::PositionAt(int along) const noexcept {
    const int room = m_Track - m_Thumb;
    const int travel = m_Bar.MaxPosition() - m_Bar.min;
    if (room <= 0 || travel <= 0)
        return m_Bar.min;
    const int offset = std::clamp(along, 0, room);
    return m_Bar.min + static_cast<int>((static_cast<long>(offset) * travel + room / 2) / room);
}

std::vector<PaintOp> ScrollBarLayout::Paint() const {
    std::vector<PaintOp> ops;
    auto fill = [&](const Rect& rect, Colour colour) {
        PaintOp op;
        op.kind = PaintOp::FILL;
        op.rect = rect;
        op.background = colour;
        ops.push_back(op);
    };
    auto arrow = [&](const Rect& rect, ArrowDirection direction) {
        fill(rect, BUTTON);
        PaintOp op;
        op.kind = PaintOp::ARROW;
        op.rect = rect;
        op.foreground = ARROW_COLOUR;
        op.x = direction;
        ops.push_back(op);
    };
    fill(m_Strip, TRACK);
    if (m_Vertical) {
        const int track = m_Strip.top + BAR_SIZE;
        arrow({m_Strip.left, m_Strip.top, m_Strip.right, track}, ARROW_UP);
        arrow({m_Strip.left, m_Strip.bottom - BAR_SIZE, m_Strip.right, m_Strip.bottom}, ARROW_DOWN);
        fill({m_Strip.left + 1, track + m_ThumbOffset, m_Strip.right - 1,
              track + m_ThumbOffset + m_Thumb},
             THUMB);
    } else {
        const int track = m_Strip.left + BAR_SIZE;
        arrow({m_Strip.left, m_Strip.top, track, m_Strip.bottom}, ARROW_LEFT);
        arrow({m_Strip.right - BAR_SIZE, m_Strip.top, m_Strip.right, m_Strip.bottom}, ARROW_RIGHT);
        fill({track + m_ThumbOffset, m_Strip.top + 1, track + m_ThumbOffset + m_Thumb,
              m_Strip.bottom - 1},
             THUMB);
    }
    return ops;
}

} // namespace ZymWindows::LogWindow
