#pragma once

#include "CfbBuilder.h"

#include <ZymFile/MemoryBuffer.h>
#include <ZymFile/StaticMemoryBuffer.h>
#include <ZymWindows/OLEStorage.h>

#include <memory>
#include <string>

namespace cfbtest {

using ZymWindows::OLE::Storage;

// A document held in memory with its root storage open.
struct OpenDocument {
    explicit OpenDocument(Bytes data)
        : bytes(std::move(data)),
          buffer(std::make_unique<ZymFile::StaticMemoryBuffer>(
              static_cast<const void*>(bytes.data()), static_cast<unsigned int>(bytes.size()))),
          root(new Storage(u"test", "", *buffer)) {}

    Bytes bytes;
    std::unique_ptr<ZymFile::StaticMemoryBuffer> buffer;
    Zym::SmartPtr<Storage> root;
};

inline Bytes ReadById(const Storage& storage, unsigned long id) {
    ZymFile::MemoryBuffer out;
    storage.ReadStream(id, out);
    return Bytes(out.Data(), out.Data() + out.Size());
}

inline Bytes ReadByName(const Storage& storage, const std::u16string& name) {
    ZymFile::MemoryBuffer out;
    storage.ReadStream(name, out);
    return Bytes(out.Data(), out.Data() + out.Size());
}

inline Bytes Prefix(const Bytes& data, std::size_t n) {
    return Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
}

} // namespace cfbtest
