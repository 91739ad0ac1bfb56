#include "host/check_command.h"

#include <cstdio>
#include <thread>

#include "client/handle_pool.h"
#include "config/data_directory.h"
#include "config/device_model.h"
#include "config/load_config.h"
#include "host/installation_protection.h"
#include "host/program_folder_check.h"
#include "host/program_settings.h"
#include "host/service_control.h"
#include "host/upstream_probe_report.h"
#include "http/port_availability.h"
#include "http/web_server_startup.h"
#include "platform/files.h"
#include "rd/upstream.h"

namespace {

void printLine(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string configLine(int loadResult, const ConfigLoad& load) {
    if (load.file == ConfigFile::kUnreadable) {
        return load.unreadableLine;  // the very line a start-up prints
    }
    if (loadResult == 0) {
        return "config.ini: read";
    }
    if (load.file == ConfigFile::kMissing) {
        return "config.ini: not found: the defaults are in force";
    }
    return "config.ini: SERVER_PORT_START unusable: the default port range is in force";
}

std::string reservedPortsText(const std::string& ports) {
    return " (reserved by the system: " + ports + "; " + reservationsHint() + ")";
}

std::string ownPortsText(int firstPort) {
    std::string freePorts;
    std::string busyPorts;
    std::string reservedPorts;
    for (int port = firstPort; port <= lastPortOfRange(firstPort); ++port) {
        const PortState state = probePort(port);
        std::string& list = state == PortState::kFree    ? freePorts
                            : state == PortState::kInUse ? busyPorts
                                                         : reservedPorts;
        list += (list.empty() ? "" : " ") + std::to_string(port);
    }
    return (freePorts.empty() ? "none" : freePorts) +
           (busyPorts.empty() ? "" : " (in use: " + busyPorts + ")") +
           (reservedPorts.empty() ? "" : reservedPortsText(reservedPorts));
}

void printSettings(const ServerSettings& settings, int loadResult, const ConfigLoad& load,
                   const DataDirectory& data, const std::string& model) {
    printLine(configLine(loadResult, load));
    printLine("Port range: " + std::to_string(settings.portRangeStart) + "-" +
              std::to_string(lastPortOfRange(settings.portRangeStart)) + " on " + listenHost);
    printLine("HTTPS: " + httpsOfferText(settings.sslCertificatePath));
    printLine("Allowed origins: " + describeAllowedOrigins(settings.allowedOrigins));
    printLine("Device model: \"" + model + "\" (" + data.filePath(kDeviceConfigFileName) + ")");
    printLine("Free ports of the range: " + ownPortsText(settings.portRangeStart));
}

// Said only when the file is not used as it is: a start would act on it.
void printDeviceConfigNotice(const DeviceModelRead& read) {
    if (!read.notice.empty()) printLine("DeviceConfig.xml: " + read.notice);
}

void printKeyWarning() {
    const std::string warning = keyExposureWarning(kCertificatePath);
    if (!warning.empty()) printLine(warning);
}

// The folder may have been loosened after the install.
void printProgramFolderWarning() {
    const std::string warning = runningProgramFolderWarning();
    if (!warning.empty()) printLine(warning);
}

// Probes every port for its report and, beside it, runs the discovery of a
// forward; both take at most one upstream time-out. The discovery thread is
// joined, whatever happens, before this returns.
int probeAndDiscover(const std::string& model, const ForwardingOptions& forwarding) {
    const DiscoveryOptions& options = forwarding.discovery;
    std::printf("Upstream ports %d-%d (a port that stays silent takes up to %d s):\n",
                options.firstPort, options.lastPort, forwarding.limits.upstreamTimeoutSeconds);
    std::fflush(stdout);
    HandlePool handles;  // outlives the discovery thread and the survey
    TransferLimits base;
    base.handles = &handles;
    // Judged for a caller of the account running -check, served by this account.
    const platform::AccountIdentity self = platform::processAccount();
    int port = -1;
    std::thread discovery([&] {
        try {
            ListenerTrust trust(self, self);
            port = discoverUpstreamPort(options, forwarding.limits, std::vector<int>(), trust,
                                        model, base);
        } catch (const std::exception&) {
            // A transfer that could not be set up: the survey reports the same.
        }
    });
    struct JoinedAtExit {
        std::thread& thread;
        ~JoinedAtExit() {
            if (thread.joinable()) {
                thread.join();
            }
        }
    } joinedAtExit{discovery};
    const UpstreamSurvey survey =
        surveyUpstreamPorts(model, options, forwarding.limits, {self, self}, base);
    if (!survey.listenerTableRead) {
        printLine("  (the system's table of listeners is not read here: every port is probed)");
    }
    for (const PortReport& report : survey.ports) {
        printLine("  " + formatPortReport(report, survey.listenerTableRead));
    }
    discovery.join();
    if (port < 0) {
        printLine("No upstream identifies the device: a forward would answer errCode 5.");
    } else {
        printLine("A forward would use port " + std::to_string(port) + ".");
    }
    return port;
}

std::string stateText(std::uint32_t state) {
    switch (state) {
        case platform::kServiceRunning:
            return "installed, running";
        case platform::kServiceStopped:
            return "installed, stopped";
        case platform::kServiceStartPending:
            return "installed, starting";
        case platform::kServiceStopPending:
            return "installed, stopping";
        default:
            return "installed, state " + std::to_string(state);
    }
}

std::string cannotTell(platform::ServiceManager& manager) {
    std::string reason = serviceErrorLine(manager.lastError());
    reason.pop_back();  // its line feed
    return "cannot tell: " + reason;
}

}  // namespace

std::string describeServiceState(platform::ServiceManager& manager, const std::string& name) {
    platform::ServiceHandleOwner scm(manager, manager.openManagerForQuery());
    if (!scm) {
        return cannotTell(manager);
    }
    platform::ServiceHandleOwner service(
        manager, manager.openService(scm.get(), name, platform::ServiceAccess::kQuery));
    if (!service) {
        return manager.lastError() == platform::kErrorServiceDoesNotExist ? "not installed"
                                                                          : cannotTell(manager);
    }
    platform::ServiceStatus status;
    if (!manager.queryStatus(service.get(), status)) {
        return cannotTell(manager);
    }
    return stateText(status.currentState);
}

int runCheck(const CheckSetup& setup) {
    try {
        ServerSettings settings;
        ConfigLoad load;
        const int loadResult = loadConfig(settings, &load);
        const DataDirectory data = setup.forwarding.dataDirectory();
        const DeviceModelRead read = loadDeviceModel(data, DeviceConfigAccess::kReadOnly);
        printSettings(settings, loadResult, load, data, read.model);
        printDeviceConfigNotice(read);
        printKeyWarning();
        printProgramFolderWarning();
        const int port = probeAndDiscover(read.model, setup.forwarding);
        const std::string state =
            setup.serviceManager != nullptr
                ? describeServiceState(*setup.serviceManager, serviceName)
                : describeServiceState(*platform::makeServiceManager(), serviceName);
        printLine(std::string("Service ") + serviceName + ": " + state);
        return port >= 0 ? 0 : 1;
    } catch (const std::exception& e) {
        // A transfer that could not even be set up (client/rd_requests.h).
        printLine(std::string("The check failed: ") + e.what());
        return 1;
    }
}
