#include "Gate.h"

#include <Zym/Exception.h>

#include <gtest/gtest.h>

#include <string>

using namespace ZymThread;
using threadtest::Gate;
using threadtest::GateThread;

TEST(Thread, LastReleaseWaitsForTheBodyAndResultsAreKept) {
    Gate gate;
    int token = 7;
    auto thread = GateThread("waiter", gate);
    EXPECT_FALSE(thread->IsRunning());
    thread->Run(&token);
    ASSERT_EQ(gate.started.Wait(), WAIT_OBJECT_0);
    EXPECT_TRUE(thread->IsRunning());
    Zym::SmartPtr<Thread> keep = thread;
    thread.Reset();
    gate.release.Set();
    keep.Reset();
    // Read without any other synchronisation: only the join makes this safe.
    EXPECT_TRUE(gate.finished);

    Gate again;
    auto second = GateThread("second", again);
    second->Run(&token);
    again.release.Set();
    second->Join();
    EXPECT_FALSE(second->IsRunning());
    EXPECT_EQ(second->Result(), &token);
    EXPECT_FALSE(second->EndedByException());
    EXPECT_THROW(second->Run(), Zym::Exception);
}

TEST(Thread, BodyThatDropsTheLastReferenceDetachesInsteadOfDeadlocking) {
    struct SelfOwned {
        Zym::SmartPtr<Thread> self;
        EventSemaphore go{true, false};
        EventSemaphore done{true, false};
        void* Body(void*) {
            go.Wait();
            self->Join(); // cannot wait for itself: returns at once
            self.Reset();
            done.Set();
            return nullptr;
        }
    } owned;
    owned.self = new Thread("self-owned", new FunctionT<SelfOwned>(&owned, &SelfOwned::Body));
    owned.self->Run();
    owned.go.Set();
    EXPECT_EQ(owned.done.Wait(), WAIT_OBJECT_0);
}

TEST(Thread, EscapingExceptionEndsOnlyThatThreadAndIsReported) {
    struct Thrower {
        void* Body(void*) { throw Zym::Exception(u"listener failed"); }
    } thrower;
    testing::internal::CaptureStderr();
    Zym::SmartPtr<Thread> thread =
        new Thread("Thrower", new FunctionT<Thrower>(&thrower, &Thrower::Body));
    thread->Run();
    thread->Join();
    const std::string output = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(thread->EndedByException());
    EXPECT_EQ(thread->Result(), nullptr);
    EXPECT_NE(output.find("Thread \"Thrower\" ended by an exception: listener failed"),
              std::string::npos)
        << output;
}
