#include "StandardStreams.h"

namespace zymwin {

// The streams of a POSIX process never translate what passes through them.
void UseBinaryStandardStreams() {}

} // namespace zymwin
