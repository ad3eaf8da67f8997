#pragma once

#include "ThreadIdentity.h"

namespace ZymWindows::Platform {

// A logged-on account: the ids a thread takes on to act as it.
class LogonToken {
public:
    ThreadIds ids;
};

} // namespace ZymWindows::Platform
