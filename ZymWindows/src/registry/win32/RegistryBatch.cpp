#include "registry/RegistryPlatform.h"

#include "registry/win32/RegistryText.h"

#include "registry/win32/RegistryWindows.h"

#include <functional>
#include <memory>

namespace ZymWindows::Platform {

namespace {

// An open key, closed when the object goes.
class OpenKey {
public:
    OpenKey() = default;
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    ~OpenKey() {
        if (m_Key)
            ::RegCloseKey(m_Key);
    }
    HKEY* Out() noexcept { return &m_Key; }
    HKEY Get() const noexcept { return m_Key; }

private:
    HKEY m_Key{};
};

// A key's values and sub keys, kept to write them back.
struct Snapshot {
    struct Value {
        std::u16string name;
        unsigned long type = 0;
        std::vector<unsigned char> data;
    };
    std::u16string name;
    std::vector<Value> values;
    std::vector<Snapshot> children;
};

long Take(HKEY key, Snapshot& snapshot) {
    std::u16string name;
    for (unsigned long index = 0;; ++index) {
        long error = RegEnumValue(key, index, name);
        if (error == ERROR_NO_MORE_ITEMS)
            break;
        Snapshot::Value value{name, 0, {}};
        if (error == ERROR_SUCCESS)
            error = RegQueryValue(key, name, value.type, &value.data);
        if (error != ERROR_SUCCESS)
            return error;
        snapshot.values.push_back(std::move(value));
    }
    for (unsigned long index = 0;; ++index) {
        long error = RegEnumKey(key, index, name);
        if (error == ERROR_NO_MORE_ITEMS)
            break;
        OpenKey child;
        if (error == ERROR_SUCCESS)
            error = RegOpenKey(key, name, KEY_READ, *child.Out());
        Snapshot childSnapshot{name, {}, {}};
        if (error == ERROR_SUCCESS)
            error = Take(child.Get(), childSnapshot);
        if (error != ERROR_SUCCESS)
            return error;
        snapshot.children.push_back(std::move(childSnapshot));
    }
    return ERROR_SUCCESS;
}

void Restore(HKEY parent, const std::u16string& path, const Snapshot& snapshot) {
    OpenKey key;
    if (RegCreateKey(parent, path, KEY_ALL_ACCESS, *key.Out()) != ERROR_SUCCESS)
        return;
    for (const auto& value : snapshot.values)
        RegSetValue(key.Get(), value.name, value.type, value.data.data(), value.data.size());
    for (const auto& child : snapshot.children)
        Restore(key.Get(), child.name, child);
}

// Applies changes one by one and remembers how to take each back, so that
// a batch that fails part way leaves the registry as it found it.
class Journal {
public:
    ~Journal() {
        if (!m_Kept)
            for (auto undo = m_Undo.rbegin(); undo != m_Undo.rend(); ++undo)
                (*undo)();
    }

    void Keep() noexcept { m_Kept = true; }

    long Apply(const RegChange& change) {
        if (change.kind == RegChange::DELETE_TREE)
            return DeleteTree(change);
        OpenKey key;
        long error = change.kind == RegChange::DELETE_VALUE
                         ? RegOpenKey(change.root, change.path, KEY_ALL_ACCESS, *key.Out())
                         : CreateKey(change.root, change.path, *key.Out());
        if (error == ERROR_FILE_NOT_FOUND && change.kind == RegChange::DELETE_VALUE)
            return ERROR_SUCCESS;
        if (error != ERROR_SUCCESS || change.kind == RegChange::CREATE_KEY)
            return error;
        error = KeepValue(key.Get(), change);
        if (error != ERROR_SUCCESS)
            return error;
        if (change.kind == RegChange::SET_VALUE)
            return RegSetValue(key.Get(), change.valueName, change.type, change.data.data(),
                               change.data.size());
        error = RegDeleteValue(key.Get(), change.valueName);
        return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
    }

private:
    // Creates the key; when it was missing, the undo deletes the first key
    // of its path that did not exist.
    long CreateKey(HKEY root, const std::u16string& path, HKEY& key) {
        for (std::size_t end = 0; end != std::u16string::npos;) {
            end = path.find(u'\\', end + 1);
            const std::u16string prefix = path.substr(0, end);
            OpenKey probe;
            const long error = RegOpenKey(root, prefix, KEY_READ, *probe.Out());
            if (error == ERROR_FILE_NOT_FOUND) {
                const std::u16string created = path.substr(0, end);
                m_Undo.push_back(
                    [root, created] { ::RegDeleteTreeW(root, Win32::CallName(created).c_str()); });
                break;
            }
            if (error != ERROR_SUCCESS)
                return error;
        }
        return RegCreateKey(root, path, KEY_ALL_ACCESS, key);
    }

    // Records the value as it stands, to be written back or deleted.
    long KeepValue(HKEY key, const RegChange& change) {
        Snapshot::Value old{change.valueName, 0, {}};
        const long error = RegQueryValue(key, change.valueName, old.type, &old.data);
        if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND)
            return error;
        const bool existed = error == ERROR_SUCCESS;
        const HKEY root = change.root;
        const std::u16string path = change.path;
        m_Undo.push_back([root, path, existed, old] {
            OpenKey key;
            if (RegOpenKey(root, path, KEY_ALL_ACCESS, *key.Out()) != ERROR_SUCCESS)
                return;
            if (existed)
                RegSetValue(key.Get(), old.name, old.type, old.data.data(), old.data.size());
            else
                RegDeleteValue(key.Get(), old.name);
        });
        return ERROR_SUCCESS;
    }

    long DeleteTree(const RegChange& change) {
        // A root itself cannot go.
        if (change.path.empty())
            return ERROR_ACCESS_DENIED;
        OpenKey key;
        long error = RegOpenKey(change.root, change.path, KEY_READ, *key.Out());
        if (error == ERROR_FILE_NOT_FOUND)
            return ERROR_SUCCESS;
        Snapshot snapshot;
        if (error == ERROR_SUCCESS)
            error = Take(key.Get(), snapshot);
        if (error != ERROR_SUCCESS)
            return error;
        // The key goes with its subtree.
        error = ::RegDeleteTreeW(change.root, Win32::CallName(change.path).c_str());
        const HKEY root = change.root;
        const std::u16string name = change.path;
        m_Undo.push_back([root, name, snapshot] { Restore(root, name, snapshot); });
        return error;
    }

    std::vector<std::function<void()>> m_Undo;
    bool m_Kept = false;
};

} // namespace

long RegApplyChanges(const std::vector<RegChange>& changes, std::size_t& failedAt) {
    Journal journal;
    for (failedAt = 0; failedAt < changes.size(); ++failedAt) {
        const long error = journal.Apply(changes[failedAt]);
        if (error != ERROR_SUCCESS)
            return error;
    }
    journal.Keep();
    return ERROR_SUCCESS;
}

} // namespace ZymWindows::Platform
