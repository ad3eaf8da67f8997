#include "ZymThread/Thread.h"

#include "Zym/Exception.h"
#include "Zym/LastError.h"

namespace ZymThread {

void ThrowLastError() {
    throw Zym::Exception(Zym::GetLastErrorMessage(0));
}

} // namespace ZymThread
