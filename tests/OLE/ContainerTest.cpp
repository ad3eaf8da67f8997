#include "CfbTestSupport.h"

#include <ZymWindows/Exceptions.h>

#include <gtest/gtest.h>

using namespace cfbtest;
using ZymWindows::OLE::CorruptedStorageOLEException;
using ZymWindows::OLE::NotAStorageOLEException;
using RootStorage = Storage::RootStorage;

namespace {

std::vector<std::u16string> Names(const std::vector<Storage::Item>& items) {
    std::vector<std::u16string> names;
    for (const auto& item : items)
        names.push_back(item.Name);
    return names;
}

void ExpectOpenFails(Bytes bytes, bool corrupted) {
    ZymFile::StaticMemoryBuffer buffer(static_cast<const void*>(bytes.data()),
                                       static_cast<unsigned int>(bytes.size()));
    if (corrupted)
        EXPECT_THROW(Storage(u"x", "", buffer), CorruptedStorageOLEException);
    else
        EXPECT_THROW(Storage(u"x", "", buffer), NotAStorageOLEException);
}

} // namespace

TEST(Container, EveryAcceptedGeometryReadsBackWhatWasWritten) {
    const std::size_t sizes[] = {1, 63, 64, 65, 511, 4095, 4096, 5000, 100000};
    for (auto [shift, miniShift] : {std::pair{9u, 6u}, {12u, 6u}, {9u, 9u}, {12u, 7u}}) {
        SCOPED_TRACE(testing::Message() << "sector shift " << shift << ", mini " << miniShift);
        CfbBuilder builder(shift, miniShift);
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
        EXPECT_EQ(doc.root->Name(), u"Root Entry");
        ASSERT_EQ(Names(doc.root->Storages()), std::vector<std::u16string>{u"Folder"});
        EXPECT_EQ(doc.root->Streams().size(), 6u);
        for (const auto& [id, data] : streams)
            EXPECT_EQ(ReadById(*doc.root, id), data) << data.size() << " bytes";
        const auto sub = doc.root->OpenStorage(u"Folder");
        EXPECT_EQ(Names(sub->Streams()), (std::vector<std::u16string>{u"Sb", u"Sd", u"Sf", u"Sh"}));
        EXPECT_EQ(sub->Streams()[3].Size, 5000u);
        EXPECT_EQ(ReadByName(*sub, u"Sh"), streams[7].second);
        EXPECT_TRUE(ReadByName(*doc.root, u"Empty").empty());
    }
}

// Healthy fragmented streams: the sectors of two streams alternate, in runs
// of one sector and of several, so that every read steps from one run of a
// chain to the next.
TEST(Container, InterleavedStreamsReadWhole) {
    for (const unsigned int run : {1u, 3u}) {
        SCOPED_TRACE(testing::Message() << "runs of " << run);
        CfbBuilder builder;
        builder.InterleaveStreams(run);
        const Bytes first = Pattern(512 * 20 + 100, 1), second = Pattern(512 * 13 + 7, 2);
        const std::uint32_t a = builder.AddStream(0, u"A", first);
        const std::uint32_t b = builder.AddStream(0, u"B", second);
        const CfbImage image = builder.Build();
        // Neither stream's sectors are consecutive.
        EXPECT_EQ(image.startSectors[b], image.startSectors[a] + run);
        OpenDocument doc(image.bytes);
        EXPECT_EQ(ReadById(*doc.root, a), first);
        EXPECT_EQ(ReadByName(*doc.root, u"B"), second);
    }
}

TEST(Container, HeaderChecksTellForeignFromDamagedFiles) {
    CfbBuilder builder;
    builder.AddStream(0, u"Data", Pattern(100, 1));
    const Bytes good = builder.Build().bytes;

    ExpectOpenFails(Bytes(good.begin(), good.begin() + 511), false);
    Bytes foreign = good;
    foreign[7] = 0;
    ExpectOpenFails(foreign, false);
    Bytes byteOrder = good;
    byteOrder[0x1C] = 0xFF;
    ExpectOpenFails(byteOrder, true);
    for (auto [offset, shift] : {std::pair{0x1E, 8}, {0x1E, 13}, {0x20, 5}, {0x20, 10}}) {
        Bytes geometry = good;
        geometry[offset] = static_cast<unsigned char>(shift);
        ExpectOpenFails(geometry, true);
    }

    Bytes beta = good;
    const unsigned char betaSignature[] = {0x0E, 0x11, 0xFC, 0x0D, 0xD0, 0xCF, 0x11, 0xE0};
    std::copy(std::begin(betaSignature), std::end(betaSignature), beta.begin());
    OpenDocument betaDoc(beta);
    EXPECT_EQ(ReadByName(*betaDoc.root, u"Data"), Pattern(100, 1));

    // The header alone: no table can be read, so there is nothing to list.
    OpenDocument headerOnly(Bytes(good.begin(), good.begin() + 512));
    EXPECT_TRUE(headerOnly.root->Storages().empty());
    EXPECT_TRUE(headerOnly.root->Streams().empty());
    EXPECT_TRUE(ReadById(*headerOnly.root, 1).empty());
}

TEST(Container, StreamsAtTheMiniStreamCutoffComeFromTheRightPlace) {
    for (std::uint32_t cutoff : {4096u, 1000u}) {
        CfbBuilder builder(9, 6, cutoff);
        const Bytes below = Pattern(cutoff - 1, 1), at = Pattern(cutoff, 2);
        const auto belowID = builder.AddStream(0, u"Below", below);
        const auto atID = builder.AddStream(0, u"At", at);
        OpenDocument doc(builder.Build().bytes);
        EXPECT_EQ(ReadById(*doc.root, belowID), below);
        EXPECT_EQ(ReadById(*doc.root, atID), at);
    }
}

TEST(Container, DamagedChainsYieldTheBytesTheyHoldAndNeverRaise) {
    const Bytes data = Pattern(20 * 512, 9);
    auto build = [&] {
        CfbBuilder builder;
        builder.AddStream(0, u"Data", data);
        return builder.Build();
    };
    auto readAfter = [&](auto damage) {
        CfbImage image = build();
        damage(image, image.startSectors[1]);
        OpenDocument doc(image.bytes);
        return ReadById(*doc.root, 1);
    };
    EXPECT_EQ(readAfter([](CfbImage& im, std::uint32_t s) { im.SetFAT(s + 2, s); }),
              Prefix(data, 3 * 512))
        << "a chain that loops back stops before the loop";
    EXPECT_EQ(readAfter([](CfbImage& im, std::uint32_t s) { im.SetFAT(s + 5, s + 3); }),
              Prefix(data, 6 * 512));
    EXPECT_EQ(readAfter([](CfbImage& im, std::uint32_t s) { im.SetFAT(s + 2, 0xFFFFFFFE); }),
              Prefix(data, 3 * 512));
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
    {
        OpenDocument doc(image.bytes);
        EXPECT_EQ(ReadByName(*doc.root, u"Big"), big);
        EXPECT_EQ(ReadByName(*doc.root, u"Small"), Pattern(300, 5));
    }

    // A DIFAT sector that names itself as the next one is read once; an
    // inflated FAT count changes nothing.
    CfbImage looped = image;
    looped.Put32(looped.SectorOffset(looped.difatSectors[0]) + 508, looped.difatSectors[0]);
    looped.Put32(0x2C, 0x7FFFFFFF);
    {
        OpenDocument doc(looped.bytes);
        EXPECT_EQ(ReadByName(*doc.root, u"Big"), big);
    }

    // FREE_SECT in the header table ends FAT loading there.
    CfbImage cut = image;
    cut.Put32(0x4C + 4 * 100, 0xFFFFFFFF);
    {
        OpenDocument doc(cut.bytes);
        // The directory lives beyond the loaded FAT, but its first sector is
        // still found: only the FAT entries past sector 100 * 128 are gone.
        EXPECT_EQ(ReadById(*doc.root, 1), Prefix(big, 100 * 128 * 512));
    }
}

TEST(Container, ChildrenComeInDirectoryOrderWithTheirNamesDecoded) {
    CfbBuilder builder;
    builder.AddStream(0, u"One", Pattern(10, 1));
    builder.AddStream(0, u"Two", Pattern(10, 2));
    builder.AddStream(0, u"Three", Pattern(10, 3));
    builder.AddStream(0, std::u16string(u"a\0b", 3), Pattern(10, 4));
    builder.AddStream(0, std::u16string(31, u'x'), Pattern(10, 5));
    builder.AddStream(0, u"Gone", Pattern(10, 6));
    builder.AddStream(0, u"Odd", Pattern(10, 7));
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
    image.SetEntryByte(7, ENTRY_TYPE, 3);

    OpenDocument doc(image.bytes);
    EXPECT_EQ(Names(doc.root->Streams()),
              (std::vector<std::u16string>{u"One", u"Two", u"Three", std::u16string(u"a\0b", 3),
                                           std::u16string(31, u'x') + u"Z"}));
    EXPECT_EQ(doc.root->Streams()[0].ID, 1u);
    EXPECT_EQ(doc.root->Streams()[0].Size, 10u);
    EXPECT_TRUE(ReadById(*doc.root, 7).size() == 10) << "an entry of type 3 is still read by id";
    EXPECT_TRUE(ReadById(*doc.root, 5000).empty());

    image.SetEntry32(0, ENTRY_CHILD, NO_ENTRY);
    OpenDocument childless(image.bytes);
    EXPECT_TRUE(childless.root->Streams().empty());
}
