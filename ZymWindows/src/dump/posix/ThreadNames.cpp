#include "dump/posix/ThreadNames.h"

#include "dump/posix/HelperProtocol.h"
#include "dump/posix/SocketSend.h"

#include <ZymThread/Thread.h>

#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ZymWindows::Platform {

namespace {

// A directory entry as getdents64 returns it (opendir would allocate).
struct DirectoryEntry {
    unsigned long long inode;
    long long offset;
    unsigned short length;
    unsigned char type;
    char name[1];
};

bool SendName(int socket, unsigned long threadId) noexcept {
    char name[DumpHelper::NAME_SIZE];
    if (!ZymThread::FindThreadName(threadId, name, sizeof name))
        return true;
    const DumpHelper::NameRecord record{static_cast<std::int64_t>(threadId),
                                        static_cast<std::uint32_t>(std::strlen(name))};
    return SendAll(socket, &record, sizeof record) && SendAll(socket, name, record.length);
}

// The thread id a /proc/self/task entry names; 0 for "." and "..".
unsigned long ThreadId(const char* name) noexcept {
    unsigned long id = 0;
    for (; *name >= '0' && *name <= '9'; ++name)
        id = id * 10 + static_cast<unsigned long>(*name - '0');
    return *name == '\0' ? id : 0;
}

} // namespace

bool SendThreadNames(int socket) noexcept {
    const int tasks = open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    bool sent = true;
    if (tasks >= 0) {
        alignas(DirectoryEntry) char buffer[4096];
        long got;
        while (sent && (got = syscall(SYS_getdents64, tasks, buffer, sizeof buffer)) > 0) {
            for (long at = 0; sent && at < got;) {
                const auto* entry = reinterpret_cast<const DirectoryEntry*>(buffer + at);
                if (const unsigned long id = ThreadId(entry->name))
                    sent = SendName(socket, id);
                at += entry->length;
            }
        }
        close(tasks);
    }
    const DumpHelper::NameRecord end{0, 0};
    return sent && SendAll(socket, &end, sizeof end);
}

} // namespace ZymWindows::Platform
