#include "logwindow/ConsoleInput.h"

namespace ZymWindows::LogWindow {

namespace {

constexpr int WHEEL_AWAY = 4;
constexpr int WHEEL_TOWARDS = 5;

} // namespace

ScrollBarLayout VerticalBar(const ConsoleView::Frame& frame) {
    return ScrollBarLayout(
        frame.vertical, {frame.clientWidth, 0, frame.clientWidth + BAR_SIZE, frame.clientHeight});
}

ScrollBarLayout HorizontalBar(const ConsoleView::Frame& frame) {
    return ScrollBarLayout(frame.horizontal, {0, frame.clientHeight, frame.clientWidth,
                                              frame.clientHeight + BAR_SIZE});
}

std::vector<PaintOp> ConsoleInput::PaintBars(const ConsoleView::Frame& frame) {
    std::vector<PaintOp> ops = VerticalBar(frame).Paint();
    const std::vector<PaintOp> horizontal = HorizontalBar(frame).Paint();
    ops.insert(ops.end(), horizontal.begin(), horizontal.end());
    PaintOp corner;
    corner.kind = PaintOp::FILL;
    corner.rect = {frame.clientWidth, frame.clientHeight, frame.clientWidth + BAR_SIZE,
                   frame.clientHeight + BAR_SIZE};
    corner.background = 0xE8E8E8;
    ops.push_back(corner);
    return ops;
}

void ConsoleInput::Press(int x, int y, const ConsoleView::Frame& frame) {
    if (x < frame.clientWidth && y < frame.clientHeight) {
        m_View.MsgLButtonDown(x, y);
        return;
    }
    const ScrollBarLayout vertical = VerticalBar(frame);
    const ScrollBarLayout horizontal = HorizontalBar(frame);
    const bool isVertical = vertical.Contains(x, y);
    const ScrollBarLayout& bar = isVertical ? vertical : horizontal;
    const int code = bar.HitTest(x, y);
    if (code < 0)
        return;
    if (code == SB_THUMBTRACK) {
        m_Dragging = isVertical ? 1 : 2;
        m_GrabOffset = bar.Along(x, y) - bar.ThumbOffset();
        return;
    }
    if (isVertical)
        m_View.MsgVScroll(code, 0);
    else
        m_View.MsgHScroll(code, 0);
}

void ConsoleInput::Handle(const WindowEvent& event) {
    switch (event.kind) {
    case WindowEvent::RESIZED:
        m_View.MsgSize(0, event.x - BAR_SIZE, event.y - BAR_SIZE);
        break;
    case WindowEvent::EXPOSED:
        m_View.InvalidateAll();
        break;
    case WindowEvent::CLOSE:
        m_View.MsgClose();
        break;
    case WindowEvent::KEY_DOWN:
        m_View.MsgKeyDown(event.key);
        break;
    case WindowEvent::BUTTON_DOWN:
        if (event.button == WHEEL_AWAY)
            m_View.MsgMouseWheel(WHEEL_DELTA);
        else if (event.button == WHEEL_TOWARDS)
            m_View.MsgMouseWheel(-WHEEL_DELTA);
        else if (event.button == 1)
            Press(event.x, event.y, m_View.Layout());
        break;
    case WindowEvent::BUTTON_UP:
        if (event.button == 1)
            m_Dragging = 0;
        break;
    case WindowEvent::POINTER_MOVE:
        if (m_Dragging != 0) {
            const ConsoleView::Frame frame = m_View.Layout();
            if (m_Dragging == 1) {
                const ScrollBarLayout bar = VerticalBar(frame);
                m_View.MsgVScroll(SB_THUMBTRACK,
                                  bar.PositionAt(bar.Along(event.x, event.y) - m_GrabOffset));
            } else {
                const ScrollBarLayout bar = HorizontalBar(frame);
                m_View.MsgHScroll(SB_THUMBTRACK,
                                  bar.PositionAt(bar.Along(event.x, event.y) - m_GrabOffset));
            }
        }
        break;
    case WindowEvent::NONE:
        break;
    }
}

} // namespace ZymWindows::LogWindow
