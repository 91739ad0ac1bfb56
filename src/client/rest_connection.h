#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "client/curl_string_list.h"
#include "client/handle_pool.h"
#include "client/response_framing.h"
#include "client/rest_response.h"
#include "client/transfer_limits.h"

// HTTP/1.1 requests, each over its own TCP connection (closed when the
// request ends), sending an RD verb as the request method. The transfer
// handle is leased from a pool when one is given (client/handle_pool.h).
// Not copyable; use from one thread. None of the send operations throws for transfer failures: they
// are reported in RestResponse::code and body. Redirects are not followed.
class RestConnection {
  public:
    // `baseUrl` is put in front of every request URI; `handles` (may be
    // null) lends the transfer handle and must outlive the connection.
    // Throws std::runtime_error("Couldn't initialize curl handle") when the
    // transfer handle cannot be created.
    explicit RestConnection(std::string baseUrl, HandlePool* handles = nullptr);
    RestConnection(const RestConnection&) = delete;
    RestConnection& operator=(const RestConnection&) = delete;

    // Whole-transfer time-out in seconds; 0 (the default) or less means none.
    void setTimeout(std::int32_t seconds);
    // Body cap, cancel and connect address of every later request (default: none).
    void setLimits(const TransferLimits& limits) { limits_ = limits; }

    // Sends "name: value" with every request; a later call for the same name
    // replaces the value. A header with an empty value is not sent at all,
    // and also keeps the library from sending its own header of that name.
    void appendHeader(const std::string& name, const std::string& value);

    RestResponse sendRdService(const std::string& uri);
    RestResponse sendDeviceInfo(const std::string& uri);
    // Sends `body` with a Content-Length of its byte length.
    RestResponse sendCapture(const std::string& uri, const std::string& body);

    // Runs the request with `body` (used in place, not copied).
    RestResponse performWithBody(const std::string& uri, const std::string& body);
    // Runs the request with the method set so far, then resets the handle.
    RestResponse performRequest(const std::string& uri);

    // The two halves of performRequest, for running several connections at
    // once (client/transfer_set.h): begin prepares the transfer and returns
    // the handle to drive; complete maps its result and resets the handle.
    CURL* begin(const std::string& uri);
    RestResponse complete(CURLcode result);

    void setMethod(const char* method);
    CURL* handle() const { return handle_.get(); }

  private:
    // Where the body callback writes: the response, up to a cap, within a
    // budget share (that other buffers may grow too).
    struct BodyTarget {
        RestResponse* response;
        std::size_t maxBytes;
        BudgetShare* budget;
        std::size_t charged = 0;  // what this body has taken of `budget`
        bool overBudget = false;  // the budget ended the transfer
    };
    static std::size_t collectBodyUpToCap(char* data, std::size_t size, std::size_t count,
                                          void* target);
    // Records a header line in the response and in the framing check;
    // `target` is the connection.
    static std::size_t collectHeaderLine(char* data, std::size_t size, std::size_t count,
                                         void* target);
    void routeToConnectAddress(CURL* curl);

    KeptEasy handle_;
    std::string baseUrl_;
    std::map<std::string, std::string> headers_;
    std::int32_t timeoutSeconds_ = 0;
    TransferLimits limits_;
    // State of the request between begin and complete.
    std::string url_;
    std::unique_ptr<CurlHeaderList> headerLines_;
    std::unique_ptr<CurlHeaderList> connectTo_;
    RestResponse pending_;
    BodyTarget bodyTarget_{nullptr, 0, nullptr};
    ResponseFraming framing_;
};
