#include "../ZymFile/MountPoints.h"

#include <Zym/LastError.h>

#include <fstream>
#include <sstream>
#include <vector>

namespace ZymFile::OS {

namespace {

bool IsOctalDigit(char c) {
    return c >= '0' && c <= '7';
}

// The kernel writes blanks, tabs, newlines and backslashes in mount points
// as a backslash and three octal digits.
std::string DecodeMountPoint(const std::string& field) {
    std::string decoded;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctalDigit(field[i + 1]) &&
            IsOctalDigit(field[i + 2]) && IsOctalDigit(field[i + 3])) {
            decoded += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                         (field[i + 3] - '0'));
            i += 3;
        } else {
            decoded += field[i];
        }
    }
    return decoded;
}

// The mount points of the file systems that this process sees.
std::vector<std::string> MountPoints() {
    std::vector<std::string> mountPoints;
    std::ifstream table("/proc/self/mountinfo");
    std::string line;
    // Fields: mount id, parent id, major:minor, root, mount point, ...
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string id, parent, device, root, mountPoint;
        if (fields >> id >> parent >> device >> root >> mountPoint)
            mountPoints.push_back(DecodeMountPoint(mountPoint));
    }
    return mountPoints;
}

bool IsWithin(const std::string& path, const std::string& mountPoint) {
    if (mountPoint == "/")
        return true;
    return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

} // namespace

std::string VolumeRoot(const std::string& resolved) {
    std::string best = "/";
    for (const auto& mountPoint : MountPoints())
        if (mountPoint.size() > best.size() && IsWithin(resolved, mountPoint))
            best = mountPoint;
    return best;
}

void SetLastErrorFromSystem(const std::error_code& error) noexcept {
    Zym::SetLastErrorFromErrno(error.value());
}

} // namespace ZymFile::OS
