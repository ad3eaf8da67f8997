#pragma once

#include <ZymFile/FileBuffer.h>
#include <ZymWindows/OLEStorage.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zymwin::cfb {

using ZymWindows::OLE::Storage;

// A compound file opened from disk. Failures become one-line usage errors
// that name the file.
class Document {
public:
    explicit Document(const std::string& path);

    const Zym::SmartPtr<Storage>& Root() const { return m_Root; }
    const std::string& Path() const { return m_Path; }

private:
    std::string m_Path;
    std::unique_ptr<ZymFile::FileBuffer> m_File;
    Zym::SmartPtr<Storage> m_Root;
};

// One entry met by Walk: its path from the root and what the listing shows.
struct WalkEntry {
    std::vector<std::u16string> path;
    const Storage::Item& item;
    bool isStorage;
};

// Every storage and stream below `root`, depth first: a storage's own
// storages (each followed by everything below it), then its streams, each in
// the library's order. A storage met a second time, as in a damaged file
// whose directory loops, is left out. The walk keeps its own stack, so deep
// trees cannot exhaust the call stack.
void Walk(const Zym::SmartPtr<Storage>& root, const std::function<void(const WalkEntry&)>& visit);

} // namespace zymwin::cfb
