#pragma once

#include <ZymWindows/Export.h>

#include <functional>

// Points in the observer's threads where a test can look in, or hold the
// thread that reaches one to force an order of events between threads.
// Nothing is installed outside tests; then a point costs one atomic load.
namespace ZymWindows::ObserverProbe {

enum class Point {
    PACKET_TAKEN, // the listener dequeued a packet for the source, before acting on it
    PACKET_DONE,  // the listener is done with that packet
    STATE_SEEN,   // a thread read the source's state, `state`, alone or to change it
    STATE_STORED, // a thread stored `state` as the source's state
};

using Function = std::function<void(Point point, long sourceId, int state)>;

// Calls `function` at every point from now on, on the thread that reaches
// it, outside every lock of the source; an empty function removes it.
// Exported for the tests.
ZYMWINDOWS_EXPORT void Install(Function function);
void Reach(Point point, long sourceId, int state) noexcept;

} // namespace ZymWindows::ObserverProbe
