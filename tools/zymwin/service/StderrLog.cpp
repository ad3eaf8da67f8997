#include "StderrLog.h"

#include <ZymCharset/Utf.h>

#include <cstdio>

namespace zymwin {

void StderrLog::vOutputLine(const std::u16string&,
                            const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) {
    const std::string text = ZymCharset::ToUtf8(entry->GetText()) + "\n";
    std::fputs(text.c_str(), m_Out);
    std::fflush(m_Out);
}

} // namespace zymwin
