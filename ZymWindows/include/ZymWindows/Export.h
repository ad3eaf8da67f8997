#pragma once

// Marks the library's exported classes and functions: exported while
// ZymWindows170NT.dll is built, imported by its users; default visibility
// on ELF.
#if defined(_WIN32)
#if defined(ZymWindows_EXPORTS)
#define ZYMWINDOWS_EXPORT __declspec(dllexport)
#else
#define ZYMWINDOWS_EXPORT __declspec(dllimport)
#endif
#else
#define ZYMWINDOWS_EXPORT __attribute__((visibility("default")))
#endif
