#include "ZymWindows/NamedPipeServer.h"

#include "PipeIdentityBlock.h"
#include "ZymWindows/NTNetwork.h"
#include "pipe/PipePlatform.h"

#include <ZymSecurity/NetworkSecurity.h>

#include <Zym/LastError.h>

#include <vector>

namespace ZymWindows {

void ServerNamedPipe::InstanceCloser::operator()(Platform::PipeInstance* instance) const noexcept {
    Platform::ClosePipeInstance(instance);
}

ServerNamedPipe::ServerNamedPipe(ZymThread::EventSemaphore* shutdownEvent)
    : NamedPipe(shutdownEvent) {}

ServerNamedPipe::~ServerNamedPipe() = default;

const std::vector<ZymSecurity::NetworkID>& ServerNamedPipe::GetClientNetworkIDs() const noexcept {
    return Client().networkIDs;
}

const std::u16string& ServerNamedPipe::GetClientName() const noexcept {
    return Client().name;
}

const std::u16string& ServerNamedPipe::GetClientDomain() const noexcept {
    return Client().domain;
}

const std::u16string& ServerNamedPipe::GetClientIP() const noexcept {
    return Client().ip;
}

void ServerNamedPipe::Initialize(const std::string& name) {
    WaitForClient(name);
    LimitTime(m_HandshakeLimitMs);
    try {
        ExchangeMagicWord();
        LearnConnectingAccount();
        ReadIdentityBlock();
    } catch (...) {
        LimitTime(NO_TIME_LIMIT);
        throw;
    }
    LimitTime(NO_TIME_LIMIT);
}

void ServerNamedPipe::WaitForClient(const std::string& name) {
    m_Pipe.Reset();
    // Bytes read ahead belong to the previous connection.
    DropReadAhead();
    m_Instance.reset(Platform::CreatePipeInstance("\\\\.\\pipe\\" + name));
    if (!m_Instance)
        throw BrokenPipeException(Zym::GetLastErrorMessage(0));
    const unsigned long error =
        Platform::ConnectPipeInstance(*m_Instance, GetShutdownEvent(), m_Pipe);
    if (error == Zym::ERROR_OPERATION_ABORTED)
        throw MustClosePipeException();
    if (error != Zym::ERROR_SUCCESS)
        throw BrokenPipeException(Zym::GetLastErrorMessage(error));
}

// The connecting account is what the system knows about the client end, not
// anything the client says.
void ServerNamedPipe::LearnConnectingAccount() {
    ZymSecurity::AccessTokenPtr token;
    if (const unsigned long error = Platform::GetPipeClientToken(m_Pipe, token);
        error != Zym::ERROR_SUCCESS)
        throw BrokenPipeException(Zym::GetLastErrorMessage(error));
    using ZymSecurity::NetworkSecurity;
    const ZymSecurity::SecurityIDPtr user =
        NetworkSecurity::GetUserSID(NetworkSecurity::GetUserToken(*token));
    m_Connecting.name = user->GetName();
    m_Connecting.domain = user->GetDomain();
    std::vector<ZymSecurity::SecurityIDPtr> sids;
    NetworkSecurity::GetGroupsSIDs(NetworkSecurity::GetGroupsToken(*token), sids);
    sids.push_back(user);
    ZymSecurity::NetworkID::ConvertSIDsToNetworkIDs(sids, NTNetwork::GetLocalComputerName(),
                                                    m_Connecting.networkIDs);
}

void ServerNamedPipe::ReadIdentityBlock() {
    const std::uint32_t size = ReadUInt32();
    // No honest client sends more: the connection is refused unread.
    if (size > PipeIdentityBlock::MAX_SIZE)
        throw BrokenPipeException();
    std::vector<unsigned char> bytes(size);
    ReadData(bytes.data(), size);
    PipeIdentityBlock block = PipeIdentityBlock::Read(bytes.data(), size);
    m_Connecting.ip = block.declaredIP;
    m_Impersonating = block.impersonating;
    if (!m_Impersonating)
        return;
    m_Claimed.name = block.claimedUser.GetName();
    m_Claimed.domain = block.claimedUser.GetDomain();
    m_Claimed.ip = block.claimedIP;
    m_Claimed.networkIDs = std::move(block.claimedGroups);
    m_Claimed.networkIDs.push_back(block.claimedUser);
}

} // namespace ZymWindows
