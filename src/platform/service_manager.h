#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/service_states.h"

namespace platform {

// System error codes, in the Windows numbering on every platform: the
// systemd mapping converts its refusals into these once, at its boundary.
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorInvalidName = 123;
constexpr std::uint32_t kErrorServiceRequestTimeout = 1053;
constexpr std::uint32_t kErrorServiceAlreadyRunning = 1056;
constexpr std::uint32_t kErrorInvalidServiceAccount = 1057;
constexpr std::uint32_t kErrorServiceDisabled = 1058;
constexpr std::uint32_t kErrorCircularDependency = 1059;
constexpr std::uint32_t kErrorServiceDoesNotExist = 1060;
constexpr std::uint32_t kErrorDatabaseDoesNotExist = 1065;
constexpr std::uint32_t kErrorServiceSpecificError = 1066;
constexpr std::uint32_t kErrorServiceMarkedForDelete = 1072;
constexpr std::uint32_t kErrorServiceExists = 1073;
constexpr std::uint32_t kErrorDuplicateServiceName = 1078;

// The part of a service's status that service control reads.
struct ServiceStatus {
    std::uint32_t currentState = 0;
    // The service's estimate, in milliseconds, of its pending operation.
    std::uint32_t waitHint = 0;
    // Why a stopped service stopped: a system error code (kErrorServiceSpecificError
    // when the service-specific code says more), 0 after a clean stop.
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceSpecificExitCode = 0;
};

// What a service is opened for: everything (create, start, delete), only
// stopping it (stop, query status, enumerate dependents), or only querying
// its status.
enum class ServiceAccess { kAll, kStop, kQuery };

// Opaque handle of an open manager or service; kNoServiceHandle is none.
using ServiceHandle = std::uintptr_t;
constexpr ServiceHandle kNoServiceHandle = 0;

// The platform's service manager, reduced to what installing, starting,
// stopping and removing one service needs. Every call that can fail returns
// false or kNoServiceHandle and leaves the cause in lastError(), until the
// next call. Not thread-safe: one instance per thread.
class ServiceManager {
  public:
    virtual ~ServiceManager() = default;

    // Full path of the running executable.
    virtual bool executablePath(std::string& path) = 0;
    // Opens the manager of the local computer with full access.
    virtual ServiceHandle openManager() = 0;
    // Opens it only to look services up and query them, which needs no
    // administrator where the platform allows that.
    virtual ServiceHandle openManagerForQuery() { return openManager(); }
    virtual ServiceHandle openService(ServiceHandle manager, const std::string& name,
                                      ServiceAccess access) = 0;
    // Registers `name` (also its display name) as an own-process service that
    // starts at boot and runs `commandPath` with no arguments.
    virtual ServiceHandle createService(ServiceHandle manager, const std::string& name,
                                        const std::string& commandPath) = 0;
    // Starts the service with no arguments; does not wait until it runs.
    virtual bool startService(ServiceHandle service) = 0;
    // Makes the manager restart the service after a crash or a stop with a
    // non-zero exit code: after 5 s, 30 s and 60 s, the count reset after a
    // day without failure. Where the manager has this in the service's own
    // definition (a systemd unit's Restart=) there is nothing to do.
    virtual bool setRestartOnFailure(ServiceHandle) { return true; }
    // Limits the service to the privileges its work needs and gives it a
    // SID of its own, so that access lists can name it. Where the service's
    // own definition already confines it (the systemd unit's sandbox) there
    // is nothing to do.
    virtual bool limitRights(ServiceHandle) { return true; }
    virtual bool queryStatus(ServiceHandle service, ServiceStatus& status) = 0;
    // Sends the stop control; `status` receives the state that follows it.
    virtual bool sendStop(ServiceHandle service, ServiceStatus& status) = 0;
    // Removes the registration (Windows: marks it for deletion).
    virtual bool deleteService(ServiceHandle service) = 0;
    // Closes a handle from openManager, openService or createService.
    virtual void close(ServiceHandle handle) = 0;
    virtual std::uint32_t lastError() const = 0;
    // Millisecond tick counter wrapping at 2^32, and the matching sleep.
    virtual std::uint32_t tickCountMs() = 0;
    virtual void sleepMs(std::uint32_t milliseconds) = 0;
};

// Owns one handle of a ServiceManager and closes it when destroyed.
class ServiceHandleOwner {
  public:
    ServiceHandleOwner(ServiceManager& manager, ServiceHandle handle)
        : manager_(manager), handle_(handle) {}
    ~ServiceHandleOwner() {
        if (handle_ != kNoServiceHandle) manager_.close(handle_);
    }
    ServiceHandleOwner(const ServiceHandleOwner&) = delete;
    ServiceHandleOwner& operator=(const ServiceHandleOwner&) = delete;

    ServiceHandle get() const { return handle_; }
    explicit operator bool() const { return handle_ != kNoServiceHandle; }

  private:
    ServiceManager& manager_;
    ServiceHandle handle_;
};

// Settings of the platform's manager; only the systemd mapping reads them.
struct ServiceManagerSettings {
    // Folder that receives "<name>.service"; empty: the system's,
    // /etc/systemd/system (named in the Linux source only, so that no Unix
    // path sits in the Windows executable).
    std::string unitDirectory;
    // The systemctl program, looked up on PATH when it holds no '/'.
    std::string systemctl = "systemctl";
    // Longest wait for one systemctl call before it is killed.
    unsigned commandTimeoutMs = 60000;
    // Whether the caller may manage services; null means "effective user is root".
    bool (*isPrivileged)() = nullptr;
};

// Windows: the service control manager (ADVAPI32). Linux: systemd.
std::unique_ptr<ServiceManager> makeServiceManager(
    const ServiceManagerSettings& settings = ServiceManagerSettings());

}  // namespace platform
