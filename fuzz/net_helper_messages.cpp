// Parses arbitrary bytes as the body of a message between the library and
// its network helper, both as a request and as a response. Whatever parses
// must encode and parse again to the same message.
#include "network/posix/RemoteProtocol.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace ZymWindows::NetHelper;

namespace {

// The body of an encoded message: past its length.
std::string Body(const std::string& message) {
    return message.substr(4);
}

bool Same(const Request& a, const Request& b) {
    return a.operation == b.operation && a.user == b.user && a.password == b.password &&
           a.ccache == b.ccache && a.timeoutMs == b.timeoutMs && a.server == b.server &&
           a.name == b.name && a.a == b.a && a.b == b.b && a.c == b.c;
}

bool Same(const Response& a, const Response& b) {
    if (a.status != b.status || a.reason != b.reason || a.entries.size() != b.entries.size())
        return false;
    for (std::size_t i = 0; i < a.entries.size(); ++i) {
        const Entry& x = a.entries[i];
        const Entry& y = b.entries[i];
        if (x.name != y.name || x.text != y.text || x.a != y.a || x.b != y.b)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > MAX_REQUEST)
        return 0;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Request request;
    if (Decode(bytes, request)) {
        Request again;
        if (!Decode(Body(Encode(request)), again) || !Same(request, again))
            std::abort();
    }
    Response response;
    if (Decode(bytes, response)) {
        Response again;
        if (!Decode(Body(Encode(response)), again) || !Same(response, again))
            std::abort();
    }
    return 0;
}
