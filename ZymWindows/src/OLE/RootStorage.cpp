#include "LittleEndian.h"
#include "SectorVisits.h"

#include <ZymFile/Seek.h>
#include <ZymWindows/Exceptions.h>

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace ZymWindows::OLE {

using RootStorage = Storage::RootStorage;

const char* const RootStorage::OLE_SIG = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
const char* const RootStorage::OLE_SIG_BETA_2 = "\x0E\x11\xFC\x0D\xD0\xCF\x11\xE0";
const std::u16string RootStorage::ROOT_STORAGE_NAME = u"Root Entry";

namespace {

constexpr unsigned int HEADER_SIZE = 512;
constexpr unsigned int BYTE_ORDER_MARK = 0x1C;
constexpr unsigned int SECTOR_SHIFT = 0x1E;
constexpr unsigned int MINI_SECTOR_SHIFT = 0x20;
constexpr unsigned int FAT_SECTOR_COUNT = 0x2C;
constexpr unsigned int FIRST_DIRECTORY_SECTOR = 0x30;
constexpr unsigned int FIRST_MINI_FAT_SECTOR = 0x3C;
constexpr unsigned int MINI_FAT_SECTOR_COUNT = 0x40;
constexpr unsigned int FIRST_DIFAT_SECTOR = 0x44;
constexpr unsigned int HEADER_FAT_SECTORS = 0x4C;
constexpr unsigned int HEADER_FAT_SECTOR_SLOTS = 109;
constexpr std::uint32_t MAX_TABLE_SECTORS = 0x10000;

void ClampHeaderCount(unsigned char* header, unsigned int offset) {
    if (ReadLE32(header + offset) > MAX_TABLE_SECTORS)
        WriteLE32(header + offset, MAX_TABLE_SECTORS);
}

} // namespace

RootStorage::RootStorage(const std::u16string& name, const std::string& tempPath,
                         Zym::BinaryStreamBuf& buffer)
    : m_Name(name), m_TempPath(tempPath), m_Buffer(buffer) {
    if (buffer.Size() < HEADER_SIZE)
        throw NotAStorageOLEException();
    buffer.Get(m_Header, HEADER_SIZE);
    if (!IsStructuredStorage())
        throw NotAStorageOLEException();
    if (ReadLE16(m_Header + BYTE_ORDER_MARK) != 0xFFFE)
        throw CorruptedStorageOLEException();
    m_SectorShift = m_Header[SECTOR_SHIFT] % 32;
    m_MiniSectorShift = m_Header[MINI_SECTOR_SHIFT] % 32;
    m_SectorSize = 1u << m_SectorShift;
    m_MiniSectorSize = 1u << m_MiniSectorShift;
    m_DirEntriesPerSector = m_SectorSize / 128;
    m_FATEntriesPerSector = m_SectorSize / 4;
    if (m_SectorSize < 512 || m_SectorSize > 4096 || m_MiniSectorSize < 64 ||
        m_MiniSectorSize > 512)
        throw CorruptedStorageOLEException();
    m_SectorBuffer = std::make_unique<unsigned char[]>(m_SectorSize);
    m_FATVisits = std::make_unique<SectorVisits>();
    m_MiniFATVisits = std::make_unique<SectorVisits>();
    ClampHeaderCount(m_Header, FAT_SECTOR_COUNT);
    ClampHeaderCount(m_Header, MINI_FAT_SECTOR_COUNT);
    ReadFAT();
    ReadMiniFAT();
    ReadDirectoryChain();
}

RootStorage::~RootStorage() = default;

bool RootStorage::IsStructuredStorage() const {
    return std::memcmp(m_Header, OLE_SIG, OLE_SIG_SIZE) == 0 ||
           std::memcmp(m_Header, OLE_SIG_BETA_2, OLE_SIG_SIZE) == 0;
}

std::uint32_t RootStorage::HeaderField(unsigned int offset) const {
    return ReadLE32(m_Header + offset);
}

// Offsets are 32-bit and wrap around, as the format's readers always did.
unsigned int RootStorage::GetSectorOffset(unsigned long sect) const {
    return static_cast<unsigned int>(sect + 1) << m_SectorShift;
}

unsigned int RootStorage::GetMiniSectorOffset(unsigned long sect) const {
    return static_cast<unsigned int>(sect) << m_MiniSectorShift;
}

void RootStorage::ReadFATSector(unsigned long sect) {
    m_Buffer.SeekG(GetSectorOffset(sect));
    m_Buffer.Get(m_SectorBuffer.get(), m_SectorSize);
    for (unsigned int i = 0; i < m_FATEntriesPerSector; ++i)
        m_FAT.Append(ReadLE32(m_SectorBuffer.get() + 4 * i));
}

void RootStorage::ReadFAT() {
    const std::uint32_t fatSectors = HeaderField(FAT_SECTOR_COUNT);
    // A FAT longer than the source has sectors describes nothing readable:
    // loading stops there, so a file that names one FAT sector over and over
    // cannot blow the table up.
    const std::size_t sectorsInSource = (m_Buffer.Size() - 1) / m_SectorSize;
    const std::size_t usefulFATSectors =
        (sectorsInSource + m_FATEntriesPerSector - 1) / m_FATEntriesPerSector;
    const std::size_t usefulEntries = usefulFATSectors * m_FATEntriesPerSector;
    m_FAT.Reserve(std::min<std::size_t>(fatSectors, usefulFATSectors) * m_FATEntriesPerSector);
    auto takeFATSector = [&](std::uint32_t sect, std::uint32_t& taken) {
        if (sect == FREE_SECT || m_FAT.Size() >= usefulEntries) {
            taken = fatSectors;
            return;
        }
        ReadFATSector(sect);
        ++taken;
    };
    try {
        std::uint32_t i = 0;
        while (i < HEADER_FAT_SECTOR_SLOTS && i < fatSectors)
            takeFATSector(HeaderField(HEADER_FAT_SECTORS + 4 * i), i);
        if (HeaderField(FIRST_DIFAT_SECTOR) == END_OF_CHAIN || i >= fatSectors)
            return;
        std::unordered_set<std::uint32_t> seen;
        const auto difat = std::make_unique<unsigned char[]>(m_SectorSize);
        std::uint32_t d = HeaderField(FIRST_DIFAT_SECTOR);
        while (d != END_OF_CHAIN && i < fatSectors && seen.insert(d).second) {
            m_Buffer.SeekG(GetSectorOffset(d));
            m_Buffer.Get(difat.get(), m_SectorSize);
            for (unsigned int j = 0; j + 1 < m_FATEntriesPerSector && i < fatSectors; ++j)
                takeFATSector(ReadLE32(difat.get() + 4 * j), i);
            d = ReadLE32(difat.get() + m_SectorSize - 4);
        }
    } catch (const Zym::BinaryStreamGetEOFException&) {
    } catch (const ZymFile::SeekOutOfRangeException&) {
    }
}

void RootStorage::ReadMiniFAT() {
    std::uint32_t s = HeaderField(FIRST_MINI_FAT_SECTOR);
    if (s == END_OF_CHAIN)
        return;
    const std::size_t sectorsInSource = (m_Buffer.Size() - 1) / m_SectorSize;
    m_MiniFAT.Reserve(std::min<std::size_t>(HeaderField(MINI_FAT_SECTOR_COUNT), sectorsInSource) *
                      m_FATEntriesPerSector);
    m_FATVisits->Start(m_FAT.Size());
    try {
        while (s != END_OF_CHAIN && m_FATVisits->Insert(s)) {
            m_Buffer.SeekG(GetSectorOffset(s));
            m_Buffer.Get(m_SectorBuffer.get(), m_SectorSize);
            for (unsigned int i = 0; i < m_FATEntriesPerSector; ++i)
                m_MiniFAT.Append(ReadLE32(m_SectorBuffer.get() + 4 * i));
            if (s >= m_FAT.Size())
                break;
            s = m_FAT[s];
        }
    } catch (const Zym::BinaryStreamGetEOFException&) {
    } catch (const ZymFile::SeekOutOfRangeException&) {
    }
}

// The chain is followed through the FAT until END_OF_CHAIN, a sector beyond
// the FAT, or a sector met before; that last sector still belongs to the
// chain, as a step-by-step walk would reach it.
void RootStorage::ReadDirectoryChain() {
    std::uint32_t s = HeaderField(FIRST_DIRECTORY_SECTOR);
    m_FATVisits->Start(m_FAT.Size());
    while (s != END_OF_CHAIN) {
        m_DirChain.push_back(s);
        if (s >= m_FAT.Size() || !m_FATVisits->Insert(s))
            break;
        s = m_FAT[s];
    }
}

} // namespace ZymWindows::OLE
