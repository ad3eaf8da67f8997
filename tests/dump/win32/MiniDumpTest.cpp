#include <ZymWindows/ProcessDump.h>

#include <TestFiles.h>
#include <Wine.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <windows.h>

namespace {

// The dump type recorded in a minidump's header, and whether the file has
// an exception stream.
struct DumpFacts {
    std::uint64_t type = 0;
    bool exception = false;
};

DumpFacts ReadFacts(const std::string& bytes) {
    DumpFacts facts;
    std::uint32_t count = 0;
    std::uint32_t directory = 0;
    EXPECT_EQ(bytes.substr(0, 4), "MDMP");
    std::memcpy(&count, bytes.data() + 8, 4);
    std::memcpy(&directory, bytes.data() + 12, 4);
    std::memcpy(&facts.type, bytes.data() + 24, 8);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t kind = 0;
        std::memcpy(&kind, bytes.data() + directory + 12 * i, 4);
        facts.exception = facts.exception || kind == 6; // ExceptionStream
    }
    return facts;
}

TEST(DumpCoreWin32, TypeFollowsFullAndTheExceptionIsPassedOnlyWhenGiven) {
    ZYMTEST_SKIP_UNDER_WINE("dbghelp reads the process's memory one kilobyte per wineserver "
                            "request, so a full-memory minidump takes minutes");
    const zymtest::ScratchDirectory folder;
    const std::string plain = (folder.Path() / "plain.dmp").string();
    EXPECT_EQ(ZymWindows::WriteCoreDump(plain, false, nullptr, 0), plain);
    const DumpFacts plainFacts = ReadFacts(zymtest::ReadFile(plain));
    EXPECT_EQ(plainFacts.type, 2u); // MiniDumpWithFullMemory
    EXPECT_FALSE(plainFacts.exception);

    CONTEXT context{};
    ::RtlCaptureContext(&context);
    EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_BREAKPOINT;
    record.ExceptionAddress = reinterpret_cast<void*>(context.Rip);
    EXCEPTION_POINTERS pointers{&record, &context};
    const std::string full = (folder.Path() / "full.dmp").string();
    EXPECT_EQ(ZymWindows::WriteCoreDump(full, true, &pointers, ::GetCurrentThreadId()), full);
    const DumpFacts fullFacts = ReadFacts(zymtest::ReadFile(full));
    EXPECT_EQ(fullFacts.type, 7u); // with data segments and handle data
    EXPECT_TRUE(fullFacts.exception);
}

TEST(DumpCoreWin32, AFileHeldOpenElsewhereIsLeftAsItIs) {
    const zymtest::ScratchDirectory folder;
    const std::string path = (folder.Path() / "held.dmp").string();
    zymtest::WriteFile(path, "held");
    const HANDLE held = ::CreateFileA(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ZymWindows::WriteCoreDump(path, false, nullptr, 0), path);
    ::CloseHandle(held);
    EXPECT_EQ(zymtest::ReadFile(path), "held");
}

} // namespace
