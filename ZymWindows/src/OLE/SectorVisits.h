#pragma once

#include <ZymWindows/OLEStorage.h>

#include <cstdint>
#include <vector>

namespace ZymWindows::OLE {

// The sectors one walk of a sector table has met, so that a chain that
// loops back is noticed. Each walk gets a new stamp instead of a cleared
// set, which keeps a walk's cost to the sectors it meets.
class Storage::RootStorage::SectorVisits {
public:
    // Begins a walk over a table of `tableSize` entries.
    void Start(std::size_t tableSize) {
        if (tableSize > m_Stamps.size())
            m_Stamps.resize(tableSize, 0);
        if (++m_Walk == 0) {
            std::fill(m_Stamps.begin(), m_Stamps.end(), 0);
            m_Walk = 1;
        }
    }
    // Records `sector`; false when this walk has met it before. Sectors
    // beyond the table end every walk, so they are not recorded.
    bool Insert(unsigned long sector) {
        if (sector >= m_Stamps.size())
            return true;
        if (m_Stamps[sector] == m_Walk)
            return false;
        m_Stamps[sector] = m_Walk;
        return true;
    }

private:
    std::vector<std::uint32_t> m_Stamps;
    std::uint32_t m_Walk = 0;
};

} // namespace ZymWindows::OLE
