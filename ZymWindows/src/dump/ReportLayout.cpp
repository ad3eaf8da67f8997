#include "dump/ReportLayout.h"

#include <cstdio>
#include <map>

namespace ZymWindows::Dump {

namespace {

const std::string STAR_LINE(76, '*');

// Upper-case hexadecimal without padding.
std::string Hex(std::uint64_t value) {
    char text[2 * sizeof value + 1];
    std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(value));
    return text;
}

// A 64-bit byte count in kilobytes, as its low 32 bits.
unsigned int Kilo(std::uint64_t bytes) {
    return static_cast<unsigned int>(bytes >> 10);
}

const char* OSName(unsigned long sum) {
    switch (sum) {
    case 5:
        return "Windows 95";
    case 6:
        return "Windows NT 4.0";
    case 7:
        return "Windows 2000";
    case 8:
        return "Windows XP";
    case 9:
        return "Windows Server 2003 family";
    case 15:
        return "Windows 98";
    case 56:
        return "Windows NT 3.51";
    case 95:
        return "Windows Me";
    default:
        return "";
    }
}

const char* ProductTypeName(unsigned char type) {
    switch (type) {
    case 1:
        return "Workstation";
    case 2:
        return "Domain controller";
    case 3:
        return "Server";
    default:
        return nullptr;
    }
}

// Days from 1601-01-01 to 1970-01-01.
constexpr std::int64_t DAYS_1601_TO_1970 = 134774;

struct CalendarFields {
    int year, month, day, hour, minute, second; // month from 1
};

CalendarFields FileTimeFields(std::uint64_t fileTime) {
    const std::uint64_t seconds = fileTime / 10000000;
    const std::int64_t days = static_cast<std::int64_t>(seconds / 86400) - DAYS_1601_TO_1970;
    const auto inDay = static_cast<int>(seconds % 86400);
    // Civil date from days since 1970-01-01 (proleptic Gregorian).
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned day = doy - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const auto year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
    return {year,         static_cast<int>(month), static_cast<int>(day),
            inDay / 3600, inDay / 60 % 60,         inDay % 60};
}

// The product suites by name (in byte-wise name order), with their bits in
// the suite mask.
const std::map<std::string, unsigned short>& SuiteNames() {
    static const std::map<std::string, unsigned short> names{
        {"Small Business", 0x0001},
        {"Enterprise", 0x0002},
        {"Backoffice", 0x0004},
        {"Communications", 0x0008},
        {"Terminal", 0x0010},
        {"Small Business Restricted", 0x0020},
        {"Embedded Nt", 0x0040},
        {"Datacenter", 0x0080},
        {"Single User Ts", 0x0100},
        {"Personal", 0x0200},
        {"Windows Server 2003 Web Edition", 0x0400},
        {"Embedded Restricted", 0x0800},
        {"Security Appliance", 0x1000},
    };
    return names;
}

// A FILETIME value's calendar fields, read as local time and formatted
// with strftime's `format`. Durations (which fall in the 17th century)
// keep their time of day and day of the year.
std::string FormatFileTime(std::uint64_t fileTime, const std::string& format) {
    const CalendarFields f = FileTimeFields(fileTime);
    try {
        return Zym::DateTime(f.year, f.month - 1, f.day, f.hour, f.minute, f.second, false)
            .AsStringLocal(format);
    } catch (const Zym::DateTimeException&) {
        // Outside the date type's range (a duration, or an exit time of
        // zero): the same day and time in a leap year the type can hold.
        try {
            return Zym::DateTime(2000, f.month - 1, f.day, f.hour, f.minute, f.second, false)
                .AsStringLocal(format);
        } catch (const Zym::DateTimeException&) {
            return "*unknown*";
        }
    }
}

void WriteOSVersion(std::ostream& stream, const OSVersion& os) {
    stream << OSName(os.platformId + os.majorVersion + os.minorVersion)
           << " Build: " << os.buildNumber << std::endl;
    stream << "Service pack: " << os.csdVersion << " Major: " << os.servicePackMajor
           << " Minor: " << os.servicePackMinor << std::endl;
    stream << "Suite: ";
    const char* separator = "";
    for (const auto& [name, bit] : SuiteNames()) {
        if ((os.suiteMask & bit) == bit) {
            stream << separator << name;
            separator = ", ";
        }
    }
    stream << std::endl;
    stream << "Type: ";
    if (const char* type = ProductTypeName(os.productType))
        stream << type << std::endl;
}

} // namespace

void WriteHeader(std::ostream& stream, const ReportHeader& header) {
    stream << STAR_LINE << std::endl;
    stream << "Dump date: " << header.dumpDate.AsStringLocal(Zym::DateTime::ms_DefaultStringFormat)
           << std::endl;
    stream << std::endl;
    stream << "Process: " << std::endl;
    if (header.executable) {
        stream << "\tName: " << *header.executable << std::endl;
        if (header.version) {
            const unsigned short* v = header.version->parts;
            stream << "\tVersion: " << v[0] << '.' << v[1] << '.' << v[2] << '.' << v[3]
                   << std::endl;
        }
    } else {
        stream << "\t*unknown*" << std::endl;
    }
    if (header.times) {
        const ProcessTimes& t = *header.times;
        stream << "\tTimes (GMT):" << std::endl;
        stream << "\t\tCreation: "
               << FormatFileTime(t.creation, Zym::DateTime::ms_DefaultStringFormat) << std::endl;
        stream << "\t\tExit    : " << FormatFileTime(t.exit, "%H:%M:%S") << std::endl;
        stream << "\t\tKernel  : " << FormatFileTime(t.kernel, "%H:%M:%S") << std::endl;
        stream << "\t\tUser    : " << FormatFileTime(t.user, "%H:%M:%S") << std::endl;
    }
    if (header.memoryCurrent != 0) {
        stream << "\tMemory usage: " << std::endl;
        stream << "\t\tCurrent: " << header.memoryCurrent / 1024 << "k" << std::endl;
        stream << "\t\tPeak: " << header.memoryPeak / 1024 << "k" << std::endl;
    }
    stream << "\nOS version: ";
    if (header.os)
        WriteOSVersion(stream, *header.os);
    else
        stream << "*unknown*" << std::endl;
    stream << "\nNumber of processors: " << header.processors << std::endl;
    stream << "\nMemory status: " << std::endl;
    if (header.memory) {
        const MemoryStatus& m = *header.memory;
        stream << "\tLoad: " << m.memoryLoad << "%" << std::endl;
        stream << "\tTotalPhys: " << Kilo(m.totalPhys) << "k" << std::endl;
        stream << "\tAvailPhys: " << Kilo(m.availPhys) << "k" << std::endl;
        stream << "\tTotalPageFile: " << Kilo(m.totalPageFile) << "k" << std::endl;
        stream << "\tAvailPageFile: " << Kilo(m.availPageFile) << "k" << std::endl;
        stream << "\tTotalVirtual: " << Kilo(m.totalVirtual) << "k" << std::endl;
        stream << "\tAvailVirtual: " << Kilo(m.availVirtual) << "k" << std::endl;
        stream << "\tAvailExtendedVirtual: " << Kilo(m.availExtendedVirtual) << "k" << std::endl;
    } else {
        stream << "\t*unknown*" << std::endl;
    }
    stream << "\nAvailable disk space on '" << header.diskRoot << "' ";
    if (header.diskAvailable)
        stream << *header.diskAvailable / 1024 << "k" << std::endl;
    else
        stream << "*unknown*" << std::endl;
    stream << STAR_LINE << std::endl;
    stream << std::endl;
    stream << std::endl;
}

void WriteThreadHead(std::ostream& stream, unsigned long threadId, const std::string& name,
                     bool failing) {
    stream << "Thread 0x" << Hex(threadId) << ": " << name;
    if (failing)
        stream << " <--- ERROR OCCURED IN THIS THREAD";
    stream << std::endl;
}

void WriteFrame(std::ostream& stream, const StackFrame& frame) {
    if (!frame.hasSymbol)
        return;
    // Line ends without a flush each: a deep stack has a few hundred
    // thousand frames. The thread's end flushes.
    const ProcessDump::FunctionInfo& info = frame.info;
    stream << "\t" << info.FunctionName << " [0x" << Hex(info.FunctionAddress) << " EIP:0x"
           << Hex(frame.pc) << "] in '" << info.ModuleName << "'\n";
    if (!info.SourceFile.empty())
        stream << "\t\t" << info.SourceFile << " [Line " << info.Line << "]\n";
}

void WriteThreadEnd(std::ostream& stream) {
    stream << std::endl;
    stream << std::endl;
}

} // namespace ZymWindows::Dump
