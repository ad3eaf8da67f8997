#include "frame/FramePlatform.h"

#include <ZymCharset/Utf.h>

#include <windows.h>

namespace ZymWindows::Platform {

namespace {

HINSTANCE g_ModuleHandle = nullptr;

} // namespace

void* ModuleHandle() noexcept {
    return g_ModuleHandle;
}

std::string ModulePath() {
    std::u16string buffer(MAX_PATH, u'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(g_ModuleHandle, reinterpret_cast<wchar_t*>(buffer.data()),
                                 static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return ZymCharset::ToUtf8(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace ZymWindows::Platform

// The module entry point: records the instance handle and agrees to every
// reason it is called for.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        ZymWindows::Platform::g_ModuleHandle = instance;
    return TRUE;
}
