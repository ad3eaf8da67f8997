#include "TempStore.h"

#include <ZymWindows/Registry.h>

#include <gtest/gtest.h>

#include <thread>

using ZymWindows::RegKey;

TEST(RegistryThreads, ThreadsShareKeysAndTheirListings) {
    RegistryTest::TempStore store;
    constexpr int THREADS = 4;
    constexpr int EACH = 100;
    const auto key = RegKey::Create(RegKey::CURRENT_USER, "Threads", RegKey::CREATE_READ_WRITE);
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([t, key] {
            const auto own =
                RegKey::Create(key, "t" + std::to_string(t), RegKey::CREATE_READ_WRITE);
            for (int n = 0; n < EACH; ++n) {
                key->CreateDWORDValue("t" + std::to_string(t) + "-" + std::to_string(n),
                                      static_cast<unsigned long>(n));
                std::vector<std::string> names;
                key->GetValuesNames(names);
                own->CreateStringValue("last", std::to_string(n));
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    std::vector<std::string> names;
    key->GetValuesNames(names);
    EXPECT_EQ(names.size(), static_cast<std::size_t>(THREADS * EACH));
    for (int t = 0; t < THREADS; ++t) {
        EXPECT_EQ(RegKey::Create(key, "t" + std::to_string(t), RegKey::OPEN_READ_ONLY)
                      ->GetStringValue("last")
                      .ReadString(),
                  std::to_string(EACH - 1));
    }
}
