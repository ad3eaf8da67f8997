#include <windows.h>

#include <ZymThread/MessageQueue.h>

#include <gtest/gtest.h>

#include <thread>

// The framework's thread ids are the system's, which other processes and
// PostThreadMessageW see.
TEST(MessageQueue, ThreadIdsAreTheSystems) {
    EXPECT_EQ(ZymThread::GetCurrentThreadId(), ::GetCurrentThreadId());
    unsigned long framework = 0, system = 0;
    std::thread([&] {
        framework = ZymThread::GetCurrentThreadId();
        system = ::GetCurrentThreadId();
    }).join();
    EXPECT_EQ(framework, system);
    EXPECT_NE(framework, ::GetCurrentThreadId());
}
