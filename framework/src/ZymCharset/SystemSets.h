#pragma once

#include "CodePages.h"
#include "Iconv.h"
#include "SingleByteTable.h"

#include <memory>

namespace ZymCharset {

// A code page that this machine can convert through the system.
struct SystemSet {
    const SystemCodePage* page;
    // The code page's table when it is a single-byte one: such code pages
    // convert through the table, without the system.
    std::shared_ptr<const SingleByteTable> table;
    // One open descriptor each way for the life of the process: the system
    // then keeps the code page's converter loaded instead of loading and
    // unloading it as converters come and go.
    std::unique_ptr<Platform::Iconv> decoding;
    std::unique_ptr<Platform::Iconv> encoding;
};

// Probes a code page once (both directions must open) and remembers the
// answer; null when this machine cannot convert it.
const SystemSet* FindSystemSet(Zym::CHARSET cs);

} // namespace ZymCharset
