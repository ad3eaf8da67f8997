#include "logwindow/ConsoleView.h"

#include <ZymThread/Thread.h>

#include <algorithm>
#include <mutex>

namespace ZymWindows::LogWindow {

namespace {

constexpr const char16_t* FROZEN_SUFFIX = u" (press ESC to unlock)";

bool IsEmpty(const Rect& rect) {
    return rect.left >= rect.right || rect.top >= rect.bottom;
}

} // namespace

ConsoleView::ConsoleView(std::u16string title, int width, int height, unsigned int maxEntries,
                         ZymThread::EventSemaphore* closeEvent, WindowThreadLink& link)
    : m_Title(std::move(title)), m_MaxEntries(maxEntries), m_CloseEvent(closeEvent), m_Link(link),
      m_ClientWidth(width), m_ClientHeight(height), m_Caption(m_Title) {}

std::u16string ConsoleView::FrozenCaption() const {
    return m_Title + FROZEN_SUFFIX;
}

void ConsoleView::Invalidate(const Rect& rect) {
    const Rect clipped{std::max(rect.left, 0), std::max(rect.top, 0),
                       std::min(rect.right, m_ClientWidth), std::min(rect.bottom, m_ClientHeight)};
    if (IsEmpty(clipped))
        return;
    if (!m_Dirty) {
        m_Dirty = true;
        m_DirtyRect = clipped;
        m_Link.Post(MSG_REPAINT);
        return;
    }
    m_DirtyRect = {std::min(m_DirtyRect.left, clipped.left), std::min(m_DirtyRect.top, clipped.top),
                   std::max(m_DirtyRect.right, clipped.right),
                   std::max(m_DirtyRect.bottom, clipped.bottom)};
}

void ConsoleView::InvalidateAll() {
    std::lock_guard state(m_StateLock);
    Invalidate({0, 0, m_ClientWidth, m_ClientHeight});
}

void ConsoleView::InvalidateEntry(int row) {
    const int top = (row - m_Vertical.pos) * ROW_HEIGHT;
    Invalidate({0, top, m_ClientWidth, top + ROW_HEIGHT});
}

void ConsoleView::EntryAdded(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) {
    if (!entry)
        return;
    if (!m_FreezeLock.TryEnter()) {
        ++m_BlockedWriters;
        m_FreezeLock.Enter();
        --m_BlockedWriters;
    }
    {
        std::lock_guard state(m_StateLock);
        m_Rows.Append(entry);
        // The framework's logs add finished entries closed, with no
        // notification of their closing to follow.
        if (entry->IsClosed())
            m_Rows.RecordClosed(m_Rows.Count() - 1);
        m_Link.Post(MSG_NEW_ENTRY);
    }
    m_FreezeLock.Leave();
}

void ConsoleView::EntryChanged(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) {
    UpdateRow(entry, false);
}

void ConsoleView::EntryCancelled(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) {
    UpdateRow(entry, true);
}

void ConsoleView::UpdateRow(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry,
                            bool cancelled) {
    if (!entry)
        return;
    std::lock_guard state(m_StateLock);
    const int row = m_Rows.Find(entry.Get());
    if (row < 0)
        return;
    if (cancelled)
        m_Rows.SetCancelled(row);
    else if (entry->IsClosed())
        m_Rows.RecordClosed(row);
    InvalidateEntry(row);
}

void ConsoleView::SetVisible(bool visible) {
    if (m_Visible.exchange(visible) != visible)
        m_Link.Post(MSG_VISIBILITY);
}

void ConsoleView::MsgSize(unsigned int type, int width, int height) {
    std::lock_guard state(m_StateLock);
    if (type == SIZE_MINIMIZED)
        return;
    const bool grown = width > m_ClientWidth || height > m_ClientHeight;
    m_ClientWidth = width;
    m_ClientHeight = height;
    if (grown)
        Invalidate({0, 0, m_ClientWidth, m_ClientHeight});
}

void ConsoleView::MsgVScroll(int code, int position) {
    std::lock_guard state(m_StateLock);
    m_Vertical.SetPosition(m_Vertical.Scrolled(code, position));
    Invalidate({0, 0, m_ClientWidth, m_ClientHeight});
}

void ConsoleView::MsgHScroll(int code, int position) {
    std::lock_guard state(m_StateLock);
    m_Horizontal.SetPosition(m_Horizontal.Scrolled(code, position));
    Invalidate({0, 0, m_ClientWidth, m_ClientHeight});
}

void ConsoleView::MsgMouseWheel(int delta) {
    std::lock_guard state(m_StateLock);
    const int position = m_Vertical.pos + delta / WHEEL_DELTA * -3;
    m_Vertical.SetPosition(std::clamp(position, 0, std::max(m_Vertical.max, 0)));
    Invalidate({0, 0, m_ClientWidth, m_ClientHeight});
}

void ConsoleView::MsgKeyDown(int key) {
    std::lock_guard state(m_StateLock);
    if (m_Selected < 0)
        return;
    switch (key) {
    case KEY_ESCAPE:
        if (!m_Frozen)
            return;
        InvalidateEntry(m_Selected);
        m_Selected = -1;
        Thaw();
        break;
    case KEY_UP:
        if (m_Selected > 0) {
            InvalidateEntry(m_Selected);
            InvalidateEntry(--m_Selected);
        }
        break;
    case KEY_DOWN:
        if (m_Selected < m_Rows.Count() - 1) {
            InvalidateEntry(m_Selected);
            InvalidateEntry(++m_Selected);
        }
        break;
    default:
        break;
    }
}

void ConsoleView::MsgLButtonDown(int, int y) {
    {
        std::lock_guard state(m_StateLock);
        if (m_Rows.Count() == 0)
            return;
        if (m_Selected >= 0)
            InvalidateEntry(m_Selected);
    }
    if (!m_Frozen) {
        // Never wait for the freeze lock while holding the state lock: a
        // thread in EntryAdded holds the first and wants the second.
        m_FreezeLock.Enter();
        m_Frozen = true;
        std::lock_guard state(m_StateLock);
        m_Caption = FrozenCaption();
        Invalidate({0, 0, m_ClientWidth, m_ClientHeight});
    }
    std::lock_guard state(m_StateLock);
    m_Selected = std::min(std::max(y, 0) / ROW_HEIGHT + m_Vertical.pos, m_Rows.Count() - 1);
    InvalidateEntry(m_Selected);
}

void ConsoleView::Thaw() {
    if (!m_Frozen)
        return;
    std::lock_guard state(m_StateLock);
    m_Frozen = false;
    m_FreezeLock.Leave();
    m_Caption = m_Title;
    Invalidate({0, 0, m_ClientWidth, m_ClientHeight});
}

void ConsoleView::MsgClose() {
    if (m_CloseEvent) {
        if (!m_CloseEvent->Set())
            ZymThread::ThrowLastError();
    } else {
        m_Visible = false;
    }
    Thaw();
}

void ConsoleView::MsgNewEntry() {
    std::lock_guard state(m_StateLock);
    if (m_Rows.Trim(m_MaxEntries) > 0) {
        m_Vertical.pos = 0;
        Invalidate({0, 0, m_ClientWidth, m_ClientHeight});
    }
    const int count = m_Rows.Count();
    const int visible = m_ClientHeight / ROW_HEIGHT;
    int position = m_Vertical.pos;
    if (count <= position + visible) {
        InvalidateEntry(count - 1);
    } else {
        position = std::max(0, count - visible);
        Invalidate({0, 0, m_ClientWidth, m_ClientHeight});
    }
    m_Vertical.min = 0;
    m_Vertical.max = count - 1;
    m_Vertical.SetPosition(position);
}

ConsoleView::Frame ConsoleView::Layout() {
    std::lock_guard state(m_StateLock);
    Frame frame;
    frame.caption = m_Caption;
    frame.vertical = m_Vertical;
    frame.horizontal = m_Horizontal;
    frame.clientWidth = m_ClientWidth;
    frame.clientHeight = m_ClientHeight;
    return frame;
}

ConsoleView::Frame ConsoleView::TakeFrame() {
    std::lock_guard state(m_StateLock);
    Frame frame = Layout();
    if (TakeInvalidated(frame.update)) {
        frame.paint = true;
        frame.ops = MsgPaint(frame.update);
    }
    return frame;
}

bool ConsoleView::TakeInvalidated(Rect& area) {
    std::lock_guard state(m_StateLock);
    if (!m_Dirty)
        return false;
    area = m_DirtyRect;
    m_Dirty = false;
    return true;
}

std::vector<PaintOp> ConsoleView::MsgPaint(const Rect& update) {
    std::lock_guard state(m_StateLock);
    const ViewState view{m_ClientWidth, m_Vertical.pos, m_Horizontal.pos, m_Selected,
                         m_Frozen,      m_Highlight,    m_HighlightText};
    return PaintRows(m_Rows, view, update);
}

void ConsoleView::SetSelectionColours(Colour text, Colour background) {
    std::lock_guard state(m_StateLock);
    m_HighlightText = text;
    m_Highlight = background;
}

int ConsoleView::RowCount() {
    std::lock_guard state(m_StateLock);
    return m_Rows.Count();
}

int ConsoleView::Selected() {
    std::lock_guard state(m_StateLock);
    return m_Selected;
}

ScrollBar ConsoleView::Vertical() {
    std::lock_guard state(m_StateLock);
    return m_Vertical;
}

std::u16string ConsoleView::Caption() {
    std::lock_guard state(m_StateLock);
    return m_Caption;
}

} // namespace ZymWindows::LogWindow
