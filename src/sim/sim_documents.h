#pragma once

#include <cstddef>
#include <string>

// The documents the simulated device answers with.

// Its discovery document; `info` names the device model.
std::string simRdServiceDocument(const std::string& status, const std::string& info);

// A DeviceInfo document for the simulated device.
std::string simDeviceInfoDocument();

// A PidData document for a CAPTURE body: a successful capture shaped by the
// PidOptions it received, or an error when the options cannot be read.
// `document` followed by an XML comment that brings it to `size` bytes (when
// it is shorter): an answer as large as one carrying images.
std::string padWithComment(std::string document, std::size_t size);

std::string simPidDataDocument(const std::string& pidOptions);

// The default info text: the default device model and the service marker.
extern const std::string kSimDefaultInfo;
