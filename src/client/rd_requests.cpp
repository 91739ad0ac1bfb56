#include "client/rd_requests.h"

#include "client/rest_connection.h"

RestResponse rdServiceRequest(const std::string& url, std::int32_t timeoutSeconds,
                              const TransferLimits& limits) {
    RestConnection connection("");
    connection.setTimeout(timeoutSeconds);
    connection.setLimits(limits);
    return connection.sendRdService(url);
}

RestResponse captureRequest(const std::string& url, const std::string& contentType,
                            const std::string& body, std::int32_t timeoutSeconds,
                            const TransferLimits& limits) {
    RestConnection connection("");
    connection.setTimeout(timeoutSeconds);
    connection.setLimits(limits);
    connection.appendHeader("Content-Type", contentType);
    return connection.sendCapture(url, body);
}

RestResponse deviceInfoRequest(const std::string& url, std::int32_t timeoutSeconds,
                               const TransferLimits& limits) {
    RestConnection connection("");
    connection.setTimeout(timeoutSeconds);
    connection.setLimits(limits);
    return connection.sendDeviceInfo(url);
}
