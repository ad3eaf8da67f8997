#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace zymtest {

// The version of Wine this test runs under; nothing on Linux and on a real
// Windows.
std::optional<std::string> WineVersion();

// Whether this runs under a Wine that lacks code page `codePage` (GetCPInfo
// refuses it); false on Linux and on a real Windows.
bool WineLacksCodePage(unsigned codePage);

} // namespace zymtest

// Skips the test when it runs under Wine, which falls short of Windows as
// `limitation` says; on a real Windows the test runs.
#define ZYMTEST_SKIP_UNDER_WINE(limitation)                                                        \
    do {                                                                                           \
        if (const auto wine = zymtest::WineVersion())                                              \
            GTEST_SKIP() << "Wine " << *wine << ": " << limitation;                                \
    } while (false)
