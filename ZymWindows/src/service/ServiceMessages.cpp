#include "ServiceMessages.h"

#include "ZymWindows/Exceptions.h"
#include "ZymWindows/ZymWindowsMsg-I.h"

#include <Zym/LastError.h>
#include <ZymMessages/ZymMessages.h>

namespace ZymWindows::ServiceMessages {

std::u16string Text(long code) {
    return ZymMessages::ReadMessage(MSG_MODULE, code, -1);
}

Zym::SmartPtr<Zym::MessageInfo> Phase(const char* source, long line, long phase,
                                      const std::u16string& text) {
    return new Zym::MessageInfo(MSG_MODULE, phase, source, line, text);
}

Zym::SmartPtr<Zym::MessageInfo> Progress(const char* source, long line, long phase, long code) {
    return Phase(source, line, phase, Text(code));
}

void ThrowCallFailure(const char* source, long line, long phase, long call, unsigned long error) {
    const Zym::SmartPtr<Zym::MessageInfo> callName =
        new Zym::MessageInfo(MSG_MODULE, call, source, line);
    callName->SetLastError(error);
    // The failure's code stays the thread's last error for the catcher.
    Zym::SetLastError(error);
    throw WindowsException(Phase(source, line, phase, callName->GetMsg(false, -1)));
}

void ThrowLastErrorText() {
    throw WindowsException(Zym::GetLastErrorMessage(0));
}

} // namespace ZymWindows::ServiceMessages
