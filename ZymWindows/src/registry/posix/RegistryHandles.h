#pragma once

#include "registry/posix/RegistryStore.h"

#include "ZymWindows/Registry.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ZymWindows::Platform::Posix {

// The names below a key as last read, for enumeration by index; valid
// while the store's version is the one recorded.
struct Listing {
    bool loaded = false;
    std::uint64_t version = 0;
    std::vector<std::u16string> names;
    unsigned long maxLength = 0;
};

// What an open HKEY points to. The listings are guarded by the store's lock.
struct KeyHandle {
    std::shared_ptr<Store> store;
    KeyId id = 0;
    unsigned long access = 0;
    Listing subKeys;
    Listing values;
};

inline KeyHandle* HandleOf(HKEY key) noexcept {
    return reinterpret_cast<KeyHandle*>(static_cast<std::uintptr_t>(key));
}

inline HKEY HkeyOf(KeyHandle* handle) noexcept {
    return static_cast<HKEY>(reinterpret_cast<std::uintptr_t>(handle));
}

bool IsPredefinedKey(HKEY key) noexcept;

// The components of a sub path. A single trailing backslash is allowed;
// any other empty component makes the path invalid (161).
long SplitPath(std::u16string_view path, std::vector<std::u16string_view>& components);

// The key an operation works on: an open handle, or a predefined root,
// which is a path from its store's root key.
class Target {
public:
    // Finds the store; nothing of it is read yet.
    long Find(HKEY key);
    Store& GetStore() const noexcept { return *m_Handle->store; }
    const std::shared_ptr<Store>& SharedStore() const noexcept { return m_Handle->store; }
    // Inside a session: the key's id. A predefined root resolves to its
    // path's key, or with `storeRoot` to its store's root key, leaving its
    // path (RootPath) to the caller.
    long Resolve(bool storeRoot);
    KeyHandle& Handle() noexcept { return *m_Handle; }
    bool IsPredefined() const noexcept { return m_Handle == &m_Root; }
    // A predefined root's path from its store's root key; empty for handles.
    std::u16string_view RootPath() const noexcept { return m_RootPath; }

private:
    KeyHandle m_Root;
    std::u16string_view m_RootPath;
    KeyHandle* m_Handle = nullptr;
};

// Inside a session: 0 while the key exists, 1018 once it was deleted.
long CheckNotDeleted(Store& store, KeyId key);
// Inside a session: the key at `components` below `from`. A missing key
// gives 2, or with `explainMissing` 1018 when `from` itself was deleted.
long WalkPath(Store& store, KeyId from, const std::vector<std::u16string_view>& components,
              KeyId& found, bool explainMissing = true);
// Inside a session: the child of `parent` named `name`, added when missing
// (which needs KEY_CREATE_SUB_KEY in `access`). A single statement, so it
// runs inside a transaction or on its own.
long CreateChild(Store& store, KeyId parent, std::u16string_view name, unsigned long access,
                 KeyId& child);
// Inside a write transaction: the same, creating missing keys. Creating
// needs KEY_CREATE_SUB_KEY in `access`.
long CreatePath(Store& store, KeyId from, const std::vector<std::u16string_view>& components,
                unsigned long access, KeyId& found);

} // namespace ZymWindows::Platform::Posix
