#include <Zym/NoCase.h>
#include <ZymFile/DiskBuffer.h>
#include <ZymWindows/Exceptions.h>
#include <ZymWindows/OLEStorage.h>

#include <deque>
#include <unordered_set>

namespace ZymWindows::OLE {

namespace {

constexpr unsigned int SCRATCH_BLOCK = 32768;
constexpr unsigned int SCRATCH_MEMORY = 0x40000;

bool IsPropertySetName(const std::u16string& name) {
    return (!name.empty() && name[0] == PropertyStorage::W_NAME_PREFIX) ||
           Zym::WNoCase::IsEqual(name, u"CONTENTS");
}

} // namespace

// A storage that occurs again below itself, as in a damaged file whose
// directory loops, is opened only once.
void Storage::Properties(PropertyStorage::PropertyMap& props,
                         PropertyStorage::NamedPropertyMap& named) const {
    ZymFile::DiskBuffer buffer(m_Root->TempPath(), SCRATCH_BLOCK, SCRATCH_MEMORY);
    std::deque<Zym::SmartPtr<Storage>> queue;
    std::unordered_set<unsigned long> opened;
    auto visit = [&](const Storage& storage) {
        for (const Item& child : storage.m_Storages)
            if (opened.insert(child.ID).second)
                queue.push_back(new Storage(m_Root, child.ID, child.Name));
        for (const Item& stream : storage.m_Streams) {
            if (!IsPropertySetName(stream.Name))
                continue;
            try {
                m_Root->ReadStream(stream.ID, buffer);
                if (buffer.Size() > 0) {
                    buffer.SeekG(0);
                    PropertyStorage(buffer).ExtractPropertiesFromBuffer(props, named);
                }
            } catch (const OLEException&) {
            }
            buffer.Clear();
        }
    };
    visit(*this);
    while (!queue.empty()) {
        const Zym::SmartPtr<Storage> storage = queue.front();
        queue.pop_front();
        visit(*storage);
    }
}

void Storage::Properties(PropertyStorage::MergedPropertyMap& all) const {
    PropertyStorage::PropertyMap props;
    PropertyStorage::NamedPropertyMap named;
    Properties(props, named);
    PropertyStorage::MergePropertyMap(props, named, all);
}

} // namespace ZymWindows::OLE
