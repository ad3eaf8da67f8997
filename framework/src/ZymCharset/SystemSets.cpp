#include "SystemSets.h"

#include "CodePages.h"

#include <bit>
#include <map>
#include <mutex>
#include <optional>

namespace ZymCharset {

namespace {

std::optional<SystemSet> Probe(Zym::CHARSET cs) {
    const bool littleEndian = std::endian::native == std::endian::little;
    const bool stateful = IsStatefulCodePage(cs);
    SystemSet set{cs, stateful, nullptr, Platform::CodePageConverter::OpenDecoder(cs, littleEndian),
                  Platform::CodePageConverter::OpenEncoder(cs, littleEndian)};
    if (!set.decoding || !set.encoding)
        return std::nullopt;
    if (!stateful)
        set.table = ProbeSingleByteTable(cs);
    return set;
}

} // namespace

const SystemSet* FindSystemSet(Zym::CHARSET cs) {
    static std::mutex lock;
    static std::map<Zym::CHARSET, std::optional<SystemSet>> known;
    std::lock_guard guard(lock);
    auto found = known.find(cs);
    if (found == known.end())
        found = known.emplace(cs, Probe(cs)).first;
    return found->second ? &*found->second : nullptr;
}

} // namespace ZymCharset
