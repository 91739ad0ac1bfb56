#pragma once

#include <cstdint>
#include <string>

#include "client/rest_response.h"
#include "client/transfer_limits.h"

// One-shot RD requests: each sends one request to `url` (the whole URL)
// over a fresh connection and returns the response. `timeoutSeconds` bounds
// the whole transfer (0 = none); `limits` caps the answer's body and lets a
// cancel end the transfer. Transfer failures come back in the response's
// code and body; only a handle that cannot be created throws
// (std::runtime_error). Safe to call from several threads at once.

// RDSERVICE, no body.
RestResponse rdServiceRequest(const std::string& url, std::int32_t timeoutSeconds,
                              const TransferLimits& limits = {});

// CAPTURE with `body` and a "Content-Type" of `contentType`; with an empty
// content type no Content-Type header is sent.
RestResponse captureRequest(const std::string& url, const std::string& contentType,
                            const std::string& body, std::int32_t timeoutSeconds,
                            const TransferLimits& limits = {});

// DEVICEINFO, no body.
RestResponse deviceInfoRequest(const std::string& url, std::int32_t timeoutSeconds,
                               const TransferLimits& limits = {});
