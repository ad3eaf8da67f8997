#pragma once

#include <ZymFile/MemoryBuffer.h>
#include <ZymFile/StaticMemoryBuffer.h>
#include <ZymWindows/OLEStorage.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace cfbtest {

using Bytes = std::vector<unsigned char>;

// The `n` low bytes of `value`, least significant first.
inline Bytes LittleEndian(std::uint64_t value, unsigned int n) {
    Bytes out(n);
    for (unsigned int i = 0; i < n; ++i)
        out[i] = static_cast<unsigned char>(value >> (8 * i));
    return out;
}

inline void Append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        Append(out, part);
    return out;
}

// A compound file as built, with where its parts went, so that a test can
// damage exactly the part it is about.
struct CfbImage {
    Bytes bytes;
    unsigned int sectorShift = 9;
    std::vector<std::uint32_t> fatSectors;
    std::vector<std::uint32_t> difatSectors;
    std::vector<std::uint32_t> directorySectors;
    // First sector of each directory entry's data (a mini sector for streams
    // in the mini stream), by directory id.
    std::vector<std::uint32_t> startSectors;

    std::size_t SectorOffset(std::uint32_t sector) const {
        return (std::size_t{sector} + 1) << sectorShift;
    }
    std::size_t EntryOffset(std::uint32_t id) const;
    void Put32(std::size_t offset, std::uint32_t value) { Put(offset, value, 4); }
    void Put16(std::size_t offset, std::uint16_t value) { Put(offset, value, 2); }
    void Put(std::size_t offset, std::uint64_t value, unsigned int n);
    void SetFAT(std::uint32_t sector, std::uint32_t next);
    void SetEntry32(std::uint32_t id, unsigned int field, std::uint32_t value) {
        Put32(EntryOffset(id) + field, value);
    }
};

// Offsets of the directory entry fields that tests change.
constexpr unsigned int ENTRY_NAME_LENGTH = 0x40;
constexpr unsigned int ENTRY_TYPE = 0x42;
constexpr unsigned int ENTRY_LEFT = 0x44;
constexpr unsigned int ENTRY_RIGHT = 0x48;
constexpr unsigned int ENTRY_CHILD = 0x4C;
constexpr unsigned int ENTRY_START = 0x74;
constexpr unsigned int ENTRY_SIZE = 0x78;
constexpr std::uint32_t NO_ENTRY = 0xFFFFFFFF;

// Writes compound files of a chosen geometry. Directory id 0 is the root;
// ids follow the order of the Add calls. Each storage's children hang off
// its child entry as a chain of right siblings. Streams of at least
// `cutoff` bytes get consecutive sectors; smaller ones go to the mini stream.
class CfbBuilder {
public:
    explicit CfbBuilder(unsigned int sectorShift = 9, unsigned int miniShift = 6,
                        std::uint32_t cutoff = 4096);

    std::uint32_t AddStorage(std::uint32_t parent, const std::u16string& name) {
        return Add(parent, Entry{name, 1, {}, {}});
    }
    std::uint32_t AddStream(std::uint32_t parent, const std::u16string& name, const Bytes& data) {
        return Add(parent, Entry{name, 2, data, {}});
    }
    // Lays the big streams out in turns of `run` sectors each instead of
    // one after the other, so that every stream is fragmented.
    void InterleaveStreams(unsigned int run) { m_InterleaveRun = run; }
    CfbImage Build() const;

private:
    struct Entry {
        std::u16string name;
        unsigned char type;
        Bytes data;
        std::vector<std::uint32_t> children;
    };
    std::uint32_t Add(std::uint32_t parent, Entry entry);

    unsigned int m_SectorShift;
    unsigned int m_MiniShift;
    std::uint32_t m_Cutoff;
    unsigned int m_InterleaveRun = 0;
    std::vector<Entry> m_Entries;
};

Bytes Pattern(std::size_t n, unsigned int seed);

using ZymWindows::OLE::Storage;

// `bytes` as a read-only buffer.
inline ZymFile::StaticMemoryBuffer View(const Bytes& bytes) {
    return ZymFile::StaticMemoryBuffer(static_cast<const void*>(bytes.data()),
                                       static_cast<unsigned int>(bytes.size()));
}

// `bytes` with the byte at `offset` set to `value`.
inline Bytes Patched(Bytes bytes, std::size_t offset, unsigned char value) {
    bytes.at(offset) = value;
    return bytes;
}

// A document held in memory with its root storage open.
struct OpenDocument {
    explicit OpenDocument(Bytes data)
        : bytes(std::move(data)),
          buffer(std::make_unique<ZymFile::StaticMemoryBuffer>(
              static_cast<const void*>(bytes.data()), static_cast<unsigned int>(bytes.size()))),
          root(new Storage(u"test", "", *buffer)) {}

    Bytes bytes;
    std::unique_ptr<ZymFile::StaticMemoryBuffer> buffer;
    Zym::SmartPtr<Storage> root;
};

// A stream's bytes, by directory id or by name.
template <class Key> Bytes Read(const Storage& storage, const Key& key) {
    ZymFile::MemoryBuffer out;
    storage.ReadStream(key, out);
    return Bytes(out.Data(), out.Data() + out.Size());
}

inline Bytes Prefix(const Bytes& data, std::size_t n) {
    return Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
}

} // namespace cfbtest
