// A program outside the tree: throws and catches the library's exceptions
// and reads its catalogued texts through the installed package.
#include <Zym/Zym.h>
#include <ZymWindows/ZymWindows.h>

#include <cstdio>

int main() {
    Zym::SmartPtr<Zym::MessageInfo> info = new Zym::MessageInfo(
        ZymWindows::MSG_MODULE, ZymWindows::MSG_PIPE_DISCONNECTED, __FILE__, __LINE__);
    try {
        throw ZymWindows::NamedPipe::BrokenPipeException(info);
    } catch (const ZymWindows::NamedPipe::NamedPipeException& error) {
        std::printf("%s\n", error.WhatUtf8().c_str());
    }
    const std::u16string text =
        ZymMessages::ReadMessage("ZymWindows", ZymWindows::MSG_SERVICE_RUNNING);
    std::printf("%s\n", ZymCharset::ToUtf8(text).c_str());
    return text == u"The service is running." ? 0 : 1;
}
