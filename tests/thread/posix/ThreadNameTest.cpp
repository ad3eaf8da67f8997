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

// A body that says which thread it runs in and returns once released.
struct Gate {
    EventSemaphore started{true, false};
    EventSemaphore release{true, false};
    pid_t systemId = 0;

    void* Body(void* argument) {
        systemId = ::gettid();
        started.Set();
        release.Wait();
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
