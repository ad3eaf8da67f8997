// Parses arbitrary bytes as the identity block a client sends when it
// connects. Whatever parses must write and parse again to the same block.
#include "pipe/PipeIdentityBlock.h"

#include <Zym/Exception.h>
#include <ZymFile/MemoryBuffer.h>

#include <cstdint>
#include <cstdlib>

namespace {

bool Same(const ZymWindows::PipeIdentityBlock& a, const ZymWindows::PipeIdentityBlock& b) {
    return a.declaredIP == b.declaredIP && a.impersonating == b.impersonating &&
           a.claimedUser == b.claimedUser && a.claimedGroups == b.claimedGroups &&
           a.claimedIP == b.claimedIP;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > ZymWindows::PipeIdentityBlock::MAX_SIZE)
        return 0;
    ZymWindows::PipeIdentityBlock block;
    try {
        block = ZymWindows::PipeIdentityBlock::Read(data, static_cast<unsigned int>(size));
    } catch (const Zym::Exception&) {
        return 0;
    }
    ZymFile::MemoryBuffer buffer(1024);
    Zym::BinaryStream stream(buffer);
    block.Write(stream);
    if (!Same(ZymWindows::PipeIdentityBlock::Read(buffer.Data(), buffer.Size()), block))
        std::abort();
    return 0;
}
