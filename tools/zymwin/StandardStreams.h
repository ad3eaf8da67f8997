#pragma once

namespace zymwin {

// Makes the standard streams carry bytes as written, so that every command
// prints the same bytes on every platform (`cfb cat` copies binary data).
void UseBinaryStandardStreams();

} // namespace zymwin
