#include "SystemSets.h"

#include "Iconv.h"

#include <map>
#include <mutex>
#include <optional>

namespace ZymCharset {

namespace {

std::optional<SystemSet> Probe(Zym::CHARSET cs) {
    const SystemCodePage* page = FindSystemCodePage(cs);
    if (!page || !Platform::Iconv::Open(HostUtf16Name(), page->name) ||
        !Platform::Iconv::Open(page->name, HostUtf16Name()))
        return std::nullopt;
    return SystemSet{page, page->stateful ? nullptr : ProbeSingleByteTable(page->name)};
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
