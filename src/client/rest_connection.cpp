#include "client/rest_connection.h"

#include <algorithm>
#include <stdexcept>
#include <vector>
#include <utility>

#include "client/cancellation.h"
#include "client/response_collector.h"
#include "client/transfer_set.h"

namespace {

const char* const kUserAgent = "rdext-http-client/v1.0";
const char* const kTimeoutText = "Operation Timeout.";
const char* const kFailureText = "Failed to query.";
constexpr std::int32_t kTimeoutCode = 28;
constexpr std::int32_t kFailureCode = -1;
// A waiting request looks at its transfer at least this often.
constexpr int kWaitRoundMs = 1000;

}  // namespace

RestConnection::RestConnection(std::string baseUrl) : baseUrl_(std::move(baseUrl)) {
    if (handle_.get() == nullptr) {
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
    CURL* curl = begin(uri);
    if (limits_.cancel != nullptr && limits_.cancel->cancelled()) {
        return complete(CURLE_ABORTED_BY_CALLBACK);
    }
    TransferSet transfer(limits_.cancel);
    if (!transfer.add(curl)) {
        return complete(CURLE_FAILED_INIT);
    }
    // The time-out of the request itself ends it; the wait only bounds one round.
    for (;;) {
        const std::vector<TransferSet::Finished> finished = transfer.wait(kWaitRoundMs);
        if (!finished.empty()) {
            return complete(finished.front().result);
        }
    }
}

CURL* RestConnection::begin(const std::string& uri) {
    CURL* curl = handle_.get();
    pending_ = RestResponse();
    bodyTarget_ = BodyTarget{&pending_, limits_.maxBodyBytes};
    url_ = baseUrl_ + uri;
    curl_easy_setopt(curl, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &RestConnection::collectBodyUpToCap);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &bodyTarget_);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &collectHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &pending_);

    headerLines_ = std::make_unique<CurlHeaderList>();
    for (const auto& [name, value] : headers_) {
        headerLines_->append(name + ": " + value);
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headerLines_->get());
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
    // Requests run on worker threads: the library must never use signals,
    // with or without a time-out.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    // The handle outlives the request, but nothing of the request may reach
    // the next one: its connection closes when it ends, and the address of
    // its host is looked up afresh.
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(curl, CURLOPT_DNS_CACHE_TIMEOUT, 0L);
    if (timeoutSeconds_ > 0) {
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(timeoutSeconds_));
    }
    return curl;
}

RestResponse RestConnection::complete(CURLcode result) {
    CURL* curl = handle_.get();
    RestResponse response = std::move(pending_);
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
    // Drops every pointer into this request's state (URL, header list, body).
    curl_easy_reset(curl);
    headerLines_.reset();
    pending_ = RestResponse();
    return response;
}

std::size_t RestConnection::collectBodyUpToCap(char* data, std::size_t size, std::size_t count,
                                               void* target) {
    auto* body = static_cast<BodyTarget*>(target);
    if (size * count > body->maxBytes - std::min(body->maxBytes, body->response->body.size())) {
        return 0;  // past the cap: the library ends the transfer as failed
    }
    return collectBody(data, size, count, body->response);
}

void RestConnection::setMethod(const char* method) {
    curl_easy_setopt(handle_.get(), CURLOPT_CUSTOMREQUEST, method);
}
