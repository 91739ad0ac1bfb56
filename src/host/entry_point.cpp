#include "host/entry_point.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "config/device_model.h"
#include "host/browser_policy.h"
#include "host/check_command.h"
#include "host/installation_protection.h"
#include "host/program_folder_check.h"
#include "host/program_settings.h"
#include "host/run_loop.h"
#include "host/service_control.h"
#include "host/service_host.h"
#include "host/settings_command.h"
#include "platform/process_paths.h"
#include "platform/timezone.h"

namespace {

constexpr unsigned kClosingWaitMs = 2000;

struct ServiceCommand {
    const char* option;
    bool (*operation)(platform::ServiceManager& manager, const std::string& name);
    const char* word;
};

// A program others may change is not registered at all. Once registered,
// the lines of a protection step that failed say what is missing; the
// service is registered all the same.
bool installAndProtect(platform::ServiceManager& manager, const std::string& name) {
    const std::string folderWarning = runningProgramFolderWarning();
    if (!folderWarning.empty()) {
        std::printf("%s\n", folderWarning.c_str());
        return false;
    }
    if (!installService(manager, name)) return false;
    protectInstallation(DataDirectory(), kCertificatePath);
    return true;
}

const ServiceCommand kServiceCommands[] = {
    {"-install", installAndProtect, "installed"},
    {"-start", startService, "started"},
    {"-stop", stopService, "stopped"},
    {"-remove", stopThenRemoveService, "removed"},
};

void printWorkingDirectory() {
    std::string current = platform::currentDirectory();
    if (current.empty() || current.size() >= 300) {
        current = ".";
    }
    std::printf("Working directory: %s\n", current.c_str());
}

// Changes to the folder part of argv[0]; silent when that fails.
void changeToExecutableDirectory(const char* argv0) {
    std::string directory = argv0;
    const std::size_t cut = directory.find_last_of("/\\");
    if (cut != std::string::npos) {
        directory.erase(cut);
    }
    if (platform::changeDirectory(directory)) {
        std::printf("Working directory changed to: %s\n", directory.c_str());
    }
}

}  // namespace

int runServiceCommand(int argc, char** argv, void (*sleep)(unsigned)) {
    bool outcome = false;
    bool known = false;
    for (const ServiceCommand& command : kServiceCommands) {
        if (std::strcmp(argv[1], command.option) == 0) {
            known = true;
            outcome = command.operation(*platform::makeServiceManager(), serviceName);
            if (outcome) {
                std::printf("%s was %s successfully.\n", serviceName, command.word);
            }
            break;
        }
    }
    if (!known) {
        std::printf("Usage:\n");
        std::printf("App.exe -[install|start|stop|remove|console|check]\n");
    }
    const bool closingWait = argc > 2 ? std::atoi(argv[2]) != 0 : true;
    if (argc > 3 && std::strcmp(argv[3], "/ie") == 0) {
        outcome = true;
    }
    std::fflush(stdout);
    if (closingWait) {
        sleep(kClosingWaitMs);
    }
    return outcome ? 0 : 1;
}

int runEntryPoint(int argc, char** argv) {
    if (!platform::setTimeZone("TZ=IST-5:30")) {
        return 1;
    }
    // The modes that serve create the data folder and a default file when
    // needed; "-check" and the service commands create nothing.
    const bool serves = argc <= 1 || std::strcmp(argv[1], "-console") == 0;
    if (serves) readDeviceModel();
    std::printf("Command: %s\n", argv[0]);
    printWorkingDirectory();
    changeToExecutableDirectory(argv[0]);
    std::fflush(stdout);
    if (argc <= 1) {
        return runServiceDispatcher() ? 0 : 1;
    }
    if (std::strcmp(argv[1], "-console") == 0) {
        return runConsole();
    }
    if (std::strcmp(argv[1], "-check") == 0) {
        return runCheck();
    }
    if (std::strcmp(argv[1], kFinishInstallOption) == 0) {
        return runFinishInstall();
    }
    if (std::strcmp(argv[1], kWriteSettingsOption) == 0) {
        return runWriteSettings(argc - 2, argv + 2);
    }
    if (std::strcmp(argv[1], kWriteBrowserPolicyOption) == 0) {
        return runWriteBrowserPolicy();
    }
    if (std::strcmp(argv[1], kRemoveBrowserPolicyOption) == 0) {
        return runRemoveBrowserPolicy();
    }
    return runServiceCommand(argc, argv);
}
