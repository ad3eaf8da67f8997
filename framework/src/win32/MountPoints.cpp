#include "../ZymFile/MountPoints.h"

#include <Zym/LastError.h>
#include <ZymCharset/Utf.h>

#include <windows.h>

namespace ZymFile::OS {

std::string VolumeRoot(const std::string& resolved) {
    const std::u16string path = ZymCharset::FromUtf8(resolved);
    wchar_t root[MAX_PATH + 1] = {};
    if (!::GetVolumePathNameW(reinterpret_cast<const wchar_t*>(path.c_str()), root, MAX_PATH + 1))
        return resolved.substr(0, resolved.find('\\') + 1);
    return ZymCharset::ToUtf8(reinterpret_cast<const char16_t*>(root));
}

void SetLastErrorFromSystem(const std::error_code& error) noexcept {
    // The standard library reports Win32 error numbers here.
    Zym::SetLastError(static_cast<unsigned long>(error.value()));
}

} // namespace ZymFile::OS
