#include "../Gate.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using namespace ZymThread;
using threadtest::Gate;
using threadtest::GateThread;

namespace {

// The name the system shows for a thread of this process.
std::string SystemThreadName(unsigned long thread) {
    std::ifstream comm("/proc/self/task/" + std::to_string(thread) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
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
    EXPECT_EQ(SystemThreadName(listenerGate.threadId), "EventListener");
    EXPECT_EQ(SystemThreadName(clientGate.threadId), "Listen: abcdef");
    listenerGate.release.Set();
    clientGate.release.Set();
}
