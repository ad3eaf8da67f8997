#include "CodePageNames.h"

#include <algorithm>
#include <array>

namespace ZymCharset::Platform {

namespace {

struct Entry {
    Zym::CHARSET cs;
    const char* name;
};

// Sorted by code page number. Code pages without a converter on Linux
// (720, the Mac Arabic, Hebrew, Greek, Thai, Turkish, Croatian and Romanian
// sets, HZ, ISCII) are absent, so they report themselves not implemented.
constexpr std::array g_Names = {
    Entry{37, "IBM037"},
    Entry{437, "IBM437"},
    Entry{500, "IBM500"},
    Entry{708, "ASMO-708"},
    Entry{737, "CP737"},
    Entry{775, "CP775"},
    Entry{850, "IBM850"},
    Entry{852, "IBM852"},
    Entry{855, "IBM855"},
    Entry{857, "IBM857"},
    Entry{858, "IBM858"},
    Entry{860, "IBM860"},
    Entry{861, "IBM861"},
    Entry{862, "IBM862"},
    Entry{863, "IBM863"},
    Entry{864, "IBM864"},
    Entry{865, "IBM865"},
    Entry{866, "IBM866"},
    Entry{869, "IBM869"},
    Entry{870, "IBM870"},
    Entry{874, "WINDOWS-874"},
    Entry{875, "IBM875"},
    Entry{932, "CP932"},
    Entry{936, "CP936"},
    Entry{949, "CP949"},
    Entry{950, "CP950"},
    Entry{1026, "IBM1026"},
    Entry{1047, "IBM1047"},
    Entry{1140, "IBM1140"},
    Entry{1141, "IBM1141"},
    Entry{1142, "IBM1142"},
    Entry{1143, "IBM1143"},
    Entry{1144, "IBM1144"},
    Entry{1145, "IBM1145"},
    Entry{1146, "IBM1146"},
    Entry{1147, "IBM1147"},
    Entry{1148, "IBM1148"},
    Entry{1149, "IBM1149"},
    Entry{1250, "WINDOWS-1250"},
    Entry{1251, "WINDOWS-1251"},
    Entry{1253, "WINDOWS-1253"},
    Entry{1254, "WINDOWS-1254"},
    Entry{1255, "WINDOWS-1255"},
    Entry{1256, "WINDOWS-1256"},
    Entry{1257, "WINDOWS-1257"},
    Entry{1258, "WINDOWS-1258"},
    Entry{1361, "JOHAB"},
    Entry{10000, "MACINTOSH"},
    Entry{10007, "MAC-CYRILLIC"},
    Entry{10017, "MAC-UK"},
    Entry{10029, "MAC-CENTRALEUROPE"},
    Entry{10079, "MAC-IS"},
    Entry{12000, "UTF-32LE"},
    Entry{12001, "UTF-32BE"},
    Entry{20127, "ASCII"},
    Entry{20273, "IBM273"},
    Entry{20277, "IBM277"},
    Entry{20278, "IBM278"},
    Entry{20280, "IBM280"},
    Entry{20284, "IBM284"},
    Entry{20285, "IBM285"},
    Entry{20290, "IBM290"},
    Entry{20297, "IBM297"},
    Entry{20420, "IBM420"},
    Entry{20423, "IBM423"},
    Entry{20424, "IBM424"},
    Entry{20866, "KOI8-R"},
    Entry{20871, "IBM871"},
    Entry{20880, "IBM880"},
    Entry{20905, "IBM905"},
    Entry{20932, "EUC-JP"},
    Entry{20936, "GB2312"},
    Entry{20949, "EUC-KR"},
    Entry{21025, "IBM1025"},
    Entry{21866, "KOI8-U"},
    Entry{28591, "ISO-8859-1"},
    Entry{28592, "ISO-8859-2"},
    Entry{28593, "ISO-8859-3"},
    Entry{28594, "ISO-8859-4"},
    Entry{28595, "ISO-8859-5"},
    Entry{28596, "ISO-8859-6"},
    Entry{28597, "ISO-8859-7"},
    Entry{28598, "ISO-8859-8"},
    Entry{28599, "ISO-8859-9"},
    Entry{28600, "ISO-8859-10"},
    Entry{28601, "ISO-8859-11"},
    Entry{28603, "ISO-8859-13"},
    Entry{28604, "ISO-8859-14"},
    Entry{28605, "ISO-8859-15"},
    Entry{28606, "ISO-8859-16"},
    Entry{38598, "ISO-8859-8"},
    // 50221 adds the JIS X 0201 katakana escape, which only the JIS X 0213
    // variant of the Linux converter reads; 50222's shift-out katakana is not
    // read by any, its JIS X 0208 text is.
    Entry{50220, "ISO-2022-JP"},
    Entry{50221, "ISO-2022-JP-3"},
    Entry{50222, "ISO-2022-JP"},
    Entry{50225, "ISO-2022-KR"},
    Entry{50227, "ISO-2022-CN"},
    Entry{51932, "EUC-JP-MS"},
    Entry{51936, "EUC-CN"},
    Entry{51949, "EUC-KR"},
    Entry{54936, "GB18030"},
    Entry{65000, "UTF-7"},
};

static_assert(std::is_sorted(g_Names.begin(), g_Names.end(),
                             [](const Entry& a, const Entry& b) { return a.cs < b.cs; }));

} // namespace

const char* CodePageName(Zym::CHARSET cs) noexcept {
    const auto found = std::lower_bound(g_Names.begin(), g_Names.end(), cs,
                                        [](const Entry& e, Zym::CHARSET v) { return e.cs < v; });
    return found != g_Names.end() && found->cs == cs ? found->name : nullptr;
}

} // namespace ZymCharset::Platform
