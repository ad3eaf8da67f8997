#include "../ServiceTestSupport.h"
#include "Child.h"
#include "ServiceManagerStandIn.h"

#include <Zym/Exception.h>
#include <ZymWindows/Service.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

using ServiceTest::NotifySocket;
using zymtest::Child;

namespace {

using servicetest::Lines;

Child StartExample(const NotifySocket& socket, const std::string& name) {
    return Child({ZYMWIN_PATH, "service", "run", name}, {{"NOTIFY_SOCKET=" + socket.Address()}, 2});
}

using servicetest::COMPLETE_RUN;
constexpr const char* ATTEMPT_TO_STOP = "Service::Stop; Attempt to stop the service.";

// The framework's own lines, without the example's.
Lines FrameworkLines(const Lines& lines) {
    Lines kept;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(kept),
                 [](const std::string& line) { return line.starts_with("Service::"); });
    return kept;
}

// Writes each added entry to stderr as "text [severity]".
class StderrSink : public servicetest::RecordingLog {
public:
    void EntryAdded(const Zym::SmartPtr<Zym::LogEntryCallInterface>& entry) override {
        std::fputs((Line(entry) + "\n").c_str(), stderr);
        std::fflush(stderr);
    }
};

// A service of this process, started as the manager starts one.
template <class Self> class ForkedService : public ZymWindows::Service {
public:
    explicit ForkedService(const std::u16string& name)
        : Service(new StderrSink, name, u"", 1, u"") {}
    void Start(bool asService) override {
        ms_Self = static_cast<Self*>(this);
        ContinueStart(
            asService, [](unsigned long c, char16_t** v) { ms_Self->Main(c, v); },
            [](unsigned long control) { ms_Self->Handler(control); });
    }

protected:
    void Run() override { BasicService::Run(); }

private:
    static inline Self* ms_Self = nullptr;
};

// A service whose initialisation fails.
class FailingService : public ForkedService<FailingService> {
public:
    FailingService() : ForkedService(u"failing") {}

protected:
    void CustomInitialize() override { throw Zym::Exception(u"The disk is gone."); }
};

// Accepts stop only, and says when any other control reaches it.
class StopOnly : public ForkedService<StopOnly> {
public:
    StopOnly() : ForkedService(u"stoponly") {}

protected:
    void CtrlPause() override { std::fputs("paused\n", stderr); }
    void CtrlShutDown() override { std::fputs("shutdown\n", stderr); }
};

} // namespace

// As a user tries it: pause and continue reported, shutdown stops it.
TEST(ServiceRun, ACompleteRunUnderTheManager) {
    NotifySocket socket(false);
    Child service = StartExample(socket, "complete");
    EXPECT_EQ(socket.Receive(), "STATUS=start pending\n");
    EXPECT_EQ(socket.Receive(), "STATUS=running\nREADY=1\n");
    // Each control's effect is awaited before the next is sent: signals
    // that are pending together arrive in the kernel's order, not ours.
    service.Signal(SIGUSR1);
    EXPECT_EQ(socket.Receive(), "STATUS=paused\n");
    service.Signal(SIGCONT);
    service.Signal(SIGUSR2);
    EXPECT_EQ(socket.Receive(), "STATUS=running\n");
    service.Signal(SIGPWR);
    EXPECT_EQ(socket.Receive(), "STATUS=stop pending\nSTOPPING=1\n");
    EXPECT_EQ(socket.Receive(), "STATUS=stopped\n");
    const Lines lines = service.RemainingLines();
    EXPECT_EQ(service.Wait().status, 0);
    EXPECT_EQ(FrameworkLines(lines), COMPLETE_RUN);
    const auto stop = std::find(lines.begin(), lines.end(), ATTEMPT_TO_STOP);
    ASSERT_NE(stop, lines.begin());
    EXPECT_EQ(*(stop - 1), "Example service: the system is shutting down.");
}

// Controls before the dispatcher starts wait for the service to start (a
// stop then ends it at once), ones after it has returned are void: neither
// ends the process. Unaccepted ones go nowhere; interrogation always works.
TEST(ServiceRun, ControlSignalsBeforeTheDispatcherOrAfterIt) {
    NotifySocket socket(true);
    Child service = Child::Fork([&] {
        ::setenv("NOTIFY_SOCKET", socket.Address().c_str(), 1);
        StopOnly stopOnly;
        for (const int signal : {SIGUSR1, SIGPWR, SIGHUP, SIGTERM})
            std::raise(signal);
        stopOnly.Start(true);
        for (const int signal : {SIGTERM, SIGUSR1, SIGUSR2, SIGHUP, SIGPWR})
            std::raise(signal);
        return 0;
    });
    EXPECT_EQ(socket.ReceiveUntil("STATUS=stopped"),
              (Lines{"STATUS=start pending\n", "STATUS=running\nREADY=1\n", "STATUS=running\n",
                     "STATUS=stop pending\nSTOPPING=1\n", "STATUS=stopped\n"}));
    for (const std::string& line : service.RemainingLines())
        EXPECT_TRUE(line != "paused" && line != "shutdown") << line;
    EXPECT_EQ(service.Wait().status, 0);
}

TEST(ServiceRun, AFailedInitialisationIsLoggedAndReportedStopped) {
    NotifySocket socket(false);
    Child service = Child::Fork([&] {
        ::setenv("NOTIFY_SOCKET", socket.Address().c_str(), 1);
        FailingService().Start(true);
        return 0;
    });
    EXPECT_EQ(socket.Receive(), "STATUS=start pending\n");
    EXPECT_EQ(socket.Receive(), "STATUS=stopped\n");
    EXPECT_EQ(service.RemainingLines(), (Lines{"Service::Start; Starting the service... [0]",
                                               "Service::Main; The service start is pending... [0]",
                                               "Service::Main; The disk is gone. [3]",
                                               "Service::Start; The service is stopped. [0]"}));
    EXPECT_EQ(service.Wait().status, 0);
}
