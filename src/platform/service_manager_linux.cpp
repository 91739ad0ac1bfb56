// The service manager mapped onto systemd: a service is the unit
// "<name>.service" in the unit folder, driven through systemctl. systemctl's
// refusals are converted into the Windows error codes here, once.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <vector>

#include "platform/clock.h"
#include "platform/data_folder.h"
#include "platform/process_paths.h"
#include "platform/service_manager.h"
#include "platform/subprocess.h"
#include "platform/unique_fd_posix.h"

namespace platform {
namespace {

// systemd gives no estimate for a pending stop; poll once a second.
constexpr std::uint32_t kSystemdWaitHintMs = 1000;

// Output of systemctl beyond this is read and dropped; it says far less.
constexpr std::size_t kMaxSystemctlOutput = 64 * 1024;

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// The one place where systemctl's refusals become system error codes.
std::uint32_t errorOf(const SubprocessResult& result) {
    if (!result.started) return kErrorDatabaseDoesNotExist;
    if (result.timedOut) return kErrorServiceRequestTimeout;
    const std::string& err = result.err;
    if (contains(err, "not found") || contains(err, "not loaded") ||
        contains(err, "does not exist")) {
        return kErrorServiceDoesNotExist;
    }
    if (contains(err, "Access denied") || contains(err, "authentication required") ||
        contains(err, "Permission denied")) {
        return kErrorAccessDenied;
    }
    if (contains(err, "masked")) return kErrorServiceDisabled;
    return kErrorServiceSpecificError;
}

std::uint32_t errorOfErrno(int error) {
    switch (error) {
        case EEXIST:
            return kErrorServiceExists;
        case EACCES:
        case EPERM:
        case EROFS:
            return kErrorAccessDenied;
        case ENOENT:
            return kErrorServiceDoesNotExist;
        default:
            return kErrorServiceSpecificError;
    }
}

// systemctl states of `is-active`, as service states; 0 when unknown.
std::uint32_t stateOf(const std::string& activeState) {
    if (activeState == "active" || activeState == "reloading" || activeState == "refreshing") {
        return kServiceRunning;
    }
    if (activeState == "activating") return kServiceStartPending;
    if (activeState == "deactivating") return kServiceStopPending;
    if (activeState == "inactive" || activeState == "failed" || activeState == "maintenance") {
        return kServiceStopped;
    }
    return 0;
}

bool isRoot() { return ::geteuid() == 0; }

// A name that is safe as a file name and as a systemctl argument.
bool validServiceName(const std::string& name) {
    if (name.empty() || name.size() > 240 || name[0] == '-' || name[0] == '.') return false;
    for (const char c : name) {
        const bool alnum =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum && c != '_' && c != '-' && c != '.' && c != ':') return false;
    }
    return true;
}

// The path as the first word of ExecStart: '%' would be read as a specifier
// and a blank would split the word. systemd refuses program paths with
// quotes or backslashes, control characters could end the line, and whether
// '$' is expanded in the program path differs between versions: such paths
// are refused here rather than written into a unit that cannot start.
bool execStartWord(const std::string& path, std::string& word) {
    if (path.empty() || path[0] != '/') return false;
    word.clear();
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) return false;
        if (c == '$' || c == '"' || c == '\'' || c == '\\') return false;
        if (c == '%') word += c;
        word += c;
    }
    if (path.find(' ') != std::string::npos) word = "\"" + word + "\"";
    return true;
}

// Whether a mount namespace of the service's own /tmp would hide the program.
bool underTemporaryFolder(const std::string& path) {
    return path.rfind("/tmp/", 0) == 0 || path.rfind("/var/tmp/", 0) == 0;
}

// Runs as root with no capability, in a sandbox that leaves what the work
// needs: loopback IPv4/IPv6 to serve and to reach the upstream, AF_UNIX for
// the readiness notification, AF_NETLINK for the kernel's table of
// listeners, the data folder and the program folder (the engine's log) to
// write. Not taken: a dedicated or dynamic account (the engine writes its log
// beside the executable, in a folder only root may change, and the data
// folder must be root's), PrivateUsers= (the kernel's socket dump would show
// every other account as nobody, so a listener's owner could not be told
// apart) and PrivateNetwork= (the service lives on the host's loopback).
std::string hardeningLines(const std::string& programFolderWord, bool privateTmp) {
    // The data folder under /var/lib, which systemd creates, owned by root,
    // and keeps writable under ProtectSystem=strict.
    return std::string("StateDirectory=") + kDataFolderName +
           "\n"
           "ReadWritePaths=" +
           programFolderWord +
           "\n"
           "UMask=0027\n"
           "CapabilityBoundingSet=\n"
           "AmbientCapabilities=\n"
           "NoNewPrivileges=yes\n"
           "ProtectSystem=strict\n"
           "ProtectHome=read-only\n" +
           (privateTmp ? "PrivateTmp=yes\n" : "") +
           "PrivateDevices=yes\n"
           "PrivateMounts=yes\n"
           "DevicePolicy=closed\n"
           "ProtectKernelTunables=yes\n"
           "ProtectKernelModules=yes\n"
           "ProtectKernelLogs=yes\n"
           "ProtectControlGroups=yes\n"
           "ProtectClock=yes\n"
           "ProtectHostname=yes\n"
           "ProtectProc=invisible\n"
           "ProcSubset=pid\n"
           "RestrictAddressFamilies=AF_UNIX AF_INET AF_INET6 AF_NETLINK\n"
           "IPAddressDeny=any\n"
           "IPAddressAllow=localhost\n"
           "RestrictNamespaces=yes\n"
           "RestrictRealtime=yes\n"
           "RestrictSUIDSGID=yes\n"
           "LockPersonality=yes\n"
           "MemoryDenyWriteExecute=yes\n"
           "SystemCallArchitectures=native\n"
           "SystemCallFilter=@system-service\n"
           "SystemCallFilter=~@privileged @resources\n"
           "SystemCallErrorNumber=EPERM\n"
           "KeyringMode=private\n";
}

std::string unitText(const std::string& name, const std::string& commandPath,
                     const std::string& execStart, const std::string& programFolderWord) {
    return "[Unit]\n"
           "Description=" +
           name +
           "\n"
           "After=network.target\n"
           "\n"
           "[Service]\n"
           "Type=notify\n"
           "ExecStart=" +
           execStart +
           "\n"
           "Restart=on-failure\n" +
           hardeningLines(programFolderWord, !underTemporaryFolder(commandPath)) +
           "\n"
           "[Install]\n"
           "WantedBy=multi-user.target\n";
}

bool writeNewFile(const std::string& path, const std::string& text, int& error) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (fd.get() < 0) {
        error = errno;
        return false;
    }
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd.get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            ::unlink(path.c_str());
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

class SystemdServiceManager : public ServiceManager {
  public:
    explicit SystemdServiceManager(const ServiceManagerSettings& settings) : settings_(settings) {
        if (settings_.isPrivileged == nullptr) settings_.isPrivileged = isRoot;
        if (settings_.unitDirectory.empty()) settings_.unitDirectory = "/etc/systemd/system";
    }

    bool executablePath(std::string& path) override {
        path = platform::executablePath();
        return !path.empty() || failed(kErrorFileNotFound);
    }

    ServiceHandle openManager() override {
        if (!settings_.isPrivileged()) return refuse(kErrorAccessDenied);
        return openManagerForQuery();
    }

    // Reading unit files and asking systemctl for a state needs no privilege.
    ServiceHandle openManagerForQuery() override {
        struct stat info;
        if (::stat(settings_.unitDirectory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            return refuse(kErrorDatabaseDoesNotExist);
        }
        return addHandle(std::string());
    }

    ServiceHandle openService(ServiceHandle manager, const std::string& name,
                              ServiceAccess) override {
        if (!isManager(manager)) return refuse(kErrorInvalidHandle);
        if (!validServiceName(name)) return refuse(kErrorInvalidName);
        struct stat info;
        if (::stat(unitPath(name).c_str(), &info) != 0) {
            return refuse(kErrorServiceDoesNotExist);
        }
        return addHandle(name);
    }

    ServiceHandle createService(ServiceHandle manager, const std::string& name,
                                const std::string& commandPath) override {
        if (!isManager(manager)) return refuse(kErrorInvalidHandle);
        if (!validServiceName(name)) return refuse(kErrorInvalidName);
        std::string execStart;
        std::string folderWord;
        const std::string folder = commandPath.substr(0, commandPath.find_last_of('/') + 1);
        if (!execStartWord(commandPath, execStart) || !execStartWord(folder, folderWord)) {
            return refuse(kErrorInvalidParameter);
        }
        int error = 0;
        if (!writeNewFile(unitPath(name), unitText(name, commandPath, execStart, folderWord),
                          error)) {
            return refuse(error == ENOENT ? kErrorDatabaseDoesNotExist : errorOfErrno(error));
        }
        // Registration is all or nothing: undo the unit file when the
        // manager refuses it.
        if (!systemctl({"daemon-reload"}) || !systemctl({"enable", unitName(name)})) {
            ::unlink(unitPath(name).c_str());
            runSystemctl({"daemon-reload"});
            return kNoServiceHandle;
        }
        return addHandle(name);
    }

    bool startService(ServiceHandle service) override {
        ServiceStatus status;
        if (!queryStatus(service, status)) return false;
        if (status.currentState == kServiceRunning || status.currentState == kServiceStartPending) {
            return failed(kErrorServiceAlreadyRunning);
        }
        // Waits for the job: with Type=notify it ends once the service said
        // READY=1 (it listens), or fails with the start.
        return systemctl({"start", unitName(nameOf(service))});
    }

    bool queryStatus(ServiceHandle service, ServiceStatus& status) override {
        if (!isService(service)) return failed(kErrorInvalidHandle);
        const SubprocessResult result = runSystemctl({"is-active", unitName(nameOf(service))});
        std::string state = result.out.substr(0, result.out.find('\n'));
        if (state == "unknown") return failed(kErrorServiceDoesNotExist);
        const std::uint32_t current = result.timedOut ? 0 : stateOf(state);
        if (current == 0) return failed(errorOf(result));
        status = ServiceStatus{current, kSystemdWaitHintMs};
        return true;
    }

    bool sendStop(ServiceHandle service, ServiceStatus& status) override {
        if (!isService(service)) return failed(kErrorInvalidHandle);
        if (!systemctl({"--no-block", "stop", unitName(nameOf(service))})) return false;
        return queryStatus(service, status);
    }

    bool deleteService(ServiceHandle service) override {
        if (!isService(service)) return failed(kErrorInvalidHandle);
        const std::string name = nameOf(service);
        if (!systemctl({"disable", unitName(name)})) return false;
        if (::unlink(unitPath(name).c_str()) != 0) return failed(errorOfErrno(errno));
        return systemctl({"daemon-reload"});
    }

    void close(ServiceHandle handle) override { handles_.erase(handle); }

    std::uint32_t lastError() const override { return lastError_; }

    std::uint32_t tickCountMs() override { return platform::tickCountMs(); }

    void sleepMs(std::uint32_t milliseconds) override { platform::sleepMs(milliseconds); }

  private:
    bool failed(std::uint32_t error) {
        lastError_ = error;
        return false;
    }
    ServiceHandle refuse(std::uint32_t error) {
        lastError_ = error;
        return kNoServiceHandle;
    }

    SubprocessResult runSystemctl(std::vector<std::string> args) {
        args.insert(args.begin(), settings_.systemctl);
        return runSubprocess(args, settings_.commandTimeoutMs, kMaxSystemctlOutput);
    }

    // Runs systemctl; on failure records the converted error.
    bool systemctl(std::vector<std::string> args) {
        const SubprocessResult result = runSystemctl(std::move(args));
        const bool ok = result.started && !result.timedOut && result.exitCode == 0;
        return ok || failed(errorOf(result));
    }

    ServiceHandle addHandle(const std::string& serviceName) {
        const ServiceHandle handle = nextHandle_++;
        handles_[handle] = serviceName;
        return handle;
    }

    // Managers are the handles without a service name.
    bool isManager(ServiceHandle handle) const {
        const auto it = handles_.find(handle);
        return it != handles_.end() && it->second.empty();
    }
    bool isService(ServiceHandle handle) const {
        const auto it = handles_.find(handle);
        return it != handles_.end() && !it->second.empty();
    }
    const std::string& nameOf(ServiceHandle service) const { return handles_.at(service); }

    static std::string unitName(const std::string& name) { return name + ".service"; }
    std::string unitPath(const std::string& name) const {
        return settings_.unitDirectory + "/" + unitName(name);
    }

    ServiceManagerSettings settings_;
    std::map<ServiceHandle, std::string> handles_;
    ServiceHandle nextHandle_ = 1;
    std::uint32_t lastError_ = 0;
};

}  // namespace

std::unique_ptr<ServiceManager> makeServiceManager(const ServiceManagerSettings& settings) {
    return std::make_unique<SystemdServiceManager>(settings);
}

}  // namespace platform
