#include "RegMessages.h"
#include "RegText.h"

#include "ZymWindows/Exceptions.h"
#include "ZymWindows/Registry.h"
#include "ZymWindows/ZymWindowsMsg-I.h"

#include <Zym/LastError.h>

namespace ZymWindows {

RegValueBase::~RegValueBase() = default;

void RegValueBase::ThrowLastError(long code, const std::string& keyName,
                                  const std::string& valueName) {
    ThrowLastError(code, RegText::Wide(keyName), RegText::Wide(valueName));
}

void RegValueBase::ThrowLastError(long code, const std::u16string& keyName,
                                  const std::u16string& valueName) {
    // The code stays the thread's last error, as after the failed call.
    std::u16string text = Zym::GetLastErrorMessage(static_cast<unsigned long>(code));
    Zym::SetLastError(static_cast<unsigned long>(code));
    text += u": ";
    text += keyName;
    if (!valueName.empty()) {
        text += u'\\';
        text += valueName;
    }
    throw RegistryException(text);
}

void RegValueBase::ThrowInvalidRegValue(const std::string& keyName, const std::string& valueName) {
    ThrowInvalidRegValue(RegText::Wide(keyName), RegText::Wide(valueName));
}

void RegValueBase::ThrowInvalidRegValue(const std::u16string& keyName,
                                        const std::u16string& valueName) {
    ThrowRegistryMessage(MSG_REG_VALUE_NOT_FOUND, __LINE__, keyName, valueName);
}

void RegValueBase::ThrowInvalidRegKeyFormat(const std::string& keyName,
                                            const std::string& valueName) {
    ThrowInvalidRegKeyFormat(RegText::Wide(keyName), RegText::Wide(valueName));
}

void RegValueBase::ThrowInvalidRegKeyFormat(const std::u16string& keyName,
                                            const std::u16string& valueName) {
    ThrowRegistryMessage(MSG_REG_DATATYPE_NOT_SUPPORTED, __LINE__, keyName, valueName);
}

} // namespace ZymWindows
