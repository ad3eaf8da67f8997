#include "logwindow/ConsoleRows.h"

#include <algorithm>

namespace ZymWindows::LogWindow {

void ConsoleRows::Append(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) {
    m_Rows.push_back(ConsoleRow{entry, false});
}

int ConsoleRows::Find(const Zym::LogEntryCallInterface* entry) const noexcept {
    for (int row = Count() - 1; row >= 0; --row) {
        if (m_Rows[static_cast<std::size_t>(row)].entry.Get() == entry)
            return row;
    }
    return -1;
}

void ConsoleRows::RecordClosed(int row) {
    const auto index = static_cast<unsigned int>(row);
    const auto at = std::lower_bound(m_Closed.begin(), m_Closed.end(), index);
    if (at != m_Closed.end() && *at == index)
        return;
    const std::size_t position = static_cast<std::size_t>(at - m_Closed.begin());
    m_Closed.Insert(position, &index, &index + 1);
}

int ConsoleRows::Trim(unsigned int maxRows) {
    if (m_Closed.Empty() || m_Rows.size() <= maxRows)
        return 0;
    const std::size_t k = std::min(m_Closed.Size(), m_Rows.size() - maxRows);
    // Highest first, so the lower indices still name their rows.
    for (std::size_t i = k; i-- > 0;)
        m_Rows.erase(m_Rows.begin() + static_cast<std::ptrdiff_t>(m_Closed[i]));
    Zym::FastVector<unsigned int> remaining;
    remaining.Reserve(m_Closed.Size() - k);
    for (std::size_t i = k; i < m_Closed.Size(); ++i)
        remaining.Append(m_Closed[i] - static_cast<unsigned int>(k));
    m_Closed = std::move(remaining);
    return static_cast<int>(k);
}

} // namespace ZymWindows::LogWindow
