#pragma once

#include <ZymWindows/Export.h>

// A place where a test can act between the message loop's last message
// and its end, to force the stops that come in that moment.
namespace ZymWindows::LoopSeam {

// Called, when set, on the loop's thread once WM_QUIT has ended the loop
// and before the loop gives up its thread. Exported for the tests.
extern ZYMWINDOWS_EXPORT void (*g_LoopEnding)();

} // namespace ZymWindows::LoopSeam
