#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace zymtest {

// The version of Wine this test runs under; nothing on Linux and on a real
// Windows.
std::optional<std::string> WineVersion();

} // namespace zymtest

// Skips the test when it runs under Wine, which falls short of Windows as
// `limitation` says; on a real Windows the test runs.
#define ZYMTEST_SKIP_UNDER_WINE(limitation)                                                        \
    do {                                                                                           \
        if (const auto wine = zymtest::WineVersion())                                              \
            GTEST_SKIP() << "Wine " << *wine << ": " << limitation;                                \
    } while (false)
