#pragma once

#include <pthread.h>

namespace ZymThread {

// pthread_create bracketed by the thread start hooks: 0, the error of
// pthread_create, or -1 when the `before` hook refused (last error set).
int CreateThreadAsProcess(pthread_t* thread, void* (*body)(void*), void* argument) noexcept;

} // namespace ZymThread
