#include "logwindow/ConsolePaint.h"

#include <cmath>

namespace ZymWindows::LogWindow {

namespace {

struct TextStyle {
    Font font;
    Colour foreground;
    Colour background;
};

constexpr TextStyle TIME_STYLE{Font::Time, WHITE, GREY};

TextStyle StyleOf(const ConsoleRow& row, bool closed, bool frozen) {
    switch (row.entry->GetSeverity()) {
    case Zym::LogEntryCallInterface::SEVERITY_PROGRESS: {
        const Font font = !closed ? Font::Bold : row.cancelled ? Font::Struck : Font::Normal;
        return {font, GREY, frozen ? LIGHT_GREY : WHITE};
    }
    case Zym::LogEntryCallInterface::SEVERITY_INFORMATION:
        return {Font::Bold, BLACK, WHITE};
    case Zym::LogEntryCallInterface::SEVERITY_WARNING:
        return {Font::Bold, BLACK, YELLOW};
    case Zym::LogEntryCallInterface::SEVERITY_ERROR:
    case Zym::LogEntryCallInterface::SEVERITY_FATAL:
        return {Font::Bold, WHITE, RED};
    }
    return TIME_STYLE;
}

PaintOp Fill(const Rect& rect, Colour colour) {
    PaintOp op;
    op.kind = PaintOp::FILL;
    op.rect = rect;
    op.background = colour;
    return op;
}

PaintOp Text(const Rect& cell, int x, const TextStyle& style, std::u16string text) {
    PaintOp op;
    op.kind = PaintOp::TEXT;
    op.rect = cell;
    op.x = x;
    op.y = cell.top;
    op.font = style.font;
    op.foreground = style.foreground;
    op.background = style.background;
    op.text = std::move(text);
    return op;
}

void PaintProgress(std::vector<PaintOp>& ops, int top, double progress, const ViewState& view) {
    const Rect frame{view.clientWidth - 1 - PROGRESS_WIDTH, top, view.clientWidth - 1,
                     top + ROW_HEIGHT - 1};
    PaintOp border;
    border.kind = PaintOp::FRAME;
    border.rect = frame;
    border.foreground = GREY;
    ops.push_back(border);
    const Rect inside{frame.left + 1, frame.top + 1, frame.right - 1, frame.bottom - 1};
    ops.push_back(Fill(inside, view.frozen ? LIGHT_GREY : WHITE));
    const int done = static_cast<int>(progress * (PROGRESS_WIDTH - 4));
    ops.push_back(Fill({inside.left, inside.top, inside.left + done, inside.bottom}, GREY));
}

} // namespace

std::vector<PaintOp> PaintRows(const ConsoleRows& rows, const ViewState& view, const Rect& update) {
    std::vector<PaintOp> ops;
    const int first = update.top / ROW_HEIGHT + view.verticalPosition;
    const int last = update.bottom / ROW_HEIGHT + view.verticalPosition;
    for (int row = first; row <= last; ++row) {
        const int top = (row - view.verticalPosition) * ROW_HEIGHT;
        if (row >= rows.Count()) {
            const int bottom = (last - view.verticalPosition + 1) * ROW_HEIGHT;
            ops.push_back(Fill({0, top, TIME_WIDTH, bottom}, GREY));
            ops.push_back(Fill({TIME_WIDTH, top, view.clientWidth, bottom},
                               view.frozen ? LIGHT_GREY : WHITE));
            break;
        }
        const ConsoleRow& entry = rows[row];
        ops.push_back(Text({0, top, TIME_WIDTH, top + ROW_HEIGHT}, TEXT_MARGIN, TIME_STYLE,
                           entry.entry->GetTime().AsWStringLocal(u"%H:%M:%S")));

        const bool closed = entry.entry->IsClosed();
        TextStyle style = StyleOf(entry, closed, view.frozen);
        const bool selected = row == view.selected;
        if (selected)
            style = {style.font, view.highlightText, view.highlight};
        const Rect cell{TIME_WIDTH, top, view.clientWidth, top + ROW_HEIGHT};
        ops.push_back(Text(cell,
                           TIME_WIDTH + TEXT_MARGIN - HORIZONTAL_UNIT * view.horizontalPosition,
                           style, entry.entry->GetText()));
        if (selected) {
            PaintOp focus;
            focus.kind = PaintOp::FOCUS;
            focus.rect = cell;
            ops.push_back(focus);
        }
        const double progress = entry.entry->GetProgress();
        if (!closed && progress != 0.0 && std::isfinite(progress))
            PaintProgress(ops, top, progress, view);
    }
    return ops;
}

} // namespace ZymWindows::LogWindow
