#pragma once

// Marks the framework's exported classes and functions: exported while the
// framework DLL is built, imported by its users; default visibility on ELF.
#if defined(_WIN32)
#if defined(Zym_EXPORTS)
#define ZYM_EXPORT __declspec(dllexport)
#else
#define ZYM_EXPORT __declspec(dllimport)
#endif
#else
#define ZYM_EXPORT __attribute__((visibility("default")))
#endif
