#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace ServiceTest {

// How long a test waits for something that should come at once before it
// fails loudly instead of hanging.
constexpr std::chrono::seconds PATIENCE{30};

// The service manager's end of the notification protocol: a datagram
// socket that a service reports to through $NOTIFY_SOCKET.
class NotifySocket {
public:
    // `abstract`: a name in the abstract namespace instead of a file.
    explicit NotifySocket(bool abstract);
    ~NotifySocket();
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    // The value for NOTIFY_SOCKET.
    const std::string& Address() const { return m_Address; }
    // The next datagram; empty after PATIENCE without one.
    std::string Receive();
    // Datagrams up to and including the first that contains `text`.
    std::vector<std::string> ReceiveUntil(const std::string& text);

private:
    int m_Fd = -1;
    std::string m_Address;
    std::string m_Path;
};

} // namespace ServiceTest
