#include "client/rest_connection.h"

#include <stdexcept>
#include <utility>

#include "client/http_client_init.h"
#include "client/response_collector.h"

namespace {

const char* const kUserAgent = "rdext-http-client/v1.0";
const char* const kTimeoutText = "Operation Timeout.";
const char* const kFailureText = "Failed to query.";
constexpr std::int32_t kTimeoutCode = 28;
constexpr std::int32_t kFailureCode = -1;

CURL* newEasyHandle() {
    if (!initHttpClient()) {
        return nullptr;
    }
    return curl_easy_init();
}

}  // namespace

RestConnection::RestConnection(std::string baseUrl)
    : handle_(newEasyHandle()), baseUrl_(std::move(baseUrl)) {
    if (!handle_) {
        throw std::runtime_error("Couldn't initialize curl handle");
    }
}

void RestConnection::setTimeout(std::int32_t seconds) { timeoutSeconds_ = seconds; }

void RestConnection::appendHeader(const std::string& name, const std::string& value) {
    headers_[name] = value;
}

RestResponse RestConnection::sendRdService(const std::string& uri) {
    setMethod("RDSERVICE");
    return performRequest(uri);
}

RestResponse RestConnection::sendDeviceInfo(const std::string& uri) {
    setMethod("DEVICEINFO");
    return performRequest(uri);
}

RestResponse RestConnection::sendCapture(const std::string& uri, const std::string& body) {
    setMethod("CAPTURE");
    return performWithBody(uri, body);
}

RestResponse RestConnection::performWithBody(const std::string& uri, const std::string& body) {
    CURL* curl = handle_.get();
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    return performRequest(uri);
}

RestResponse RestConnection::performRequest(const std::string& uri) {
    CURL* curl = handle_.get();
    RestResponse response;
    const std::string url = baseUrl_ + uri;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &collectBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &collectHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &response);

    CurlHeaderList headerLines;
    for (const auto& [name, value] : headers_) {
        headerLines.append(name + ": " + value);
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headerLines.get());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
    // Requests run on worker threads: the library must never use signals,
    // with or without a time-out.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    if (timeoutSeconds_ > 0) {
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(timeoutSeconds_));
    }

    const CURLcode result = curl_easy_perform(curl);
    if (result == CURLE_OK) {
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        response.code = static_cast<std::int32_t>(status);
    } else if (result == CURLE_OPERATION_TIMEDOUT) {
        response.code = kTimeoutCode;
        response.body = kTimeoutText;
    } else {
        response.code = kFailureCode;
        response.body = kFailureText;
    }
    // Drops every pointer into this call's locals (URL, header list, body).
    curl_easy_reset(curl);
    return response;
}

void RestConnection::setMethod(const char* method) {
    curl_easy_setopt(handle_.get(), CURLOPT_CUSTOMREQUEST, method);
}
