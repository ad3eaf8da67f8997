#include "ServiceTestSupport.h"
#include "TestFiles.h"
#include "service/LoopSeam.h"

#include <Zym/Exception.h>
#include <Zym/LastError.h>
#include <Zym/LogEntry.h>
#include <ZymCharset/Utf.h>
#include <ZymThread/MessageQueue.h>
#include <ZymWindows/Exceptions.h>
#include <ZymWindows/Service.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

using namespace servicetest;

constexpr const char* RUNNING = "Service::Run; The service is running. [0]";
constexpr const char* STOP = "Service::Stop; Attempt to stop the service. [0]";
constexpr const char* STOP_PENDING = "Service::Run; The service stop is pending... [0]";

const Lines CONSOLE_RUN = {
    "Service::Start; Starting the service... [0]", RUNNING, STOP, STOP_PENDING,
    "Service::Start; The service is stopped. [0]",
};

// Derived from BasicService alone; may stop itself before its loop.
class PlainService : public ZymWindows::BasicService {
public:
    explicit PlainService(RecordingLog* log) : BasicService(log, u"plain", u"Plain", u"") {}
    void Start(bool) override { Run(); }
    bool m_StopEarly = false;

protected:
    void Run() override { BasicService::Run(); }
    void CustomInitialize() override {
        if (m_StopEarly)
            Stop();
    }
};

} // namespace

// A second stop while the loop ends leaves no WM_QUIT behind that would end
// the next run on the thread at once; a stop after the run is void.
TEST(ServiceLibrary, AConsoleRunStopsFromAnotherThreadOnceAndForAll) {
    Zym::SmartPtr<RecordingLog> log = new RecordingLog;
    ConsoleService service(log.Get());
    static ConsoleService* s_Service = &service;
    ZymWindows::LoopSeam::g_LoopEnding = [] { s_Service->Stop(); };
    bool quitLeft = true;
    std::thread runner([&] {
        service.Start(false);
        ZymThread::MSG msg;
        quitLeft = ZymThread::PeekMessage(&msg, 0, 0, ZymThread::PM_NOREMOVE);
    });
    log->WaitFor(RUNNING);
    service.Stop();
    runner.join();
    ZymWindows::LoopSeam::g_LoopEnding = nullptr;
    EXPECT_FALSE(quitLeft);
    Lines expected = CONSOLE_RUN;
    expected.insert(expected.begin() + 3, expected[2]);
    EXPECT_EQ(log->Take(), expected);

    service.Stop();
    log->Take();
    std::thread again([&] { service.Start(false); });
    log->WaitFor(RUNNING);
    service.Stop();
    again.join();
    EXPECT_EQ(log->Take(), CONSOLE_RUN);
}

// Before the first run, or inside any run before its loop: a stop is held.
TEST(ServiceLibrary, AStopBeforeTheLoopIsHeldForIt) {
    Zym::SmartPtr<RecordingLog> log = new RecordingLog;
    PlainService service(log.Get());
    service.Stop();
    service.Start(false);
    service.m_StopEarly = true;
    service.Start(false);
    EXPECT_EQ(log->Take(), (Lines{STOP, RUNNING, STOP_PENDING, STOP, RUNNING, STOP_PENDING}));
}

TEST(ServiceLibrary, TheHandlerLetsNothingEscape) {
    Zym::SmartPtr<RecordingLog> log = new RecordingLog;
    ConsoleService service(log.Get());
    for (const unsigned long control : {0ul, 6ul, 255ul, 0xFFFFFFFFul})
        service.Handler(control);
    service.Handler(4);
    EXPECT_EQ(log->Take(), Lines{});

    service.m_ThrowOnPause = true;
    service.Handler(2);
    service.m_ThrowOnPause = false;
    service.Handler(2);
    EXPECT_EQ(log->Take(), (Lines{"Service::Handler; Cannot pause now. [3]",
                                  "Service::Handler; Unknown exception. [3]"}));
}

TEST(ServiceLibrary, StartingWithoutAManagerRaisesWithTheCallsName) {
    const zymtest::ScopedEnvironment noManager("NOTIFY_SOCKET");
    Zym::SmartPtr<RecordingLog> log = new RecordingLog;
    ConsoleService service(log.Get());
    // Without the raise, the log would also say the service stopped.
    try {
        service.Start(true);
    } catch (const ZymWindows::WindowsException& error) {
        EXPECT_EQ(error.WhatUtf8(), "Service::Start; StartServiceCtrlDispatcher");
        EXPECT_EQ(error.Info()->Code(), 28);
        EXPECT_EQ(error.Info()->SourceFile(), "ZymWindows/src/ZymServiceNT");
        EXPECT_EQ(Zym::GetLastError(), 1063u);
    }
    EXPECT_EQ(log->Take(), Lines{"Service::Start; Starting the service... [0]"});
}
