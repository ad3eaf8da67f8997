#pragma once

#include "logwindow/ConsolePaint.h"
#include "logwindow/ConsoleRows.h"
#include "logwindow/ScrollBar.h"

#include <ZymThread/CriticalSection.h>
#include <ZymThread/EventSemaphore.h>

#include <atomic>
#include <string>
#include <vector>

namespace ZymWindows::LogWindow {

// Messages of the window thread's queue.
inline constexpr unsigned int MSG_NEW_ENTRY = 0x400;
// Something was invalidated from another thread: paint.
inline constexpr unsigned int MSG_REPAINT = 0x401;
// Show or Hide changed the wanted visibility.
inline constexpr unsigned int MSG_VISIBILITY = 0x402;

// Wakes the window thread with a message; callable from any thread.
class WindowThreadLink {
public:
    virtual ~WindowThreadLink() = default;
    virtual void Post(unsigned int message) noexcept = 0;
};

// Key codes.
inline constexpr int KEY_ESCAPE = 27;
inline constexpr int KEY_UP = 38;
inline constexpr int KEY_DOWN = 40;
inline constexpr unsigned int SIZE_MINIMIZED = 1;
inline constexpr int WHEEL_DELTA = 120;
inline constexpr int VERTICAL_PAGE = 20;
inline constexpr int HORIZONTAL_RANGE = 1000;
inline constexpr int HORIZONTAL_PAGE = 20;

// What the window shows and how it reacts, apart from the drawing itself.
// The notifications come from any thread; the Msg handlers, the painting
// and freezing come from the one window thread (whichever thread calls
// them is that thread). Lock order: the freeze lock, then the state lock.
// While the window thread owns the freeze lock the log is frozen, and
// threads adding entries wait in EntryAdded.
class ConsoleView {
public:
    ConsoleView(std::u16string title, int width, int height, unsigned int maxEntries,
                ZymThread::EventSemaphore* closeEvent, WindowThreadLink& link);
    ConsoleView(const ConsoleView&) = delete;
    ConsoleView& operator=(const ConsoleView&) = delete;

    // Any thread.
    void EntryAdded(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry);
    void EntryChanged(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry);
    void EntryCancelled(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry);
    void SetVisible(bool visible);
    bool IsVisible() const noexcept { return m_Visible; }
    // Threads that wait in EntryAdded for the log to thaw.
    int BlockedWriters() const noexcept { return m_BlockedWriters; }

    // The window thread.
    void MsgSize(unsigned int type, int width, int height);
    void MsgVScroll(int code, int position);
    void MsgHScroll(int code, int position);
    void MsgMouseWheel(int delta);
    void MsgKeyDown(int key);
    void MsgLButtonDown(int x, int y);
    void MsgNewEntry();
    // The window's close button: signals the close event, else hides the
    // window; a frozen log thaws.
    void MsgClose();
    // Thaws a frozen log (window hidden or going away).
    void Thaw();
    bool IsFrozen() const noexcept { return m_Frozen; }

    // What the window thread draws: the painting of the area invalidated
    // since the last call (nothing when none), the caption and both bars.
    struct Frame {
        bool paint = false;
        Rect update;
        std::vector<PaintOp> ops;
        std::u16string caption;
        ScrollBar vertical;
        ScrollBar horizontal;
        int clientWidth = 0;
        int clientHeight = 0;
    };
    Frame TakeFrame();
    // The same without painting: what input needs to know of the window.
    Frame Layout();
    // Invalidates the whole client area (the window was exposed).
    void InvalidateAll();
    // The area invalidated since the last call; false when there is none.
    bool TakeInvalidated(Rect& area);
    // The painting of `update`, as the view stands now.
    std::vector<PaintOp> MsgPaint(const Rect& update);
    // The window system's colours of a selected row.
    void SetSelectionColours(Colour text, Colour background);

    // For tests and diagnostics, under the state lock.
    int RowCount();
    int Selected();
    ScrollBar Vertical();
    std::u16string Caption();

private:
    void Invalidate(const Rect& rect);
    void InvalidateEntry(int row);
    // Records a listed entry's closing or cancellation and repaints its
    // row; an entry trimmed from the list is ignored.
    void UpdateRow(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry, bool cancelled);
    std::u16string FrozenCaption() const;

    const std::u16string m_Title;
    const unsigned int m_MaxEntries;
    ZymThread::EventSemaphore* const m_CloseEvent;
    WindowThreadLink& m_Link;

    ZymThread::CriticalSection m_FreezeLock{4000};
    ZymThread::CriticalSection m_StateLock{4000};
    // Guarded by the state lock.
    int m_ClientWidth;
    int m_ClientHeight;
    ConsoleRows m_Rows;
    int m_Selected = -1;
    ScrollBar m_Vertical{0, 0, VERTICAL_PAGE, 0};
    ScrollBar m_Horizontal{0, HORIZONTAL_RANGE, HORIZONTAL_PAGE, 0};
    std::u16string m_Caption;
    bool m_Dirty = false;
    Rect m_DirtyRect;
    Colour m_HighlightText = HIGHLIGHT_TEXT;
    Colour m_Highlight = HIGHLIGHT;
    // Only the window thread touches it.
    bool m_Frozen = false;

    std::atomic<bool> m_Visible{false};
    std::atomic<int> m_BlockedWriters{0};
};

} // namespace ZymWindows::LogWindow
