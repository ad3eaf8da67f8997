#include "CodePageNumbers.h"

#include <Zym/NoCase.h>

#include <array>
#include <string_view>

namespace ZymCharset::Platform {

namespace {

struct NamedCodePage {
    std::string_view name;
    unsigned codePage;
};

// The names the code page table uses. Where two code pages share a name
// (ISO-8859-8 for 28598 and 38598, ISO-2022-JP for 50220 and 50222), the
// first of them is meant.
constexpr std::array NAMES = {
    NamedCodePage{"IBM037", 37},
    NamedCodePage{"IBM437", 437},
    NamedCodePage{"IBM500", 500},
    NamedCodePage{"ASMO-708", 708},
    NamedCodePage{"CP737", 737},
    NamedCodePage{"CP775", 775},
    NamedCodePage{"IBM850", 850},
    NamedCodePage{"IBM852", 852},
    NamedCodePage{"IBM855", 855},
    NamedCodePage{"IBM857", 857},
    NamedCodePage{"IBM858", 858},
    NamedCodePage{"IBM860", 860},
    NamedCodePage{"IBM861", 861},
    NamedCodePage{"IBM862", 862},
    NamedCodePage{"IBM863", 863},
    NamedCodePage{"IBM864", 864},
    NamedCodePage{"IBM865", 865},
    NamedCodePage{"IBM866", 866},
    NamedCodePage{"IBM869", 869},
    NamedCodePage{"IBM870", 870},
    NamedCodePage{"WINDOWS-874", 874},
    NamedCodePage{"IBM875", 875},
    NamedCodePage{"CP932", 932},
    NamedCodePage{"CP936", 936},
    NamedCodePage{"CP949", 949},
    NamedCodePage{"CP950", 950},
    NamedCodePage{"IBM1026", 1026},
    NamedCodePage{"IBM1047", 1047},
    NamedCodePage{"IBM1140", 1140},
    NamedCodePage{"IBM1141", 1141},
    NamedCodePage{"IBM1142", 1142},
    NamedCodePage{"IBM1143", 1143},
    NamedCodePage{"IBM1144", 1144},
    NamedCodePage{"IBM1145", 1145},
    NamedCodePage{"IBM1146", 1146},
    NamedCodePage{"IBM1147", 1147},
    NamedCodePage{"IBM1148", 1148},
    NamedCodePage{"IBM1149", 1149},
    NamedCodePage{"WINDOWS-1250", 1250},
    NamedCodePage{"WINDOWS-1251", 1251},
    NamedCodePage{"WINDOWS-1252", 1252},
    NamedCodePage{"CP1252", 1252},
    NamedCodePage{"WINDOWS-1253", 1253},
    NamedCodePage{"WINDOWS-1254", 1254},
    NamedCodePage{"WINDOWS-1255", 1255},
    NamedCodePage{"WINDOWS-1256", 1256},
    NamedCodePage{"WINDOWS-1257", 1257},
    NamedCodePage{"WINDOWS-1258", 1258},
    NamedCodePage{"JOHAB", 1361},
    NamedCodePage{"MACINTOSH", 10000},
    NamedCodePage{"MAC-CYRILLIC", 10007},
    NamedCodePage{"MAC-UK", 10017},
    NamedCodePage{"MAC-CENTRALEUROPE", 10029},
    NamedCodePage{"MAC-IS", 10079},
    NamedCodePage{"ASCII", 20127},
    NamedCodePage{"IBM273", 20273},
    NamedCodePage{"IBM277", 20277},
    NamedCodePage{"IBM278", 20278},
    NamedCodePage{"IBM280", 20280},
    NamedCodePage{"IBM284", 20284},
    NamedCodePage{"IBM285", 20285},
    NamedCodePage{"IBM290", 20290},
    NamedCodePage{"IBM297", 20297},
    NamedCodePage{"IBM420", 20420},
    NamedCodePage{"IBM423", 20423},
    NamedCodePage{"IBM424", 20424},
    NamedCodePage{"KOI8-R", 20866},
    NamedCodePage{"IBM871", 20871},
    NamedCodePage{"IBM880", 20880},
    NamedCodePage{"IBM905", 20905},
    NamedCodePage{"EUC-JP", 20932},
    NamedCodePage{"GB2312", 20936},
    NamedCodePage{"EUC-KR", 20949},
    NamedCodePage{"IBM1025", 21025},
    NamedCodePage{"KOI8-U", 21866},
    NamedCodePage{"ISO-8859-1", 28591},
    NamedCodePage{"ISO-8859-2", 28592},
    NamedCodePage{"ISO-8859-3", 28593},
    NamedCodePage{"ISO-8859-4", 28594},
    NamedCodePage{"ISO-8859-5", 28595},
    NamedCodePage{"ISO-8859-6", 28596},
    NamedCodePage{"ISO-8859-7", 28597},
    NamedCodePage{"ISO-8859-8", 28598},
    NamedCodePage{"ISO-8859-9", 28599},
    NamedCodePage{"ISO-8859-10", 28600},
    NamedCodePage{"ISO-8859-11", 28601},
    NamedCodePage{"ISO-8859-13", 28603},
    NamedCodePage{"ISO-8859-14", 28604},
    NamedCodePage{"ISO-8859-15", 28605},
    NamedCodePage{"ISO-8859-16", 28606},
    NamedCodePage{"ISO-2022-JP", 50220},
    NamedCodePage{"ISO-2022-JP-3", 50221},
    NamedCodePage{"ISO-2022-KR", 50225},
    NamedCodePage{"ISO-2022-CN", 50227},
    NamedCodePage{"EUC-JP-MS", 51932},
    NamedCodePage{"EUC-CN", 51936},
    NamedCodePage{"GB18030", 54936},
    NamedCodePage{"UTF-7", 65000},
    NamedCodePage{"UTF-8", 65001},
};

} // namespace

unsigned CodePageNumber(const char* name) noexcept {
    const std::string_view wanted(name);
    for (const NamedCodePage& entry : NAMES)
        if (Zym::NoCase::Compare(entry.name, wanted) == 0)
            return entry.codePage;
    return 0;
}

bool IsStatefulCodePage(unsigned codePage) noexcept {
    switch (codePage) {
    case 50220:
    case 50221:
    case 50222:
    case 50225:
    case 50227:
    case 50229:
    case 65000:
        return true;
    default:
        return false;
    }
}

} // namespace ZymCharset::Platform
