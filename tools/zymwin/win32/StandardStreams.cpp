#include "StandardStreams.h"

#include <cstdio>
#include <fcntl.h>
#include <initializer_list>
#include <io.h>

namespace zymwin {

// The C runtime opens them in text mode, which turns "\n" into "\r\n" on
// output and ends input at a Ctrl-Z byte.
void UseBinaryStandardStreams() {
    for (std::FILE* stream : {stdin, stdout, stderr})
        _setmode(_fileno(stream), _O_BINARY);
}

} // namespace zymwin
