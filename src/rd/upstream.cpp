#include "rd/upstream.h"

#include <algorithm>
#include <cstring>

#include "client/rd_requests.h"
#include "config/device_model.h"
#include "config/xml_parser.h"

namespace {

const char* const kServiceMarker = "Registered Device Service";

std::string upstreamUrl(int port, const char* path) {
    return "http://localhost:" + std::to_string(port) + path;
}

}  // namespace

bool identifiesUpstream(const RestResponse& response) {
    if (response.code != 200) {
        return false;
    }
    XmlParseStatus status;
    XmlNodeRef service = parseXmlText(response.body.c_str(), &status, "RDService");
    if (status.code != XmlParseCode::None) {
        return false;
    }
    const char* info = service.attributeValue("info");
    if (info == nullptr) {
        return false;
    }
    const std::string model = readDeviceModel();
    return std::strstr(info, model.c_str()) != nullptr &&
           std::strstr(info, kServiceMarker) != nullptr;
}

int discoverUpstreamPort(const std::vector<int>& ownPorts) {
    for (int port = upstreamFirstPort; port <= upstreamLastPort; ++port) {
        if (std::find(ownPorts.begin(), ownPorts.end(), port) != ownPorts.end()) {
            continue;
        }
        if (identifiesUpstream(queryUpstreamRdService(port))) {
            return port;
        }
    }
    return -1;
}

RestResponse queryUpstreamRdService(int port) {
    return rdServiceRequest(upstreamUrl(port, "/"), upstreamTimeoutSeconds);
}

RestResponse queryUpstreamDeviceInfo(int port) {
    return deviceInfoRequest(upstreamUrl(port, "/rd/info"), upstreamTimeoutSeconds);
}

RestResponse queryUpstreamCapture(int port, const std::string& body) {
    return captureRequest(upstreamUrl(port, "/rd/capture"), "", body, upstreamTimeoutSeconds);
}
