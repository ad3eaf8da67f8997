#include "SectorVisits.h"

#include <ZymFile/DiskBuffer.h>
#include <ZymFile/Seek.h>

#include <algorithm>

namespace ZymWindows::OLE {

using RootStorage = Storage::RootStorage;

namespace {

constexpr unsigned int MINI_STREAM_CUTOFF = 0x38;
constexpr unsigned int MINI_STREAM_BLOCK = 32768;
constexpr unsigned int MINI_STREAM_MEMORY = 0x40000;

} // namespace

void RootStorage::ReadStream(unsigned long id, Zym::BinaryStreamBuf& out) const {
    DirectoryEntry entry;
    if (GetDirEntry(id, entry) && entry.StreamSize() != 0)
        ReadStreamInternal(entry.StartingSector(), entry.StreamSize(), true, out);
}

// The length of the run of consecutive sectors that starts at `start`,
// counting no further than `enough` sectors: the caller needs no more.
unsigned int RootStorage::GetContigousSectCount(const SectorTable& fat, unsigned long start,
                                                SectorVisits& visited, unsigned int enough) const {
    unsigned int count = 0;
    unsigned long sector = start;
    while (visited.Insert(sector) && sector < fat.Size()) {
        ++count;
        const unsigned long next = fat[sector];
        if (count >= enough || next != sector + 1 || next == END_OF_CHAIN)
            break;
        sector = next;
    }
    return count;
}

// Copies the chain one run of consecutive sectors at a time, with one seek
// and one copy per run. The copy ends at END_OF_CHAIN, at a sector beyond
// the table, at a sector already copied, when `size` bytes are out, or when
// the source runs short; a damaged chain never raises.
void RootStorage::ReadStreamInternal(unsigned long startSect, unsigned int size, bool allowMini,
                                     Zym::BinaryStreamBuf& out) const {
    const bool mini = allowMini && size < HeaderField(MINI_STREAM_CUTOFF);
    if (mini && !m_MiniStream)
        ReadMiniStream();
    Zym::BinaryStreamBuf& source = mini ? *m_MiniStream : m_Buffer;
    const SectorTable& table = mini ? m_MiniFAT : m_FAT;
    SectorVisits& visited = mini ? *m_MiniFATVisits : *m_FATVisits;
    const unsigned int shift = mini ? m_MiniSectorShift : m_SectorShift;

    visited.Start(table.Size());
    unsigned int remaining = size;
    unsigned long s = startSect;
    try {
        while (s != END_OF_CHAIN && s < table.Size()) {
            const unsigned int enough =
                static_cast<unsigned int>((std::uint64_t{remaining} + (1u << shift) - 1) >> shift);
            const unsigned int count = GetContigousSectCount(table, s, visited, enough);
            if (count == 0)
                return;
            const auto wanted = static_cast<unsigned int>(
                std::min<std::uint64_t>(std::uint64_t{count} << shift, remaining));
            source.SeekG(mini ? GetMiniSectorOffset(s) : GetSectorOffset(s));
            const unsigned int copied = source.Get(out, wanted);
            remaining -= copied;
            if (copied != wanted || remaining == 0)
                return;
            s = table[s + count - 1];
        }
    } catch (const ZymFile::SeekOutOfRangeException&) {
    }
}

// Unpacks the root entry's chain, the mini stream, into a buffer of its own.
void RootStorage::ReadMiniStream() const {
    m_MiniStream = new ZymFile::DiskBuffer(m_TempPath, MINI_STREAM_BLOCK, MINI_STREAM_MEMORY);
    DirectoryEntry root;
    if (GetDirEntry(ROOT_STORAGE_ID, root) && root.StreamSize() != 0) {
        ReadStreamInternal(root.StartingSector(), root.StreamSize(), false, *m_MiniStream);
        m_MiniStream->ClearEnd();
    }
}

} // namespace ZymWindows::OLE
