#pragma once

// The messages between the library and its network helper program, which
// makes the Samba calls in a process of its own so that a call that hangs
// can be ended by ending the process. Every message is a 32-bit length
// followed by that many bytes; numbers are 32-bit little-endian, texts UTF-8
// preceded by their length. No OS header: both sides share this file.

#include <cstdint>
#include <string>
#include <vector>

namespace ZymWindows::NetHelper {

enum Operation : std::uint32_t {
    OP_SERVER_ENUM = 1,
    OP_GET_DC_NAME,
    OP_WKSTA_GET_INFO,
    OP_SERVER_GET_INFO,
    OP_SHARE_ENUM,
    OP_QUERY_DISPLAY,
    OP_LOCAL_GROUP_ENUM,
    OP_USER_GET_LOCAL_GROUPS,
    OP_USER_GET_GROUPS,
    OP_LOCAL_GROUP_GET_MEMBERS,
    OP_GROUP_GET_USERS,
    OP_LOOKUP_NAME,
    OP_LOOKUP_SID,
};

// Why a call failed, as far as the helper could tell beyond the bare
// status: the library turns these into the codes the callers expect.
enum Reason : std::uint32_t {
    REASON_NONE = 0,
    REASON_NAME_UNKNOWN,   // the server's name did not resolve
    REASON_REFUSED,        // nothing listens on the server's port
    REASON_UNREACHABLE,    // no answer to the connection, or no route
    REASON_LOGON_FAILURE,  // the server refused the credentials
    REASON_ACCESS_DENIED,  // logged on, but not allowed
    REASON_NOT_CONFIGURED, // the client library could not start
};

// Requests are small; an answer holds a whole listing, the members of a
// very large group among them.
constexpr std::uint32_t MAX_REQUEST = 16U << 20;
constexpr std::uint32_t MAX_RESPONSE = 1U << 30;

struct Request {
    std::uint32_t operation = 0;
    std::string user; // empty: no explicit credentials
    std::string password;
    std::string ccache; // without a user: the Kerberos cache to log on with
    std::uint32_t timeoutMs = 0;
    std::string server;  // without leading backslashes; may be empty
    std::string name;    // the account, group or domain the call is about
    std::uint32_t a = 0; // level, type, flags
    std::uint32_t b = 0; // index
    std::uint32_t c = 0; // count
};

// One result entry; which fields are set depends on the operation.
struct Entry {
    std::string name;
    std::string text; // a SID in text form, or a domain
    std::uint32_t a = 0;
    std::uint32_t b = 0;
};

struct Response {
    std::uint32_t status = 0; // the Samba call's own status
    std::uint32_t reason = REASON_NONE;
    std::vector<Entry> entries;
};

class Writer {
public:
    void Number(std::uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8)
            m_Bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
    void Text(const std::string& text) {
        Number(static_cast<std::uint32_t>(text.size()));
        m_Bytes += text;
    }
    // The message with its length in front.
    std::string Message() const {
        Writer framed;
        framed.Number(static_cast<std::uint32_t>(m_Bytes.size()));
        return framed.m_Bytes + m_Bytes;
    }

private:
    std::string m_Bytes;
};

class Reader {
public:
    explicit Reader(const std::string& bytes) : m_Bytes(bytes) {}
    bool Number(std::uint32_t& value) {
        if (m_Bytes.size() - m_Position < 4)
            return false;
        value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<std::uint32_t>(static_cast<unsigned char>(m_Bytes[m_Position++]))
                     << (8 * i);
        return true;
    }
    bool Text(std::string& text) {
        std::uint32_t size = 0;
        if (!Number(size) || m_Bytes.size() - m_Position < size)
            return false;
        text.assign(m_Bytes, m_Position, size);
        m_Position += size;
        return true;
    }

private:
    const std::string& m_Bytes;
    std::size_t m_Position = 0;
};

inline std::string Encode(const Request& request) {
    Writer out;
    out.Number(request.operation);
    out.Text(request.user);
    out.Text(request.password);
    out.Text(request.ccache);
    out.Number(request.timeoutMs);
    out.Text(request.server);
    out.Text(request.name);
    out.Number(request.a);
    out.Number(request.b);
    out.Number(request.c);
    return out.Message();
}

inline bool Decode(const std::string& body, Request& request) {
    Reader in(body);
    return in.Number(request.operation) && in.Text(request.user) && in.Text(request.password) &&
           in.Text(request.ccache) && in.Number(request.timeoutMs) && in.Text(request.server) &&
           in.Text(request.name) && in.Number(request.a) && in.Number(request.b) &&
           in.Number(request.c);
}

inline std::string Encode(const Response& response) {
    Writer out;
    out.Number(response.status);
    out.Number(response.reason);
    out.Number(static_cast<std::uint32_t>(response.entries.size()));
    for (const Entry& entry : response.entries) {
        out.Text(entry.name);
        out.Text(entry.text);
        out.Number(entry.a);
        out.Number(entry.b);
    }
    return out.Message();
}

inline bool Decode(const std::string& body, Response& response) {
    Reader in(body);
    std::uint32_t count = 0;
    if (!in.Number(response.status) || !in.Number(response.reason) || !in.Number(count))
        return false;
    response.entries.clear();
    for (std::uint32_t i = 0; i < count; ++i) {
        Entry entry;
        if (!in.Text(entry.name) || !in.Text(entry.text) || !in.Number(entry.a) ||
            !in.Number(entry.b))
            return false;
        response.entries.push_back(std::move(entry));
    }
    return true;
}

} // namespace ZymWindows::NetHelper
