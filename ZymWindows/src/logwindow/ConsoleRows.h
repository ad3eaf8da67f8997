#pragma once

#include <Zym/FastVector.h>
#include <Zym/Log.h>

#include <deque>

namespace ZymWindows::LogWindow {

struct ConsoleRow {
    Zym::SmartPtr<Zym::LogEntryCallInterface> entry;
    bool cancelled = false;
};

// The rows of a log window, oldest first, and which of them are closed.
// Not locked: the window's state lock guards it.
class ConsoleRows {
public:
    int Count() const noexcept { return static_cast<int>(m_Rows.size()); }
    const ConsoleRow& operator[](int row) const { return m_Rows[static_cast<std::size_t>(row)]; }

    void Append(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry);
    // The row of `entry`, searched from the newest; -1 when it has none.
    int Find(const Zym::LogEntryCallInterface* entry) const noexcept;
    // Notes that `row` is closed (once, keeping the list ascending).
    void RecordClosed(int row);
    void SetCancelled(int row) noexcept { m_Rows[static_cast<std::size_t>(row)].cancelled = true; }

    // Once there are more than `maxRows` rows, removes the oldest closed
    // ones, as many as the excess or as there are closed rows; open rows
    // stay. Returns how many went.
    int Trim(unsigned int maxRows);

    const Zym::FastVector<unsigned int>& ClosedRows() const noexcept { return m_Closed; }

private:
    std::deque<ConsoleRow> m_Rows;
    Zym::FastVector<unsigned int> m_Closed;
};

} // namespace ZymWindows::LogWindow
