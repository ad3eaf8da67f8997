#!/usr/bin/env bash
# Lists every portable source (one outside the posix/ and win32/ folders) of
# the framework, the library and the command line that includes an
# operating system header, and fails when there is one. OS calls belong in
# the platform folders; portable code reaches them through its family's
# platform header.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

# The trees that must stay portable. The library's helper programs
# (ZymWindows/dumphelper, ZymWindows/nethelper) exist only on Linux: they
# ptrace a process and call Samba, so they are programs of the POSIX side.
trees=(framework ZymWindows/include ZymWindows/src tools)

# Headers of the systems and of their platform-only libraries. The C and
# C++ standard headers (<csignal>, <ctime>, <cerrno>...) are portable.
deny='unistd\.h|sys/[^>]*|pthread\.h|sched\.h|semaphore\.h|poll\.h|fcntl\.h|dirent\.h'
deny+='|signal\.h|spawn\.h|termios\.h|dlfcn\.h|pwd\.h|grp\.h|shadow\.h|syslog\.h|iconv\.h'
deny+='|langinfo\.h|mntent\.h|ifaddrs\.h|netdb\.h|netinet/[^>]*|arpa/[^>]*|net/[^>]*|link\.h|elf\.h'
deny+='|execinfo\.h|ucontext\.h|systemd/[^>]*|security/[^>]*|X11/[^>]*|elfutils/[^>]*|uuid/uuid\.h'
deny+='|sqlite3\.h|libsmbclient\.h'
deny+='|windows\.h|winbase\.h|windef\.h|winnt\.h|winuser\.h|winreg\.h|winsvc\.h|winsock2?\.h'
deny+='|ws2tcpip\.h|iphlpapi\.h|lm[a-z]*\.h|dbghelp\.h|tlhelp32\.h|psapi\.h|sddl\.h|aclapi\.h'
deny+='|userenv\.h|wtsapi32\.h|ntsecapi\.h|rpc\.h|rpcdce\.h|objbase\.h|shlobj\.h|process\.h'
deny+='|io\.h|direct\.h|conio\.h|winternl\.h|ntstatus\.h'

found="$(git ls-files -- "${trees[@]}" |
    grep -E '\.(c|cc|cpp|h|hpp|ipp)$' |
    grep -Ev '(^|/)(posix|win32)/' |
    xargs -r grep -HnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*<(${deny})>" || true)"

if [ -n "$found" ]; then
    echo "portable sources that include an OS header (move the OS calls to a posix/ or win32/ folder):" >&2
    echo "$found" >&2
    exit 1
fi
echo "no portable source includes an OS header"
