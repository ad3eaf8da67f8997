#include "CfbBuilder.h"
#include "PropertySetBuilder.h"

#include <ZymWindows/Exceptions.h>

#include <gtest/gtest.h>

using namespace cfbtest;
using namespace cfbtest::props;
using ZymWindows::OLE::CorruptedStorageOLEException;
using ZymWindows::OLE::NotAStorageOLEException;
using ZymWindows::OLE::PropertyStorage;
using ZymWindows::OLE::StorageNotFoundOLEException;
using ZymWindows::OLE::StreamNotFoundOLEException;
using RootStorage = Storage::RootStorage;

namespace {

std::vector<std::u16string> Names(const std::vector<Storage::Item>& items) {
    std::vector<std::u16string> names;
    for (const auto& item : items)
        names.push_back(item.Name);
    return names;
}

template <class Exception> void ExpectOpenFails(const Bytes& bytes) {
    auto buffer = View(bytes);
    EXPECT_THROW(Storage(u"x", "", buffer), Exception);
}

Bytes Summary(std::initializer_list<std::pair<std::uint32_t, std::string>> texts) {
    Section section{SummaryInformation(), {}};
    for (const auto& [id, text] : texts)
        section.entries.emplace_back(id, Lpsz(text));
    return Stream({section});
}

} // namespace

// Every accepted geometry, with a cutoff of the header's choosing, and big
// streams laid out whole or in alternating runs of one and of several
// sectors, so that reads step from one run of a chain to the next.
TEST(Container, EveryAcceptedGeometryReadsBackWhatWasWritten) {
    const std::size_t sizes[] = {1, 63, 64, 65, 511, 999, 1000, 4095, 4096, 5000, 100000};
    struct Geometry {
        unsigned int shift, miniShift, cutoff, run;
    };
    for (auto [shift, miniShift, cutoff, run] :
         {Geometry{9, 6, 4096, 0}, {12, 6, 4096, 1}, {9, 9, 1000, 3}, {12, 7, 1000, 1}}) {
        SCOPED_TRACE(testing::Message() << "shifts " << shift << "/" << miniShift << ", cutoff "
                                        << cutoff << ", runs of " << run);
        CfbBuilder builder(shift, miniShift, cutoff);
        builder.InterleaveStreams(run);
        std::vector<std::pair<std::uint32_t, Bytes>> streams;
        const std::uint32_t folder = builder.AddStorage(0, u"Folder");
        builder.AddStream(0, u"Empty", {});
        for (std::size_t i = 0; i < std::size(sizes); ++i) {
            Bytes data = Pattern(sizes[i], static_cast<unsigned int>(i));
            const std::uint32_t parent = i % 2 ? folder : 0;
            const std::u16string name{u'S', static_cast<char16_t>(u'a' + i)};
            streams.emplace_back(builder.AddStream(parent, name, data), data);
        }
        OpenDocument doc(builder.Build().bytes);
        ASSERT_EQ(Names(doc.root->Storages()), std::vector<std::u16string>{u"Folder"});
        EXPECT_EQ(doc.root->Streams().size(), 7u);
        for (const auto& [id, data] : streams)
            EXPECT_EQ(Read(*doc.root, id), data) << data.size() << " bytes";
        const auto sub = doc.root->OpenStorage(u"Folder");
        EXPECT_EQ(Names(sub->Streams()),
                  (std::vector<std::u16string>{u"Sb", u"Sd", u"Sf", u"Sh", u"Sj"}));
        EXPECT_EQ(sub->Streams()[4].Size, 5000u);
        EXPECT_EQ(Read(*sub, u"Sj"), streams[9].second);
        EXPECT_TRUE(Read(*doc.root, u"Empty").empty());
    }
}

TEST(Container, HeaderChecksTellForeignFromDamagedFiles) {
    CfbBuilder builder;
    builder.AddStream(0, u"Data", Pattern(100, 1));
    const Bytes good = builder.Build().bytes;

    ExpectOpenFails<NotAStorageOLEException>(Prefix(good, 511));
    ExpectOpenFails<NotAStorageOLEException>(Patched(good, 7, 0));
    // The byte order mark, then sector and mini sector shifts out of range.
    for (auto [offset, value] :
         {std::pair{0x1C, 0xFF}, {0x1E, 8}, {0x1E, 13}, {0x20, 5}, {0x20, 10}})
        ExpectOpenFails<CorruptedStorageOLEException>(
            Patched(good, offset, static_cast<unsigned char>(value)));

    const Bytes beta = Concat(
        {{0x0E, 0x11, 0xFC, 0x0D, 0xD0, 0xCF, 0x11, 0xE0}, Bytes(good.begin() + 8, good.end())});
    EXPECT_EQ(Read(*OpenDocument(beta).root, u"Data"), Pattern(100, 1));

    // The header alone: no table can be read, so there is nothing to list.
    OpenDocument headerOnly(Prefix(good, 512));
    EXPECT_TRUE(headerOnly.root->Storages().empty());
    EXPECT_TRUE(headerOnly.root->Streams().empty());
    EXPECT_TRUE(Read(*headerOnly.root, 1).empty());
}

TEST(Container, DamagedChainsYieldTheBytesTheyHoldAndNeverRaise) {
    const Bytes data = Pattern(20 * 512, 9);
    CfbBuilder builder;
    builder.AddStream(0, u"Data", data);
    auto readAfter = [&](auto damage) {
        CfbImage image = builder.Build();
        damage(image, image.startSectors[1]);
        OpenDocument doc(image.bytes);
        return Read(*doc.root, 1);
    };
    EXPECT_EQ(readAfter([](CfbImage& im, std::uint32_t s) { im.SetFAT(s + 2, s); }),
              Prefix(data, 3 * 512))
        << "a chain that loops back stops before the loop";
    EXPECT_EQ(readAfter([](CfbImage& im, std::uint32_t s) { im.SetFAT(s + 2, 0x00FFFFFF); }),
              Prefix(data, 3 * 512));
    EXPECT_EQ(readAfter([](CfbImage& im, std::uint32_t) { im.SetEntry32(1, ENTRY_SIZE, 50000); }),
              data)
        << "a size beyond the chain yields what the chain holds";
    EXPECT_EQ(
        readAfter([](CfbImage& im, std::uint32_t) { im.SetEntry32(1, ENTRY_START, 0x7FFFFFFF); }),
        Bytes());

    // A chain that runs on past the end of the source.
    EXPECT_EQ(readAfter([](CfbImage& im, std::uint32_t s) {
                  im.SetFAT(s + 2, static_cast<std::uint32_t>(im.bytes.size() / 512 - 1));
              }),
              Prefix(data, 3 * 512));
}

TEST(Container, TheFATComesFromTheHeaderTableAndTheDIFATChain) {
    // More than 109 FAT sectors of 512 bytes: the rest are listed by the DIFAT.
    CfbBuilder builder;
    const Bytes big = Pattern(7600000, 4);
    builder.AddStream(0, u"Big", big);
    builder.AddStream(0, u"Small", Pattern(300, 5));
    CfbImage image = builder.Build();
    ASSERT_GT(image.fatSectors.size(), 109u);
    ASSERT_EQ(image.difatSectors.size(), 1u);
    const OpenDocument doc(image.bytes);
    EXPECT_EQ(Read(*doc.root, u"Big"), big);
    EXPECT_EQ(Read(*doc.root, u"Small"), Pattern(300, 5));

    // A DIFAT sector that names itself as the next one is read once; an
    // inflated FAT count changes nothing.
    CfbImage looped = image;
    looped.Put32(looped.SectorOffset(looped.difatSectors[0]) + 508, looped.difatSectors[0]);
    looped.Put32(0x2C, 0x7FFFFFFF);
    EXPECT_EQ(Read(*OpenDocument(looped.bytes).root, u"Big"), big);

    // FREE_SECT in the header table ends FAT loading there.
    CfbImage cut = image;
    cut.Put32(0x4C + 4 * 100, 0xFFFFFFFF);
    // The directory lives beyond the loaded FAT, but its first sector is
    // still found: only the FAT entries past sector 100 * 128 are gone.
    EXPECT_EQ(Read(*OpenDocument(cut.bytes).root, 1), Prefix(big, 100 * 128 * 512));
}

TEST(Container, ChildrenComeInDirectoryOrderWithTheirNamesDecoded) {
    CfbBuilder builder;
    const std::u16string names[] = {
        u"One",  u"Two", u"Three", std::u16string(u"a\0b", 3), std::u16string(31, u'x'),
        u"Gone", u"Odd"};
    for (unsigned int i = 0; i < std::size(names); ++i)
        builder.AddStream(0, names[i], Pattern(10, i + 1));
    CfbImage image = builder.Build();

    // Reshape the sibling tree: root -> 3, 3.left = 1, 1.right = 2, 2 -> 4 -> ...
    image.SetEntry32(0, ENTRY_CHILD, 3);
    image.SetEntry32(3, ENTRY_LEFT, 1);
    image.SetEntry32(3, ENTRY_RIGHT, NO_ENTRY);
    image.SetEntry32(2, ENTRY_RIGHT, 4);
    // A cycle back to the first child.
    image.SetEntry32(7, ENTRY_RIGHT, 1);
    // 32 units, the length field claiming more.
    image.Put16(image.EntryOffset(5) + 62, u'Z');
    image.Put16(image.EntryOffset(5) + ENTRY_NAME_LENGTH, 200);
    // Trailing zero units that the length field counts.
    image.Put16(image.EntryOffset(2) + ENTRY_NAME_LENGTH, 12);
    image.Put16(image.EntryOffset(6) + ENTRY_NAME_LENGTH, 0);
    image.bytes.at(image.EntryOffset(7) + ENTRY_TYPE) = 3;

    OpenDocument doc(image.bytes);
    EXPECT_EQ(Names(doc.root->Streams()), (std::vector<std::u16string>{names[0], names[1], names[2],
                                                                       names[3], names[4] + u"Z"}));
    EXPECT_EQ(doc.root->Streams()[0].ID, 1u);
    EXPECT_EQ(doc.root->Streams()[0].Size, 10u);
    EXPECT_TRUE(Read(*doc.root, 7).size() == 10) << "an entry of type 3 is still read by id";
    EXPECT_TRUE(Read(*doc.root, 5000).empty());

    image.SetEntry32(0, ENTRY_CHILD, NO_ENTRY);
    EXPECT_TRUE(OpenDocument(image.bytes).root->Streams().empty());
}

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

    EXPECT_THROW(Read(*doc.root, u"Data"), StreamNotFoundOLEException);
    EXPECT_THROW(Read(*doc.root->OpenStorage(u"Data"), u"Inner"), StreamNotFoundOLEException);
    EXPECT_EQ(Read(*doc.root, nested), Pattern(700, 1)) << "any id of the file can be read";
    EXPECT_TRUE(Read(*doc.root, u"Zero").empty());

    ZymFile::MemoryBuffer twice;
    doc.root->ReadStream(u"Stream", twice);
    doc.root->ReadStream(u"Stream", twice);
    EXPECT_EQ(Bytes(twice.Data(), twice.Data() + twice.Size()),
              Concat({Pattern(5000, 2), Pattern(5000, 2)}));
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
