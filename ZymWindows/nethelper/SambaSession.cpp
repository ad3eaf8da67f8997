#include "SambaSession.h"

#include "HelperCodes.h"

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <strings.h>
#include <sys/mman.h>
#include <unistd.h>

namespace ZymWindows::NetHelper {

bool SameText(const std::string& a, const char* b) {
    return strcasecmp(a.c_str(), b) == 0;
}

OutputCapture::OutputCapture() {
    m_File = memfd_create("netapi-output", MFD_CLOEXEC);
    if (m_File >= 0)
        dup2(m_File, STDOUT_FILENO);
}
std::string OutputCapture::Take() {
    std::fflush(stdout);
    std::string text;
    if (m_File < 0)
        return text;
    const off_t size = lseek(m_File, 0, SEEK_END);
    if (size > 0) {
        text.resize(static_cast<std::size_t>(size));
        const ssize_t got = pread(m_File, text.data(), text.size(), 0);
        text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    if (ftruncate(m_File, 0) == 0)
        lseek(STDOUT_FILENO, 0, SEEK_SET);
    return text;
}

std::string Configured(const char* getter) {
    using Getter = const char* (*)();
    const auto get = reinterpret_cast<Getter>(dlsym(RTLD_DEFAULT, getter));
    const char* value = get != nullptr ? get() : nullptr;
    return value != nullptr ? value : "";
}

std::uint32_t Context::Prepare(const Request& request) {
    if (m_Context != nullptr && request.user == m_User && request.password == m_Password &&
        request.ccache == m_Ccache)
        return 0;
    if (m_Context != nullptr)
        libnetapi_free(m_Context);
    m_Context = nullptr;
    libnetapi_ctx* context = nullptr;
    const auto status = static_cast<std::uint32_t>(libnetapi_init(&context));
    if (status != 0 || context == nullptr)
        return status != 0 ? status : ERROR_CAN_NOT_COMPLETE_CODE;
    if (!request.user.empty()) {
        std::string user = request.user;
        const std::size_t slash = user.find('\\');
        if (slash != std::string::npos) {
            // This machine's own domain is the configuration's already;
            // naming it by its flat name would send Kerberos looking for
            // the user in a realm of that name.
            const std::string domain = user.substr(0, slash);
            if (!SameText(domain, Configured("lp_workgroup").c_str()) &&
                !SameText(domain, Configured("lp_realm").c_str()))
                libnetapi_set_workgroup(context, domain.c_str());
            user.erase(0, slash + 1);
        }
        // Both, always: a missing one is asked for on the terminal.
        libnetapi_set_username(context, user.c_str());
        libnetapi_set_password(context, request.password.c_str());
    } else if (!request.ccache.empty()) {
        setenv("KRB5CCNAME", request.ccache.c_str(), 1);
        libnetapi_set_use_ccache(context);
        // An empty password, or Samba asks for one on the terminal.
        libnetapi_set_password(context, "");
    } else {
        libnetapi_set_username(context, "");
        libnetapi_set_password(context, "");
    }
    m_Context = context;
    m_User = request.user;
    m_Password = request.password;
    m_Ccache = request.ccache;
    return 0;
}

std::string SidText(const domsid* sid) {
    std::string text;
    char* converted = nullptr;
    if (sid != nullptr && ConvertSidToStringSid(sid, &converted) && converted != nullptr) {
        text = converted;
        std::free(converted);
    }
    return text;
}

const char* ServerArgument(const Request& request) {
    return request.server.empty() ? nullptr : request.server.c_str();
}

std::string BareName(const std::string& account) {
    const std::size_t slash = account.find('\\');
    return slash == std::string::npos ? account : account.substr(slash + 1);
}

std::uint32_t Status(NET_API_STATUS status) {
    return static_cast<std::uint32_t>(status);
}

} // namespace ZymWindows::NetHelper
