#pragma once

#include <Zym/Export.h>

#include "Zym/RefCounter.h"
#include "Zym/SmartPtr.h"

#include <string>
#include <vector>

namespace Zym {

using Language = long;

// A catalogued message: module, code, raising source and parameters. The
// wording lives in the process-wide catalog (ZymMessages).
class ZYM_EXPORT MessageInfo : public SPRefCounter {
public:
    // The text that stands for a parameter given empty or not given at all.
    static const std::u16string EMPTY_PARAM_VALUE;

    MessageInfo(const char* module, long code, const char* sourceFile, long sourceLine);
    MessageInfo(const char* module, long code, const char* sourceFile, long sourceLine,
                const std::u16string& param1);
    MessageInfo(const char* module, long code, const char* sourceFile, long sourceLine,
                const std::u16string& param1, const std::u16string& param2);
    MessageInfo(const char* module, long code, const char* sourceFile, long sourceLine,
                const std::string& param1);
    MessageInfo(const char* module, long code, const char* sourceFile, long sourceLine,
                const std::string& param1, const std::string& param2);

    void AddParam(const std::u16string& param);
    // Narrow parameters go through mbstowcs (at most 1024 characters).
    void AddParam(const std::string& param);

    // Attaches a system error code whose text follows the message's own.
    void SetLastError(unsigned long code) noexcept { m_LastError = code; }

    // The text with %1, %2 ... replaced; with `withLastError`, the attached
    // system error's text follows after ": ".
    std::u16string GetMsg(bool withLastError = true, Language language = -1) const;

    const std::string& Module() const noexcept { return m_Module; }
    long Code() const noexcept { return m_Code; }
    const std::string& SourceFile() const noexcept { return m_SourceFile; }
    long SourceLine() const noexcept { return m_SourceLine; }
    const std::vector<std::u16string>& Params() const noexcept { return m_Params; }
    unsigned long LastError() const noexcept { return m_LastError; }

private:
    std::string m_Module;
    long m_Code;
    std::string m_SourceFile;
    long m_SourceLine;
    std::vector<std::u16string> m_Params;
    std::u16string m_Reserved;
    unsigned long m_LastError = 0;
};

} // namespace Zym
