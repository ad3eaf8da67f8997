// The network form of a SID as it is read off a pipe.
#include <ZymFile/MemoryBuffer.h>
#include <ZymFile/StaticMemoryBuffer.h>
#include <ZymSecurity/Exceptions.h>
#include <ZymSecurity/NetworkID.h>
#include <ZymSecurity/NetworkSecurity.h>

#include <gtest/gtest.h>

using namespace ZymSecurity;

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
