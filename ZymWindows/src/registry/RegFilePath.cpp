#include "ZymWindows/RegFile.h"

#include <Zym/NoCase.h>

namespace ZymWindows::RegFile {

namespace {

struct Root {
    const char16_t* longName;
    const char16_t* shortName;
    RegKeyW::STD_PARENT root;
};

constexpr Root ROOTS[] = {
    {u"HKEY_LOCAL_MACHINE", u"HKLM", RegKeyW::LOCAL_MACHINE},
    {u"HKEY_CURRENT_USER", u"HKCU", RegKeyW::CURRENT_USER},
    {u"HKEY_CLASSES_ROOT", u"HKCR", RegKeyW::CLASSES_ROOT},
    {u"HKEY_USERS", u"HKU", RegKeyW::USERS},
    {u"HKEY_CURRENT_CONFIG", u"HKCC", RegKeyW::CURRENT_CONFIG},
};

} // namespace

std::u16string KeyPath::Full() const {
    return subPath.empty() ? rootName : rootName + u'\\' + subPath;
}

bool KeyPath::HasEmptyKeyName() const {
    return !subPath.empty() && (subPath.front() == u'\\' || subPath.back() == u'\\' ||
                                subPath.find(u"\\\\") != std::u16string::npos);
}

bool ParseKeyPath(const std::u16string& path, KeyPath& result) {
    const auto slash = path.find(u'\\');
    const std::u16string_view rootName = std::u16string_view(path).substr(0, slash);
    for (const Root& root : ROOTS) {
        if (!Zym::WNoCase::IsEqual(rootName, root.longName) &&
            !Zym::WNoCase::IsEqual(rootName, root.shortName))
            continue;
        result.root = root.root;
        result.rootName = root.longName;
        result.subPath = slash == std::u16string::npos ? u"" : path.substr(slash + 1);
        return true;
    }
    return false;
}

} // namespace ZymWindows::RegFile
