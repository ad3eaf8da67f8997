#pragma once

#include "ThreadPlatform.h"

namespace ZymThread {

// Starts a system thread bracketed by the thread start hooks: null with the
// last error set when the `before` hook refused or the system could not
// start it.
Platform::SystemThreadPtr StartThreadAsProcess(Platform::ThreadEntry entry,
                                               void* argument) noexcept;

} // namespace ZymThread
