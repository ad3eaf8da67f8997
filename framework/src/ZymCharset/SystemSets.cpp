#include "SystemSets.h"

#include <map>
#include <mutex>
#include <optional>

namespace ZymCharset {

namespace {

std::optional<SystemSet> Probe(Zym::CHARSET cs) {
    const SystemCodePage* page = FindSystemCodePage(cs);
    if (!page)
        return std::nullopt;
    SystemSet set{page, nullptr, Platform::Iconv::Open(HostUtf16Name(), page->name),
                  Platform::Iconv::Open(page->name, HostUtf16Name())};
    if (!set.decoding || !set.encoding)
        return std::nullopt;
    if (!page->stateful)
        set.table = ProbeSingleByteTable(page->name);
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
