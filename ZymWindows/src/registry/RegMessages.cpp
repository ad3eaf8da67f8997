#include "RegMessages.h"

#include "ZymWindows/Exceptions.h"
#include "ZymWindows/ZymWindowsMsg-I.h"

#include <Zym/LastError.h>

namespace ZymWindows {

namespace {

constexpr const char* SOURCE_FILE = "ZymWindows/src/ZymRegistry";

} // namespace

void ThrowRegistryMessage(long code, long line, const std::u16string& param1) {
    throw RegistryException(Zym::SmartPtr<Zym::MessageInfo>(
        new Zym::MessageInfo(MSG_MODULE, code, SOURCE_FILE, line, param1)));
}

void ThrowRegistryMessage(long code, long line, const std::u16string& param1,
                          const std::u16string& param2) {
    throw RegistryException(Zym::SmartPtr<Zym::MessageInfo>(
        new Zym::MessageInfo(MSG_MODULE, code, SOURCE_FILE, line, param1, param2)));
}

void ThrowSystemText(long code) {
    throw RegistryException(Zym::GetLastErrorMessage(static_cast<unsigned long>(code)));
}

} // namespace ZymWindows
