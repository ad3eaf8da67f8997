#include "Zym/MessageInfo.h"

#include "Zym/LastError.h"
#include "ZymMessages/ZymMessages.h"

#include <cstdlib>
#include <cwchar>

namespace Zym {

const std::u16string MessageInfo::EMPTY_PARAM_VALUE = u"(empty)";

namespace {

constexpr std::size_t MAX_NARROW_PARAM = 1024;

// The runtime's multibyte-to-wide conversion, in the current C locale.
std::u16string WidenNarrow(const std::string& text) {
    std::wstring wide(MAX_NARROW_PARAM, L'\0');
    std::mbstate_t state{};
    const char* source = text.c_str();
    const std::size_t count = std::mbsrtowcs(wide.data(), &source, MAX_NARROW_PARAM, &state);
    if (count == static_cast<std::size_t>(-1))
        return std::u16string(text.begin(), text.end());
    std::u16string out;
    for (std::size_t i = 0; i < count; ++i) {
        const auto cp = static_cast<char32_t>(wide[i]);
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::u16string Number(long value) {
    const std::string text = std::to_string(value);
    return std::u16string(text.begin(), text.end());
}

} // namespace

MessageInfo::MessageInfo(const char* module, long code, const char* sourceFile, long sourceLine)
    : m_Module(module ? module : ""), m_Code(code), m_SourceFile(sourceFile ? sourceFile : ""),
      m_SourceLine(sourceLine) {}

MessageInfo::MessageInfo(const char* module, long code, const char* sourceFile, long sourceLine,
                         const std::u16string& param1)
    : MessageInfo(module, code, sourceFile, sourceLine) {
    AddParam(param1);
}

MessageInfo::MessageInfo(const char* module, long code, const char* sourceFile, long sourceLine,
                         const std::u16string& param1, const std::u16string& param2)
    : MessageInfo(module, code, sourceFile, sourceLine, param1) {
    AddParam(param2);
}

MessageInfo::MessageInfo(const char* module, long code, const char* sourceFile, long sourceLine,
                         const std::string& param1)
    : MessageInfo(module, code, sourceFile, sourceLine) {
    AddParam(param1);
}

MessageInfo::MessageInfo(const char* module, long code, const char* sourceFile, long sourceLine,
                         const std::string& param1, const std::string& param2)
    : MessageInfo(module, code, sourceFile, sourceLine, param1) {
    AddParam(param2);
}

void MessageInfo::AddParam(const std::u16string& param) {
    m_Params.push_back(param.empty() ? EMPTY_PARAM_VALUE : param);
}

void MessageInfo::AddParam(const std::string& param) {
    m_Params.push_back(param.empty() ? EMPTY_PARAM_VALUE : WidenNarrow(param));
}

std::u16string MessageInfo::GetMsg(bool withLastError, Language language) const {
    std::u16string text = ZymMessages::ReadMessage(m_Module, m_Code, language);
    if (text.empty())
        text = u"Message " + Number(m_Code) + u" of module " +
               std::u16string(m_Module.begin(), m_Module.end());
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'%' && i + 1 < text.size() && text[i + 1] >= u'1' && text[i + 1] <= u'9') {
            const std::size_t index = static_cast<std::size_t>(text[i + 1] - u'1');
            out += index < m_Params.size() ? m_Params[index] : EMPTY_PARAM_VALUE;
            ++i;
        } else {
            out += text[i];
        }
    }
    if (withLastError && m_LastError != 0)
        out += u": " + GetLastErrorMessage(m_LastError);
    return out;
}

} // namespace Zym
