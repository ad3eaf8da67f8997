#include "LittleEndian.h"

#include <ZymFile/Seek.h>
#include <ZymWindows/Exceptions.h>
#include <ZymWindows/OLEPropertyStorage.h>

#include <algorithm>
#include <cstring>

namespace ZymWindows::OLE {

const _GUID PropertyStorage::SUMMARY_INFORMATION_ID = {
    0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}};
const _GUID PropertyStorage::DOC_SUMMARY_INFORMATION_ID = {
    0xD5CDD502, 0x2E9C, 0x101B, {0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE}};
const _GUID PropertyStorage::USER_DEFINED_PROPERTIES_ID = {
    0xD5CDD505, 0x2E9C, 0x101B, {0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE}};

namespace {

constexpr unsigned int HEADER_SIZE = 28;
constexpr unsigned int SECTION_ENTRY_SIZE = 20;
constexpr std::uint32_t MAX_PROPERTIES = 65536;
constexpr std::uint32_t DICTIONARY_ID = 0;
constexpr std::uint32_t CODE_PAGE_ID = 1;
constexpr std::uint32_t LOCALE_ID = 0x80000000;

_GUID DecodeGuid(const unsigned char* bytes) {
    _GUID id{ReadLE32(bytes), ReadLE16(bytes + 4), ReadLE16(bytes + 6), {}};
    std::memcpy(id.Data4, bytes + 8, 8);
    return id;
}

// Some writers store the three leading fields of a format id big-endian.
bool IsStoredBigEndian(const unsigned char* bytes, const _GUID& id) {
    const unsigned char swapped[8] = {
        static_cast<unsigned char>(id.Data1 >> 24), static_cast<unsigned char>(id.Data1 >> 16),
        static_cast<unsigned char>(id.Data1 >> 8),  static_cast<unsigned char>(id.Data1),
        static_cast<unsigned char>(id.Data2 >> 8),  static_cast<unsigned char>(id.Data2),
        static_cast<unsigned char>(id.Data3 >> 8),  static_cast<unsigned char>(id.Data3)};
    return std::memcmp(bytes, swapped, 8) == 0 && std::memcmp(bytes + 8, id.Data4, 8) == 0;
}

_GUID NormalisedFormatID(const unsigned char* bytes) {
    for (const _GUID* known :
         {&PropertyStorage::SUMMARY_INFORMATION_ID, &PropertyStorage::DOC_SUMMARY_INFORMATION_ID,
          &PropertyStorage::USER_DEFINED_PROPERTIES_ID})
        if (IsStoredBigEndian(bytes, *known))
            return *known;
    return DecodeGuid(bytes);
}

} // namespace

PropertyStorage::PropertyStorage(Zym::BinaryStreamBuf& buffer) : m_Buffer(buffer) {
    try {
        unsigned char header[HEADER_SIZE];
        m_Buffer.Get(header, HEADER_SIZE);
        if (ReadLE16(header) != 0xFFFE || ReadLE16(header + 2) != 0 || ReadLE32(header + 24) == 0)
            throw NotAPropertyStorageOLEException();
        unsigned char entry[SECTION_ENTRY_SIZE];
        m_Buffer.Get(entry, SECTION_ENTRY_SIZE);
        m_ID = NormalisedFormatID(entry);
        unsigned long smallest = ReadLE32(entry + 16);
        m_SectionOffsets.push_back(smallest);
        // The section list ends where the first section's data begins.
        while (std::uint64_t{m_Buffer.TellG()} + SECTION_ENTRY_SIZE <= smallest) {
            m_Buffer.Get(entry, SECTION_ENTRY_SIZE);
            m_SectionOffsets.push_back(ReadLE32(entry + 16));
            smallest = std::min<unsigned long>(smallest, m_SectionOffsets.back());
        }
    } catch (const Zym::BinaryStreamGetEOFException&) {
        throw CorruptedPropertyStorageOLEException();
    }
}

PropertyStorage::~PropertyStorage() = default;

void PropertyStorage::Properties(PropertyMap& props, NamedPropertyMap& named) const {
    ExtractPropertiesFromBuffer(props, named);
}

void PropertyStorage::Properties(MergedPropertyMap& all) const {
    PropertyMap props;
    NamedPropertyMap named;
    ExtractPropertiesFromBuffer(props, named);
    MergePropertyMap(props, named, all);
}

void PropertyStorage::ExtractPropertiesFromBuffer(PropertyMap& props,
                                                  NamedPropertyMap& named) const {
    for (const unsigned long offset : m_SectionOffsets) {
        try {
            ExtractPropertiesFromSection(offset, props, named);
        } catch (const Zym::BinaryStreamGetEOFException&) {
        } catch (const ZymFile::SeekOutOfRangeException&) {
        }
    }
}

void PropertyStorage::ExtractPropertiesFromSection(unsigned long sectionOffset, PropertyMap& props,
                                                   NamedPropertyMap& named) const {
    m_Buffer.SeekG(static_cast<std::int64_t>(sectionOffset));
    Read32();
    const std::uint32_t count = std::min(Read32(), MAX_PROPERTIES);
    if (count == 0)
        return;
    // A table longer than the rest of the stream could not be read anyway:
    // the section ends before anything is reserved for it.
    if (std::uint64_t{count} * 8 > m_Buffer.Size() - m_Buffer.TellG())
        return;
    std::vector<unsigned char> table(std::size_t{count} * 8);
    m_Buffer.Get(table.data(), static_cast<unsigned int>(table.size()));

    Zym::CHARSET charset = Zym::CHARSET_ANSI;
    std::map<unsigned long, std::u16string> names;
    bool dictionaryPending = false;
    std::uint64_t dictionaryPosition = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t id = ReadLE32(table.data() + 8 * i);
        const std::uint64_t at = std::uint64_t{sectionOffset} + ReadLE32(table.data() + 8 * i + 4);
        try {
            if (id == DICTIONARY_ID) {
                dictionaryPosition = at;
                dictionaryPending = true;
            } else if (id == CODE_PAGE_ID) {
                unsigned char codePage[2];
                m_Buffer.SeekG(static_cast<std::int64_t>(at + 4));
                m_Buffer.Get(codePage, 2);
                charset = ReadLE16(codePage);
            } else if (id != LOCALE_ID) {
                // The dictionary is read when it is first needed, so that a
                // code page listed after it still decodes it.
                if (dictionaryPending) {
                    dictionaryPending = false;
                    names.clear();
                    m_Buffer.SeekG(static_cast<std::int64_t>(dictionaryPosition));
                    if (ZymCharset::Conv::IsImplemented(charset))
                        GetPropertyNameDictionnary(charset, names);
                }
                m_Buffer.SeekG(static_cast<std::int64_t>(at));
                Zym::Variant value;
                if (GetPropertyValueFromBuffer(charset, Read32(), value)) {
                    const auto name = names.find(id);
                    AddPropertyToMap(id, name == names.end() ? std::u16string() : name->second,
                                     value, props, named);
                }
            }
        } catch (const Zym::BinaryStreamGetEOFException&) {
        } catch (const ZymFile::SeekOutOfRangeException&) {
        }
    }
}

} // namespace ZymWindows::OLE
