#pragma once

#include <string>

namespace ZymWindows {

// Library-wide empty texts, for exceptions raised without a message.
extern const std::string g_EmptyString;
extern const std::u16string g_EmptyWString;

} // namespace ZymWindows
