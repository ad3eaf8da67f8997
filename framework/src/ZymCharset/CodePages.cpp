#include "CodePages.h"

#include <algorithm>
#include <array>
#include <bit>

namespace ZymCharset {

namespace {

struct Entry {
    Zym::CHARSET cs;
    SystemCodePage page;
};

// Sorted by code page number. Code pages without a converter on Linux
// (720, the Mac Arabic, Hebrew, Greek, Thai, Turkish, Croatian and Romanian
// sets, HZ, ISCII) are absent, so they report themselves not implemented.
constexpr std::array g_Table = {
    Entry{37, {"IBM037", false}},
    Entry{437, {"IBM437", false}},
    Entry{500, {"IBM500", false}},
    Entry{708, {"ASMO-708", false}},
    Entry{737, {"CP737", false}},
    Entry{775, {"CP775", false}},
    Entry{850, {"IBM850", false}},
    Entry{852, {"IBM852", false}},
    Entry{855, {"IBM855", false}},
    Entry{857, {"IBM857", false}},
    Entry{858, {"IBM858", false}},
    Entry{860, {"IBM860", false}},
    Entry{861, {"IBM861", false}},
    Entry{862, {"IBM862", false}},
    Entry{863, {"IBM863", false}},
    Entry{864, {"IBM864", false}},
    Entry{865, {"IBM865", false}},
    Entry{866, {"IBM866", false}},
    Entry{869, {"IBM869", false}},
    Entry{870, {"IBM870", false}},
    Entry{874, {"WINDOWS-874", false}},
    Entry{875, {"IBM875", false}},
    Entry{932, {"CP932", false}},
    Entry{936, {"CP936", false}},
    Entry{949, {"CP949", false}},
    Entry{950, {"CP950", false}},
    Entry{1026, {"IBM1026", false}},
    Entry{1047, {"IBM1047", false}},
    Entry{1140, {"IBM1140", false}},
    Entry{1141, {"IBM1141", false}},
    Entry{1142, {"IBM1142", false}},
    Entry{1143, {"IBM1143", false}},
    Entry{1144, {"IBM1144", false}},
    Entry{1145, {"IBM1145", false}},
    Entry{1146, {"IBM1146", false}},
    Entry{1147, {"IBM1147", false}},
    Entry{1148, {"IBM1148", false}},
    Entry{1149, {"IBM1149", false}},
    Entry{1250, {"WINDOWS-1250", false}},
    Entry{1251, {"WINDOWS-1251", false}},
    Entry{1253, {"WINDOWS-1253", false}},
    Entry{1254, {"WINDOWS-1254", false}},
    Entry{1255, {"WINDOWS-1255", false}},
    Entry{1256, {"WINDOWS-1256", false}},
    Entry{1257, {"WINDOWS-1257", false}},
    Entry{1258, {"WINDOWS-1258", false}},
    Entry{1361, {"JOHAB", false}},
    Entry{10000, {"MACINTOSH", false}},
    Entry{10007, {"MAC-CYRILLIC", false}},
    Entry{10017, {"MAC-UK", false}},
    Entry{10029, {"MAC-CENTRALEUROPE", false}},
    Entry{10079, {"MAC-IS", false}},
    Entry{12000, {"UTF-32LE", false}},
    Entry{12001, {"UTF-32BE", false}},
    Entry{20127, {"ASCII", false}},
    Entry{20273, {"IBM273", false}},
    Entry{20277, {"IBM277", false}},
    Entry{20278, {"IBM278", false}},
    Entry{20280, {"IBM280", false}},
    Entry{20284, {"IBM284", false}},
    Entry{20285, {"IBM285", false}},
    Entry{20290, {"IBM290", false}},
    Entry{20297, {"IBM297", false}},
    Entry{20420, {"IBM420", false}},
    Entry{20423, {"IBM423", false}},
    Entry{20424, {"IBM424", false}},
    Entry{20866, {"KOI8-R", false}},
    Entry{20871, {"IBM871", false}},
    Entry{20880, {"IBM880", false}},
    Entry{20905, {"IBM905", false}},
    Entry{20932, {"EUC-JP", false}},
    Entry{20936, {"GB2312", false}},
    Entry{20949, {"EUC-KR", false}},
    Entry{21025, {"IBM1025", false}},
    Entry{21866, {"KOI8-U", false}},
    Entry{28591, {"ISO-8859-1", false}},
    Entry{28592, {"ISO-8859-2", false}},
    Entry{28593, {"ISO-8859-3", false}},
    Entry{28594, {"ISO-8859-4", false}},
    Entry{28595, {"ISO-8859-5", false}},
    Entry{28596, {"ISO-8859-6", false}},
    Entry{28597, {"ISO-8859-7", false}},
    Entry{28598, {"ISO-8859-8", false}},
    Entry{28599, {"ISO-8859-9", false}},
    Entry{28600, {"ISO-8859-10", false}},
    Entry{28601, {"ISO-8859-11", false}},
    Entry{28603, {"ISO-8859-13", false}},
    Entry{28604, {"ISO-8859-14", false}},
    Entry{28605, {"ISO-8859-15", false}},
    Entry{28606, {"ISO-8859-16", false}},
    Entry{38598, {"ISO-8859-8", false}},
    // 50221 adds the JIS X 0201 katakana escape, which only the JIS X 0213
    // variant of the Linux converter reads; 50222's shift-out katakana is not
    // read by any, its JIS X 0208 text is.
    Entry{50220, {"ISO-2022-JP", true}},
    Entry{50221, {"ISO-2022-JP-3", true}},
    Entry{50222, {"ISO-2022-JP", true}},
    Entry{50225, {"ISO-2022-KR", true}},
    Entry{50227, {"ISO-2022-CN", true}},
    Entry{51932, {"EUC-JP-MS", false}},
    Entry{51936, {"EUC-CN", false}},
    Entry{51949, {"EUC-KR", false}},
    Entry{54936, {"GB18030", false}},
    Entry{65000, {"UTF-7", true}},
};

static_assert(std::is_sorted(g_Table.begin(), g_Table.end(),
                             [](const Entry& a, const Entry& b) { return a.cs < b.cs; }));

} // namespace

const SystemCodePage* FindSystemCodePage(Zym::CHARSET cs) noexcept {
    const auto found = std::lower_bound(g_Table.begin(), g_Table.end(), cs,
                                        [](const Entry& e, Zym::CHARSET v) { return e.cs < v; });
    return found != g_Table.end() && found->cs == cs ? &found->page : nullptr;
}

const char* HostUtf16Name() noexcept {
    return std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
}

} // namespace ZymCharset
