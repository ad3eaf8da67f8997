#include "RegCli.h"
#include "RegCommands.h"

#include <ZymWindows/Exceptions.h>
#include <ZymWindows/Registry.h>

#include <algorithm>
#include <cstdio>

namespace zymwin::reg {

namespace {

using ZymWindows::RegKeyW;

void PrintValue(const std::u16string& name, unsigned long type,
                const std::vector<unsigned char>& data) {
    std::printf("    %s    %s    %s\n", name.empty() ? "(Default)" : Utf8(name).c_str(),
                TypeName(type).c_str(), ShowData(type, data).c_str());
}

// Names in enumeration order (the key lists them highest index first).
std::vector<std::u16string> Ascending(std::vector<std::u16string> names) {
    std::reverse(names.begin(), names.end());
    return names;
}

void PrintValues(const RegKeyW::Ptr& key) {
    std::vector<std::u16string> names;
    key->GetValuesNames(names);
    for (const auto& name : Ascending(names)) {
        std::vector<unsigned char> data;
        const unsigned long type = key->GetStringValue(name).ReadRaw(data);
        PrintValue(name, type, data);
    }
}

std::vector<std::u16string> SubKeys(const RegKeyW::Ptr& key) {
    std::vector<std::u16string> names;
    key->GetSubKeysNames(names);
    return Ascending(names);
}

std::string Child(const std::string& path, const std::u16string& name) {
    return path + "\\" + Utf8(name);
}

void PrintTree(const RegKeyW::Ptr& key, const std::string& path) {
    std::printf("%s\n", path.c_str());
    PrintValues(key);
    std::puts("");
    for (const auto& name : SubKeys(key))
        PrintTree(RegKeyW::Create(key, name, RegKeyW::OPEN_READ_ONLY), Child(path, name));
}

RegKeyW::Ptr OpenKey(const ZymWindows::RegFile::KeyPath& path) {
    RegKeyW::Ptr key = OpenIfPresent(path);
    if (!key)
        throw UsageError{NOT_FOUND};
    return key;
}

} // namespace

int Query(const Args& args) {
    const Options options = ParseOptions(args, {"v"}, {"ve", "s"});
    if (options.positional.size() != 1)
        throw UsageError{"query takes one KEY (see 'zymwin reg --help')"};
    const auto path = ParseKey(options.positional[0]);
    const std::string shown = Utf8(path.Full());
    const auto key = OpenKey(path);
    std::u16string name;
    if (ValueName(options, name)) {
        const bool present = key->ValueExists(name);
        if (!present && !name.empty())
            throw UsageError{NOT_FOUND};
        std::printf("\n%s\n", shown.c_str());
        if (present) {
            std::vector<unsigned char> data;
            const unsigned long type = key->GetStringValue(name).ReadRaw(data);
            PrintValue(name, type, data);
        } else {
            std::puts("    (Default)    REG_SZ    (value not set)");
        }
        std::puts("");
        return 0;
    }
    std::puts("");
    if (options.Has("s")) {
        PrintTree(key, shown);
        return 0;
    }
    std::printf("%s\n", shown.c_str());
    PrintValues(key);
    const auto children = SubKeys(key);
    if (!children.empty()) {
        std::puts("");
        for (const auto& child : children)
            std::printf("%s\n", Child(shown, child).c_str());
    }
    std::puts("");
    return 0;
}

} // namespace zymwin::reg
