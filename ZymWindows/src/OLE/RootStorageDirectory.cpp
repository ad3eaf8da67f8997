#include "LittleEndian.h"

#include <ZymFile/Seek.h>
#include <ZymWindows/OLEStorage.h>

#include <unordered_set>

namespace ZymWindows::OLE {

using RootStorage = Storage::RootStorage;

namespace {

constexpr unsigned int NAME_UNITS = 32;
constexpr std::uint32_t NO_SIBLING = 0xFFFFFFFF;
constexpr unsigned int STORAGE_TYPE = 1;
constexpr unsigned int STREAM_TYPE = 2;

bool IsEntryID(std::uint32_t id) {
    return id != NO_SIBLING && id != RootStorage::END_OF_CHAIN;
}

// The name is at most 32 units, as many as the length field claims, without
// the zero units that end it.
std::u16string DecodeName(const RootStorage::DirectoryEntry& entry) {
    unsigned int n = std::min(entry.NameLength() / 2, NAME_UNITS);
    while (n > 0 && entry.NameUnit(n - 1) == 0)
        --n;
    std::u16string name(n, u'\0');
    for (unsigned int i = 0; i < n; ++i)
        name[i] = entry.NameUnit(i);
    return name;
}

} // namespace

char16_t RootStorage::DirectoryEntry::NameUnit(unsigned int index) const {
    return static_cast<char16_t>(ReadLE16(Bytes + 2 * index));
}
unsigned int RootStorage::DirectoryEntry::NameLength() const {
    return ReadLE16(Bytes + 0x40);
}
unsigned int RootStorage::DirectoryEntry::ObjectType() const {
    return Bytes[0x42];
}
std::uint32_t RootStorage::DirectoryEntry::LeftSiblingID() const {
    return ReadLE32(Bytes + 0x44);
}
std::uint32_t RootStorage::DirectoryEntry::RightSiblingID() const {
    return ReadLE32(Bytes + 0x48);
}
std::uint32_t RootStorage::DirectoryEntry::ChildID() const {
    return ReadLE32(Bytes + 0x4C);
}
std::uint32_t RootStorage::DirectoryEntry::StartingSector() const {
    return ReadLE32(Bytes + 0x74);
}
std::uint32_t RootStorage::DirectoryEntry::StreamSize() const {
    return ReadLE32(Bytes + 0x78);
}
bool RootStorage::DirectoryEntry::IsValid() const {
    return ObjectType() >= 1 && ObjectType() <= 5;
}

bool RootStorage::GetDirEntry(unsigned long id, DirectoryEntry& entry) const {
    const auto cached = m_DirCache.find(id);
    if (cached != m_DirCache.end()) {
        entry = cached->second;
        return true;
    }
    const unsigned long q = id / m_DirEntriesPerSector;
    const unsigned long r = id % m_DirEntriesPerSector;
    if (q >= m_DirChain.size())
        return false;
    try {
        m_Buffer.SeekG(GetSectorOffset(m_DirChain[q]) + 128 * static_cast<unsigned int>(r));
        m_Buffer.Get(entry.Bytes, sizeof entry.Bytes);
    } catch (const Zym::BinaryStreamGetEOFException&) {
        return false;
    } catch (const ZymFile::SeekOutOfRangeException&) {
        return false;
    }
    if (!entry.IsValid())
        return false;
    m_DirCache.emplace(id, entry);
    return true;
}

// One level of the tree: the whole sibling tree below the storage's child
// entry. Siblings are followed with an explicit stack and a set of ids
// already met, so cycles and deep trees cost neither time nor stack.
void RootStorage::GetStorageEntries(unsigned long id,
                                    std::map<unsigned long, DirectoryEntry>& entries) const {
    DirectoryEntry storage;
    if (!GetDirEntry(id, storage))
        return;
    std::vector<unsigned long> pending;
    if (IsEntryID(storage.ChildID()))
        pending.push_back(storage.ChildID());
    std::unordered_set<unsigned long> seen;
    while (!pending.empty()) {
        const unsigned long c = pending.back();
        pending.pop_back();
        if (!seen.insert(c).second)
            continue;
        DirectoryEntry child;
        if (!GetDirEntry(c, child))
            continue;
        entries[c] = child;
        if (IsEntryID(child.LeftSiblingID()))
            pending.push_back(child.LeftSiblingID());
        if (IsEntryID(child.RightSiblingID()))
            pending.push_back(child.RightSiblingID());
    }
}

void RootStorage::GetChild(unsigned long id, std::vector<Item>& storages,
                           std::vector<Item>& streams) const {
    std::map<unsigned long, DirectoryEntry> entries;
    GetStorageEntries(id, entries);
    for (const auto& [childID, entry] : entries) {
        const unsigned int type = entry.ObjectType();
        if (type != STORAGE_TYPE && type != STREAM_TYPE)
            continue;
        std::u16string name = DecodeName(entry);
        if (name.empty())
            continue;
        if (type == STORAGE_TYPE)
            storages.push_back(Item{childID, std::move(name), 0});
        else
            streams.push_back(Item{childID, std::move(name), entry.StreamSize()});
    }
}

} // namespace ZymWindows::OLE
