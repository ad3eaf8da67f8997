#include "CfbCommands.h"
#include "CfbDocument.h"
#include "CfbText.h"
#include "Command.h"

#include <ZymWindows/Exceptions.h>

#include <cstdio>
#include <vector>

namespace zymwin::cfb {

namespace {

// Passes every byte put into it on to standard output, gathered into writes
// of 1 MiB (the stream arrives in pieces of 32 KiB), so a stream of any size
// goes through a bounded amount of memory in few system calls.
class StandardOutput : public Zym::BinaryStreamBuf {
public:
    static constexpr std::size_t WRITE_SIZE = 1 << 20;

    StandardOutput() { m_Pending.reserve(WRITE_SIZE); }

protected:
    unsigned int vPut(const void* data, unsigned int n) override {
        const auto* bytes = static_cast<const unsigned char*>(data);
        m_Pending.insert(m_Pending.end(), bytes, bytes + n);
        if (m_Pending.size() >= WRITE_SIZE && !WritePending())
            return 0;
        return n;
    }
    unsigned int vTellP() const override { return 0; }
    unsigned int vSeekP(std::int64_t, Zym::SeekDir) override { return 0; }
    unsigned int vGet(void*, unsigned int) override { return 0; }
    unsigned int vTellG() const override { return 0; }
    unsigned int vSeekG(std::int64_t, Zym::SeekDir) override { return 0; }
    void vFlush() override {
        WritePending();
        std::fflush(stdout);
    }
    void vClear() override { m_Pending.clear(); }
    void vClearMemory() override { std::vector<unsigned char>().swap(m_Pending); }
    void vClearEnd() override {}
    unsigned int vSize() const override { return 0; }
    bool vEndOfFile() const override { return true; }

private:
    bool WritePending() {
        const bool written =
            std::fwrite(m_Pending.data(), 1, m_Pending.size(), stdout) == m_Pending.size();
        m_Pending.clear();
        return written;
    }

    std::vector<unsigned char> m_Pending;
};

std::string Joined(const std::vector<std::u16string>& path, std::size_t count) {
    std::string joined;
    for (std::size_t i = 0; i < count; ++i) {
        if (i)
            joined += '/';
        joined += EscapeName(path[i]);
    }
    return joined;
}

} // namespace

int Cat(const std::string& file, const std::string& streamPath) {
    const std::vector<std::u16string> path = ParsePath(streamPath);
    Document document(file);
    Zym::SmartPtr<Storage> storage = document.Root();
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        try {
            storage = storage->OpenStorage(path[i]);
        } catch (const ZymWindows::OLE::StorageNotFoundOLEException&) {
            throw UsageError{file + ": no such storage: " + Joined(path, i + 1)};
        }
    }
    StandardOutput out;
    try {
        storage->ReadStream(path.back(), out);
    } catch (const ZymWindows::OLE::StreamNotFoundOLEException&) {
        throw UsageError{file + ": no such stream: " + Joined(path, path.size())};
    } catch (const Zym::BinaryStreamPutEOFException&) {
        throw UsageError{"cannot write to standard output"};
    }
    out.Flush();
    if (std::ferror(stdout))
        throw UsageError{"cannot write to standard output"};
    return 0;
}

} // namespace zymwin::cfb
