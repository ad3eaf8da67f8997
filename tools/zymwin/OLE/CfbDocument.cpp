#include "CfbDocument.h"

#include "Command.h"

#include <ZymWindows/Exceptions.h>

#include <unordered_set>

namespace zymwin::cfb {

Document::Document(const std::string& path) : m_Path(path) {
    try {
        m_File = std::make_unique<ZymFile::FileBuffer>(path);
    } catch (const ZymFile::FileException& error) {
        throw UsageError{error.WhatUtf8()};
    }
    try {
        m_Root = new Storage(u"", "", *m_File);
    } catch (const ZymWindows::OLE::NotAStorageOLEException&) {
        throw UsageError{path + ": not a compound file"};
    } catch (const ZymWindows::OLE::CorruptedStorageOLEException&) {
        throw UsageError{path + ": damaged header"};
    }
}

void Walk(const Zym::SmartPtr<Storage>& root, const std::function<void(const WalkEntry&)>& visit) {
    struct Pending {
        Zym::SmartPtr<Storage> parent;
        std::vector<std::u16string> parentPath;
        const Storage::Item* item;
        bool isStorage;
    };
    std::vector<Pending> stack;
    // Children go on the stack last first, so that they come off in order.
    auto pushChildren = [&](const Zym::SmartPtr<Storage>& storage,
                            const std::vector<std::u16string>& path) {
        for (auto it = storage->Streams().rbegin(); it != storage->Streams().rend(); ++it)
            stack.push_back(Pending{storage, path, &*it, false});
        for (auto it = storage->Storages().rbegin(); it != storage->Storages().rend(); ++it)
            stack.push_back(Pending{storage, path, &*it, true});
    };
    std::unordered_set<unsigned long> seenStorages{Storage::RootStorage::ROOT_STORAGE_ID};
    pushChildren(root, {});
    while (!stack.empty()) {
        Pending next = std::move(stack.back());
        stack.pop_back();
        if (next.isStorage && !seenStorages.insert(next.item->ID).second)
            continue;
        std::vector<std::u16string> path = next.parentPath;
        path.push_back(next.item->Name);
        visit(WalkEntry{path, *next.item, next.isStorage});
        if (next.isStorage)
            pushChildren(next.parent->OpenStorage(next.item->ID), path);
    }
}

} // namespace zymwin::cfb
