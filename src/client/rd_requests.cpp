#include "client/rd_requests.h"

#include "client/rest_connection.h"

namespace {

// Every one-shot request runs on a fresh connection with these bounds.
void bound(RestConnection& connection, std::int32_t timeoutSeconds, const TransferLimits& limits) {
    connection.setTimeout(timeoutSeconds);
    connection.setLimits(limits);
}

}  // namespace

RestResponse rdServiceRequest(const std::string& url, std::int32_t timeoutSeconds,
                              const TransferLimits& limits) {
    RestConnection connection("", limits.handles);
    bound(connection, timeoutSeconds, limits);
    return connection.sendRdService(url);
}

RestResponse captureRequest(const std::string& url, const std::string& contentType,
                            const std::string& body, std::int32_t timeoutSeconds,
                            const TransferLimits& limits) {
    RestConnection connection("", limits.handles);
    bound(connection, timeoutSeconds, limits);
    connection.appendHeader("Content-Type", contentType);
    return connection.sendCapture(url, body);
}

RestResponse deviceInfoRequest(const std::string& url, std::int32_t timeoutSeconds,
                               const TransferLimits& limits) {
    RestConnection connection("", limits.handles);
    bound(connection, timeoutSeconds, limits);
    return connection.sendDeviceInfo(url);
}
