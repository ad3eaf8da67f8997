#include "CfbBuilder.h"

#include <algorithm>
#include <random>
#include <stdexcept>

namespace cfbtest {

namespace {

constexpr std::uint32_t END_OF_CHAIN = 0xFFFFFFFE;
constexpr std::uint32_t FREE_SECT = 0xFFFFFFFF;
constexpr std::uint32_t FAT_SECT = 0xFFFFFFFD;
constexpr std::uint32_t DIFAT_SECT = 0xFFFFFFFC;

std::uint32_t Units(std::size_t bytes, std::size_t unit) {
    return static_cast<std::uint32_t>((bytes + unit - 1) / unit);
}

} // namespace

Bytes Pattern(std::size_t n, unsigned int seed) {
    Bytes bytes(n);
    std::mt19937 random(seed);
    for (auto& b : bytes)
        b = static_cast<unsigned char>(random());
    return bytes;
}

std::size_t CfbImage::EntryOffset(std::uint32_t id) const {
    const std::size_t perSector = (std::size_t{1} << sectorShift) / 128;
    return SectorOffset(directorySectors.at(id / perSector)) + 128 * (id % perSector);
}

void CfbImage::Put(std::size_t offset, std::uint64_t value, unsigned int n) {
    for (unsigned int i = 0; i < n; ++i)
        bytes.at(offset + i) = static_cast<unsigned char>(value >> (8 * i));
}

void CfbImage::SetFAT(std::uint32_t sector, std::uint32_t next) {
    const std::size_t perSector = (std::size_t{1} << sectorShift) / 4;
    Put32(SectorOffset(fatSectors.at(sector / perSector)) + 4 * (sector % perSector), next);
}

CfbBuilder::CfbBuilder(unsigned int sectorShift, unsigned int miniShift, std::uint32_t cutoff)
    : m_SectorShift(sectorShift), m_MiniShift(miniShift), m_Cutoff(cutoff) {
    m_Entries.push_back(Entry{u"Root Entry", 5, {}, {}});
}

std::uint32_t CfbBuilder::Add(std::uint32_t parent, Entry entry) {
    m_Entries.push_back(std::move(entry));
    const auto id = static_cast<std::uint32_t>(m_Entries.size() - 1);
    m_Entries.at(parent).children.push_back(id);
    return id;
}

CfbImage CfbBuilder::Build() const {
    const std::size_t sectorSize = std::size_t{1} << m_SectorShift;
    const std::size_t miniSize = std::size_t{1} << m_MiniShift;
    const std::size_t perFAT = sectorSize / 4;
    CfbImage image;
    image.sectorShift = m_SectorShift;
    image.startSectors.assign(m_Entries.size(), END_OF_CHAIN);

    // Lay out the data: big streams first, then the mini stream.
    std::vector<std::uint32_t> fat;
    // Appends a chain of `count` consecutive units to `table`.
    auto chain = [](std::vector<std::uint32_t>& table, std::uint32_t count) {
        const auto first = static_cast<std::uint32_t>(table.size());
        for (std::uint32_t i = 0; i < count; ++i)
            table.push_back(i + 1 < count ? first + i + 1 : END_OF_CHAIN);
        return count ? first : END_OF_CHAIN;
    };
    // Big streams in turns of m_InterleaveRun sectors each, or each whole
    // in one turn when they are not interleaved.
    const std::uint64_t run = m_InterleaveRun ? m_InterleaveRun : UINT32_MAX;
    std::vector<std::vector<std::uint32_t>> sectors(m_Entries.size());
    for (std::uint64_t turn = 0, placed = 1; placed; ++turn) {
        placed = 0;
        for (std::size_t id = 1; id < m_Entries.size(); ++id) {
            const Entry& e = m_Entries[id];
            if (e.type != 2 || e.data.size() < m_Cutoff)
                continue;
            const std::uint32_t count = Units(e.data.size(), sectorSize);
            for (std::uint64_t k = turn * run; k < count && k < (turn + 1) * run; ++k, ++placed) {
                sectors[id].push_back(static_cast<std::uint32_t>(fat.size()));
                fat.push_back(END_OF_CHAIN);
            }
        }
    }
    for (std::size_t id = 1; id < m_Entries.size(); ++id) {
        for (std::size_t i = 0; i + 1 < sectors[id].size(); ++i)
            fat[sectors[id][i]] = sectors[id][i + 1];
        if (!sectors[id].empty())
            image.startSectors[id] = sectors[id].front();
    }
    Bytes miniStream;
    std::vector<std::uint32_t> miniFAT;
    for (std::size_t id = 1; id < m_Entries.size(); ++id) {
        const Entry& e = m_Entries[id];
        if (e.type != 2 || e.data.empty() || e.data.size() >= m_Cutoff)
            continue;
        image.startSectors[id] = chain(miniFAT, Units(e.data.size(), miniSize));
        miniStream.insert(miniStream.end(), e.data.begin(), e.data.end());
        miniStream.resize(std::size_t{miniFAT.size()} * miniSize);
    }
    image.startSectors[0] = chain(fat, Units(miniStream.size(), sectorSize));
    const std::uint32_t firstDirectory = chain(fat, Units(m_Entries.size() * 128, sectorSize));
    const std::uint32_t firstMiniFAT = chain(fat, Units(miniFAT.size() * 4, sectorSize));

    // The FAT and DIFAT sectors must describe themselves too.
    std::uint32_t fatCount = 0, difatCount = 0;
    for (;;) {
        const std::size_t total = fat.size() + fatCount + difatCount;
        const std::uint32_t needFAT = Units(total, perFAT);
        const std::uint32_t needDIFAT = needFAT > 109 ? Units(needFAT - 109, perFAT - 1) : 0;
        if (needFAT == fatCount && needDIFAT == difatCount)
            break;
        fatCount = needFAT;
        difatCount = needDIFAT;
    }
    for (std::uint32_t i = 0; i < fatCount; ++i) {
        image.fatSectors.push_back(static_cast<std::uint32_t>(fat.size()));
        fat.push_back(FAT_SECT);
    }
    for (std::uint32_t i = 0; i < difatCount; ++i) {
        image.difatSectors.push_back(static_cast<std::uint32_t>(fat.size()));
        fat.push_back(DIFAT_SECT);
    }
    const std::size_t sectorCount = fat.size();
    fat.resize(std::size_t{fatCount} * perFAT, FREE_SECT);

    image.bytes.assign((sectorCount + 1) * sectorSize, 0);
    for (std::uint32_t s = firstDirectory; s != END_OF_CHAIN; s = fat[s])
        image.directorySectors.push_back(s);
    auto put = [&](std::uint32_t first, const Bytes& data) {
        std::size_t at = 0;
        for (std::uint32_t s = first; s != END_OF_CHAIN && at < data.size(); s = fat[s]) {
            const std::size_t n = std::min(sectorSize, data.size() - at);
            std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), n,
                        image.bytes.begin() + static_cast<std::ptrdiff_t>(image.SectorOffset(s)));
            at += n;
        }
    };
    // Header.
    static const unsigned char signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(std::begin(signature), std::end(signature), image.bytes.begin());
    image.Put16(0x18, 0x3E);
    image.Put16(0x1A, m_SectorShift == 12 ? 4 : 3);
    image.Put16(0x1C, 0xFFFE);
    image.Put16(0x1E, static_cast<std::uint16_t>(m_SectorShift));
    image.Put16(0x20, static_cast<std::uint16_t>(m_MiniShift));
    image.Put32(0x2C, fatCount);
    image.Put32(0x30, firstDirectory);
    image.Put32(0x38, m_Cutoff);
    image.Put32(0x3C, firstMiniFAT);
    image.Put32(0x40, Units(miniFAT.size() * 4, sectorSize));
    image.Put32(0x44, difatCount ? image.difatSectors[0] : END_OF_CHAIN);
    image.Put32(0x48, difatCount);
    for (std::uint32_t i = 0; i < 109; ++i)
        image.Put32(0x4C + 4 * i, i < fatCount ? image.fatSectors[i] : FREE_SECT);

    // DIFAT sectors: the FAT sectors beyond the header's 109, then the next.
    for (std::uint32_t d = 0; d < difatCount; ++d) {
        const std::size_t at = image.SectorOffset(image.difatSectors[d]);
        for (std::size_t j = 0; j + 1 < perFAT; ++j) {
            const std::size_t index = 109 + d * (perFAT - 1) + j;
            image.Put32(at + 4 * j, index < fatCount ? image.fatSectors[index] : FREE_SECT);
        }
        image.Put32(at + 4 * (perFAT - 1),
                    d + 1 < difatCount ? image.difatSectors[d + 1] : END_OF_CHAIN);
    }
    for (std::uint32_t s = 0; s < fat.size(); ++s)
        image.SetFAT(s, fat[s]);
    Bytes miniFATBytes;
    for (const std::uint32_t next : miniFAT)
        Append(miniFATBytes, LittleEndian(next, 4));
    put(firstMiniFAT, miniFATBytes);
    put(image.startSectors[0], miniStream);

    // Directory.
    std::vector<std::uint32_t> rightSibling(m_Entries.size(), NO_ENTRY);
    for (const Entry& e : m_Entries)
        for (std::size_t c = 0; c + 1 < e.children.size(); ++c)
            rightSibling[e.children[c]] = e.children[c + 1];
    for (std::uint32_t id = 0; id < m_Entries.size(); ++id) {
        const Entry& e = m_Entries[id];
        if (e.name.size() > 31)
            throw std::invalid_argument("directory names hold at most 31 units");
        for (std::size_t i = 0; i < e.name.size(); ++i)
            image.Put16(image.EntryOffset(id) + 2 * i, e.name[i]);
        image.SetEntry32(id, ENTRY_NAME_LENGTH,
                         static_cast<std::uint32_t>(2 * (e.name.size() + 1)) |
                             (std::uint32_t{e.type} << 16) | (1u << 24));
        image.SetEntry32(id, ENTRY_LEFT, NO_ENTRY);
        image.SetEntry32(id, ENTRY_RIGHT, rightSibling[id]);
        image.SetEntry32(id, ENTRY_CHILD, e.children.empty() ? NO_ENTRY : e.children.front());
        image.SetEntry32(id, ENTRY_START, image.startSectors[id]);
        image.SetEntry32(id, ENTRY_SIZE,
                         static_cast<std::uint32_t>(id == 0 ? miniStream.size() : e.data.size()));
    }
    for (std::size_t id = 1; id < m_Entries.size(); ++id)
        if (m_Entries[id].data.size() >= m_Cutoff)
            put(image.startSectors[id], m_Entries[id].data);
    return image;
}

} // namespace cfbtest
