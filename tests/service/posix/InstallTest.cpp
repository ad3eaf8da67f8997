#include "../ServiceTestSupport.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using servicetest::Lines;

// A unit directory and a systemctl that records its arguments, answers
// is-active from its state file and fails reloads while "fail" exists.
class ServiceInstall : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(Units());
        const fs::path systemctl = m_Scratch.Path() / "systemctl";
        zymtest::WriteFile(systemctl, "#!/bin/sh\ncd '" + m_Scratch.Path().string() + R"sh('
echo "$*" >> record
case "$1" in
is-active) cat state; [ "$(cat state)" = active ] ;;
daemon-reload) [ ! -e fail ] ;;
esac
)sh");
        ::chmod(systemctl.c_str(), 0755);
        SetState("inactive");
    }

    fs::path Units() const { return m_Scratch.Path() / "units"; }
    void SetState(const std::string& state) {
        zymtest::WriteFile(m_Scratch.Path() / "state", state + "\n");
    }
    void FailReloads() { zymtest::WriteFile(m_Scratch.Path() / "fail", ""); }
    // What systemctl was asked since the last call.
    Lines Recorded() {
        const fs::path record = m_Scratch.Path() / "record";
        const Lines lines = zymtest::SplitLines(zymtest::ReadFile(record));
        fs::remove(record);
        return lines;
    }
    zymtest::ProcessResult Zymwin(Lines args, const std::string& program = ZYMWIN_PATH) {
        args.insert(args.begin(), {program, "service"});
        return zymtest::RunProcess(args);
    }
    void ExpectFailure(const Lines& args, const std::string& text) {
        const auto run = Zymwin(args);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(text), std::string::npos) << run.err;
    }

    zymtest::ScratchDirectory m_Scratch;
    zymtest::ScopedEnvironment m_Units{"ZYM_SERVICE_DIR", Units()};
    zymtest::ScopedEnvironment m_Manager{"ZYM_SYSTEMCTL", m_Scratch.Path() / "systemctl"};
};

using servicetest::INSTALL_LOG;
const Lines UNINSTALL_LOG(INSTALL_LOG.begin() + 1, INSTALL_LOG.end() - 1);

} // namespace

TEST_F(ServiceInstall, TheUnitStartsTheProgramWhereverItLies) {
    // A program path with a space, a specifier sign, a variable sign and a
    // byte that is not UTF-8.
    const fs::path tools = m_Scratch.Path() / "tools 100% $HOME \xff";
    fs::create_directories(tools);
    const fs::path program = tools / "zymwin";
    fs::copy_file(ZYMWIN_PATH, program);
    const auto run = Zymwin(
        {"install", "demo-1", "--display", "Demo at 50% \"quoted\"", "--depends", "dep-a,dep-b"},
        program.string());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(zymtest::SplitLines(run.err), INSTALL_LOG);
    EXPECT_EQ(Recorded(), Lines{"daemon-reload"}) << "nothing to remove first";
    const std::string unit = zymtest::ReadFile(Units() / "demo-1.service");
    EXPECT_EQ(unit, "[Unit]\n"
                    "Description=Demo at 50%% \"quoted\"\n"
                    "Requires=dep-a.service\n"
                    "After=dep-a.service\n"
                    "Requires=dep-b.service\n"
                    "After=dep-b.service\n"
                    "\n"
                    "[Service]\n"
                    "Type=notify\n"
                    "ExecStart=\"" +
                        m_Scratch.Path().string() +
                        "/tools 100%% $HOME \\xff/zymwin\" \"service\" \"run\" \"demo-1\"\n");

    // systemd's own reading of the unit, with its dependencies beside it.
    for (const char* dependency : {"dep-a", "dep-b"}) {
        zymtest::WriteFile(Units() / (std::string(dependency) + ".service"),
                           "[Service]\nExecStart=/bin/true\n");
    }
    const auto verify = zymtest::RunProcess(
        {"systemd-analyze", "verify", "--man=no", (Units() / "demo-1.service").string()});
    EXPECT_EQ(verify.status, 0) << "systemd-analyze verify: " << verify.out << verify.err;
    EXPECT_EQ(verify.err, "");
}

TEST_F(ServiceInstall, UninstallStopsAnActiveServiceWithoutWaiting) {
    ASSERT_EQ(Zymwin({"install", "busy"}).status, 0);
    Recorded();
    SetState("active");
    // A failure would add its line to the log.
    EXPECT_EQ(zymtest::SplitLines(Zymwin({"uninstall", "busy"}).err), UNINSTALL_LOG);
    EXPECT_EQ(Recorded(),
              (Lines{"is-active busy.service", "stop --no-block busy.service", "daemon-reload"}));
    EXPECT_FALSE(fs::exists(Units() / "busy.service"));

    // A stopped one is only removed.
    ASSERT_EQ(Zymwin({"install", "idle"}).status, 0);
    Recorded();
    SetState("failed");
    ASSERT_EQ(Zymwin({"uninstall", "idle"}).status, 0);
    EXPECT_EQ(Recorded(), (Lines{"is-active idle.service", "daemon-reload"}));
}

TEST_F(ServiceInstall, FailuresNameTheCallAndLeaveNothingBehind) {
    FailReloads();
    ExpectFailure({"install", "unreachable"},
                  "zymwin service: Service::Install; CreateService: The RPC server is "
                  "unavailable.\n");
    EXPECT_FALSE(fs::exists(Units() / "unreachable.service"));

    // A display name that ends in a backslash would swallow the next line.
    ExpectFailure({"install", "slash", "--display", "Ends in \\"},
                  "Service::Install; CreateService: The parameter is incorrect.\n");
    EXPECT_FALSE(fs::exists(Units() / "slash.service"));

    // A reload that fails after the unit went leaves it registered.
    ::unlink((m_Scratch.Path() / "fail").c_str());
    ASSERT_EQ(Zymwin({"install", "kept"}).status, 0);
    const std::string kept = zymtest::ReadFile(Units() / "kept.service");
    FailReloads();
    ExpectFailure({"uninstall", "kept"},
                  "Service::Uninstall; ControlService: The RPC server is unavailable.\n");
    EXPECT_EQ(zymtest::ReadFile(Units() / "kept.service"), kept);

    // Names that are no unit names never reach the file system.
    ExpectFailure({"install", "../escape"}, "Service::Uninstall; OpenService: The filename, "
                                            "directory name, or volume label syntax is "
                                            "incorrect.\n");
}
