// SIDs in their text and binary forms, the cache of their objects and
// their network form.
#include <ZymFile/MemoryBuffer.h>
#include <ZymFile/StaticMemoryBuffer.h>
#include <ZymSecurity/Exceptions.h>
#include <ZymSecurity/NetworkID.h>
#include <ZymSecurity/NetworkSecurity.h>

#include <gtest/gtest.h>

using namespace ZymSecurity;

TEST(SecurityID, TextAndBinaryFormsRoundTrip) {
    const BinarySID sid = BinarySID::Parse(u"S-1-5-21-3623811015-3361044348-30300820-1013");
    EXPECT_EQ(sid.ToString(), u"S-1-5-21-3623811015-3361044348-30300820-1013");
    const std::vector<unsigned char> bytes = sid.Bytes();
    ASSERT_EQ(bytes.size(), 8u + 4 * 5);
    // The authority is big-endian, the sub-authorities little-endian.
    EXPECT_EQ(std::vector(bytes.begin(), bytes.begin() + 12),
              (std::vector<unsigned char>{1, 5, 0, 0, 0, 0, 0, 5, 21, 0, 0, 0}));
    EXPECT_EQ(BinarySID::FromPSID(bytes.data()), sid);
    EXPECT_EQ(BinarySID().ToString(), u"S-1-0-0");
}

TEST(SecurityID, MalformedSIDsAreRejected) {
    for (const char16_t* text :
         {u"", u"S-", u"S-1", u"S-2-5", u"S-1-x", u"S-1-5--1", u"S-1-281474976710656",
          u"S-1-5-4294967296", u"S-1-1-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16"})
        EXPECT_THROW(BinarySID::Parse(text), InvalidSIDException);
    // A bad revision, and more sub-authorities than a SID holds.
    const unsigned char badHeaders[2][8] = {{2, 0, 0, 0, 0, 0, 0, 5}, {1, 16, 0, 0, 0, 0, 0, 5}};
    for (const unsigned char* header : badHeaders)
        EXPECT_THROW(BinarySID::FromPSID(header), InvalidSIDException);
}

TEST(SecurityID, TheCacheHandsOutOneObjectPerSID) {
    const BinarySID own =
        NetworkSecurity::GetUserSID(
            NetworkSecurity::GetUserToken(*NetworkSecurity::GetCurrentProcessHandle()))
            ->GetSID();
    const SecurityIDPtr id = SecurityIDCache::CreateSecurityID(own);
    EXPECT_EQ(SecurityIDCache::CreateSecurityID(own).Get(), id.Get());
    EXPECT_EQ(SecurityIDCache::CreateSecurityIDFromPSID(own.Bytes().data()).Get(), id.Get());
    // Another machine's view of a Unix account is an object of its own,
    // and is not kept.
    const BinarySID unixUser = BinarySID::Parse(u"S-1-22-1-65534");
    const SecurityIDPtr remote =
        SecurityIDCache::CreateSecurityID(unixUser, u"bob", u"elsewhere", SidTypeUser);
    EXPECT_NE(remote.Get(), SecurityIDCache::CreateSecurityID(unixUser).Get());
    EXPECT_EQ(remote->GetName(), u"bob");
}

TEST(NetworkID, StreamsRoundTripWithTheRemoteView) {
    std::vector<NetworkID> ids;
    NetworkID::ConvertSIDsToNetworkIDs(
        {SecurityIDCache::CreateSecurityID(u"S-1-22-1-0"),
         SecurityIDCache::CreateSecurityID(u"S-1-22-2-0"),
         SecurityIDCache::CreateSecurityID(BinarySID::Parse(u"S-1-22-1-0"), u"administrator",
                                           u"far-away", SidTypeUser),
         // Windows tokens hold aliases and well-known groups too.
         SecurityIDCache::CreateSecurityID(BinarySID::Parse(u"S-1-5-32-544"), u"Administrators",
                                           u"BUILTIN", SidTypeAlias),
         SecurityIDCache::CreateSecurityID(BinarySID::Parse(u"S-1-5-5-0-1"), u"", u"",
                                           SidTypeLogonSession)},
        u"host-a", ids);
    ASSERT_EQ(ids.size(), 5u);
    ZymFile::MemoryBuffer buffer(64);
    Zym::BinaryStream stream(buffer);
    for (const auto& id : ids)
        stream << id;
    for (const auto& id : ids) {
        NetworkID back;
        stream >> back;
        EXPECT_EQ(back, id);
        EXPECT_EQ(back.GetMachine(), u"host-a");
    }
    EXPECT_TRUE(buffer.EndOfFile());
    EXPECT_THROW(stream << NetworkID(), InvalidSIDException);
}

TEST(NetworkID, TruncatedOrDamagedBytesRaise) {
    ZymFile::MemoryBuffer buffer(64);
    Zym::BinaryStream stream(buffer);
    stream << NetworkID(SecurityIDCache::CreateSecurityID(u"S-1-22-1-0"), u"m");
    const unsigned int size = buffer.Size();
    for (unsigned int cut = 0; cut < size; ++cut) {
        ZymFile::StaticMemoryBuffer part(buffer.Data(), cut);
        Zym::BinaryStream in(part);
        NetworkID id;
        EXPECT_THROW(in >> id, Zym::BinaryStreamException) << "cut at " << cut;
    }
    std::vector<unsigned char> damaged(buffer.Data(), buffer.Data() + size);
    damaged[1] = 40; // sub-authority count
    ZymFile::StaticMemoryBuffer bad(damaged.data(), size);
    Zym::BinaryStream in(bad);
    NetworkID id;
    EXPECT_THROW(in >> id, InvalidSIDException);
}
