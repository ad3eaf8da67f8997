#pragma once

#include "CodePageConverter.h"
#include "SingleByteTable.h"

#include <memory>

namespace ZymCharset {

// A code page that this machine can convert through the system.
struct SystemSet {
    Zym::CHARSET cs;
    // Escape sequences or shift characters switch modes, so a text must be
    // converted by one converter from start to end.
    bool stateful;
    // The code page's table when it is a single-byte one: such code pages
    // convert through the table, without the system.
    std::shared_ptr<const SingleByteTable> table;
    // One open converter each way for the life of the process: the system
    // then keeps the code page's tables loaded instead of loading and
    // unloading them as converters come and go.
    std::unique_ptr<Platform::CodePageConverter> decoding;
    std::unique_ptr<Platform::CodePageConverter> encoding;
};

// Probes a code page once (both directions must open) and remembers the
// answer; null when this machine cannot convert it.
const SystemSet* FindSystemSet(Zym::CHARSET cs);

} // namespace ZymCharset
