#pragma once

#include <ZymSecurity/NetworkID.h>

#include <Zym/BinaryStream.h>

#include <string>
#include <vector>

namespace ZymWindows {

// What a client tells the server about itself right after the magic word:
// the address it declares and, when it acts for another party, that party's
// identity. It travels as a 32-bit length followed by the block.
struct PipeIdentityBlock {
    // A larger block is refused unread: no honest client needs more.
    static constexpr unsigned int MAX_SIZE = 65536;

    std::u16string declaredIP;
    bool impersonating = false;
    ZymSecurity::NetworkID claimedUser;
    std::vector<ZymSecurity::NetworkID> claimedGroups;
    std::u16string claimedIP;

    void Write(Zym::BinaryStream& stream) const;
    // Parses a whole block with the typed stream: a block that ends too
    // early raises the stream's end-of-file exception, a malformed identity
    // the security exceptions.
    static PipeIdentityBlock Read(const void* data, unsigned int size);
};

} // namespace ZymWindows
