#include <signal.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "host/service_control.h"
#include "platform/clock.h"
#include "platform/process_paths.h"
#include "platform/subprocess.h"
#include "support/fake_systemctl.h"

using testing_support::FakeSystemctl;
using testing_support::readFile;

namespace {

constexpr const char* kName = "Lumetra_RD_ServiceExt";
constexpr const char* kUnit = "Lumetra_RD_ServiceExt.service";
const std::string kIsActive = std::string("is-active ") + kUnit;
const std::string kStart = std::string("start ") + kUnit;
const std::string kStop = std::string("--no-block stop ") + kUnit;
const std::string kEnable = std::string("enable ") + kUnit;
const std::string kDisable = std::string("disable ") + kUnit;

std::string unitTextFor(const std::string& execStart) {
    return "[Unit]\nDescription=Lumetra_RD_ServiceExt\nAfter=network.target\n\n"
           "[Service]\nType=notify\nExecStart=" +
           execStart +
           "\nRestart=on-failure\n\n"
           "[Install]\nWantedBy=multi-user.target\n";
}

// The unit without the sandbox lines between Restart= and [Install].
std::string withoutSandbox(const std::string& unit) {
    const std::size_t from = unit.find("Restart=on-failure\n") + 19, to = unit.find("\n[Install]");
    return from < to && to != std::string::npos ? unit.substr(0, from) + unit.substr(to) : unit;
}

class SystemdManagerTest : public ::testing::Test {
  protected:
    using Calls = std::vector<std::string>;

    std::string unitPath() const { return systemctl.unitDirectory() + "/" + kUnit; }
    void writeUnit() { std::ofstream(unitPath()) << "[Service]\n"; }
    bool unitExists() const { return std::filesystem::exists(unitPath()); }

    // Runs one operation on the service with a manager built from `settings`.
    std::string run(bool (*operation)(platform::ServiceManager&, const std::string&),
                    const std::string& name = kName) {
        const auto manager = platform::makeServiceManager(settings);
        testing::internal::CaptureStdout();
        result = operation(*manager, name);
        return testing::internal::GetCapturedStdout();
    }

    FakeSystemctl systemctl;
    platform::ServiceManagerSettings settings = systemctl.settings();
    bool result = false;
};

bool notPrivileged() { return false; }

// --- install ---------------------------------------------------------------

TEST_F(SystemdManagerTest, InstallWritesTheUnitReloadsAndEnables) {
    EXPECT_EQ("", run(installService));
    EXPECT_TRUE(result);
    EXPECT_EQ(unitTextFor(platform::executablePath()), withoutSandbox(readFile(unitPath())));
    EXPECT_EQ((Calls{"daemon-reload", kEnable}), systemctl.calls());
}

TEST_F(SystemdManagerTest, InstallOverAnExistingUnitIsRefused) {
    writeUnit();
    EXPECT_EQ("The specified service already exists.\n", run(installService));
    EXPECT_FALSE(result);
    EXPECT_EQ("[Service]\n", readFile(unitPath()));
    EXPECT_TRUE(systemctl.calls().empty());
}

TEST_F(SystemdManagerTest, InstallWhenNotRootIsDenied) {
    settings.isPrivileged = notPrivileged;
    EXPECT_EQ("The requested access was denied.\n", run(installService));
    EXPECT_FALSE(unitExists());
    EXPECT_TRUE(systemctl.calls().empty());
}

TEST_F(SystemdManagerTest, InstallRefusedByTheManagerLeavesNoUnit) {
    systemctl.answer(kEnable, 1, "", "Failed to enable unit: Access denied");
    EXPECT_EQ("The requested access was denied.\n", run(installService));
    EXPECT_FALSE(result);
    EXPECT_FALSE(unitExists());
    EXPECT_EQ((Calls{"daemon-reload", kEnable, "daemon-reload"}), systemctl.calls());
}

TEST_F(SystemdManagerTest, InstallWithoutUnitFolder) {
    settings.unitDirectory = systemctl.unitDirectory() + "/missing";
    EXPECT_EQ("The specified service control database does not exist.\n", run(installService));
}

TEST_F(SystemdManagerTest, InstallOfAnUnsafeNameIsRefused) {
    EXPECT_EQ("The specified service name is invalid.\n", run(installService, "../evil"));
    EXPECT_EQ("The specified service name is invalid.\n", run(installService, "--now"));
    EXPECT_EQ("The specified service name is invalid.\n", run(installService, ""));
    EXPECT_TRUE(std::filesystem::is_empty(systemctl.unitDirectory()));
}

// Creates the unit for `path` directly; returns its ExecStart line's value,
// or the error code when refused.
std::string execStartFor(FakeSystemctl& systemctl, const std::string& path) {
    const auto manager = platform::makeServiceManager(systemctl.settings());
    platform::ServiceHandleOwner scm(*manager, manager->openManager());
    platform::ServiceHandleOwner service(*manager, manager->createService(scm.get(), "x", path));
    if (!service) return "error " + std::to_string(manager->lastError());
    const std::string text = readFile(systemctl.unitDirectory() + "/x.service");
    const auto start = text.find("ExecStart=") + 10;
    return text.substr(start, text.find('\n', start) - start);
}

TEST_F(SystemdManagerTest, ExecStartKeepsThePathOneLiteralWord) {
    EXPECT_EQ("/opt/rd/rdserver_ext", execStartFor(systemctl, "/opt/rd/rdserver_ext"));
    std::filesystem::remove(systemctl.unitDirectory() + "/x.service");
    EXPECT_EQ("\"/opt/my rd/a%%b\"", execStartFor(systemctl, "/opt/my rd/a%b"));
}

TEST_F(SystemdManagerTest, ExecStartRefusesPathsThatWouldBreakTheUnit) {
    EXPECT_EQ("error 87", execStartFor(systemctl, "/opt/rd\nExecStartPre=/bin/evil"));
    EXPECT_EQ("error 87", execStartFor(systemctl, "relative/rdserver_ext"));
    for (const char* path : {"/opt/rd/$HOME/x", "/opt/rd/a\"b", "/opt/rd/a\\b", "/opt/a'b"}) {
        EXPECT_EQ("error 87", execStartFor(systemctl, path)) << path;
    }
    EXPECT_TRUE(std::filesystem::is_empty(systemctl.unitDirectory()));
}

// What the sandbox must leave: the readiness notification (AF_UNIX), the
// listener table (AF_NETLINK), loopback, the data folder, the engine's log
// beside the program, and the owners in the kernel's socket dump (no user
// namespace). systemd-analyze scores it offline, without a running systemd.
TEST_F(SystemdManagerTest, SandboxKeepsTheWorkAndScoresAtMostTwoAndAHalf) {
    ASSERT_EQ("", run(installService));
    const std::string unit = readFile(unitPath());
    const std::string folder =
        platform::executablePath().substr(0, platform::executablePath().find_last_of('/') + 1);
    for (const std::string& line : std::vector<std::string>{
             "RestrictAddressFamilies=AF_UNIX AF_INET AF_INET6 AF_NETLINK\n",
             "StateDirectory=Lumetra-RD-Service-Wrapper\n", "ReadWritePaths=" + folder + "\n"}) {
        EXPECT_NE(std::string::npos, unit.find(line)) << line;
    }
    for (const char* absent : {"PrivateUsers=", "User=", "PrivateNetwork="}) {
        EXPECT_EQ(std::string::npos, unit.find(absent)) << absent;
    }
    const platform::SubprocessResult analysis = platform::runSubprocess(
        {"systemd-analyze", "security", "--offline=true", unitPath()}, 60000, 1 << 20);
    if (!analysis.started) GTEST_SKIP() << "systemd-analyze is not installed (package systemd)";
    const std::string marker = "Overall exposure level for " + std::string(kUnit) + ": ";
    const std::size_t at = analysis.out.find(marker);
    if (at == std::string::npos && analysis.err.find("offline") != std::string::npos)
        GTEST_SKIP() << "cannot score offline: " << analysis.err;
    ASSERT_NE(std::string::npos, at) << analysis.out << analysis.err;
    const double score = std::stod(analysis.out.substr(at + marker.size()));
    EXPECT_LE(score, 2.5) << analysis.out;
}

// --- start -----------------------------------------------------------------

TEST_F(SystemdManagerTest, StartWaitsForTheStartJobAndChecksTheState) {
    writeUnit();
    systemctl.answer(kIsActive, 3, "inactive");
    systemctl.answer(kIsActive, 0, "active");
    EXPECT_EQ("", run(startService));
    EXPECT_TRUE(result);
    EXPECT_EQ((Calls{kIsActive, kStart, kIsActive}), systemctl.calls());
}

TEST_F(SystemdManagerTest, StartOfAnActiveUnit) {
    writeUnit();
    systemctl.answer(kIsActive, 0, "active");
    EXPECT_EQ("An instance of the application is already running.\n", run(startService));
    EXPECT_EQ(1u, systemctl.calls().size());
}

TEST_F(SystemdManagerTest, StartWithoutUnit) {
    EXPECT_EQ("The specified service does not exist.\n", run(startService));
    EXPECT_TRUE(systemctl.calls().empty());
}

TEST_F(SystemdManagerTest, StartRefusalsMapOntoErrorTexts) {
    writeUnit();
    systemctl.answer(kIsActive, 3, "failed");
    systemctl.answer(kStart, 5, "", "Failed to start x.service: Unit x.service not found.");
    systemctl.answer(kStart, 1, "", "Failed to start x.service: Access denied");
    systemctl.answer(kStart, 1, "", "Failed to start x.service: Unit x.service is masked.");
    systemctl.answer(kStart, 1, "", "Something unexpected");
    EXPECT_EQ("The specified service does not exist.\n", run(startService));
    EXPECT_EQ("The requested access was denied.\n", run(startService));
    EXPECT_EQ(
        "The service cannot be started, either because it is disabled or because it has "
        "no enabled devices associated with it.\n",
        run(startService));
    EXPECT_EQ("System error: 1066\n", run(startService));
}

TEST_F(SystemdManagerTest, MissingSystemctlMeansNoServiceDatabase) {
    writeUnit();
    settings.systemctl = "rdext-no-such-systemctl";
    EXPECT_EQ("The specified service control database does not exist.\n", run(startService));
}

TEST_F(SystemdManagerTest, HangingSystemctlIsKilledAndReported) {
    writeUnit();
    systemctl.hang(kIsActive);
    settings.commandTimeoutMs = 300;
    const std::uint32_t before = platform::tickCountMs();
    EXPECT_EQ("System error: 1053\n", run(startService));
    EXPECT_LT(platform::tickCountMs() - before, 10000u);
    ASSERT_GT(systemctl.lastPid(), 0);
    EXPECT_NE(0, ::kill(systemctl.lastPid(), 0)) << "the hanging systemctl still runs";
}

TEST_F(SystemdManagerTest, SystemctlThatClosesItsOutputButStaysIsKilledToo) {
    writeUnit();
    systemctl.hang(kIsActive, true);
    settings.commandTimeoutMs = 300;
    EXPECT_EQ("System error: 1053\n", run(stopService));
    ASSERT_GT(systemctl.lastPid(), 0);
    EXPECT_NE(0, ::kill(systemctl.lastPid(), 0)) << "the hanging systemctl still runs";
}

// --- stop --------------------------------------------------------------------

TEST_F(SystemdManagerTest, StopOfAnInactiveUnitSendsNothing) {
    writeUnit();
    systemctl.answer(kIsActive, 3, "inactive");
    EXPECT_EQ("", run(stopService));
    EXPECT_TRUE(result);
    EXPECT_EQ(Calls{kIsActive}, systemctl.calls());
}

TEST_F(SystemdManagerTest, StopOfAnActiveUnitPollsUntilInactive) {
    writeUnit();
    systemctl.answer(kIsActive, 0, "active");
    systemctl.answer(kIsActive, 0, "deactivating");
    systemctl.answer(kIsActive, 3, "inactive");
    EXPECT_EQ("", run(stopService));
    EXPECT_TRUE(result);
    EXPECT_EQ((Calls{kIsActive, kStop, kIsActive, kIsActive}), systemctl.calls());
}

TEST_F(SystemdManagerTest, StopWaitsOutAPendingStopWithoutSendingOne) {
    writeUnit();
    systemctl.answer(kIsActive, 0, "deactivating");
    systemctl.answer(kIsActive, 3, "failed");
    EXPECT_EQ("", run(stopService));
    EXPECT_TRUE(result);
    EXPECT_EQ((Calls{kIsActive, kIsActive}), systemctl.calls());
}

TEST_F(SystemdManagerTest, StopWithUnreadableState) {
    writeUnit();
    systemctl.answer(kIsActive, 4, "unknown");
    EXPECT_EQ("The specified service does not exist.\n", run(stopService));
}

TEST_F(SystemdManagerTest, StopWhenNotRootIsDenied) {
    writeUnit();
    settings.isPrivileged = notPrivileged;
    EXPECT_EQ("The requested access was denied.\n", run(stopService));
    EXPECT_TRUE(systemctl.calls().empty());
}

// --- remove ------------------------------------------------------------------

TEST_F(SystemdManagerTest, RemoveDisablesDeletesAndReloads) {
    writeUnit();
    EXPECT_EQ("", run(removeService));
    EXPECT_TRUE(result);
    EXPECT_FALSE(unitExists());
    EXPECT_EQ((Calls{kDisable, "daemon-reload"}), systemctl.calls());
}

// -remove stops first; for a missing unit both steps say so, and nothing is sent.
TEST_F(SystemdManagerTest, RemoveCommandOfAMissingUnitPrintsTwice) {
    EXPECT_EQ(
        "The specified service does not exist.\n"
        "The specified service does not exist.\n",
        run(stopThenRemoveService));
    EXPECT_FALSE(result);
    EXPECT_TRUE(systemctl.calls().empty());
}

TEST_F(SystemdManagerTest, RemoveCommandStopsARunningUnitThenRemovesIt) {
    writeUnit();
    systemctl.answer(kIsActive, 0, "active");
    systemctl.answer(kIsActive, 3, "inactive");
    EXPECT_EQ("", run(stopThenRemoveService));
    EXPECT_TRUE(result);
    EXPECT_FALSE(unitExists());
    EXPECT_EQ((Calls{kIsActive, kStop, kIsActive, kDisable, "daemon-reload"}), systemctl.calls());
}

TEST_F(SystemdManagerTest, RemoveRefusedKeepsTheUnit) {
    writeUnit();
    systemctl.answer(kDisable, 1, "",
                     "Failed to disable unit: Interactive authentication required.");
    EXPECT_EQ("The requested access was denied.\n", run(removeService));
    EXPECT_TRUE(unitExists());
}

}  // namespace
