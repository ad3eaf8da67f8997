#include "dump/ExecutableDisk.h"

#include <ZymFile/Path.h>

#include <Zym/Exception.h>

namespace ZymWindows::Dump {

void SetExecutableDisk(ReportHeader& header, const std::string& executable) {
    try {
        const ZymFile::Path root = ZymFile::Path(executable).Root();
        header.diskRoot = root.Str();
        header.diskAvailable = root.GetAvailableDiskSpace();
    } catch (const std::exception&) {
        // Written as unknown.
    } catch (const Zym::BaseException&) {
        // Written as unknown.
    }
}

} // namespace ZymWindows::Dump
