#include <Zym/Exception.h>
#include <Zym/SmartPtr.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymThread/Thread.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <unistd.h>

using namespace ZymThread;

namespace {

// The name the system shows for a thread of this process.
std::string SystemThreadName(pid_t thread) {
    std::ifstream comm("/proc/self/task/" + std::to_string(thread) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// A body that says when it has started and returns once released.
struct Gate {
    EventSemaphore started{true, false};
    EventSemaphore release{true, false};
    bool finished = false;
    pid_t systemId = 0;

    void* Body(void* argument) {
        systemId = ::gettid();
        started.Set();
        release.Wait();
        finished = true;
        return argument;
    }
};

Zym::SmartPtr<Thread> GateThread(const std::string& name, Gate& gate) {
    return new Thread(name, new FunctionT<Gate>(&gate, &Gate::Body));
}

} // namespace

TEST(Thread, NamesReachTheSystemCutToFifteenBytes) {
    Gate listenerGate, clientGate;
    auto listener = GateThread("EventListener", listenerGate);
    // The cut falls inside the two bytes of "\xC3\xA9", which go as a whole.
    auto client = GateThread("Listen: abcdef\xC3\xA9-pipe", clientGate);
    listener->Run();
    client->Run();
    ASSERT_EQ(listenerGate.started.Wait(), WAIT_OBJECT_0);
    ASSERT_EQ(clientGate.started.Wait(), WAIT_OBJECT_0);
    EXPECT_EQ(SystemThreadName(listenerGate.systemId), "EventListener");
    EXPECT_EQ(SystemThreadName(clientGate.systemId), "Listen: abcdef");
    listenerGate.release.Set();
    clientGate.release.Set();
}

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

TEST(Thread, NullFunctionIsRefused) {
    EXPECT_THROW(Thread("nothing", nullptr), Zym::Exception);
}
