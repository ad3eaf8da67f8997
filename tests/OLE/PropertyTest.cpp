#include "PropertySetBuilder.h"

#include <ZymFile/StaticMemoryBuffer.h>
#include <ZymWindows/Exceptions.h>
#include <ZymWindows/OLEPropertyStorage.h>

#include <gtest/gtest.h>

#include <optional>

using namespace cfbtest;
using namespace cfbtest::props;
using ZymWindows::OLE::PropertyStorage;

namespace {

struct Parsed {
    PropertyStorage::PropertyMap props;
    PropertyStorage::NamedPropertyMap named;
};

// What `stream` adds to `parsed`.
Parsed Parse(const Bytes& stream, Parsed parsed = {}) {
    auto buffer = View(stream);
    PropertyStorage(buffer).Properties(parsed.props, parsed.named);
    return parsed;
}

template <class Exception> void ExpectRejected(const Bytes& stream) {
    auto buffer = View(stream);
    EXPECT_THROW(PropertyStorage{buffer}, Exception);
}

Bytes Vector(std::uint32_t elementType, std::uint32_t count, const Bytes& elements) {
    Bytes payload = Int32(count);
    payload.insert(payload.end(), elements.begin(), elements.end());
    return Typed(0x1000 | elementType, payload);
}

} // namespace

// The doubles, booleans that are true and times of the LibreOffice documents
// are read in CliTest and compared with olefile in RealFilesTest.
TEST(PropertySet, EveryUnderstoodTypeBecomesItsVariantAndTheRestAreDropped) {
    using Zym::Variant;
    // Each value and what it is filed as; nothing for the types not
    // understood, times before 1970 and empty strings.
    const std::pair<Bytes, std::optional<Variant>> values[] = {
        {Typed(2, {0xFE, 0xFF}), Variant(short{-2})},
        {I4(-5), Variant(-5)},
        {Typed(4, Int32(0x3FC00000)), Variant(1.5f)},
        {Typed(10, Int32(0x80004005)), Variant(static_cast<int>(0x80004005))},
        {Typed(17, {200}), Variant(static_cast<unsigned char>(200))},
        {Typed(18, {0x60, 0xEA}), Variant(static_cast<unsigned short>(60000))},
        {Typed(19, Int32(4000000000u)), Variant(4000000000u)},
        {Lpstr(std::string("abc\0\0", 5)), Variant(u"abc")},
        {Lpwstr(std::u16string(u"wide\0", 5)), Variant(u"wide")},
        {FileTime(FileTimeOf(-3600)), std::nullopt},
        {Typed(12, I4(42)), Variant(42)},
        {Vector(30, 3, Concat({Counted({"one", 4}), Counted({"two", 4}), Counted({"three", 6})})),
         Variant(u"one\r\ntwo\r\nthree")},
        {Typed(72, Bytes(16, 0x11)), std::nullopt},
        {Typed(65, Concat({Int32(3), {1, 2, 3}})), std::nullopt},
        {Lpstr(""), std::nullopt},
        {Lpwstr(u""), std::nullopt},
        {Lpstr(std::string("\0\0", 2)), std::nullopt},
        {Vector(12, 2, Concat({Lpsz("Part"), I4(1)})), Variant(u"Part\r\n1")},
        {Typed(11, {0, 0}), Variant(false)},
    };
    std::vector<std::pair<std::uint32_t, std::string>> names{{99, "sevens"}};
    Section section{UserDefinedProperties(), {{0, {}}, {99, Vector(17, 5000, Bytes(5000, 7))}}};
    for (std::uint32_t id = 2; id < std::size(values) + 2; ++id) {
        names.emplace_back(id, "p" + std::to_string(id));
        section.entries.emplace_back(id, values[id - 2].first);
    }
    section.entries[0].second = Dictionary(names);
    const Parsed parsed = Parse(Stream({section}));
    EXPECT_TRUE(parsed.props.empty());
    for (std::uint32_t id = 2; id < std::size(values) + 2; ++id) {
        const auto found = parsed.named.find("p" + std::to_string(id));
        EXPECT_EQ(found == parsed.named.end() ? std::nullopt : std::optional(found->second),
                  values[id - 2].second)
            << "p" << id;
    }
    const std::u16string sevens = Text(parsed.named.at("sevens"));
    EXPECT_EQ(std::count(sevens.begin(), sevens.end(), u'7'), 1024) << "vectors stop at 1024";
}

// One single-byte and one double-byte code page besides the default and
// the wide one: the conversions themselves are the framework's.
TEST(PropertySet, CodePagesOfTheFileDecodeNamesAndStrings) {
    auto narrowSection = [](std::uint16_t codePage, const std::string& name,
                            const std::string& text) {
        return Section{UserDefinedProperties(),
                       {{0, Dictionary({{2, name}})}, {1, CodePage(codePage)}, {2, Lpsz(text)}}};
    };
    // A wide dictionary pads each name to a multiple of four bytes.
    Bytes wideDictionary = Int32(2);
    for (const auto& [id, name] : {std::pair{2u, std::u16string(u"Wide")}, {3u, u"Ab"}}) {
        Append32(wideDictionary, id);
        Append32(wideDictionary, static_cast<std::uint32_t>(name.size() + 1));
        for (char16_t unit : name + u'\0')
            Append16(wideDictionary, unit);
        wideDictionary.resize((wideDictionary.size() + 3) / 4 * 4, 0);
    }
    const Section wide{UserDefinedProperties(),
                       {{0, wideDictionary},
                        {1, CodePage(1200)},
                        {2, Lpstr(std::string("\xAC\x20\x00\x00", 4))},
                        {3, Lpwstr(u"\u00e9t\u00e9")}}};
    const Parsed parsed = Parse(Stream({
        narrowSection(1251, "\xC8\xEC\xFF", "\xCF\xF0\xE8\xE2\xE5\xF2"),
        narrowSection(932, "ja", "\x93\xFA\x96\x7B\x8C\xEA"),
        Section{UserDefinedProperties(),
                {{0, Dictionary({{2, "caf\xE9"}})}, {2, Lpsz("na\xEFve")}}},
        wide,
    }));
    EXPECT_EQ(Text(parsed.named.at("\xD0\x98\xD0\xBC\xD1\x8F")), u"Привет");
    EXPECT_EQ(Text(parsed.named.at("ja")), u"日本語");
    EXPECT_EQ(Text(parsed.named.at("caf\xC3\xA9")), u"naïve") << "1252 without a code page";
    EXPECT_EQ(Text(parsed.named.at("Wide")), u"€");
    EXPECT_EQ(Text(parsed.named.at("Ab")), u"été");
}

TEST(PropertySet, HeaderAndSectionListChecks) {
    const Section title{SummaryInformation(), {{2, Lpsz("T")}}};
    const Bytes good = Stream({title});
    // The byte order mark reversed, another version, no sections.
    for (const Bytes& foreign :
         {Patched(Patched(good, 0, 0xFF), 1, 0xFE), Patched(good, 2, 1), Patched(good, 24, 0)})
        ExpectRejected<ZymWindows::OLE::NotAPropertyStorageOLEException>(foreign);
    ExpectRejected<ZymWindows::OLE::CorruptedPropertyStorageOLEException>(Prefix(good, 27));

    // Leading format id fields stored big-endian still name the set.
    Bytes bigEndian = good;
    std::reverse(bigEndian.begin() + 28, bigEndian.begin() + 32);
    std::reverse(bigEndian.begin() + 32, bigEndian.begin() + 34);
    std::reverse(bigEndian.begin() + 34, bigEndian.begin() + 36);
    auto buffer = View(bigEndian);
    EXPECT_TRUE(PropertyStorage(buffer).GetID() == PropertyStorage::SUMMARY_INFORMATION_ID);
    EXPECT_EQ(Text(Parse(bigEndian).props.at(PropertyStorage::TITLE)), u"T");

    // The offsets, not the count, say how long the section list is.
    const Section subject{SummaryInformation(), {{3, Lpsz("S")}}};
    Bytes two = Stream({title, subject});
    for (int i = 0; i < 4; ++i)
        std::swap(two[28 + 16 + i], two[48 + 16 + i]);
    two[24] = 3;
    const Parsed parsed = Parse(two);
    EXPECT_EQ(parsed.props.size(), 2u);

    // A section whose table runs past the end yields nothing; the next one
    // is still read.
    Bytes damaged = Stream({title, subject});
    const std::uint32_t first = damaged[28 + 16];
    damaged[first + 4] = 0xE8;
    damaged[first + 5] = 0x03;
    const Parsed rest = Parse(damaged);
    EXPECT_EQ(rest.props.count(PropertyStorage::TITLE), 0u);
    EXPECT_EQ(Text(rest.props.at(PropertyStorage::SUBJECT)), u"S");
}

TEST(PropertySet, FilingKeepsTheFirstValueAndFollowsTheStreamsFormatID) {
    Parsed parsed =
        Parse(Stream({Section{DocSummaryInformation(),
                              {{2, Lpsz("Cat")}, {11, I4(1)}, {12, I4(2)}, {15, Lpsz("Co")}}},
                      Section{UserDefinedProperties(),
                              {{0, Dictionary({{2, "Project"}, {3, "PROJECT"}})},
                               {2, Lpsz("first")},
                               {3, Lpsz("second")},
                               {14, Lpsz("Boss")}}}}));
    parsed = Parse(
        Stream({Section{
            SummaryInformation(),
            {{2, Lpsz("Title")}, {10, FileTime(FileTimeOf(100))}, {17, I4(3)}, {4, Lpsz("Ann")}}}}),
        parsed);
    parsed = Parse(Stream({Section{FormatID(1, 2, 3, 4), {{2, Lpsz("x")}}}}), parsed);

    std::vector<PropertyStorage::PROPERTY_ENUM> filed;
    for (const auto& [property, value] : parsed.props)
        filed.push_back(property);
    EXPECT_EQ(filed, (std::vector<PropertyStorage::PROPERTY_ENUM>{
                         PropertyStorage::TITLE, PropertyStorage::AUTHOR, PropertyStorage::CATEGORY,
                         PropertyStorage::COMPANY, PropertyStorage::MANAGER}));
    ASSERT_EQ(parsed.named.size(), 1u);
    EXPECT_EQ(Text(parsed.named.at("project")), u"first");

    PropertyStorage::MergedPropertyMap all;
    PropertyStorage::MergePropertyMap({{PropertyStorage::TITLE, Zym::Variant(u"known")}},
                                      {{"title", Zym::Variant(u"named")}}, all);
    const auto [from, to] = all.equal_range("TITLE");
    ASSERT_EQ(std::distance(from, to), 2);
    EXPECT_EQ(from->first, "Title");
    EXPECT_EQ(Text(from->second), u"known");
    EXPECT_EQ(Text(std::next(from)->second), u"named");
}
