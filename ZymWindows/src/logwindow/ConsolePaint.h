#pragma once

#include "logwindow/ConsoleRows.h"

#include <string>
#include <vector>

namespace ZymWindows::LogWindow {

// Colours as 0x00BBGGRR (red in the low byte).
using Colour = unsigned int;
inline constexpr Colour WHITE = 0xFFFFFF;
inline constexpr Colour BLACK = 0x000000;
inline constexpr Colour GREY = 0x808080;
inline constexpr Colour LIGHT_GREY = 0xF0F0F0;
inline constexpr Colour YELLOW = 0x00FFFF;
inline constexpr Colour RED = 0x0000FF;
// The colours of a selection where the window system has none of its own.
inline constexpr Colour HIGHLIGHT = 0xD77800;
inline constexpr Colour HIGHLIGHT_TEXT = 0xFFFFFF;

inline constexpr int ROW_HEIGHT = 13;
inline constexpr int TIME_WIDTH = 57;
inline constexpr int TEXT_MARGIN = 5;
inline constexpr int HORIZONTAL_UNIT = 5;
inline constexpr int PROGRESS_WIDTH = 100;

enum class Font { Bold, Normal, Struck, Time };

// Arrow directions of a PaintOp::ARROW, in `x`.
enum ArrowDirection { ARROW_UP, ARROW_DOWN, ARROW_LEFT, ARROW_RIGHT };

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const Rect&) const = default;
};

// One step of painting, in client coordinates.
struct PaintOp {
    enum Kind {
        FILL,  // `rect` in `background`
        TEXT,  // `text` at x, y in `font` and `foreground`, on `background`
               // filling `rect`, clipped to it
        FRAME, // a one-pixel frame around `rect` in `foreground`
        FOCUS, // a dotted focus frame around `rect`
        ARROW, // a triangle in `foreground` inside `rect`, pointing as `x`
               // says (an ArrowDirection)
    };
    Kind kind = FILL;
    Rect rect;
    Colour foreground = BLACK;
    Colour background = WHITE;
    Font font = Font::Time;
    int x = 0;
    int y = 0;
    std::u16string text;
};

// What a window shows, as painting reads it.
struct ViewState {
    int clientWidth = 0;
    int verticalPosition = 0;
    int horizontalPosition = 0;
    int selected = -1;
    bool frozen = false;
    Colour highlight = HIGHLIGHT;
    Colour highlightText = HIGHLIGHT_TEXT;
};

// The painting of the rows that meet `update`: each row's time cell and
// text cell, the progress bar of an open entry, and below the last row the
// empty columns down to the bottom of `update`.
std::vector<PaintOp> PaintRows(const ConsoleRows& rows, const ViewState& view, const Rect& update);

} // namespace ZymWindows::LogWindow
