#pragma once

#include <ZymWindows/Export.h>

#include <ZymWindows/NamedPipe.h>

#include <ZymSecurity/NetworkID.h>

#include <memory>
#include <string>
#include <vector>

namespace ZymWindows {

namespace Platform {
class PipeInstance;
}

// The server end of one pipe connection. Initialize creates an instance of
// the local pipe, waits for a client and runs the handshake, after which
// the server knows the connecting account (as the system authenticated it),
// the address the client declares and, when the client acts for another
// party, the identity it claims for that party.
class ZYMWINDOWS_EXPORT ServerNamedPipe : public NamedPipe {
public:
    explicit ServerNamedPipe(ZymThread::EventSemaphore* shutdownEvent = nullptr);
    ~ServerNamedPipe() override;

    // Serves "\\.\pipe\" followed by `name`.
    void Initialize(const std::string& name);

    bool IsImpersonating() const noexcept { return m_Impersonating; }

    // The identity to act for: the claimed one when the client acts for
    // another party, otherwise the connecting one.
    const std::vector<ZymSecurity::NetworkID>& GetClientNetworkIDs() const noexcept;
    const std::u16string& GetClientName() const noexcept;
    const std::u16string& GetClientDomain() const noexcept;
    const std::u16string& GetClientIP() const noexcept;

    // The party that opened the connection. The network IDs hold its groups
    // followed by the account itself.
    const std::vector<ZymSecurity::NetworkID>& GetImpersonatorNetworkIDs() const noexcept {
        return m_Connecting.networkIDs;
    }
    const std::u16string& GetImpersonatorName() const noexcept { return m_Connecting.name; }
    const std::u16string& GetImpersonatorDomain() const noexcept { return m_Connecting.domain; }
    const std::u16string& GetImpersonatorIP() const noexcept { return m_Connecting.ip; }

private:
    // The daemon bounds the handshake, so that a peer that connects and
    // says nothing cannot hold up the clients behind it.
    friend class NamedPipeDaemon;

    struct Identity {
        std::vector<ZymSecurity::NetworkID> networkIDs;
        std::u16string name;
        std::u16string domain;
        std::u16string ip;
    };
    struct InstanceCloser {
        void operator()(Platform::PipeInstance* instance) const noexcept;
    };

    void WaitForClient(const std::string& name);
    void LearnConnectingAccount();
    void ReadIdentityBlock();
    const Identity& Client() const noexcept { return m_Impersonating ? m_Claimed : m_Connecting; }

    bool m_Impersonating = false;
    Identity m_Claimed;
    Identity m_Connecting;
    std::unique_ptr<Platform::PipeInstance, InstanceCloser> m_Instance;
    unsigned long m_HandshakeLimitMs = NO_TIME_LIMIT;
};

} // namespace ZymWindows
