#include <windows.h>

#include <array>

#include "platform/service_manager.h"
#include "platform/wide_text_win32.h"

namespace platform {
namespace {

// SERVICE_STOP | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS (0x2C).
constexpr DWORD kStopAccess = SERVICE_STOP | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS;

DWORD rightsFor(ServiceAccess access) {
    switch (access) {
        case ServiceAccess::kStop:
            return kStopAccess;
        case ServiceAccess::kQuery:
            return SERVICE_QUERY_STATUS;
        case ServiceAccess::kAll:
            break;
    }
    return SERVICE_ALL_ACCESS;
}

// Restart after a failure: the first after 5 s, the second after 30 s, every
// later one after 60 s; a day without failure starts the count afresh.
constexpr std::array<DWORD, 3> kRestartDelaysMs = {5000, 30000, 60000};
constexpr DWORD kFailureCountResetSeconds = 24 * 60 * 60;

// The privileges the service keeps, as a multi-string. It serves loopback
// sockets, reads and writes files its folders' access lists already grant
// SYSTEM, and asks the system for the listener table's owners. A user may
// deny SYSTEM access to a process of their own, and a listener whose owner
// cannot be read is trusted as before the owner check: SeDebugPrivilege
// (enabled in LocalSystem's token) opens every process but protected ones
// for limited query, so such a listener is still named. Traversing folders
// needs SeChangeNotifyPrivilege, which Windows never takes away; it is
// listed so that the list says all the service uses.
constexpr wchar_t kRequiredPrivileges[] = L"SeChangeNotifyPrivilege\0SeDebugPrivilege\0";

SC_HANDLE toScHandle(ServiceHandle handle) { return reinterpret_cast<SC_HANDLE>(handle); }

// The manager splits an unquoted path at the first blank and tries each
// prefix as a program ("C:\Program.exe" before "C:\Program Files\..."), so a
// path with blanks is registered in quotes. Paths without blanks stay as is.
std::string serviceCommandLine(const std::string& path) {
    if (path.find_first_of(" \t") == std::string::npos) return path;
    return "\"" + path + "\"";
}

class Win32ServiceManager : public ServiceManager {
  public:
    bool executablePath(std::string& path) override {
        wchar_t buffer[32768];
        const DWORD size = static_cast<DWORD>(sizeof buffer / sizeof buffer[0]);
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer, size);
        if (n == 0) return failed();
        // A full buffer means a truncated path: never register half a path.
        if (n >= size) return failed(ERROR_INSUFFICIENT_BUFFER);
        path = narrow(buffer, static_cast<int>(n));
        return true;
    }

    ServiceHandle openManager() override {
        return check(::OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_ALL_ACCESS));
    }

    ServiceHandle openManagerForQuery() override {
        return check(::OpenSCManagerA(nullptr, SERVICES_ACTIVE_DATABASEA, SC_MANAGER_CONNECT));
    }

    ServiceHandle openService(ServiceHandle manager, const std::string& name,
                              ServiceAccess access) override {
        return check(::OpenServiceA(toScHandle(manager), name.c_str(), rightsFor(access)));
    }

    ServiceHandle createService(ServiceHandle manager, const std::string& name,
                                const std::string& commandPath) override {
        // Wide, so a folder name outside the code page reaches the manager whole.
        const std::wstring commandLine = widen(serviceCommandLine(commandPath));
        const std::wstring wideName = widen(name);
        return check(::CreateServiceW(toScHandle(manager), wideName.c_str(), wideName.c_str(),
                                      SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                      SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, commandLine.c_str(),
                                      nullptr, nullptr, nullptr, nullptr, nullptr));
    }

    bool startService(ServiceHandle service) override {
        return ::StartServiceA(toScHandle(service), 0, nullptr) != FALSE || failed();
    }

    bool queryStatus(ServiceHandle service, ServiceStatus& status) override {
        SERVICE_STATUS_PROCESS info{};
        DWORD needed = 0;
        if (!::QueryServiceStatusEx(toScHandle(service), SC_STATUS_PROCESS_INFO,
                                    reinterpret_cast<LPBYTE>(&info), sizeof info, &needed)) {
            return failed();
        }
        status = ServiceStatus{info.dwCurrentState, info.dwWaitHint, info.dwWin32ExitCode,
                               info.dwServiceSpecificExitCode};
        return true;
    }

    bool setRestartOnFailure(ServiceHandle service) override {
        SC_ACTION actions[kRestartDelaysMs.size()];
        for (std::size_t i = 0; i < kRestartDelaysMs.size(); ++i) {
            actions[i] = SC_ACTION{SC_ACTION_RESTART, kRestartDelaysMs[i]};
        }
        SERVICE_FAILURE_ACTIONSW failure{};
        failure.dwResetPeriod = kFailureCountResetSeconds;
        failure.cActions = static_cast<DWORD>(kRestartDelaysMs.size());
        failure.lpsaActions = actions;
        if (!::ChangeServiceConfig2W(toScHandle(service), SERVICE_CONFIG_FAILURE_ACTIONS,
                                     &failure)) {
            return failed();
        }
        // Without the flag the actions follow only a crash, not a stop that
        // reports a non-zero exit code (a server that could not start).
        // A manager without the level (Wine's) has the actions for crashes.
        SERVICE_FAILURE_ACTIONS_FLAG flag{TRUE};
        return ::ChangeServiceConfig2W(toScHandle(service), SERVICE_CONFIG_FAILURE_ACTIONS_FLAG,
                                       &flag) != FALSE ||
               ::GetLastError() == ERROR_INVALID_LEVEL || failed();
    }

    bool limitRights(ServiceHandle service) override {
        SERVICE_REQUIRED_PRIVILEGES_INFOW privileges{const_cast<wchar_t*>(kRequiredPrivileges)};
        // Unrestricted: the SID (NT SERVICE\<name>) joins the token so access
        // lists may name it; the token is otherwise as it was.
        SERVICE_SID_INFO sid{SERVICE_SID_TYPE_UNRESTRICTED};
        return configure(service, SERVICE_CONFIG_REQUIRED_PRIVILEGES_INFO, &privileges) &&
               configure(service, SERVICE_CONFIG_SERVICE_SID_INFO, &sid);
    }

    bool sendStop(ServiceHandle service, ServiceStatus& status) override {
        SERVICE_STATUS info{};
        if (!::ControlService(toScHandle(service), SERVICE_CONTROL_STOP, &info)) return failed();
        status = ServiceStatus{info.dwCurrentState, info.dwWaitHint};
        return true;
    }

    bool deleteService(ServiceHandle service) override {
        return ::DeleteService(toScHandle(service)) != FALSE || failed();
    }

    void close(ServiceHandle handle) override { ::CloseServiceHandle(toScHandle(handle)); }

    std::uint32_t lastError() const override { return lastError_; }

    std::uint32_t tickCountMs() override { return static_cast<std::uint32_t>(::GetTickCount()); }

    void sleepMs(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }

  private:
    // Records the calling thread's error right after the failed call, before
    // anything else can overwrite it.
    bool failed(DWORD error = ::GetLastError()) {
        lastError_ = error;
        return false;
    }

    // Windows has had both levels of limitRights since Vista; a manager
    // without them (Wine's) answers ERROR_INVALID_LEVEL and has no such
    // limits to set, as for the failure actions' flag.
    bool configure(ServiceHandle service, DWORD level, void* info) {
        return ::ChangeServiceConfig2W(toScHandle(service), level, info) != FALSE ||
               ::GetLastError() == ERROR_INVALID_LEVEL || failed();
    }

    ServiceHandle check(SC_HANDLE handle) {
        if (handle == nullptr) failed();
        return reinterpret_cast<ServiceHandle>(handle);
    }

    std::uint32_t lastError_ = 0;
};

}  // namespace

std::unique_ptr<ServiceManager> makeServiceManager(const ServiceManagerSettings&) {
    return std::make_unique<Win32ServiceManager>();
}

}  // namespace platform
