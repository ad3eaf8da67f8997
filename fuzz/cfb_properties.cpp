// Parses the input as a property set stream and files everything it holds.
#include <ZymFile/StaticMemoryBuffer.h>
#include <ZymWindows/Exceptions.h>
#include <ZymWindows/OLEPropertyStorage.h>

#include <cstddef>
#include <cstdint>

using ZymWindows::OLE::PropertyStorage;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ZymFile::StaticMemoryBuffer source(static_cast<const void*>(data),
                                       static_cast<unsigned int>(size));
    try {
        const PropertyStorage parser(source);
        PropertyStorage::MergedPropertyMap all;
        parser.Properties(all);
        for (const auto& [name, value] : all)
            value.AsWString();
    } catch (const ZymWindows::OLE::OLEException&) {
    }
    return 0;
}
