#include "Zym/Exception.h"

#include "Zym/BinaryStreamBuf.h"

#include "ZymCharset/Utf.h"

namespace Zym {

BaseException::BaseException(const char16_t* text) : m_Text(text ? text : u"") {}

BaseException::BaseException(const std::u16string& text) : m_Text(text) {}

BaseException::BaseException(const SmartPtr<MessageInfo>& info)
    : m_Text(info ? info->GetMsg(true, -1) : std::u16string()), m_Info(info) {}

BaseException& BaseException::operator=(const BaseException& other) {
    m_Text = other.m_Text;
    m_Info = other.m_Info;
    return *this;
}

std::string BaseException::WhatUtf8() const {
    return ZymCharset::ToUtf8(What());
}

ZYM_DEFINE_EXCEPTION(Exception);
ZYM_DEFINE_EXCEPTION(BinaryStreamException);
ZYM_DEFINE_EXCEPTION(BinaryStreamGetEOFException);
ZYM_DEFINE_EXCEPTION(BinaryStreamPutEOFException);

} // namespace Zym
