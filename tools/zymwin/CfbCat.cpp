#include "CfbCommands.h"
#include "CfbDocument.h"
#include "CfbText.h"
#include "Command.h"

#include <ZymWindows/Exceptions.h>

#include <cstdio>

namespace zymwin::cfb {

namespace {

// Hands every byte put into it straight to standard output, so a stream of
// any size passes through a bounded amount of memory.
class StandardOutput : public Zym::BinaryStreamBuf {
protected:
    unsigned int vPut(const void* data, unsigned int n) override {
        return static_cast<unsigned int>(std::fwrite(data, 1, n, stdout));
    }
    unsigned int vTellP() const override { return 0; }
    unsigned int vSeekP(std::int64_t, Zym::SeekDir) override { return 0; }
    unsigned int vGet(void*, unsigned int) override { return 0; }
    unsigned int vTellG() const override { return 0; }
    unsigned int vSeekG(std::int64_t, Zym::SeekDir) override { return 0; }
    void vFlush() override { std::fflush(stdout); }
    void vClear() override {}
    void vClearMemory() override {}
    void vClearEnd() override {}
    unsigned int vSize() const override { return 0; }
    bool vEndOfFile() const override { return true; }
};

std::string Joined(const std::vector<std::u16string>& path, std::size_t count) {
    std::string joined;
    for (std::size_t i = 0; i < count; ++i)
        joined += (i ? "/" : "") + EscapeName(path[i]);
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
