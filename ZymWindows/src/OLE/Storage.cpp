#include <ZymWindows/Exceptions.h>
#include <ZymWindows/OLEStorage.h>

#include <algorithm>

namespace ZymWindows::OLE {

namespace {

const Storage::Item* FindByName(const std::vector<Storage::Item>& items,
                                const std::u16string& name) {
    const auto found = std::find_if(items.begin(), items.end(),
                                    [&](const Storage::Item& item) { return item.Name == name; });
    return found == items.end() ? nullptr : &*found;
}

} // namespace

Storage::Storage(const std::u16string& name, const std::string& tempPath,
                 Zym::BinaryStreamBuf& buffer)
    : m_Root(new RootStorage(name, tempPath, buffer)), m_Name(RootStorage::ROOT_STORAGE_NAME) {
    m_Root->GetChild(RootStorage::ROOT_STORAGE_ID, m_Storages, m_Streams);
}

Storage::Storage(const Zym::SmartPtr<RootStorage>& root, unsigned long id,
                 const std::u16string& name)
    : m_Root(root), m_Name(name) {
    m_Root->GetChild(id, m_Storages, m_Streams);
}

Storage::~Storage() = default;

Zym::SmartPtr<Storage> Storage::OpenStorage(unsigned long id) {
    const auto found = std::find_if(m_Storages.begin(), m_Storages.end(),
                                    [&](const Item& item) { return item.ID == id; });
    if (found == m_Storages.end())
        throw StorageNotFoundOLEException();
    return new Storage(m_Root, found->ID, found->Name);
}

Zym::SmartPtr<Storage> Storage::OpenStorage(const std::u16string& name) {
    const Item* found = FindByName(m_Storages, name);
    if (!found)
        throw StorageNotFoundOLEException();
    return new Storage(m_Root, found->ID, name);
}

void Storage::ReadStream(unsigned long id, Zym::BinaryStreamBuf& out) const {
    m_Root->ReadStream(id, out);
}

void Storage::ReadStream(const std::u16string& name, Zym::BinaryStreamBuf& out) const {
    const Item* found = FindByName(m_Streams, name);
    if (!found)
        throw StreamNotFoundOLEException();
    m_Root->ReadStream(found->ID, out);
}

} // namespace ZymWindows::OLE
