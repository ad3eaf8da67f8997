#include "ProgramArguments.h"

#include <ZymCharset/Utf.h>

#include <windows.h>

#include <shellapi.h>

namespace zymwin {

// main's own arguments are in the ANSI code page, which loses what it
// cannot spell; the wide command line keeps everything.
Args ProgramArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide)
        return Args(argv, argv + argc);
    Args args;
    for (int i = 0; i < count; ++i)
        args.push_back(ZymCharset::ToUtf8(reinterpret_cast<const char16_t*>(wide[i])));
    ::LocalFree(wide);
    return args;
}

} // namespace zymwin
