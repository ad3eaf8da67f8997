#include "PipeIdentityBlock.h"

#include <ZymFile/StaticMemoryBuffer.h>

namespace ZymWindows {

void PipeIdentityBlock::Write(Zym::BinaryStream& stream) const {
    stream << declaredIP << impersonating;
    if (!impersonating)
        return;
    stream << claimedUser << static_cast<std::uint32_t>(claimedGroups.size());
    for (const auto& group : claimedGroups)
        stream << group;
    stream << claimedIP;
}

PipeIdentityBlock PipeIdentityBlock::Read(const void* data, unsigned int size) {
    ZymFile::StaticMemoryBuffer buffer(data, size);
    Zym::BinaryStream stream(buffer);
    PipeIdentityBlock block;
    stream >> block.declaredIP >> block.impersonating;
    if (block.impersonating) {
        std::uint32_t count = 0;
        stream >> block.claimedUser >> count;
        // Read one by one: the count is the peer's word, the data is what
        // bounds the list.
        for (std::uint32_t i = 0; i < count; ++i)
            stream >> block.claimedGroups.emplace_back();
        stream >> block.claimedIP;
    }
    return block;
}

} // namespace ZymWindows
