#pragma once

#include <Zym/MessageInfo.h>
#include <Zym/SmartPtr.h>

#include <string>

// The catalogued texts of the service classes.
namespace ZymWindows::ServiceMessages {

// The source names recorded with the messages of BasicService and Service.
inline constexpr const char* BASIC_SOURCE = "ZymWindows/src/ZymService";
inline constexpr const char* SERVICE_SOURCE = "ZymWindows/src/ZymServiceNT";

// The catalog's text of `code`, as stored.
std::u16string Text(long code);

// Phase message `phase` whose %1 is `text`.
Zym::SmartPtr<Zym::MessageInfo> Phase(const char* source, long line, long phase,
                                      const std::u16string& text);
// Phase message `phase` whose %1 is the text of message `code`.
Zym::SmartPtr<Zym::MessageInfo> Progress(const char* source, long line, long phase, long code);

// Raises WindowsException: phase `phase` whose %1 names the failed call
// `call`, with `error` attached to that name's record.
[[noreturn]] void ThrowCallFailure(const char* source, long line, long phase, long call,
                                   unsigned long error);

// Raises WindowsException with the system text of the thread's last error.
[[noreturn]] void ThrowLastErrorText();

} // namespace ZymWindows::ServiceMessages
