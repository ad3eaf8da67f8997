#pragma once

#include <ZymWindows/Export.h>

#include <ZymWindows/NamedPipe.h>

#include <string>

namespace ZymWindows {

// The client end of a pipe connection. The constructor opens the pipe,
// waiting while every server instance is busy; Initialize runs the client
// side of the handshake.
class ZYMWINDOWS_EXPORT ClientNamedPipe : public NamedPipe {
public:
    // The local machine.
    static const std::string DEFAULT_HOST_NAME;

    // Opens "\\HOST\pipe\NAME". Raises CannotOpenPipeException when the
    // pipe cannot be opened, MustClosePipeException when the shutdown event
    // ends the wait for a free instance.
    ClientNamedPipe(const std::string& pipeName, const std::string& hostName,
                    ZymThread::EventSemaphore* shutdownEvent);
    ~ClientNamedPipe() override;

    // Declares `clientIP` (empty: this machine's address) and, with
    // `impersonating`, the account the calling thread acts as.
    void Initialize(bool impersonating, const std::u16string& clientIP);
};

} // namespace ZymWindows
