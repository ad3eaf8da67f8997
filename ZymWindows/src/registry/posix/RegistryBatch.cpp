#include "registry/RegistryPlatform.h"

#include "registry/posix/RegistryHandles.h"
#include "registry/posix/RegistryNames.h"

#include <Zym/LastError.h>

#include <algorithm>
#include <memory>

namespace ZymWindows::Platform {

using namespace Posix;

namespace {

// Every store a batch touches, locked in path order (so that two batches
// never wait on each other) with a write transaction open on each.
class Batch {
public:
    ~Batch() {
        if (m_Open)
            Abort();
    }

    void Add(const std::shared_ptr<Store>& store) {
        if (std::find(m_Stores.begin(), m_Stores.end(), store) == m_Stores.end())
            m_Stores.push_back(store);
    }

    long Begin() {
        std::sort(m_Stores.begin(), m_Stores.end(),
                  [](const auto& a, const auto& b) { return a->Path() < b->Path(); });
        for (const auto& store : m_Stores) {
            m_Sessions.push_back(std::make_unique<Store::Session>(*store));
            long error = m_Sessions.back()->Error();
            if (error == Zym::ERROR_SUCCESS)
                error = store->Begin();
            if (error != Zym::ERROR_SUCCESS) {
                m_Sessions.pop_back();
                Abort();
                return error;
            }
            store->MarkChanged();
            ++m_Begun;
        }
        m_Open = true;
        return Zym::ERROR_SUCCESS;
    }

    long Commit() {
        for (std::size_t i = 0; i < m_Begun; ++i) {
            const long error = m_Stores[i]->Commit();
            if (error != Zym::ERROR_SUCCESS)
                return error;
            m_Stores[i]->MarkChanged();
        }
        m_Open = false;
        return Zym::ERROR_SUCCESS;
    }

    void Abort() {
        for (std::size_t i = 0; i < m_Begun; ++i) {
            m_Stores[i]->Rollback();
            m_Stores[i]->MarkChanged();
        }
        m_Open = false;
    }

private:
    std::vector<std::shared_ptr<Store>> m_Stores;
    std::vector<std::unique_ptr<Store::Session>> m_Sessions;
    std::size_t m_Begun = 0;
    bool m_Open = false;
};

std::u16string FullPath(const Target& target, const std::u16string& path) {
    std::u16string full(target.RootPath());
    if (!full.empty() && !path.empty())
        full += u'\\';
    return full + path;
}

long Apply(Target& target, const RegChange& change) {
    Store& store = target.GetStore();
    std::vector<std::u16string_view> components;
    const std::u16string path = FullPath(target, change.path);
    long error = SplitPath(path, components);
    if (error != Zym::ERROR_SUCCESS)
        return error;
    KeyId id = 0;
    switch (change.kind) {
    case RegChange::CREATE_KEY:
        return CreatePath(store, Store::ROOT, components, KEY_ALL_ACCESS, id);
    case RegChange::SET_VALUE:
        error = CreatePath(store, Store::ROOT, components, KEY_ALL_ACCESS, id);
        if (error != Zym::ERROR_SUCCESS)
            return error;
        return store.SetValue(id, StoredName(change.valueName), FoldedName(change.valueName),
                              change.type, change.data.data(), change.data.size());
    case RegChange::DELETE_TREE:
        error = WalkPath(store, Store::ROOT, components, id);
        if (error == Zym::ERROR_SUCCESS && id == Store::ROOT)
            return Zym::ERROR_ACCESS_DENIED;
        if (error == Zym::ERROR_SUCCESS)
            return store.DeleteTree(id);
        return error == Zym::ERROR_FILE_NOT_FOUND ? static_cast<long>(Zym::ERROR_SUCCESS) : error;
    case RegChange::DELETE_VALUE: {
        error = WalkPath(store, Store::ROOT, components, id);
        bool deleted = false;
        if (error == Zym::ERROR_SUCCESS)
            return store.DeleteValue(id, FoldedName(change.valueName), deleted);
        return error == Zym::ERROR_FILE_NOT_FOUND ? static_cast<long>(Zym::ERROR_SUCCESS) : error;
    }
    }
    return Zym::ERROR_INVALID_PARAMETER;
}

} // namespace

long RegApplyChanges(const std::vector<RegChange>& changes, std::size_t& failedAt) {
    std::vector<std::unique_ptr<Target>> targets;
    Batch batch;
    for (failedAt = 0; failedAt < changes.size(); ++failedAt) {
        if (!IsPredefinedKey(changes[failedAt].root))
            return Zym::ERROR_INVALID_HANDLE;
        targets.push_back(std::make_unique<Target>());
        const long error = targets.back()->Find(changes[failedAt].root);
        if (error != Zym::ERROR_SUCCESS)
            return error;
        batch.Add(targets.back()->SharedStore());
    }
    failedAt = 0;
    long error = batch.Begin();
    if (error != Zym::ERROR_SUCCESS)
        return error;
    for (; failedAt < changes.size(); ++failedAt) {
        error = Apply(*targets[failedAt], changes[failedAt]);
        if (error != Zym::ERROR_SUCCESS)
            return error;
    }
    return batch.Commit();
}

} // namespace ZymWindows::Platform
