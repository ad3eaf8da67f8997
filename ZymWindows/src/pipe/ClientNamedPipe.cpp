#include "ZymWindows/NamedPipeClient.h"

#include "PipeIdentityBlock.h"
#include "ZymWindows/NTNetwork.h"
#include "pipe/PipePlatform.h"

#include <ZymFile/MemoryBuffer.h>
#include <ZymNetwork/IP.h>
#include <ZymSecurity/NetworkSecurity.h>
#include <ZymThread/EventSemaphore.h>
#include <ZymThread/Thread.h>

#include <Zym/LastError.h>

namespace ZymWindows {

namespace {

constexpr unsigned int INITIAL_BLOCK_SIZE = 1024;

// The identity of the account the calling thread acts as, qualified with
// this machine's name.
void DescribeCallingThread(PipeIdentityBlock& block) {
    using ZymSecurity::NetworkSecurity;
    const ZymSecurity::AccessTokenPtr token = NetworkSecurity::GetCurrentThreadHandle();
    const ZymSecurity::SecurityIDPtr user =
        NetworkSecurity::GetUserSID(NetworkSecurity::GetUserToken(*token));
    std::vector<ZymSecurity::SecurityIDPtr> groups;
    NetworkSecurity::GetGroupsSIDs(NetworkSecurity::GetGroupsToken(*token), groups);
    const std::u16string& computer = NTNetwork::GetLocalComputerName();
    block.claimedUser = ZymSecurity::NetworkID(user, computer);
    ZymSecurity::NetworkID::ConvertSIDsToNetworkIDs(groups, computer, block.claimedGroups);
}

} // namespace

const std::string ClientNamedPipe::DEFAULT_HOST_NAME = ".";

ClientNamedPipe::ClientNamedPipe(const std::string& pipeName, const std::string& hostName,
                                 ZymThread::EventSemaphore* shutdownEvent)
    : NamedPipe(shutdownEvent) {
    const std::string path = "\\\\" + hostName + "\\pipe\\" + pipeName;
    for (;;) {
        const unsigned long error = Platform::OpenPipe(path, m_Pipe);
        if (error == Zym::ERROR_SUCCESS)
            return;
        if (error != Zym::ERROR_PIPE_BUSY)
            throw CannotOpenPipeException(Zym::GetLastErrorMessage(error));
        Platform::WaitForFreeInstance(path, m_Pipe, shutdownEvent);
        if (!shutdownEvent)
            continue;
        const unsigned long wait = shutdownEvent->Wait(0);
        if (wait == ZymThread::WAIT_FAILED)
            ZymThread::ThrowLastError();
        if (wait != ZymThread::WAIT_TIMEOUT)
            throw MustClosePipeException();
    }
}

ClientNamedPipe::~ClientNamedPipe() = default;

void ClientNamedPipe::Initialize(bool impersonating, const std::u16string& clientIP) {
    ExchangeMagicWord();
    PipeIdentityBlock block;
    block.declaredIP = clientIP.empty() ? ZymNetwork::IP::GetMyIP().ToWString() : clientIP;
    block.impersonating = impersonating;
    if (impersonating) {
        DescribeCallingThread(block);
        block.claimedIP = clientIP;
    }
    ZymFile::MemoryBuffer buffer(INITIAL_BLOCK_SIZE);
    Zym::BinaryStream stream(buffer);
    block.Write(stream);
    WriteUInt32(buffer.Size());
    WriteData(buffer.Data(), buffer.Size());
}

} // namespace ZymWindows
