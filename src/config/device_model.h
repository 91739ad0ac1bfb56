#pragma once

#include <string>

#include "config/data_directory.h"
#include "protocol/rd_protocol.h"

// The file in the data directory that names the device model.
constexpr const char* kDeviceConfigFileName = "DeviceConfig.xml";

// The device model: the "devicemodel" attribute of the element "opts" in
// "DeviceConfig.xml" in the data directory (config/data_directory.h), read
// afresh on every call. A missing or invalid file (anything XmlConfig::load
// rejects) is replaced by one holding the default model, which is then returned; a valid
// file is never rewritten, and one without the setting gives the empty text.
// Safe to call from several threads at once: the read-or-create of the file is
// serialised within the process.
std::string readDeviceModel(const DataDirectory& directory = DataDirectory());
