#include "CfbTestSupport.h"
#include "PropertySetBuilder.h"

#include <ZymWindows/Exceptions.h>

#include <gtest/gtest.h>

using namespace cfbtest;
using namespace cfbtest::props;
using ZymWindows::OLE::PropertyStorage;
using ZymWindows::OLE::StorageNotFoundOLEException;
using ZymWindows::OLE::StreamNotFoundOLEException;

namespace {

Bytes Summary(std::initializer_list<std::pair<std::uint32_t, std::string>> texts) {
    Section section{SummaryInformation(), {}};
    for (const auto& [id, text] : texts)
        section.entries.emplace_back(id, Lpstr(text + std::string(1, '\0')));
    return Stream({section});
}

std::u16string Text(const Zym::Variant& value) {
    return value.Get(Zym::g_VariantTraitsWStringType);
}

} // namespace

TEST(StorageTree, OpensChildrenByExactNameOrIdAndReadsStreamsAnywhere) {
    CfbBuilder builder;
    builder.AddStorage(0, u"Data");
    const auto second = builder.AddStorage(0, u"Data");
    const auto nested = builder.AddStream(second, u"Inner", Pattern(700, 1));
    builder.AddStream(0, u"Stream", Pattern(5000, 2));
    builder.AddStream(0, u"Zero", {});
    CfbImage image = builder.Build();
    image.SetEntry32(0, 0x40, 0x00050020);
    OpenDocument doc(image.bytes);

    EXPECT_EQ(doc.root->Name(), u"Root Entry") << "whatever the root entry is called";
    EXPECT_THROW(doc.root->OpenStorage(u"DATA"), StorageNotFoundOLEException);
    EXPECT_THROW(doc.root->OpenStorage(nested), StorageNotFoundOLEException);
    EXPECT_TRUE(doc.root->OpenStorage(u"Data")->Streams().empty()) << "the lower id wins";
    const auto byID = doc.root->OpenStorage(second);
    EXPECT_EQ(byID->Name(), u"Data");
    ASSERT_EQ(byID->Streams().size(), 1u);
    EXPECT_NE(byID.Get(), doc.root->OpenStorage(second).Get());

    EXPECT_THROW(ReadByName(*doc.root, u"Data"), StreamNotFoundOLEException);
    EXPECT_THROW(ReadByName(*doc.root->OpenStorage(u"Data"), u"Inner"), StreamNotFoundOLEException);
    EXPECT_EQ(ReadById(*doc.root, nested), Pattern(700, 1)) << "any id of the file can be read";
    EXPECT_TRUE(ReadByName(*doc.root, u"Zero").empty());

    ZymFile::MemoryBuffer twice;
    doc.root->ReadStream(u"Stream", twice);
    doc.root->ReadStream(u"Stream", twice);
    Bytes expected = Pattern(5000, 2);
    expected.insert(expected.end(), expected.begin(), expected.end());
    EXPECT_EQ(Bytes(twice.Data(), twice.Data() + twice.Size()), expected);
}

TEST(StorageTree, PropertiesOfAStorageWinOverThoseBelowIt) {
    CfbBuilder builder;
    const auto sub = builder.AddStorage(0, u"Sub");
    builder.AddStream(sub, u"\x05SummaryInformation",
                      Summary({{2, "Sub title"}, {3, "Sub subject"}}));
    builder.AddStream(0, u"\x05SummaryInformation", Summary({{2, "Root title"}}));
    builder.AddStream(0, u"CONTENTS", Pattern(100, 1));
    builder.AddStream(0, u"\x05Garbage", Pattern(5000, 2));
    builder.AddStream(0, u"\x05Empty", {});
    builder.AddStream(0, u"contents",
                      Stream({Section{UserDefinedProperties(),
                                      {{0, Dictionary({{2, "FromContents"}})}, {2, I4(7)}}}}));
    builder.AddStream(0, u"Other", Summary({{4, "Not a property set name"}}));
    CfbImage image = builder.Build();
    // Sub also lists itself as a child, as a damaged directory might.
    image.SetEntry32(sub + 1, ENTRY_RIGHT, sub);
    OpenDocument doc(image.bytes);

    PropertyStorage::PropertyMap props;
    PropertyStorage::NamedPropertyMap named;
    doc.root->Properties(props, named);
    EXPECT_EQ(Text(props.at(PropertyStorage::TITLE)), u"Root title");
    EXPECT_EQ(Text(props.at(PropertyStorage::SUBJECT)), u"Sub subject");
    EXPECT_EQ(props.count(PropertyStorage::AUTHOR), 0u);
    EXPECT_EQ(named.at("fromcontents"), Zym::Variant(7));

    PropertyStorage::MergedPropertyMap all;
    doc.root->OpenStorage(u"Sub")->Properties(all);
    ASSERT_EQ(all.count("Title"), 1u);
    EXPECT_EQ(Text(all.find("Title")->second), u"Sub title");
}
