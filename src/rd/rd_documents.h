#pragma once

#include <cstddef>
#include <string>

#include "protocol/rd_protocol.h"

// The fixed texts of the RD answers. All functions are stateless and safe
// to call from any number of threads.

// The info text of this extension's own discovery document.
extern const char* const extensionInfo;

// The host every LOCATION value names: the address we listen on.
constexpr const char* kLocationHost = kLoopbackAddress;
// Size of a LOCATION buffer; longer locations are cut to 255 characters.
constexpr std::size_t kLocationBufferSize = 256;
// Big enough for the RDService document with any status text we use.
constexpr std::size_t kRdServiceDocumentBufferSize = 512;

// An RDService discovery document with the two RD interfaces, for any
// service's status and info text (the simulated device uses it too).
std::string rdServiceDocument(const std::string& status, const std::string& info);

// Fills `buffer` with this extension's RDService document for `status`.
char* formatRdServiceDocument(char (&buffer)[kRdServiceDocumentBufferSize], const char* status);

// Fills `buffer` with "http://<host>:<port><path>"; a null path counts as "".
// Path bytes outside visible ASCII are percent-encoded; the text is cut at
// 255 characters, never inside an escape.
char* formatLocation(char (&buffer)[kLocationBufferSize], const char* host, int port,
                     const char* path);

// The one-line PidData error document for an error code and its name.
std::string formatPidDataDocument(int code, const char* info);
