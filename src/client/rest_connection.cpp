#include "client/rest_connection.h"

#include <algorithm>
#include <stdexcept>
#include <vector>
#include <utility>

#include "client/byte_budget.h"
#include "client/cancellation.h"
#include "client/response_collector.h"
#include "client/transfer_set.h"
#include "platform/loopback_listeners.h"

namespace {

const char* const kUserAgent = "rdext-http-client/v1.0";
const char* const kTimeoutText = "Operation Timeout.";
const char* const kFailureText = "Failed to query.";
// A waiting request looks at its transfer at least this often.
constexpr int kWaitRoundMs = 1000;

// Every upstream is on this machine: each socket is set to learn of a
// refused port at once (the setting is ignored where the system refuses it).
int prepareLoopbackSocket(void*, curl_socket_t socket, curlsocktype purpose) {
    if (purpose == CURLSOCKTYPE_IPCXN) {
        platform::failLoopbackConnectFast(static_cast<std::uintptr_t>(socket));
    }
    return CURL_SOCKOPT_OK;
}

}  // namespace

RestConnection::RestConnection(std::string baseUrl, HandlePool* handles)
    : handle_(handles), baseUrl_(std::move(baseUrl)) {
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
    TransferSet transfer(limits_.cancel, limits_.handles);
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
    framing_ = ResponseFraming();
    bodyTarget_ = BodyTarget{&pending_, limits_.maxBodyBytes, limits_.budget};
    url_ = baseUrl_ + uri;
    curl_easy_setopt(curl, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &RestConnection::collectBodyUpToCap);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &bodyTarget_);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &RestConnection::collectHeaderLine);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);

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
    // Requests go to this machine: a proxy the environment names for the
    // whole machine (http_proxy, all_proxy) must not carry them.
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_SOCKOPTFUNCTION, &prepareLoopbackSocket);
    routeToConnectAddress(curl);
    if (timeoutSeconds_ > 0) {
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(timeoutSeconds_));
    }
    return curl;
}

// Connects straight to the address that listens, whatever the host name
// would resolve to first: no second address family tried after a delay.
void RestConnection::routeToConnectAddress(CURL* curl) {
    connectTo_.reset();
    const std::string& address = limits_.connectAddress;
    if (address.empty()) {
        return;
    }
    connectTo_ = std::make_unique<CurlHeaderList>();
    // "host:port:address:port" with host and ports empty: any host and port
    // of this transfer, to `address` on the URL's port.
    const bool ipv6 = address.find(':') != std::string::npos;
    connectTo_->append("::" + (ipv6 ? "[" + address + "]" : address) + ":");
    curl_easy_setopt(curl, CURLOPT_CONNECT_TO, connectTo_->get());
}

RestResponse RestConnection::complete(CURLcode result) {
    CURL* curl = handle_.get();
    RestResponse response = std::move(pending_);
    if (result == CURLE_OK && !framing_.isWhole(response.body.size())) {
        // Cut or malformed, though the library took it: as unusable as a
        // transfer that failed outright.
        result = CURLE_WEIRD_SERVER_REPLY;
    }
    if (result == CURLE_OK) {
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        response.code = static_cast<std::int32_t>(status);
    } else if (result == CURLE_OPERATION_TIMEDOUT) {
        response.code = kRestTimedOutCode;
        response.body = kTimeoutText;
    } else {
        response.code = kRestFailedCode;
        response.body = kFailureText;
        response.overBudget = bodyTarget_.overBudget;
    }
    // Drops every pointer into this request's state (URL, header list, body).
    curl_easy_reset(curl);
    headerLines_.reset();
    connectTo_.reset();
    pending_ = RestResponse();
    return response;
}

std::size_t RestConnection::collectBodyUpToCap(char* data, std::size_t size, std::size_t count,
                                               void* target) {
    auto* body = static_cast<BodyTarget*>(target);
    const std::string& received = body->response->body;
    const std::size_t bytes = size * count;
    if (bytes > body->maxBytes - std::min(body->maxBytes, received.size())) {
        return 0;  // past the cap: the library ends the transfer as failed
    }
    if (!chargeBufferGrowth(body->budget, received, bytes, body->charged)) {
        body->overBudget = true;
        return 0;  // the process's buffers are full: fail rather than grow
    }
    return collectBody(data, size, count, body->response);
}

std::size_t RestConnection::collectHeaderLine(char* data, std::size_t size, std::size_t count,
                                              void* target) {
    auto* connection = static_cast<RestConnection*>(target);
    connection->framing_.onHeaderLine(data, size * count);
    return collectHeader(data, size, count, &connection->pending_);
}

void RestConnection::setMethod(const char* method) {
    curl_easy_setopt(handle_.get(), CURLOPT_CUSTOMREQUEST, method);
}
