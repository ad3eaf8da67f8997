#include "CharsetSteps.h"

#include <ZymWindows/OLEPropertyStorage.h>

#include <array>

namespace ZymWindows::OLE {

namespace {

using Property = PropertyStorage::PROPERTY_ENUM;

const std::array<std::string, 28> g_PropertyNames = {
    "Title",
    "Author",
    "Application",
    "Category",
    "Comments",
    "Company",
    "Keywords",
    "LastAuthor",
    "Manager",
    "PresentationTarget",
    "Subject",
    "TemplateDocument",
    "TitleOfParts",
    "NumberOfBytes",
    "NumberOfCharacters",
    "DocumentSecurity",
    "NumberOfHiddenSlides",
    "NumberOfLines",
    "NumberOfMultimediaClips",
    "NumberOfNotes",
    "NumberOfPages",
    "NumberOfParagraphs",
    "RevisionNumber",
    "NumberOfSlides",
    "NumberOfWords",
    "CreationDate",
    "LastPrintedDate",
    "ModificationDate",
};
const std::string g_NoName;

struct Filing {
    unsigned long id;
    Property property;
};

// Where the summary information set keeps each well-known property.
constexpr Filing SUMMARY_INFORMATION[] = {
    {2, PropertyStorage::TITLE},
    {3, PropertyStorage::SUBJECT},
    {4, PropertyStorage::AUTHOR},
    {5, PropertyStorage::KEYWORDS},
    {6, PropertyStorage::COMMENTS},
    {7, PropertyStorage::TEMPLATE_DOCUMENT},
    {8, PropertyStorage::LAST_AUTHOR},
    {9, PropertyStorage::REVISION_NUMBER},
    {11, PropertyStorage::LAST_PRINTED_DATE},
    {12, PropertyStorage::CREATION_DATE},
    {13, PropertyStorage::MODIFICATION_DATE},
    {14, PropertyStorage::NUMBER_OF_PAGES},
    {15, PropertyStorage::NUMBER_OF_WORDS},
    {16, PropertyStorage::NUMBER_OF_CHARACTERS},
    {18, PropertyStorage::APPLICATION},
    {19, PropertyStorage::DOCUMENT_SECURITY},
};

// The same for the document summary information set.
constexpr Filing DOC_SUMMARY_INFORMATION[] = {
    {2, PropertyStorage::CATEGORY},
    {3, PropertyStorage::PRESENTATION_TARGET},
    {4, PropertyStorage::NUMBER_OF_BYTES},
    {5, PropertyStorage::NUMBER_OF_LINES},
    {6, PropertyStorage::NUMBER_OF_PARAGRAPHS},
    {7, PropertyStorage::NUMBER_OF_SLIDES},
    {8, PropertyStorage::NUMBER_OF_NOTES},
    {9, PropertyStorage::NUMBER_OF_HIDDEN_SLIDES},
    {10, PropertyStorage::NUMBER_OF_MULTIMEDIA_CLIPS},
    {13, PropertyStorage::TITLE_OF_PARTS},
    {14, PropertyStorage::MANAGER},
    {15, PropertyStorage::COMPANY},
};

template <std::size_t N> const Filing* Find(const Filing (&table)[N], unsigned long id) {
    for (const Filing& filing : table)
        if (filing.id == id)
            return &filing;
    return nullptr;
}

} // namespace

const std::string& PropertyStorage::PropertyName(PROPERTY_ENUM property) {
    const auto index = static_cast<std::size_t>(property);
    return index < g_PropertyNames.size() ? g_PropertyNames[index] : g_NoName;
}

// The first value filed under a key stays: later ones are dropped.
void PropertyStorage::AddPropertyToMap(const unsigned long& id, const std::u16string& name,
                                       const Zym::Variant& value, PropertyMap& props,
                                       NamedPropertyMap& named) const {
    if (!name.empty()) {
        std::string key;
        ConvertSteps(Zym::CHARSET_WIDE, Zym::CHARSET_UTF8,
                     reinterpret_cast<const unsigned char*>(name.data()), name.size() * 2, key);
        named.emplace(std::move(key), value);
        return;
    }
    const Filing* filing = nullptr;
    if (m_ID == SUMMARY_INFORMATION_ID)
        filing = Find(SUMMARY_INFORMATION, id);
    else if (m_ID == DOC_SUMMARY_INFORMATION_ID || m_ID == USER_DEFINED_PROPERTIES_ID)
        filing = Find(DOC_SUMMARY_INFORMATION, id);
    if (filing)
        props.emplace(filing->property, value);
}

void PropertyStorage::MergePropertyMap(const PropertyMap& props, const NamedPropertyMap& named,
                                       MergedPropertyMap& all) {
    for (const auto& [property, value] : props)
        all.emplace(PropertyName(property), value);
    for (const auto& [key, value] : named)
        all.emplace(key, value);
}

} // namespace ZymWindows::OLE
