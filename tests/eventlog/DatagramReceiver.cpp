#include "DatagramReceiver.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace eventlogtest {

DatagramReceiver::DatagramReceiver(const std::filesystem::path& path)
    : m_Fd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = path.string();
    if (m_Fd < 0 || name.size() >= sizeof address.sun_path)
        throw std::runtime_error("cannot make a datagram socket at " + name);
    std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
    if (::bind(m_Fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(m_Fd);
        throw std::runtime_error("cannot bind " + name + ": " + std::strerror(errno));
    }
}

DatagramReceiver::~DatagramReceiver() {
    ::close(m_Fd);
}

std::optional<std::string> DatagramReceiver::Next() {
    std::vector<char> buffer(1 << 20);
    iovec part{buffer.data(), buffer.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t size = ::recvmsg(m_Fd, &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
    if (size < 0)
        return std::nullopt;
    EXPECT_EQ(message.msg_flags & MSG_TRUNC, 0);
    const cmsghdr* header = CMSG_FIRSTHDR(&message);
    if (!header || header->cmsg_type != SCM_RIGHTS)
        return std::string(buffer.data(), static_cast<std::size_t>(size));
    EXPECT_EQ(size, 0) << "a memory file comes alone";
    int file = -1;
    std::memcpy(&file, CMSG_DATA(header), sizeof file);
    std::string contents;
    char chunk[65536];
    for (ssize_t got; (got = ::pread(file, chunk, sizeof chunk, contents.size())) > 0;)
        contents.append(chunk, static_cast<std::size_t>(got));
    ::close(file);
    return contents;
}

int DatagramReceiver::Drain() {
    int count = 0;
    while (Next())
        ++count;
    return count;
}

std::map<std::string, std::string> JournalFields(const std::string& datagram) {
    std::map<std::string, std::string> fields;
    std::size_t at = 0;
    while (at < datagram.size()) {
        const std::size_t end = datagram.find_first_of("=\n", at);
        if (end == std::string::npos) {
            ADD_FAILURE() << "field without an end at " << at;
            break;
        }
        const std::string name = datagram.substr(at, end - at);
        EXPECT_EQ(fields.count(name), 0u) << name << " twice";
        if (datagram[end] == '=') {
            const std::size_t line = datagram.find('\n', end);
            if (line == std::string::npos) {
                ADD_FAILURE() << name << " without its newline";
                break;
            }
            fields[name] = datagram.substr(end + 1, line - end - 1);
            at = line + 1;
            continue;
        }
        if (end + 9 > datagram.size()) {
            ADD_FAILURE() << name << " without its length";
            break;
        }
        std::uint64_t size = 0;
        for (int i = 7; i >= 0; --i)
            size = size << 8 | static_cast<unsigned char>(datagram[end + 1 + i]);
        const std::size_t value = end + 9;
        if (value + size + 1 > datagram.size() || datagram[value + size] != '\n') {
            ADD_FAILURE() << name << " of " << size << " bytes does not fit";
            break;
        }
        fields[name] = datagram.substr(value, size);
        at = value + size + 1;
    }
    return fields;
}

} // namespace eventlogtest
