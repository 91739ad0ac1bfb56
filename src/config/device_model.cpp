#include "config/device_model.h"

#include <mutex>

#include "config/data_folder_trust.h"
#include "config/xml_config.h"
#include "events/event_reporter.h"
#include "platform/files.h"
#include "platform/path_access.h"

namespace {

constexpr const char* kDeviceConfigRoot = "opts";
constexpr const char* kDeviceModelKey = "devicemodel";

std::mutex& fileMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string parseProblem(const XmlParseStatus& status) {
    if (status.code == XmlParseCode::None) {
        return std::string("its element is not <") + kDeviceConfigRoot + ">";
    }
    return "XML parse code " + std::to_string(static_cast<int>(status.code)) + ", line " +
           std::to_string(status.line) + ", column " + std::to_string(status.column);
}

DeviceModelRead withDefault(std::string notice, EventId event = EventId::kDeviceConfigNotUsable) {
    return DeviceModelRead{kDefaultDeviceModel, std::move(notice), event};
}

// The file exists and does not load: keep it aside, then write the default.
DeviceModelRead replaceInvalid(const std::string& path, const XmlParseStatus& status,
                               DeviceConfigAccess access) {
    const std::string invalid = path + " is invalid (" + parseProblem(status) + ")";
    const std::string kept = path + kInvalidDeviceConfigSuffix;
    if (access == DeviceConfigAccess::kReadOnly) {
        return withDefault(invalid + ": a start keeps it as " + kept + " and writes the default");
    }
    if (!platform::replaceFile(path, kept)) {
        return withDefault(invalid +
                           "; it could not be kept aside, so it stays and the "
                           "default model is in force");
    }
    XmlConfig config(kDeviceConfigRoot);
    config.set(kDeviceModelKey, kDefaultDeviceModel);
    const bool saved = config.save(path);
    return withDefault(invalid + ": kept as " + kept +
                           (saved ? ", the default written" : ", the default could not be written"),
                       EventId::kDeviceConfigKeptAside);
}

}  // namespace

DeviceModelRead loadDeviceModel(const DataDirectory& directory, DeviceConfigAccess access) {
    // Worker threads call this at the same time. Without the lock one call
    // could read the file while another is rewriting it, find it empty and
    // rewrite it in turn; with it every call sees a whole file.
    std::lock_guard<std::mutex> lock(fileMutex());
    const bool writable = access == DeviceConfigAccess::kReadWrite;
    if (writable) platform::createProtectedDirectory(directory.path());
    const std::string path = directory.filePath(kDeviceConfigFileName);
    const platform::PathFacts folder = platform::inspectPath(directory.path());
    const platform::PathFacts file = platform::inspectPath(path);
    if (!folder.exists) {
        return withDefault(writable ? directory.path() + " cannot be created" : std::string());
    }
    const std::string distrust = distrustReason(folder, file);
    if (!distrust.empty()) {
        return withDefault(path + " is not used (" + distrust +
                               "): the default model is in force and nothing is written",
                           EventId::kDeviceConfigNotTrusted);
    }
    XmlConfig config(kDeviceConfigRoot);
    XmlParseStatus status;
    if (config.load(path, &status)) {
        return DeviceModelRead{config.get(kDeviceModelKey), "", EventId::kDeviceConfigNotUsable};
    }
    if (!file.exists) {
        if (writable) {
            config.set(kDeviceModelKey, kDefaultDeviceModel);
            config.save(path);
        }
        return withDefault("");
    }
    if (status.code == XmlParseCode::FileNotOpened) {
        // Held open by another program, or not readable to us: its content
        // is probably sound, so it stays where it is.
        return withDefault(path + " cannot be opened: the default model is in force");
    }
    return replaceInvalid(path, status, access);
}

std::string readDeviceModel(const DataDirectory& directory) {
    DeviceModelRead read = loadDeviceModel(directory, DeviceConfigAccess::kReadWrite);
    if (!read.notice.empty()) {
        static std::mutex printMutex;
        static std::string lastPrinted;
        std::lock_guard<std::mutex> lock(printMutex);
        if (read.notice != lastPrinted) {
            reportEvent(read.noticeEvent, read.notice);
            lastPrinted = read.notice;
        }
    }
    return read.model;
}
