#include "frame/FramePlatform.h"

#include <dlfcn.h>

namespace ZymWindows::Platform {

namespace {

void* g_ModuleHandle = nullptr;
// Plain pointers: set before any C++ static of this library is built.
const char* g_ModulePath = "";

// The module entry point: records where the library was loaded from.
__attribute__((constructor)) void RecordModule() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&RecordModule), &info) != 0) {
        g_ModuleHandle = info.dli_fbase;
        if (info.dli_fname)
            g_ModulePath = info.dli_fname;
    }
}

} // namespace

void* ModuleHandle() noexcept {
    return g_ModuleHandle;
}

std::string ModulePath() {
    return g_ModulePath;
}

} // namespace ZymWindows::Platform
