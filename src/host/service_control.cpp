#include "host/service_control.h"

#include <algorithm>
#include <cstdio>

using platform::ServiceAccess;
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

// Unsigned 32-bit subtraction is modulo 2^32, so a counter wrap does no harm.
bool pastStopLimit(ServiceManager& manager, std::uint32_t startTick) {
    return static_cast<std::uint32_t>(manager.tickCountMs() - startTick) > kStopTimeoutMs;
}

enum class PendingOutcome { kStopped, kFailed, kNotPending };

// Waits out a stop that someone else requested, in clamped steps. On
// kNotPending `status` holds the first state that is neither stopped nor
// stop-pending; failures are already printed.
PendingOutcome awaitPendingStop(ServiceManager& manager, platform::ServiceHandle service,
                                ServiceStatus& status, std::uint32_t startTick) {
    while (status.currentState == platform::kServiceStopPending) {
        manager.sleepMs(pendingStopWaitMs(status.waitHint));
        if (!manager.queryStatus(service, status)) {
            fail(manager);
            return PendingOutcome::kFailed;
        }
        if (status.currentState == platform::kServiceStopped) return PendingOutcome::kStopped;
        if (pastStopLimit(manager, startTick)) {
            std::printf("Service stop timed out.\n");
            std::fflush(stdout);
            return PendingOutcome::kFailed;
        }
    }
    return PendingOutcome::kNotPending;
}

// Polls after our own stop control, sleeping the service's own wait hint.
// The hint is used as given, only capped at the overall limit so that an
// absurd hint cannot make the wait outlast the limit many times over.
bool awaitOwnStop(ServiceManager& manager, platform::ServiceHandle service, ServiceStatus& status,
                  std::uint32_t startTick) {
    while (status.currentState != platform::kServiceStopped) {
        manager.sleepMs(std::min(status.waitHint, kStopTimeoutMs));
        if (!manager.queryStatus(service, status)) return fail(manager);
        if (status.currentState == platform::kServiceStopped) return true;
        if (pastStopLimit(manager, startTick)) return false;
    }
    return true;
}

// The service reports start-pending until its server listens: waits for
// the state that follows, so a server that cannot start fails the command.
bool awaitStart(ServiceManager& manager, platform::ServiceHandle service, std::uint32_t startTick) {
    ServiceStatus status;
    if (!manager.queryStatus(service, status)) return fail(manager);
    while (status.currentState == platform::kServiceStartPending) {
        if (static_cast<std::uint32_t>(manager.tickCountMs() - startTick) > kStartTimeoutMs) {
            std::printf("Service start timed out.\n");
            std::fflush(stdout);
            return false;
        }
        manager.sleepMs(pendingStopWaitMs(status.waitHint));
        if (!manager.queryStatus(service, status)) return fail(manager);
    }
    if (status.currentState != platform::kServiceStopped) return true;
    std::printf("The service stopped while starting (exit code %u, service-specific code %u).\n",
                static_cast<unsigned>(status.win32ExitCode),
                static_cast<unsigned>(status.serviceSpecificExitCode));
    std::fflush(stdout);
    return false;
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
    ServiceHandleOwner scm(manager, manager.openManager());
    if (!scm) return fail(manager);
    ServiceHandleOwner service(manager, manager.createService(scm.get(), name, path));
    if (!service) return fail(manager);
    if (!manager.setRestartOnFailure(service.get())) {
        // Registered all the same: say what is missing rather than leave a
        // half-installed service behind a failure.
        std::printf("Restart on failure is not set: %s",
                    serviceErrorLine(manager.lastError()).c_str());
        std::fflush(stdout);
    }
    if (!manager.limitRights(service.get())) {
        std::printf("The service's privileges are not limited: %s",
                    serviceErrorLine(manager.lastError()).c_str());
        std::fflush(stdout);
    }
    return true;
}

bool startService(ServiceManager& manager, const std::string& name) {
    const std::uint32_t startTick = manager.tickCountMs();
    ServiceHandleOwner scm(manager, manager.openManager());
    if (!scm) return fail(manager);
    ServiceHandleOwner service(manager, manager.openService(scm.get(), name, ServiceAccess::kAll));
    if (!service) return fail(manager);
    if (!manager.startService(service.get())) return fail(manager);
    return awaitStart(manager, service.get(), startTick);
}

bool setRestartOnFailure(ServiceManager& manager, const std::string& name) {
    ServiceHandleOwner scm(manager, manager.openManager());
    if (!scm) return fail(manager);
    ServiceHandleOwner service(manager, manager.openService(scm.get(), name, ServiceAccess::kAll));
    if (!service) return fail(manager);
    return manager.setRestartOnFailure(service.get()) || fail(manager);
}

bool limitServiceRights(ServiceManager& manager, const std::string& name) {
    ServiceHandleOwner scm(manager, manager.openManager());
    if (!scm) return fail(manager);
    ServiceHandleOwner service(manager, manager.openService(scm.get(), name, ServiceAccess::kAll));
    if (!service) return fail(manager);
    return manager.limitRights(service.get()) || fail(manager);
}

bool stopService(ServiceManager& manager, const std::string& name) {
    const std::uint32_t startTick = manager.tickCountMs();
    ServiceHandleOwner scm(manager, manager.openManager());
    if (!scm) return fail(manager);
    ServiceHandleOwner service(manager, manager.openService(scm.get(), name, ServiceAccess::kStop));
    if (!service) return fail(manager);

    ServiceStatus status;
    if (!manager.queryStatus(service.get(), status)) return fail(manager);
    if (status.currentState == platform::kServiceStopped) return true;

    switch (awaitPendingStop(manager, service.get(), status, startTick)) {
        case PendingOutcome::kStopped:
            return true;
        case PendingOutcome::kFailed:
            return false;
        case PendingOutcome::kNotPending:
            break;
    }

    if (!manager.sendStop(service.get(), status)) return fail(manager);
    return awaitOwnStop(manager, service.get(), status, startTick);
}

bool removeService(ServiceManager& manager, const std::string& name) {
    ServiceHandleOwner scm(manager, manager.openManager());
    if (!scm) return fail(manager);
    ServiceHandleOwner service(manager, manager.openService(scm.get(), name, ServiceAccess::kAll));
    if (!service) return fail(manager);
    if (!manager.deleteService(service.get())) return fail(manager);
    return true;
}
