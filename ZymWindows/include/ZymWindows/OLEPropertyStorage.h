#pragma once

#include <ZymWindows/Export.h>

#include <ZymWindows/Guid.h>

#include <Zym/BinaryStreamBuf.h>
#include <Zym/NoCase.h>
#include <Zym/RefCounter.h>
#include <Zym/Variant.h>
#include <ZymCharset/Conv.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace ZymWindows::OLE {

// Parses one property set stream (summary information, document summary
// information, user-defined properties...) and files the properties it
// understands. Damage found after construction never raises: it costs the
// section or the property it is in.
class ZYMWINDOWS_EXPORT PropertyStorage : public Zym::SPRefCounter {
public:
    // The well-known document properties.
    enum PROPERTY_ENUM {
        TITLE = 0,
        AUTHOR = 1,
        APPLICATION = 2,
        CATEGORY = 3,
        COMMENTS = 4,
        COMPANY = 5,
        KEYWORDS = 6,
        LAST_AUTHOR = 7,
        MANAGER = 8,
        PRESENTATION_TARGET = 9,
        SUBJECT = 10,
        TEMPLATE_DOCUMENT = 11,
        TITLE_OF_PARTS = 12,
        NUMBER_OF_BYTES = 13,
        NUMBER_OF_CHARACTERS = 14,
        DOCUMENT_SECURITY = 15,
        NUMBER_OF_HIDDEN_SLIDES = 16,
        NUMBER_OF_LINES = 17,
        NUMBER_OF_MULTIMEDIA_CLIPS = 18,
        NUMBER_OF_NOTES = 19,
        NUMBER_OF_PAGES = 20,
        NUMBER_OF_PARAGRAPHS = 21,
        REVISION_NUMBER = 22,
        NUMBER_OF_SLIDES = 23,
        NUMBER_OF_WORDS = 24,
        CREATION_DATE = 25,
        LAST_PRINTED_DATE = 26,
        MODIFICATION_DATE = 27,
    };

    using PropertyMap = std::map<PROPERTY_ENUM, Zym::Variant>;
    using NamedPropertyMap = std::map<std::string, Zym::Variant, Zym::NoCase>;
    using MergedPropertyMap = std::multimap<std::string, Zym::Variant, Zym::NoCase>;

    static const _GUID SUMMARY_INFORMATION_ID;
    static const _GUID DOC_SUMMARY_INFORMATION_ID;
    static const _GUID USER_DEFINED_PROPERTIES_ID;
    // The first character of a property set stream's name.
    static constexpr char NAME_PREFIX = 5;
    static constexpr unsigned short W_NAME_PREFIX = 5;

    // Reads the stream header and section list from `buffer`, positioned at
    // the stream's first byte. The buffer must stay alive and unchanged for
    // the parser's life. Raises NotAPropertyStorageOLEException or
    // CorruptedPropertyStorageOLEException.
    explicit PropertyStorage(Zym::BinaryStreamBuf& buffer);
    ~PropertyStorage() override;

    // The format id of the stream's first section.
    const _GUID& GetID() const noexcept { return m_ID; }

    // Files every property of the stream; entries already in the maps win.
    void Properties(PropertyMap& props, NamedPropertyMap& named) const;
    // The same, merged into `all` (which is not cleared first).
    void Properties(MergedPropertyMap& all) const;
    // Adds the well-known properties under their text names, in enumerator
    // order, then the named ones, in their order.
    static void MergePropertyMap(const PropertyMap& props, const NamedPropertyMap& named,
                                 MergedPropertyMap& all);
    // "Title", "Author"...; empty for a value outside the enumeration.
    static const std::string& PropertyName(PROPERTY_ENUM property);

private:
    friend class Storage;

    void ExtractPropertiesFromBuffer(PropertyMap& props, NamedPropertyMap& named) const;
    void ExtractPropertiesFromSection(unsigned long sectionOffset, PropertyMap& props,
                                      NamedPropertyMap& named) const;
    void GetPropertyNameDictionnary(Zym::CHARSET cs,
                                    std::map<unsigned long, std::u16string>& names) const;
    bool GetPropertyValueFromBuffer(Zym::CHARSET cs, unsigned long type, Zym::Variant& value) const;
    bool ReadValue(Zym::CHARSET cs, unsigned long type, Zym::Variant& value,
                   unsigned int nesting) const;
    bool ReadVector(Zym::CHARSET cs, unsigned long elementType, Zym::Variant& value,
                    unsigned int nesting) const;
    bool ReadString(Zym::CHARSET cs, bool wide, Zym::Variant& value) const;
    // Reads n bytes into the scratch buffer when they fit, else into `heap`.
    const unsigned char* ReadBytes(std::uint32_t n, std::vector<unsigned char>& heap) const;
    std::uint32_t Read32() const;
    void AddPropertyToMap(const unsigned long& id, const std::u16string& name,
                          const Zym::Variant& value, PropertyMap& props,
                          NamedPropertyMap& named) const;

    _GUID m_ID{};
    Zym::BinaryStreamBuf& m_Buffer;
    std::vector<unsigned long> m_SectionOffsets;
    mutable unsigned char m_ScratchBuffer[512];
};

// Converts `length` bytes from one character set to another step by step
// through a fixed output area, appending the result, read as 16-bit units,
// to `out`. Returns the bytes consumed; stops early when a step consumes
// nothing.
ZYMWINDOWS_EXPORT std::size_t ConvertString(Zym::CHARSET from, Zym::CHARSET to,
                                            const unsigned char* bytes, std::size_t length,
                                            std::u16string& out);

} // namespace ZymWindows::OLE
