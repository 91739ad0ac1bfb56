#include "host/service_control.h"

#include <algorithm>
#include <cstdio>
#include <functional>

using platform::ServiceAccess;
using platform::ServiceHandle;
using platform::ServiceHandleOwner;
using platform::ServiceManager;
using platform::ServiceStatus;

namespace {

struct ErrorText {
    std::uint32_t code;
    const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    {platform::kErrorAccessDenied, "The requested access was denied."},
    {platform::kErrorInvalidHandle,
     "The handle to the specified service control manager database is invalid."},
    {platform::kErrorInvalidParameter, "Invalid parameter."},
    {platform::kErrorInvalidName, "The specified service name is invalid."},
    {platform::kErrorServiceAlreadyRunning, "An instance of the application is already running."},
    {platform::kErrorInvalidServiceAccount,
     "The user account name specified in the lpServiceStartName parameter does not exist."},
    {platform::kErrorServiceDisabled,
     "The service cannot be started, either because it is disabled or because it has no "
     "enabled devices associated with it."},
    {platform::kErrorCircularDependency, "A circular service dependency was specified."},
    {platform::kErrorServiceDoesNotExist, "The specified service does not exist."},
    {platform::kErrorDatabaseDoesNotExist,
     "The specified service control database does not exist."},
    {platform::kErrorServiceMarkedForDelete,
     "The specified service already exists in this database and has been marked for deletion."},
    {platform::kErrorServiceExists, "The specified service already exists."},
    {platform::kErrorDuplicateServiceName,
     "The display name already exists in the service control manager database either as a "
     "service name or as another display name."},
};

constexpr std::uint32_t kMinPendingWaitMs = 1000;
constexpr std::uint32_t kMaxPendingWaitMs = 10000;

// Prints the error of the manager's last failed call; returns false for the
// caller to pass on.
bool fail(ServiceManager& manager) {
    printServiceError(manager.lastError());
    return false;
}

using OpenStep = std::function<ServiceHandle(ServiceHandle scm)>;
using ServiceStep = std::function<bool(ServiceHandle service)>;

// Opens the manager, then one of its services with `open`, and hands that
// to `use`; a failed open is printed. Both are closed on every path, the
// service first.
bool withService(ServiceManager& manager, const OpenStep& open, const ServiceStep& use) {
    ServiceHandleOwner scm(manager, manager.openManager());
    if (!scm) return fail(manager);
    ServiceHandleOwner service(manager, open(scm.get()));
    if (!service) return fail(manager);
    return use(service.get());
}

bool withService(ServiceManager& manager, const std::string& name, ServiceAccess access,
                 const ServiceStep& use) {
    const OpenStep open = [&](ServiceHandle scm) { return manager.openService(scm, name, access); };
    return withService(manager, open, use);
}

// How one wait on the service's state polls: it sleeps `pauseMs(waitHint)`
// and queries while `waiting`; a state that is `settled` ends it even past
// `limitMs` (counted from the command's start on the tick counter, where
// unsigned subtraction makes a wrap harmless); past it, `timeoutLine` is
// printed (nothing when null).
struct StatusWait {
    bool (*waiting)(std::uint32_t state);
    bool (*settled)(std::uint32_t state);
    std::uint32_t (*pauseMs)(std::uint32_t waitHint);
    std::uint32_t limitMs;
    const char* timeoutLine;
};

bool isStopped(std::uint32_t state) { return state == platform::kServiceStopped; }

// The service reports start-pending until its server listens.
constexpr StatusWait kStartWait{
    [](std::uint32_t state) { return state == platform::kServiceStartPending; },
    [](std::uint32_t state) { return state != platform::kServiceStartPending; }, pendingStopWaitMs,
    kStartTimeoutMs, "Service start timed out.\n"};
// A stop that someone else requested, waited out in clamped steps; a state
// other than stopped ends it without ending the command.
constexpr StatusWait kPendingStopWait{
    [](std::uint32_t state) { return state == platform::kServiceStopPending; }, isStopped,
    pendingStopWaitMs, kStopTimeoutMs, "Service stop timed out.\n"};
// After our own stop control, the service's own wait hint, used as given but
// capped at the limit so that an absurd hint cannot outlast it many times.
constexpr StatusWait kOwnStopWait{
    [](std::uint32_t state) { return !isStopped(state); }, isStopped,
    [](std::uint32_t waitHint) { return std::min(waitHint, kStopTimeoutMs); }, kStopTimeoutMs,
    nullptr};

enum class WaitEnd { kSettled, kTimedOut, kFailed };

// Failures and time-outs are printed; `status` holds the last state seen.
WaitEnd waitForStatus(ServiceManager& manager, ServiceHandle service, ServiceStatus& status,
                      std::uint32_t startTick, const StatusWait& wait) {
    while (wait.waiting(status.currentState)) {
        manager.sleepMs(wait.pauseMs(status.waitHint));
        if (!manager.queryStatus(service, status)) {
            fail(manager);
            return WaitEnd::kFailed;
        }
        if (wait.settled(status.currentState)) return WaitEnd::kSettled;
        if (static_cast<std::uint32_t>(manager.tickCountMs() - startTick) > wait.limitMs) {
            if (wait.timeoutLine != nullptr) std::fputs(wait.timeoutLine, stdout);
            std::fflush(stdout);
            return WaitEnd::kTimedOut;
        }
    }
    return WaitEnd::kSettled;
}

// A server that cannot start stops the service: the command fails.
bool awaitStart(ServiceManager& manager, ServiceHandle service, std::uint32_t startTick) {
    ServiceStatus status;
    if (!manager.queryStatus(service, status)) return fail(manager);
    if (waitForStatus(manager, service, status, startTick, kStartWait) != WaitEnd::kSettled) {
        return false;
    }
    if (!isStopped(status.currentState)) return true;
    std::printf("The service stopped while starting (exit code %u, service-specific code %u).\n",
                static_cast<unsigned>(status.win32ExitCode),
                static_cast<unsigned>(status.serviceSpecificExitCode));
    std::fflush(stdout);
    return false;
}

// Waits out a stop already pending; a service still running then gets ours.
bool stopAndWait(ServiceManager& manager, ServiceHandle service, std::uint32_t startTick) {
    ServiceStatus status;
    if (!manager.queryStatus(service, status)) return fail(manager);
    if (isStopped(status.currentState)) return true;
    if (waitForStatus(manager, service, status, startTick, kPendingStopWait) != WaitEnd::kSettled) {
        return false;
    }
    if (isStopped(status.currentState)) return true;
    if (!manager.sendStop(service, status)) return fail(manager);
    return waitForStatus(manager, service, status, startTick, kOwnStopWait) == WaitEnd::kSettled;
}

}  // namespace

std::uint32_t pendingStopWaitMs(std::uint32_t waitHint) {
    return std::clamp(waitHint / 10, kMinPendingWaitMs, kMaxPendingWaitMs);
}

std::string serviceErrorLine(std::uint32_t errorCode) {
    char line[500];
    const auto* end = std::end(kErrorTexts);
    const auto* entry = std::find_if(std::begin(kErrorTexts), end,
                                     [&](const ErrorText& e) { return e.code == errorCode; });
    if (entry != end) {
        std::snprintf(line, sizeof line, "%s\n", entry->text);
    } else {
        std::snprintf(line, sizeof line, "System error: %d\n", static_cast<int>(errorCode));
    }
    return line;
}

void printServiceError(std::uint32_t errorCode) {
    std::fputs(serviceErrorLine(errorCode).c_str(), stdout);
    std::fflush(stdout);
}

bool installService(ServiceManager& manager, const std::string& name) {
    std::string path;
    if (!manager.executablePath(path)) return fail(manager);
    const OpenStep create = [&](ServiceHandle scm) {
        return manager.createService(scm, name, path);
    };
    return withService(manager, create, [&](ServiceHandle service) {
        // Registered all the same: say what is missing rather than leave a
        // half-installed service behind a failure.
        if (!manager.setRestartOnFailure(service)) {
            std::printf("Restart on failure is not set: %s",
                        serviceErrorLine(manager.lastError()).c_str());
            std::fflush(stdout);
        }
        if (!manager.limitRights(service)) {
            std::printf("The service's privileges are not limited: %s",
                        serviceErrorLine(manager.lastError()).c_str());
            std::fflush(stdout);
        }
        return true;
    });
}

bool startService(ServiceManager& manager, const std::string& name) {
    const std::uint32_t startTick = manager.tickCountMs();
    return withService(manager, name, ServiceAccess::kAll, [&](ServiceHandle service) {
        if (!manager.startService(service)) return fail(manager);
        return awaitStart(manager, service, startTick);
    });
}

bool setRestartOnFailure(ServiceManager& manager, const std::string& name) {
    return withService(manager, name, ServiceAccess::kAll, [&](ServiceHandle service) {
        return manager.setRestartOnFailure(service) || fail(manager);
    });
}

bool limitServiceRights(ServiceManager& manager, const std::string& name) {
    return withService(manager, name, ServiceAccess::kAll, [&](ServiceHandle service) {
        return manager.limitRights(service) || fail(manager);
    });
}

bool stopService(ServiceManager& manager, const std::string& name) {
    const std::uint32_t startTick = manager.tickCountMs();
    return withService(manager, name, ServiceAccess::kStop, [&](ServiceHandle service) {
        return stopAndWait(manager, service, startTick);
    });
}

bool removeService(ServiceManager& manager, const std::string& name) {
    return withService(manager, name, ServiceAccess::kAll, [&](ServiceHandle service) {
        return manager.deleteService(service) || fail(manager);
    });
}

bool stopThenRemoveService(ServiceManager& manager, const std::string& name) {
    stopService(manager, name);
    return removeService(manager, name);
}
