#include "eventlog/EventLogPlatform.h"

#include <ZymCharset/Utf.h>

#include <windows.h>

// <windows.h> maps these names to its A or W functions; here they are
// this family's own.
#undef RegisterEventSource
#undef ReportEvent

#include <new>

namespace ZymWindows::Platform {

namespace {

// An event source is the system's handle itself, null included.
HANDLE HandleOf(EventSource* source) noexcept {
    return reinterpret_cast<HANDLE>(source);
}

} // namespace

EventSource* RegisterEventSource(const std::string& name) noexcept try {
    const std::u16string wide = ZymCharset::FromUtf8(name);
    return reinterpret_cast<EventSource*>(
        ::RegisterEventSourceW(nullptr, reinterpret_cast<const wchar_t*>(wide.c_str())));
} catch (const std::bad_alloc&) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

unsigned long ReportEvent(EventSource* source, unsigned short type, unsigned short category,
                          unsigned long eventId, const std::string& text) noexcept try {
    const std::u16string wide = ZymCharset::FromUtf8(text);
    const wchar_t* strings[] = {reinterpret_cast<const wchar_t*>(wide.c_str())};
    if (!::ReportEventW(HandleOf(source), type, category, eventId, nullptr, 1, 0, strings, nullptr))
        return ::GetLastError();
    return ERROR_SUCCESS;
} catch (const std::bad_alloc&) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return ERROR_NOT_ENOUGH_MEMORY;
}

void DeregisterEventSource(EventSource* source) noexcept {
    ::DeregisterEventSource(HandleOf(source));
}

} // namespace ZymWindows::Platform
