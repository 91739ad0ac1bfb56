// The service command line as a process, against the real service control
// manager: a copy of the program with its own config.ini registers itself,
// the manager starts it, it serves on its port, and the commands stop and
// remove it again. The service name is fixed, so every test begins and ends
// with no registration and no running service process.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/service_query.h"

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/loopback.h"
#include "support/program_copy.h"

using testing_support::ChildProcess;

namespace {

const char kName[] = "Lumetra_RD_ServiceExt";
const std::string kUsage = "Usage:\nApp.exe -[install|start|stop|remove|console|check]\n";
const std::string kDoesNotExist = "The specified service does not exist.\n";
const std::string kDiscovery = "RDSERVICE / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

// Longest wait for one command: past the 30 s stop limit, so that even a
// stop that gives up ends within it.
constexpr int kCommandTimeoutMs = 40000;

struct CommandResult {
    int exitCode = -1;
    std::string output;  // without the start-up lines
    double seconds = 0;
};

// Drops the "Command: " and "Working directory..." lines every run prints
// first. Standard output is in text mode, so each "\n" arrives as "\r\n";
// lines are compared in the program's own spelling.
std::string withoutStartupLines(const std::string& output) {
    std::string rest;
    std::size_t begin = 0;
    while (begin < output.size()) {
        std::size_t end = output.find('\n', begin);
        end = end == std::string::npos ? output.size() : end + 1;
        std::string line = output.substr(begin, end - begin);
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) {
            line.erase(line.size() - 2, 1);
        }
        if (line.rfind("Command: ", 0) != 0 && line.rfind("Working directory", 0) != 0) {
            rest += line;
        }
        begin = end;
    }
    return rest;
}

// What the manager knows about the service right now.
struct ServiceState {
    bool registered = false;
    DWORD state = 0;
    DWORD processId = 0;
    DWORD win32ExitCode = 0;
    DWORD specificExitCode = 0;
};

ServiceState queryService() {
    ServiceState result;
    SC_HANDLE scm = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = scm ? ::OpenServiceA(scm, kName, SERVICE_QUERY_STATUS) : nullptr;
    if (service != nullptr) {
        result.registered = true;
        SERVICE_STATUS_PROCESS info{};
        DWORD needed = 0;
        if (::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<LPBYTE>(&info),
                                   sizeof info, &needed)) {
            result.state = info.dwCurrentState;
            result.processId = info.dwProcessId;
            result.win32ExitCode = info.dwWin32ExitCode;
            result.specificExitCode = info.dwServiceSpecificExitCode;
        }
        ::CloseServiceHandle(service);
    }
    if (scm) ::CloseServiceHandle(scm);
    return result;
}

// Full path of the executable a process runs; empty when it cannot be read.
std::string processImage(DWORD pid) {
    std::string image;
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process != nullptr) {
        char buffer[MAX_PATH * 2];
        DWORD size = sizeof buffer;
        if (::QueryFullProcessImageNameA(process, 0, buffer, &size)) image.assign(buffer, size);
        ::CloseHandle(process);
    }
    return image;
}

bool samePath(const std::string& a, const std::string& b) {
    return ::lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// A process of the service, watched (and if need be ended) by its pid.
class ServiceProcess {
  public:
    explicit ServiceProcess(DWORD pid)
        : handle_(pid != 0 ? ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE |
                                               PROCESS_QUERY_LIMITED_INFORMATION,
                                           FALSE, pid)
                           : nullptr) {}
    ~ServiceProcess() {
        if (handle_ != nullptr) ::CloseHandle(handle_);
    }
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    bool valid() const { return handle_ != nullptr; }
    bool exitsWithin(int timeoutMs) const {
        return handle_ == nullptr ||
               ::WaitForSingleObject(handle_, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
    }
    DWORD exitCode() const {
        DWORD code = STILL_ACTIVE;
        if (handle_ != nullptr) ::GetExitCodeProcess(handle_, &code);
        return code;
    }
    void terminate() {
        if (handle_ != nullptr && !exitsWithin(0)) {
            ::TerminateProcess(handle_, 1);
            exitsWithin(5000);
        }
    }

  private:
    HANDLE handle_;
};

bool portOpen(int port) {
    testing_support::LoopbackSocket socket;
    return socket.connectTo(port);
}

class ServiceProcessTest : public testing_support::ProgramCopyTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(ProgramCopyTest::SetUp());
        removeLeftovers();
    }

    void TearDown() override { removeLeftovers(); }

    // Removes any registration of the service and ends a process of it that
    // outlives the removal, by the pid the manager reported for it.
    void removeLeftovers() {
        const ServiceState before = queryService();
        ServiceProcess process(before.state != SERVICE_STOPPED ? before.processId : 0);
        if (before.registered) {
            ChildProcess remove(program, {"-remove", "0"}, copy.environment());
            remove.wait(kCommandTimeoutMs);
        }
        if (!process.exitsWithin(3000)) {
            ADD_FAILURE() << "service process " << before.processId << " outlived -remove";
            process.terminate();
        }
    }

    CommandResult run(const std::vector<std::string>& arguments) {
        const auto start = std::chrono::steady_clock::now();
        ChildProcess command(program, arguments, copy.environment());
        CommandResult result;
        result.exitCode = command.wait(kCommandTimeoutMs);
        result.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        result.output = withoutStartupLines(command.output());
        return result;
    }

    // The discovery answer of the service, polled until it listens (at most ~15 s).
    std::string awaitDiscovery() {
        for (int attempt = 0; attempt < 75; ++attempt) {
            if (portOpen(base)) {
                return testing_support::exchange(base, kDiscovery);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        return "";
    }

    // Installs and starts the service and waits until it answers discovery.
    void installAndStart() {
        ASSERT_EQ(0, run({"-install", "0"}).exitCode);
        const CommandResult start = run({"-start", "0"});
        ASSERT_EQ(0, start.exitCode) << start.output;
        const std::string answer = awaitDiscovery();
        ASSERT_EQ(0u, answer.find("HTTP/1.1 200 OK\r\n")) << answer;
        ASSERT_NE(std::string::npos, answer.find("<RDService status=\"READY\"")) << answer;
    }
};

TEST_F(ServiceProcessTest, InstallTwiceReportsThatTheServiceExists) {
    const CommandResult first = run({"-install", "0"});
    EXPECT_EQ(0, first.exitCode);
    EXPECT_EQ("Lumetra_RD_ServiceExt was installed successfully.\n", first.output);
    const ServiceState state = queryService();
    EXPECT_TRUE(state.registered);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), state.state);  // installing does not start
    const std::string command = testing_support::registeredServiceCommand(kName);
    EXPECT_TRUE(samePath(program, command) || samePath("\"" + program + "\"", command))
        << program << " / " << command;

    const CommandResult second = run({"-install", "0"});
    EXPECT_EQ(1, second.exitCode);
    EXPECT_EQ("The specified service already exists.\n", second.output);
}

TEST_F(ServiceProcessTest, StartedServiceAnswersDiscoveryAndRefusesASecondStart) {
    ASSERT_EQ(0, run({"-install", "0"}).exitCode);
    const CommandResult start = run({"-start", "0"});
    EXPECT_EQ(0, start.exitCode);
    EXPECT_EQ("Lumetra_RD_ServiceExt was started successfully.\n", start.output);
    // Reported running only once it listens: no wait needed after the command.
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), queryService().state);
    EXPECT_TRUE(portOpen(base));

    const std::string answer = awaitDiscovery();
    EXPECT_EQ(0u, answer.find("HTTP/1.1 200 OK\r\n")) << answer;
    EXPECT_NE(std::string::npos, answer.find("<RDService status=\"READY\"")) << answer;
    const ServiceState state = queryService();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), state.state);
    EXPECT_NE(0u, state.processId);
    // The manager runs the registered copy, not this test or the original.
    const std::string image = processImage(state.processId);
    EXPECT_TRUE(samePath(program, image)) << program << " / " << image;

    const CommandResult again = run({"-start", "0"});
    EXPECT_EQ(1, again.exitCode);
    EXPECT_EQ("An instance of the application is already running.\n", again.output);
}

TEST_F(ServiceProcessTest, StopEndsTheServiceQuicklyAndClosesItsPort) {
    ASSERT_NO_FATAL_FAILURE(installAndStart());
    const ServiceState running = queryService();
    ServiceProcess process(running.processId);
    ASSERT_TRUE(process.valid()) << running.processId;

    const CommandResult stop = run({"-stop", "0"});
    EXPECT_EQ(0, stop.exitCode);
    EXPECT_EQ("Lumetra_RD_ServiceExt was stopped successfully.\n", stop.output);
    EXPECT_LT(stop.seconds, 5.0);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), queryService().state);
    EXPECT_FALSE(portOpen(base));
    EXPECT_TRUE(process.exitsWithin(5000));
    EXPECT_EQ(0u, process.exitCode());

    // Already stopped: nothing to send, still a success.
    const CommandResult again = run({"-stop", "0"});
    EXPECT_EQ(0, again.exitCode);
    EXPECT_EQ("Lumetra_RD_ServiceExt was stopped successfully.\n", again.output);
    EXPECT_TRUE(queryService().registered);
}

TEST_F(ServiceProcessTest, RemoveStopsARunningServiceFirst) {
    ASSERT_NO_FATAL_FAILURE(installAndStart());
    ServiceProcess process(queryService().processId);
    ASSERT_TRUE(process.valid());

    const CommandResult remove = run({"-remove", "0"});
    EXPECT_EQ(0, remove.exitCode);
    EXPECT_EQ("Lumetra_RD_ServiceExt was removed successfully.\n", remove.output);
    EXPECT_TRUE(process.exitsWithin(5000));
    EXPECT_FALSE(portOpen(base));
    EXPECT_FALSE(queryService().registered);

    const CommandResult start = run({"-start", "0"});
    EXPECT_EQ(1, start.exitCode);
    EXPECT_EQ(kDoesNotExist, start.output);
}

TEST_F(ServiceProcessTest, ServerThatCannotStartLeavesTheServiceStopped) {
    auto busy = testing_support::occupyPorts(base, 10, false);
    ASSERT_FALSE(busy.empty());
    ASSERT_EQ(0, run({"-install", "0"}).exitCode);
    const CommandResult start = run({"-start", "0"});
    EXPECT_EQ(1, start.exitCode);  // the start waits for the service's verdict
    EXPECT_EQ("The service stopped while starting (exit code 1066, service-specific code 1).\n",
              start.output);

    // The process may be gone before it is first seen; when seen, it must end.
    ServiceState state = queryService();
    std::unique_ptr<ServiceProcess> process;
    for (int attempt = 0; attempt < 75 && state.state != SERVICE_STOPPED; ++attempt) {
        if (!process && state.processId != 0) {
            process = std::make_unique<ServiceProcess>(state.processId);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        state = queryService();
    }
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), state.state);
    if (process) {
        EXPECT_TRUE(process->exitsWithin(5000));
    }
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR), state.win32ExitCode);
    EXPECT_EQ(1u, state.specificExitCode);
    // The service has no console: its reason is in its log, with a timestamp.
    const std::string log = copy.folder().read("rdserver_ext.log");
    EXPECT_NE(std::string::npos, log.find("] Server starting failed on ports " +
                                          std::to_string(base) + "-" + std::to_string(base + 9)))
        << log;

    // Nothing waits for an acknowledgement that cannot come.
    const CommandResult stop = run({"-stop", "0"});
    EXPECT_EQ(0, stop.exitCode);
    EXPECT_EQ("Lumetra_RD_ServiceExt was stopped successfully.\n", stop.output);
    EXPECT_LT(stop.seconds, 5.0);

    // Once the ports are free the same registration starts and serves.
    busy.clear();
    const CommandResult again = run({"-start", "0"});
    EXPECT_EQ(0, again.exitCode) << again.output;
    EXPECT_NE(std::string::npos, awaitDiscovery().find("<RDService status=\"READY\""));
}

TEST_F(ServiceProcessTest, RemoveOfAMissingServiceFailsTwice) {
    const CommandResult remove = run({"-remove", "0"});
    EXPECT_EQ(1, remove.exitCode);
    EXPECT_EQ(kDoesNotExist + kDoesNotExist, remove.output);
}

TEST_F(ServiceProcessTest, ClosingWaitIsTwoSecondsUnlessArgumentTwoIsZero) {
    const CommandResult waited = run({"-install"});
    EXPECT_EQ(0, waited.exitCode);
    EXPECT_EQ("Lumetra_RD_ServiceExt was installed successfully.\n", waited.output);
    EXPECT_GE(waited.seconds, 1.9);

    const CommandResult quick = run({"-remove", "0"});
    EXPECT_EQ(0, quick.exitCode);
    EXPECT_EQ("Lumetra_RD_ServiceExt was removed successfully.\n", quick.output);
    EXPECT_LT(quick.seconds, 1.5);

    // The number is no duration: 5 waits the same two seconds.
    const CommandResult five = run({"-install", "5"});
    EXPECT_EQ(0, five.exitCode);
    EXPECT_GE(five.seconds, 1.9);
    EXPECT_LT(five.seconds, 4.5);
}

TEST_F(ServiceProcessTest, LowerCaseIeForcesSuccessUpperCaseDoesNot) {
    const CommandResult forced = run({"-stop", "1", "/ie"});
    EXPECT_EQ(0, forced.exitCode);
    EXPECT_EQ(kDoesNotExist, forced.output);  // the failure is still printed
    EXPECT_GE(forced.seconds, 1.9);

    const CommandResult notForced = run({"-stop", "0", "/IE"});
    EXPECT_EQ(1, notForced.exitCode);
    EXPECT_EQ(kDoesNotExist, notForced.output);
}

TEST_F(ServiceProcessTest, UnknownOrUpperCaseOptionPrintsUsage) {
    const CommandResult upper = run({"-Install"});
    EXPECT_EQ(1, upper.exitCode);
    EXPECT_EQ(kUsage, upper.output);
    EXPECT_GE(upper.seconds, 1.9);
    EXPECT_FALSE(queryService().registered);

    const CommandResult unknown = run({"-restart", "0"});
    EXPECT_EQ(1, unknown.exitCode);
    EXPECT_EQ(kUsage, unknown.output);
    EXPECT_LT(unknown.seconds, 1.5);

    const CommandResult forced = run({"-restart", "0", "/ie"});
    EXPECT_EQ(0, forced.exitCode);
    EXPECT_EQ(kUsage, forced.output);
    EXPECT_LT(forced.seconds, 1.5);
}

}  // namespace
