#include "registry/posix/RegistryHandles.h"

#include "registry/posix/RegistryLocation.h"
#include "registry/posix/RegistryNames.h"

#include <Zym/LastError.h>

#include <algorithm>
#include <iterator>

namespace ZymWindows::Platform::Posix {

namespace {

// Windows' limit on a key name.
constexpr std::size_t MAX_KEY_NAME = 255;

struct Predefined {
    HKEY key;
    Hive hive;
    std::u16string_view path;
};

constexpr Predefined PREDEFINED[] = {
    {HKEY_LOCAL_MACHINE, Hive::MACHINE, u""},
    {HKEY_CURRENT_USER, Hive::CURRENT_USER, u""},
    {HKEY_USERS, Hive::USERS, u""},
    {HKEY_CLASSES_ROOT, Hive::MACHINE, u"SOFTWARE\\Classes"},
    {HKEY_CURRENT_CONFIG, Hive::MACHINE, u"SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current"},
};

// A name missing right below `from` may mean that `from` went away.
long MissingBelow(Store& store, KeyId from) {
    const long error = CheckNotDeleted(store, from);
    return error != Zym::ERROR_SUCCESS ? error : static_cast<long>(Zym::ERROR_FILE_NOT_FOUND);
}

} // namespace

bool IsPredefinedKey(HKEY key) noexcept {
    // The predefined handles are small numbers that no allocation returns.
    const auto value = static_cast<std::uintptr_t>(key);
    return value >= static_cast<std::uintptr_t>(HKEY_CLASSES_ROOT) &&
           value <= static_cast<std::uintptr_t>(HKEY_CURRENT_CONFIG) &&
           std::any_of(std::begin(PREDEFINED), std::end(PREDEFINED),
                       [key](const Predefined& root) { return root.key == key; });
}

long CheckNotDeleted(Store& store, KeyId key) {
    bool exists = false;
    const long error = store.KeyExists(key, exists);
    if (error != Zym::ERROR_SUCCESS)
        return error;
    return exists ? static_cast<long>(Zym::ERROR_SUCCESS)
                  : static_cast<long>(Zym::ERROR_KEY_DELETED);
}

long SplitPath(std::u16string_view path, std::vector<std::u16string_view>& components) {
    components.clear();
    // Every key name counts, a trailing empty one too.
    if (path.empty())
        return Zym::ERROR_SUCCESS;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = path.find(u'\\', start);
        const auto component = path.substr(start, end - start);
        if (component.empty())
            return Zym::ERROR_BAD_PATHNAME;
        if (component.size() > MAX_KEY_NAME)
            return Zym::ERROR_INVALID_PARAMETER;
        components.push_back(component);
        if (end == std::u16string_view::npos)
            return Zym::ERROR_SUCCESS;
        start = end + 1;
    }
}

long Target::Find(HKEY key) {
    if (!IsPredefinedKey(key)) {
        if (key == HKEY{})
            return Zym::ERROR_INVALID_HANDLE;
        m_Handle = HandleOf(key);
        return Zym::ERROR_SUCCESS;
    }
    for (const Predefined& root : PREDEFINED) {
        if (root.key != key)
            continue;
        std::string path;
        long error = HivePath(root.hive, path);
        if (error == Zym::ERROR_SUCCESS)
            error = Store::Get(path, m_Root.store);
        m_Root.access = KEY_ALL_ACCESS;
        m_RootPath = root.path;
        m_Handle = &m_Root;
        return error;
    }
    return Zym::ERROR_INVALID_HANDLE;
}

long Target::Resolve(bool storeRoot) {
    if (!IsPredefined())
        return Zym::ERROR_SUCCESS;
    m_Root.id = Store::ROOT;
    if (storeRoot)
        return Zym::ERROR_SUCCESS;
    std::vector<std::u16string_view> components;
    SplitPath(m_RootPath, components);
    return WalkPath(*m_Root.store, Store::ROOT, components, m_Root.id);
}

long WalkPath(Store& store, KeyId from, const std::vector<std::u16string_view>& components,
              KeyId& found, bool explainMissing) {
    KeyId at = from;
    for (const auto component : components) {
        bool present = false;
        const long error = store.FindChild(at, FoldedName(component), at, present);
        if (error != Zym::ERROR_SUCCESS)
            return error;
        if (!present)
            return at == from && explainMissing ? MissingBelow(store, from)
                                                : static_cast<long>(Zym::ERROR_FILE_NOT_FOUND);
    }
    found = at;
    // Opening the key itself again: it must still be there.
    return components.empty() ? CheckNotDeleted(store, from)
                              : static_cast<long>(Zym::ERROR_SUCCESS);
}

long CreateChild(Store& store, KeyId parent, std::u16string_view name, unsigned long access,
                 KeyId& child) {
    const std::string folded = FoldedName(name);
    bool present = false;
    long error = store.FindChild(parent, folded, child, present);
    if (error != Zym::ERROR_SUCCESS || present)
        return error;
    if (!(access & KEY_CREATE_SUB_KEY))
        return Zym::ERROR_ACCESS_DENIED;
    bool inserted = false;
    error = store.InsertKey(parent, StoredName(name), folded, child, inserted);
    // Another process may have added it since the lookup.
    if (error == Zym::ERROR_SUCCESS && !inserted) {
        error = store.FindChild(parent, folded, child, present);
        if (error == Zym::ERROR_SUCCESS && !present)
            error = Zym::ERROR_FILE_NOT_FOUND;
    }
    return error;
}

long CreatePath(Store& store, KeyId from, const std::vector<std::u16string_view>& components,
                unsigned long access, KeyId& found) {
    KeyId at = from;
    for (const auto component : components) {
        // Keys made on the way belong to the caller.
        const long error =
            CreateChild(store, at, component, at == from ? access : KEY_ALL_ACCESS, at);
        if (error != Zym::ERROR_SUCCESS)
            return error;
    }
    found = at;
    return components.empty() ? CheckNotDeleted(store, from)
                              : static_cast<long>(Zym::ERROR_SUCCESS);
}

} // namespace ZymWindows::Platform::Posix
