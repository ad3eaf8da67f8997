#pragma once

namespace ZymWindows::LogWindow {

// Input of the window, as the window system reports it; positions are in
// window coordinates (the client area starts at 0, 0).
struct WindowEvent {
    enum Kind {
        NONE,
        RESIZED,      // x, y: the window's new width and height
        EXPOSED,      // part of the window must be drawn again
        CLOSE,        // the user asked to close the window
        KEY_DOWN,     // key: a virtual key code (27 Escape, 38 Up, 40 Down)
        BUTTON_DOWN,  // button at x, y: 1 left, 4 and 5 the wheel
        BUTTON_UP,    // button at x, y
        POINTER_MOVE, // to x, y
    };
    Kind kind = NONE;
    int x = 0;
    int y = 0;
    int button = 0;
    int key = 0;
};

} // namespace ZymWindows::LogWindow
