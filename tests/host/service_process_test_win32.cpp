// The service command line as a process, against the real service control
// manager: a copy of the program with its own config.ini registers itself,
// the manager starts it, it serves on its port, and the commands stop and
// remove it again. The service name is fixed, so every test begins and ends
// with no registration and no running service process.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/service_query.h"

#include <chrono>
#include <string>
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

// What a command that did `what` ("installed", "started", ...) prints.
std::string succeeded(const std::string& what) {
    return std::string(kName) + " was " + what + " successfully.\n";
}

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

    // Runs a command, checks its exit code and what it printed, and returns it
    // for the checks of its duration.
    CommandResult expectRun(const std::vector<std::string>& arguments, int exitCode,
                            const std::string& output) {
        const CommandResult result = run(arguments);
        EXPECT_EQ(exitCode, result.exitCode) << arguments[0] << ": " << result.output;
        EXPECT_EQ(output, result.output) << arguments[0];
        return result;
    }

    // The discovery answer of the service. A start succeeds only once the
    // service listens, so no wait is needed after it.
    std::string discovery() { return testing_support::exchange(base, kDiscovery); }

    // Installs and starts the service and checks that it answers discovery.
    void installAndStart() {
        ASSERT_EQ(0, run({"-install", "0"}).exitCode);
        const CommandResult start = run({"-start", "0"});
        ASSERT_EQ(0, start.exitCode) << start.output;
        const std::string answer = discovery();
        ASSERT_EQ(0u, answer.find("HTTP/1.1 200 OK\r\n")) << answer;
        ASSERT_NE(std::string::npos, answer.find("<RDService status=\"READY\"")) << answer;
    }
};

TEST_F(ServiceProcessTest, InstallTwiceReportsThatTheServiceExists) {
    expectRun({"-install", "0"}, 0, succeeded("installed"));
    const ServiceState state = queryService();
    EXPECT_TRUE(state.registered);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), state.state);  // installing does not start
    const std::string command = testing_support::registeredServiceCommand(kName);
    EXPECT_TRUE(samePath(program, command) || samePath("\"" + program + "\"", command))
        << program << " / " << command;
    // Its event source, whose messages are in the program itself.
    const testing_support::EventSourceValues source = testing_support::registeredEventSource(kName);
    EXPECT_TRUE(samePath(program, source.messageFile)) << source.messageFile;
    EXPECT_EQ(7ul, source.typesSupported);
    EXPECT_EQ("Forwards no longer find the device.\r\nno port",
              testing_support::formatModuleMessage(source.messageFile, 2000, "no port"));

    expectRun({"-install", "0"}, 1, "The specified service already exists.\n");
}

TEST_F(ServiceProcessTest, StartedServiceAnswersDiscoveryAndRefusesASecondStart) {
    ASSERT_EQ(0, run({"-install", "0"}).exitCode);
    expectRun({"-start", "0"}, 0, succeeded("started"));
    // Reported running only once it listens: no wait needed after the command.
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), queryService().state);
    EXPECT_TRUE(portOpen(base));

    const std::string answer = discovery();
    EXPECT_EQ(0u, answer.find("HTTP/1.1 200 OK\r\n")) << answer;
    EXPECT_NE(std::string::npos, answer.find("<RDService status=\"READY\"")) << answer;
    const ServiceState state = queryService();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_RUNNING), state.state);
    EXPECT_NE(0u, state.processId);
    // The manager runs the registered copy, not this test or the original.
    const std::string image = processImage(state.processId);
    EXPECT_TRUE(samePath(program, image)) << program << " / " << image;

    expectRun({"-start", "0"}, 1, "An instance of the application is already running.\n");
}

TEST_F(ServiceProcessTest, StopEndsTheServiceQuicklyAndClosesItsPort) {
    ASSERT_NO_FATAL_FAILURE(installAndStart());
    const ServiceState running = queryService();
    ServiceProcess process(running.processId);
    ASSERT_TRUE(process.valid()) << running.processId;

    EXPECT_LT(expectRun({"-stop", "0"}, 0, succeeded("stopped")).seconds, 5.0);
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), queryService().state);
    EXPECT_FALSE(portOpen(base));
    EXPECT_TRUE(process.exitsWithin(5000));
    EXPECT_EQ(0u, process.exitCode());

    // Already stopped: nothing to send, still a success.
    expectRun({"-stop", "0"}, 0, succeeded("stopped"));
    EXPECT_TRUE(queryService().registered);
}

TEST_F(ServiceProcessTest, RemoveStopsARunningServiceFirst) {
    ASSERT_NO_FATAL_FAILURE(installAndStart());
    ServiceProcess process(queryService().processId);
    ASSERT_TRUE(process.valid());

    expectRun({"-remove", "0"}, 0, succeeded("removed"));
    EXPECT_TRUE(process.exitsWithin(5000));
    EXPECT_FALSE(portOpen(base));
    EXPECT_FALSE(queryService().registered);
    EXPECT_EQ("", testing_support::registeredEventSource(kName).messageFile);

    expectRun({"-start", "0"}, 1, kDoesNotExist);
}

TEST_F(ServiceProcessTest, ServerThatCannotStartLeavesTheServiceStopped) {
    auto busy = testing_support::occupyPorts(base, 10, false);
    ASSERT_FALSE(busy.empty());
    ASSERT_EQ(0, run({"-install", "0"}).exitCode);
    // The start waits for the service's verdict, so it is stopped already.
    expectRun({"-start", "0"}, 1,
              "The service stopped while starting (exit code 1066, service-specific code 1).\n");
    const ServiceState state = queryService();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_STOPPED), state.state);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR), state.win32ExitCode);
    EXPECT_EQ(1u, state.specificExitCode);
    // The service has no console: its reason is in its log, with a timestamp.
    const std::string log = copy.folder().read("rdserver_ext.log");
    EXPECT_NE(std::string::npos, log.find("] Server starting failed on ports " +
                                          std::to_string(base) + "-" + std::to_string(base + 9)))
        << log;

    // Nothing waits for an acknowledgement that cannot come.
    EXPECT_LT(expectRun({"-stop", "0"}, 0, succeeded("stopped")).seconds, 5.0);

    // Once the ports are free the same registration starts and serves.
    busy.clear();
    expectRun({"-start", "0"}, 0, succeeded("started"));
    EXPECT_NE(std::string::npos, discovery().find("<RDService status=\"READY\""));
}

TEST_F(ServiceProcessTest, RemoveOfAMissingServiceFailsTwice) {
    expectRun({"-remove", "0"}, 1, kDoesNotExist + kDoesNotExist);
}

TEST_F(ServiceProcessTest, ClosingWaitIsTwoSecondsUnlessArgumentTwoIsZero) {
    EXPECT_GE(expectRun({"-install"}, 0, succeeded("installed")).seconds, 1.9);
    EXPECT_LT(expectRun({"-remove", "0"}, 0, succeeded("removed")).seconds, 1.5);

    // The number is no duration: 5 waits the same two seconds.
    const CommandResult five = run({"-install", "5"});
    EXPECT_EQ(0, five.exitCode);
    EXPECT_GE(five.seconds, 1.9);
    EXPECT_LT(five.seconds, 4.5);
}

TEST_F(ServiceProcessTest, LowerCaseIeForcesSuccessUpperCaseDoesNot) {
    // The failure is still printed.
    EXPECT_GE(expectRun({"-stop", "1", "/ie"}, 0, kDoesNotExist).seconds, 1.9);
    expectRun({"-stop", "0", "/IE"}, 1, kDoesNotExist);
}

TEST_F(ServiceProcessTest, UnknownOrUpperCaseOptionPrintsUsage) {
    EXPECT_GE(expectRun({"-Install"}, 1, kUsage).seconds, 1.9);
    EXPECT_FALSE(queryService().registered);
    EXPECT_LT(expectRun({"-restart", "0"}, 1, kUsage).seconds, 1.5);
    EXPECT_LT(expectRun({"-restart", "0", "/ie"}, 0, kUsage).seconds, 1.5);
}

}  // namespace
