#include "RegCli.h"
#include "RegCommands.h"
#include "RegData.h"

#include <ZymWindows/Exceptions.h>
#include <ZymWindows/Registry.h>

#include <cstdio>

namespace zymwin::reg {

namespace {

using ZymWindows::RegKeyW;
using ZymWindows::RegFile::Entry;

std::string Shown(const std::u16string& name) {
    return name.empty() ? "(Default)" : Utf8(name);
}

int Apply(const Entry& entry) {
    ZymWindows::RegFile::Import({entry});
    std::puts(DONE);
    return 0;
}

} // namespace

int Add(const Args& args) {
    const Options options = ParseOptions(args, {"v", "t", "s", "d"}, {"ve", "f"});
    if (options.positional.size() != 1)
        throw UsageError{"add takes one KEY (see 'zymwin reg --help')"};
    Entry entry{};
    entry.key = ParseKey(options.positional[0]);
    if (!ValueName(options, entry.valueName)) {
        if (options.Has("t") || options.Has("d") || options.Has("s"))
            throw UsageError{"/t, /s and /d need /v NAME or /ve"};
        entry.kind = Entry::KEY;
        return Apply(entry);
    }
    entry.kind = Entry::VALUE;
    entry.type = options.Has("t") ? ParseTypeName(options.Value("t")) : ZymWindows::REG_SZ;
    if (options.Has("s") && entry.type != ZymWindows::REG_MULTI_SZ)
        throw UsageError{"/s applies to REG_MULTI_SZ only"};
    entry.data = DataFor(entry.type, options.Has("d") ? options.Value("d") : "",
                         options.Has("s") ? options.Value("s") : "\\0");
    const auto key = OpenIfPresent(entry.key);
    if (key && key->ValueExists(entry.valueName) && !options.Has("f") &&
        !Confirm("Value " + Shown(entry.valueName) + " exists, overwrite"))
        throw UsageError{CANCELLED};
    return Apply(entry);
}

int Delete(const Args& args) {
    const Options options = ParseOptions(args, {"v"}, {"ve", "f"});
    if (options.positional.size() != 1)
        throw UsageError{"delete takes one KEY (see 'zymwin reg --help')"};
    Entry entry{};
    entry.key = ParseKey(options.positional[0]);
    const auto key = OpenIfPresent(entry.key);
    if (!key)
        throw UsageError{NOT_FOUND};
    std::string question;
    if (ValueName(options, entry.valueName)) {
        if (!key->ValueExists(entry.valueName))
            throw UsageError{NOT_FOUND};
        entry.kind = Entry::DELETE_VALUE;
        question = "Delete the registry value " + Shown(entry.valueName);
    } else {
        if (entry.key.subPath.empty())
            throw UsageError{"a root key cannot be deleted"};
        entry.kind = Entry::DELETE_KEY;
        question = "Permanently delete the registry key " + Utf8(entry.key.Full());
    }
    if (!options.Has("f") && !Confirm(question))
        throw UsageError{CANCELLED};
    return Apply(entry);
}

} // namespace zymwin::reg
