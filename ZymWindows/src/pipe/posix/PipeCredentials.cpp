#include "../PipePlatform.h"

#include <Zym/LastError.h>
#include <ZymSecurity/UnixAccounts.h>

#include <cerrno>
#include <sys/socket.h>
#include <vector>

namespace ZymWindows::Platform {

unsigned long GetPipeClientToken(const Zym::Handle& pipe, ZymSecurity::AccessTokenPtr& token) {
    // The kernel records who connected; the peer has no say in it.
    ucred peer{};
    socklen_t length = sizeof peer;
    if (getsockopt(pipe.Get(), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0)
        return Zym::SetLastErrorFromErrno(errno);
    std::vector<gid_t> groups(16);
    for (;;) {
        length = static_cast<socklen_t>(groups.size() * sizeof(gid_t));
        if (getsockopt(pipe.Get(), SOL_SOCKET, SO_PEERGROUPS, groups.data(), &length) == 0)
            break;
        // ERANGE comes with the length the list needs.
        if (errno != ERANGE || length <= groups.size() * sizeof(gid_t))
            return Zym::SetLastErrorFromErrno(errno);
        groups.resize(length / sizeof(gid_t));
    }
    groups.resize(length / sizeof(gid_t));
    std::vector<ZymSecurity::BinarySID> groupSIDs{ZymSecurity::UnixAccounts::GroupSID(peer.gid)};
    for (const gid_t gid : groups)
        groupSIDs.push_back(ZymSecurity::UnixAccounts::GroupSID(gid));
    token = new ZymSecurity::AccessToken(ZymSecurity::UnixAccounts::UserSID(peer.uid), groupSIDs);
    return Zym::ERROR_SUCCESS;
}

} // namespace ZymWindows::Platform
