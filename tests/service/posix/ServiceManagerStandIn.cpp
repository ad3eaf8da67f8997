#include "ServiceManagerStandIn.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace ServiceTest {

NotifySocket::NotifySocket(bool abstract) {
    m_Fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_Fd < 0)
        throw std::runtime_error("cannot create the notification socket");
    static int count = 0;
    const std::string name =
        "zym-service-test-" + std::to_string(::getpid()) + "-" + std::to_string(++count);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socklen_t length = 0;
    if (abstract) {
        m_Address = "@" + name;
        std::memcpy(address.sun_path + 1, name.data(), name.size());
        length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    } else {
        m_Path = "/tmp/" + name + ".sock";
        m_Address = m_Path;
        ::unlink(m_Path.c_str());
        std::memcpy(address.sun_path, m_Path.c_str(), m_Path.size() + 1);
        length = sizeof address;
    }
    if (::bind(m_Fd, reinterpret_cast<const sockaddr*>(&address), length) != 0)
        throw std::runtime_error("cannot bind the notification socket " + m_Address);
}

NotifySocket::~NotifySocket() {
    ::close(m_Fd);
    if (!m_Path.empty())
        ::unlink(m_Path.c_str());
}

std::string NotifySocket::Receive() {
    pollfd entry{m_Fd, POLLIN, 0};
    int ready = 0;
    while ((ready = ::poll(&entry, 1, static_cast<int>(PATIENCE.count() * 1000))) < 0 &&
           errno == EINTR) {
    }
    if (ready <= 0) {
        ADD_FAILURE() << "no notification within " << PATIENCE.count() << " s";
        return "";
    }
    char buffer[4096];
    const ssize_t n = ::recv(m_Fd, buffer, sizeof buffer, 0);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : "";
}

std::vector<std::string> NotifySocket::ReceiveUntil(const std::string& text) {
    std::vector<std::string> received;
    do {
        received.push_back(Receive());
    } while (!received.back().empty() && received.back().find(text) == std::string::npos);
    return received;
}

} // namespace ServiceTest
