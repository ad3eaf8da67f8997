#include "ZymFile/Path.h"

#include "MountPoints.h"

#include "Zym/Exception.h"
#include "Zym/LastError.h"
#include "ZymCharset/Utf.h"

#include <filesystem>
#include <system_error>

namespace ZymFile {

namespace {

namespace fs = std::filesystem;

template <class Char> std::string ToSystem(const std::basic_string<Char>& path) {
    if constexpr (std::is_same_v<Char, char>)
        return path;
    else
        return ZymCharset::ToUtf8(path);
}

template <class Char> std::basic_string<Char> FromSystem(const std::string& path) {
    if constexpr (std::is_same_v<Char, char>)
        return path;
    else
        return ZymCharset::FromUtf8(path);
}

// Paths travel as UTF-8 text; std::filesystem reads and writes it as such
// on every system (its narrow strings are the ANSI code page on Windows).
fs::path FromText(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string ToText(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Absolute and normalised, with the symbolic links of the part that exists
// resolved, and without a trailing separator (a root keeps its own).
std::string Resolve(const std::string& text) {
    std::error_code error;
    const fs::path absolute = fs::absolute(text.empty() ? fs::path(".") : FromText(text), error);
    fs::path resolved = fs::weakly_canonical(absolute, error);
    if (error)
        resolved = absolute.lexically_normal();
    while (resolved.has_relative_path() && !resolved.has_filename())
        resolved = resolved.parent_path();
    return ToText(resolved);
}

// The deepest directory of the path that exists, to ask its file system.
fs::path NearestExisting(fs::path path) {
    std::error_code error;
    while (!fs::exists(path, error) && path.has_relative_path())
        path = path.parent_path();
    return path;
}

} // namespace

template <class Char> PathT<Char> PathT<Char>::Root() const {
    return PathT(FromSystem<Char>(OS::VolumeRoot(Resolve(ToSystem(m_Path)))));
}

template <class Char> long long PathT<Char>::GetAvailableDiskSpace() const {
    std::error_code error;
    const fs::space_info space =
        fs::space(NearestExisting(FromText(Resolve(ToSystem(m_Path)))), error);
    if (error) {
        OS::SetLastErrorFromSystem(error);
        throw Zym::Exception(Zym::GetLastErrorMessage(0));
    }
    return static_cast<long long>(space.available);
}

template class PathT<char>;
template class PathT<char16_t>;

} // namespace ZymFile
