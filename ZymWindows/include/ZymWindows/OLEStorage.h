#pragma once

#include <ZymWindows/Export.h>

#include <Zym/BinaryStreamBuf.h>
#include <Zym/FastVector.h>
#include <Zym/RefCounter.h>
#include <Zym/SmartPtr.h>
#include <ZymWindows/OLEPropertyStorage.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ZymWindows::OLE {

// One storage (a directory) of a compound document. The root storage is
// opened from the document's bytes; the storages below it are opened from
// their parent. All storages of one document share one container, which
// does the reading, so they must be used from one thread at a time.
class ZYMWINDOWS_EXPORT Storage : public Zym::SPRefCounter {
public:
    // A child as listed: its directory id, its name and, for a stream, its
    // size in bytes (0 for a storage).
    struct Item {
        unsigned long ID;
        std::u16string Name;
        unsigned long Size;
    };

    class RootStorage;

    // Opens the root storage of the compound document in `buffer`, which
    // must be positioned at its start and stay alive and unchanged while any
    // storage of the document exists. `name` labels the document; small
    // streams are unpacked into temporary buffers under `tempPath` (the
    // system's temporary directory when empty). Raises
    // NotAStorageOLEException or CorruptedStorageOLEException.
    Storage(const std::u16string& name, const std::string& tempPath, Zym::BinaryStreamBuf& buffer);
    ~Storage() override;

    const std::u16string& Name() const noexcept { return m_Name; }
    // The direct children, in ascending directory id.
    const std::vector<Item>& Storages() const noexcept { return m_Storages; }
    const std::vector<Item>& Streams() const noexcept { return m_Streams; }

    // Raise StorageNotFoundOLEException when no child storage matches. Names
    // match exactly, letter case included; the first match in directory id
    // order wins.
    Zym::SmartPtr<Storage> OpenStorage(unsigned long id);
    Zym::SmartPtr<Storage> OpenStorage(const std::u16string& name);

    // Appends the stream's bytes to `out` at its put position. Any directory
    // id of the document can be read; an invalid or empty entry adds
    // nothing. Reading by name raises StreamNotFoundOLEException when no
    // child stream has that name.
    void ReadStream(unsigned long id, Zym::BinaryStreamBuf& out) const;
    void ReadStream(const std::u16string& name, Zym::BinaryStreamBuf& out) const;

    // The properties of every property set stream in this storage and the
    // storages below it, breadth first. The first value filed under a key
    // stays, so this storage's properties win over deeper ones. Streams that
    // are not property sets are skipped.
    void Properties(PropertyStorage::PropertyMap& props,
                    PropertyStorage::NamedPropertyMap& named) const;
    void Properties(PropertyStorage::MergedPropertyMap& all) const;

private:
    Storage(const Zym::SmartPtr<RootStorage>& root, unsigned long id, const std::u16string& name);

    Zym::SmartPtr<RootStorage> m_Root;
    std::u16string m_Name;
    std::vector<Item> m_Storages;
    std::vector<Item> m_Streams;
};

// The compound file container: checks the header, loads the sector tables
// and reads directory entries and streams through the caller's buffer.
// Damaged tables, chains and entries never raise: reads end early and lists
// leave out what cannot be read.
class ZYMWINDOWS_EXPORT Storage::RootStorage : public Zym::SPRefCounter {
public:
    static const char* const OLE_SIG;
    static const char* const OLE_SIG_BETA_2;
    static constexpr unsigned int OLE_SIG_SIZE = 8;
    static constexpr unsigned long END_OF_CHAIN = 0xFFFFFFFE;
    static constexpr unsigned long FREE_SECT = 0xFFFFFFFF;
    static constexpr unsigned long ROOT_STORAGE_ID = 0;
    static const std::u16string ROOT_STORAGE_NAME;

    // A 128-byte directory entry exactly as stored in the file.
    struct DirectoryEntry {
        unsigned char Bytes[128];

        char16_t NameUnit(unsigned int index) const;
        unsigned int NameLength() const;
        unsigned int ObjectType() const;
        std::uint32_t LeftSiblingID() const;
        std::uint32_t RightSiblingID() const;
        std::uint32_t ChildID() const;
        std::uint32_t StartingSector() const;
        std::uint32_t StreamSize() const;
        // Types 1 to 5 are entries in use.
        bool IsValid() const;
    };

    // Raises NotAStorageOLEException or CorruptedStorageOLEException, and
    // BinaryStreamGetEOFException when the header cannot be read whole.
    RootStorage(const std::u16string& name, const std::string& tempPath,
                Zym::BinaryStreamBuf& buffer);
    ~RootStorage() override;

    void ReadStream(unsigned long id, Zym::BinaryStreamBuf& out) const;
    // Appends the children of storage `id` in ascending directory id.
    void GetChild(unsigned long id, std::vector<Item>& storages, std::vector<Item>& streams) const;
    const std::string& TempPath() const noexcept { return m_TempPath; }

private:
    class SectorVisits;
    using SectorTable = Zym::FastVector<std::uint32_t>;

    bool IsStructuredStorage() const;
    std::uint32_t HeaderField(unsigned int offset) const;
    unsigned int GetSectorOffset(unsigned long sect) const;
    unsigned int GetMiniSectorOffset(unsigned long sect) const;
    void ReadFATSector(unsigned long sect);
    unsigned int GetContigousSectCount(const SectorTable& fat, unsigned long start,
                                       SectorVisits& visited, unsigned int enough) const;
    void ReadFAT();
    void ReadMiniFAT();
    void ReadDirectoryChain();
    void ReadMiniStream() const;
    void ReadStreamInternal(unsigned long startSect, unsigned int size, bool allowMini,
                            Zym::BinaryStreamBuf& out) const;
    void GetStorageEntries(unsigned long id,
                           std::map<unsigned long, DirectoryEntry>& entries) const;
    bool GetDirEntry(unsigned long id, DirectoryEntry& entry) const;

    std::u16string m_Name;
    std::string m_TempPath;
    Zym::BinaryStreamBuf& m_Buffer;
    unsigned char m_Header[512] = {};
    unsigned int m_SectorShift = 0;
    unsigned int m_MiniSectorShift = 0;
    unsigned int m_SectorSize = 0;
    unsigned int m_MiniSectorSize = 0;
    unsigned int m_DirEntriesPerSector = 0;
    unsigned int m_FATEntriesPerSector = 0;
    // Sector numbers are 32-bit in the file, whatever the width of long.
    SectorTable m_FAT;
    SectorTable m_MiniFAT;
    // The directory chain, walked once: entry k of the directory lives in
    // sector m_DirChain[k / m_DirEntriesPerSector].
    std::vector<std::uint32_t> m_DirChain;
    mutable std::map<unsigned long, DirectoryEntry> m_DirCache;
    mutable Zym::SmartPtr<Zym::BinaryStreamBuf> m_MiniStream;
    std::unique_ptr<unsigned char[]> m_SectorBuffer;
    std::unique_ptr<SectorVisits> m_FATVisits;
    std::unique_ptr<SectorVisits> m_MiniFATVisits;
};

} // namespace ZymWindows::OLE
