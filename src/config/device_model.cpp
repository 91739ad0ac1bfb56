#include "config/device_model.h"

#include <mutex>

#include "config/xml_config.h"

namespace {

constexpr const char* kDeviceConfigRoot = "opts";
constexpr const char* kDeviceModelKey = "devicemodel";

}  // namespace

std::string readDeviceModel(const DataDirectory& directory) {
    // Worker threads call this at the same time. Without the lock one call
    // could read the file while another is rewriting it, find it empty and
    // rewrite it in turn; with it every call sees a whole file.
    static std::mutex fileMutex;
    std::lock_guard<std::mutex> lock(fileMutex);

    const std::string path = directory.filePath(kDeviceConfigFileName);
    XmlConfig config(kDeviceConfigRoot);
    if (!config.load(path)) {
        config.set(kDeviceModelKey, kDefaultDeviceModel);
        config.save(path);
    }
    return config.get(kDeviceModelKey);
}
