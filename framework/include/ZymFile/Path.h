#pragma once

#include <Zym/Export.h>

#include <string>

namespace ZymFile {

// A file system path held as text: `char` paths are UTF-8, `char16_t`
// paths UTF-16. Relative paths are taken from the current directory, and
// paths that do not exist (yet) are placed by their nearest existing parent.
template <class Char> class PathT {
public:
    using StringType = std::basic_string<Char>;

    PathT() = default;
    PathT(const StringType& path) : m_Path(path) {}
    PathT(const Char* path) : m_Path(path ? path : StringType()) {}

    const StringType& Str() const noexcept { return m_Path; }
    bool operator==(const PathT& other) const = default;

    // The root of the volume that holds the path: its drive's root ("C:\\")
    // on Windows, elsewhere the mount point of its file system ("/",
    // "/home", ...).
    PathT Root() const;
    // The free bytes of that volume that an unprivileged user may fill.
    // Raises Zym::Exception with the system text when it cannot be asked.
    long long GetAvailableDiskSpace() const;

private:
    StringType m_Path;
};

extern template class ZYM_EXPORT PathT<char>;
extern template class ZYM_EXPORT PathT<char16_t>;

using Path = PathT<char>;
using WPath = PathT<char16_t>;

} // namespace ZymFile
