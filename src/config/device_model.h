#pragma once

#include <string>

#include "config/data_directory.h"
#include "events/events.h"
#include "protocol/rd_protocol.h"

// The file in the data directory that names the device model.
constexpr const char* kDeviceConfigFileName = "DeviceConfig.xml";
// What an invalid DeviceConfig.xml is renamed to before the default replaces it.
constexpr const char* kInvalidDeviceConfigSuffix = ".invalid";

// Whether reading the device model may create and write files.
enum class DeviceConfigAccess {
    // A start or a forward: creates the folder and a default file when there
    // is none, keeps an invalid file aside before writing the default.
    kReadWrite,
    // "-check": creates, moves and writes nothing.
    kReadOnly,
};

// One read of the device model, with what a person should hear about it.
struct DeviceModelRead {
    std::string model;
    // One line without its line feed when the file was not used as it is (an
    // untrusted folder, an invalid file kept aside); empty otherwise.
    std::string notice;
    // The event the notice is.
    EventId noticeEvent = EventId::kDeviceConfigNotUsable;
};

// The device model: the "devicemodel" attribute of the element "opts" in
// "DeviceConfig.xml" in the data directory (config/data_directory.h), read
// afresh on every call. A valid file is never rewritten; one without the
// setting gives the empty text. With kReadWrite a missing file is created
// with the default model; a file that exists but does not load is renamed
// to "DeviceConfig.xml.invalid" (replacing an older one) and the default is
// written in its place, so the administrator's text is never lost. A folder
// or file that fails the trust test (config/data_folder_trust.h) is neither
// read nor written: the default model is used. Safe to call from several
// threads at once: the read-or-create of the file is serialised in the process.
DeviceModelRead loadDeviceModel(const DataDirectory& directory, DeviceConfigAccess access);

// loadDeviceModel with kReadWrite; prints its notice (each different notice
// once, so a forward that meets an untrusted folder does not repeat it).
std::string readDeviceModel(const DataDirectory& directory = DataDirectory());
