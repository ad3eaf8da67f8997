#include "registry/RegistryPlatform.h"

#include "registry/posix/RegistryHandles.h"
#include "registry/posix/RegistryNames.h"

#include <Zym/LastError.h>

#include <algorithm>

namespace ZymWindows::Platform {

using namespace Posix;

namespace {

constexpr unsigned long WRITE_ACCESS = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | REG_DELETE;
// Windows' limit on a value name.
constexpr std::size_t MAX_VALUE_NAME = 16383;

// Runs `body` inside a session on the target key, resolved first.
template <class Body> long WithKey(HKEY key, bool storeRoot, Body&& body) {
    Target target;
    long error = target.Find(key);
    if (error != Zym::ERROR_SUCCESS)
        return error;
    Store::Session session(target.GetStore());
    if (session.Error() != Zym::ERROR_SUCCESS)
        return session.Error();
    error = target.Resolve(storeRoot);
    return error != Zym::ERROR_SUCCESS ? error : body(target);
}

// Runs `body` in a write transaction, counting the change for the readers
// that cache listings: once before the commit and once after, so a reader
// never keeps a listing that it took before a committed change.
template <class Body> long InTransaction(Store& store, Body&& body) {
    long error = store.Begin();
    if (error != Zym::ERROR_SUCCESS)
        return error;
    store.MarkChanged();
    error = body();
    if (error == Zym::ERROR_SUCCESS)
        error = store.Commit();
    if (error != Zym::ERROR_SUCCESS)
        store.Rollback();
    store.MarkChanged();
    return error;
}

long OpenOrCreate(HKEY parent, std::u16string_view subPath, unsigned long access, HKEY& result,
                  bool create) {
    return WithKey(parent, true, [&](Target& target) {
        // Below a predefined root, its own path comes first.
        std::u16string path(target.RootPath());
        if (!path.empty() && !subPath.empty())
            path += u'\\';
        path += subPath;
        std::vector<std::u16string_view> components;
        long status = SplitPath(path, components);
        if (status != Zym::ERROR_SUCCESS)
            return status;
        Store& store = target.GetStore();
        if ((access & WRITE_ACCESS) && store.IsReadOnly())
            return static_cast<long>(Zym::ERROR_ACCESS_DENIED);
        KeyId id = 0;
        // A key being created may find its parent gone: creating tells.
        status = WalkPath(store, target.Handle().id, components, id, !create);
        if (status == Zym::ERROR_FILE_NOT_FOUND && create && components.size() == 1) {
            store.MarkChanged();
            status = CreateChild(store, target.Handle().id, components.front(),
                                 target.Handle().access, id);
            store.MarkChanged();
        } else if (status == Zym::ERROR_FILE_NOT_FOUND && create) {
            status = InTransaction(store, [&] {
                return CreatePath(store, target.Handle().id, components, target.Handle().access,
                                  id);
            });
        }
        if (status == Zym::ERROR_SUCCESS) {
            auto* handle = new KeyHandle;
            handle->store = target.SharedStore();
            handle->id = id;
            handle->access = access;
            result = HkeyOf(handle);
        }
        return status;
    });
}

// The listing, read again when the store changed since it was taken.
long Refresh(Store& store, KeyHandle& handle, Listing& listing, bool subKeys) {
    const std::uint64_t version = store.Version();
    if (listing.loaded && listing.version == version)
        return Zym::ERROR_SUCCESS;
    bool exists = false;
    long error = subKeys ? store.ListChildren(handle.id, listing.names, exists)
                         : store.ListValues(handle.id, listing.names, exists);
    if (error == Zym::ERROR_SUCCESS && !exists)
        error = Zym::ERROR_KEY_DELETED;
    if (error != Zym::ERROR_SUCCESS) {
        listing.loaded = false;
        return error;
    }
    listing.maxLength = 0;
    for (const auto& name : listing.names)
        listing.maxLength = std::max(listing.maxLength, static_cast<unsigned long>(name.size()));
    listing.version = version;
    listing.loaded = true;
    return Zym::ERROR_SUCCESS;
}

long Enumerate(HKEY key, unsigned long index, std::u16string& name, bool subKeys) {
    return WithKey(key, false, [&](Target& target) {
        KeyHandle& handle = target.Handle();
        if (!(handle.access & (subKeys ? KEY_ENUMERATE_SUB_KEYS : KEY_QUERY_VALUE)))
            return static_cast<long>(Zym::ERROR_ACCESS_DENIED);
        Listing& listing = subKeys ? handle.subKeys : handle.values;
        const long error = Refresh(target.GetStore(), handle, listing, subKeys);
        if (error != Zym::ERROR_SUCCESS)
            return error;
        if (index >= listing.names.size())
            return static_cast<long>(Zym::ERROR_NO_MORE_ITEMS);
        name = listing.names[index];
        return static_cast<long>(Zym::ERROR_SUCCESS);
    });
}

long CheckValueName(std::u16string_view name) {
    return name.size() > MAX_VALUE_NAME ? static_cast<long>(Zym::ERROR_INVALID_PARAMETER)
                                        : static_cast<long>(Zym::ERROR_SUCCESS);
}

} // namespace

long RegOpenKey(HKEY parent, std::u16string_view subPath, unsigned long access, HKEY& result) {
    return OpenOrCreate(parent, subPath, access, result, false);
}

long RegCreateKey(HKEY parent, std::u16string_view subPath, unsigned long access, HKEY& result) {
    return OpenOrCreate(parent, subPath, access, result, true);
}

long RegCloseKey(HKEY key) {
    if (key == HKEY{})
        return Zym::ERROR_INVALID_HANDLE;
    if (!IsPredefinedKey(key))
        delete HandleOf(key);
    return Zym::ERROR_SUCCESS;
}

long RegDeleteKey(HKEY parent, std::u16string_view subPath) {
    std::vector<std::u16string_view> components;
    long error = SplitPath(subPath, components);
    if (error != Zym::ERROR_SUCCESS)
        return error;
    return WithKey(parent, false, [&](Target& target) {
        Store& store = target.GetStore();
        KeyId id = 0;
        long status = WalkPath(store, target.Handle().id, components, id);
        if (status != Zym::ERROR_SUCCESS)
            return status;
        // Neither a root nor a key with sub keys can go.
        if (id == Store::ROOT || (target.IsPredefined() && components.empty()))
            return static_cast<long>(Zym::ERROR_ACCESS_DENIED);
        bool deleted = false;
        store.MarkChanged();
        status = store.DeleteKey(id, deleted);
        store.MarkChanged();
        if (status != Zym::ERROR_SUCCESS || deleted)
            return status;
        bool exists = false;
        status = store.KeyExists(id, exists);
        if (status != Zym::ERROR_SUCCESS)
            return status;
        return static_cast<long>(exists ? Zym::ERROR_ACCESS_DENIED : Zym::ERROR_FILE_NOT_FOUND);
    });
}

long RegQueryInfoKey(HKEY key, unsigned long* subKeys, unsigned long* maxSubKeyLength,
                     unsigned long* values, unsigned long* maxValueNameLength) {
    return WithKey(key, false, [&](Target& target) {
        KeyHandle& handle = target.Handle();
        if (!(handle.access & KEY_QUERY_VALUE))
            return static_cast<long>(Zym::ERROR_ACCESS_DENIED);
        long error = Zym::ERROR_SUCCESS;
        if (subKeys || maxSubKeyLength) {
            error = Refresh(target.GetStore(), handle, handle.subKeys, true);
            if (error != Zym::ERROR_SUCCESS)
                return error;
            if (subKeys)
                *subKeys = static_cast<unsigned long>(handle.subKeys.names.size());
            if (maxSubKeyLength)
                *maxSubKeyLength = handle.subKeys.maxLength;
        }
        if (values || maxValueNameLength) {
            error = Refresh(target.GetStore(), handle, handle.values, false);
            if (error != Zym::ERROR_SUCCESS)
                return error;
            if (values)
                *values = static_cast<unsigned long>(handle.values.names.size());
            if (maxValueNameLength)
                *maxValueNameLength = handle.values.maxLength;
        }
        return error;
    });
}

long RegEnumKey(HKEY key, unsigned long index, std::u16string& name) {
    return Enumerate(key, index, name, true);
}

long RegEnumValue(HKEY key, unsigned long index, std::u16string& name) {
    return Enumerate(key, index, name, false);
}

long RegSetValue(HKEY key, std::u16string_view name, unsigned long type, const void* data,
                 std::size_t size) {
    const long error = CheckValueName(name);
    if (error != Zym::ERROR_SUCCESS)
        return error;
    return WithKey(key, false, [&](Target& target) {
        if (!(target.Handle().access & KEY_SET_VALUE))
            return static_cast<long>(Zym::ERROR_ACCESS_DENIED);
        Store& store = target.GetStore();
        store.MarkChanged();
        const long status = store.SetValue(target.Handle().id, StoredName(name), FoldedName(name),
                                           type, data, size);
        store.MarkChanged();
        return status;
    });
}

long RegQueryValue(HKEY key, std::u16string_view name, unsigned long& type,
                   std::vector<unsigned char>* data) {
    return WithKey(key, false, [&](Target& target) {
        if (!(target.Handle().access & KEY_QUERY_VALUE))
            return static_cast<long>(Zym::ERROR_ACCESS_DENIED);
        Store& store = target.GetStore();
        bool found = false;
        const long error = store.GetValue(target.Handle().id, FoldedName(name), type, data, found);
        if (error != Zym::ERROR_SUCCESS || found)
            return error;
        const long gone = CheckNotDeleted(store, target.Handle().id);
        return gone != Zym::ERROR_SUCCESS ? gone : static_cast<long>(Zym::ERROR_FILE_NOT_FOUND);
    });
}

long RegDeleteValue(HKEY key, std::u16string_view name) {
    return WithKey(key, false, [&](Target& target) {
        if (!(target.Handle().access & KEY_SET_VALUE))
            return static_cast<long>(Zym::ERROR_ACCESS_DENIED);
        Store& store = target.GetStore();
        bool deleted = false;
        store.MarkChanged();
        long error = store.DeleteValue(target.Handle().id, FoldedName(name), deleted);
        store.MarkChanged();
        if (error != Zym::ERROR_SUCCESS || deleted)
            return error;
        error = CheckNotDeleted(store, target.Handle().id);
        return error != Zym::ERROR_SUCCESS ? error : static_cast<long>(Zym::ERROR_FILE_NOT_FOUND);
    });
}

} // namespace ZymWindows::Platform
