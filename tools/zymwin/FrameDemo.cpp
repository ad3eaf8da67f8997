#include "Command.h"

#include <Zym/LastError.h>
#include <ZymCharset/Utf.h>
#include <ZymMessages/ZymMessages.h>
#include <ZymWindows/ZymWindows.h>

#include <cstdio>

namespace zymwin {

namespace {

void FrameDemo() {
    std::printf("catalog \"%s\" registered: %s\n", ZymWindows::MSG_CATALOG_NAME,
                ZymMessages::IsLoaded(ZymWindows::MSG_CATALOG_NAME) ? "yes" : "no");
    Zym::SmartPtr<Zym::MessageInfo> info = new Zym::MessageInfo(
        ZymWindows::MSG_MODULE, ZymWindows::MSG_REG_VALUE_NOT_FOUND, __FILE__, __LINE__,
        std::u16string(u"HKEY_CURRENT_USER\\Software\\Demo"), std::u16string(u"Colour"));
    try {
        throw ZymWindows::RegistryException(info);
    } catch (const Zym::Exception& error) {
        std::printf("caught RegistryException: %s\n", error.WhatUtf8().c_str());
    }
    std::printf("system text of 231: %s\n",
                ZymCharset::ToUtf8(Zym::GetLastErrorMessage(231)).c_str());
}

const Registration g_FrameDemo(DemoStep{0, "Exceptions and the message catalog", FrameDemo});

} // namespace

} // namespace zymwin
