// Opens the input as a compound file, walks every storage, reads every
// stream and gathers the properties, as a caller exploring an unknown
// document would.
#include <ZymFile/MemoryBuffer.h>
#include <ZymFile/StaticMemoryBuffer.h>
#include <ZymWindows/Exceptions.h>
#include <ZymWindows/OLEStorage.h>

#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

using ZymWindows::OLE::Storage;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ZymFile::StaticMemoryBuffer source(static_cast<const void*>(data),
                                       static_cast<unsigned int>(size));
    try {
        const Zym::SmartPtr<Storage> root = new Storage(u"fuzz", "", source);
        ZymWindows::OLE::PropertyStorage::MergedPropertyMap all;
        root->Properties(all);
        std::vector<Zym::SmartPtr<Storage>> pending{root};
        std::set<unsigned long> opened;
        ZymFile::MemoryBuffer out;
        while (!pending.empty()) {
            const Zym::SmartPtr<Storage> storage = pending.back();
            pending.pop_back();
            for (const auto& stream : storage->Streams()) {
                storage->ReadStream(stream.Name, out);
                out.ClearMemory();
            }
            for (const auto& child : storage->Storages())
                if (opened.insert(child.ID).second)
                    pending.push_back(storage->OpenStorage(child.ID));
        }
    } catch (const ZymWindows::OLE::OLEException&) {
    } catch (const Zym::BinaryStreamGetEOFException&) {
    }
    return 0;
}
