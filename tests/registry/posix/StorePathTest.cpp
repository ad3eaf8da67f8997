// Key paths in the Linux store, which holds every key name of a path.
#include "../TempStore.h"

#include <ZymWindows/Registry.h>

#include <gtest/gtest.h>

using ZymWindows::RegKey;

// A trailing backslash leaves an empty key name: the path is invalid, and
// nothing is made.
TEST(StorePath, ATrailingBackslashIsAnInvalidPath) {
    const RegistryTest::TempStore store;
    auto raised = RegistryTest::Catch(
        [] { RegKey::Create(RegKey::CURRENT_USER, "Trailing\\", RegKey::CREATE_READ_WRITE); });
    EXPECT_EQ(raised.text, "The specified path is invalid.: HKEY_CURRENT_USER\\Trailing\\");
    raised = RegistryTest::Catch(
        [] { RegKey::Create(RegKey::CURRENT_USER, "Trailing", RegKey::OPEN_READ_ONLY); });
    EXPECT_EQ(raised.text,
              "The system cannot find the file specified.: HKEY_CURRENT_USER\\Trailing");
}
