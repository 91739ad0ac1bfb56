#include "support/rd_answer.h"

#include "protocol/rd_protocol.h"

namespace testing_support {

std::string rdAnswer(const std::string& location, const std::string& origin,
                     const std::string& body, const std::string& extraHeaderLines) {
    return "HTTP/1.1 200 OK\r\nCACHE-CONTROL:no-cache\r\nLOCATION:" + location +
           "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nContent-Type: text/xml\r\nConnection: close\r\nAccess-Control-Allow-Origin: " +
           origin + "\r\nAccess-Control-Allow-Methods: RDSERVICE, CAPTURE, DEVICEINFO\r\n" +
           extraHeaderLines + "\r\n" + body;
}

std::string rdAnswerAdmittingNoOrigin(const std::string& location, const std::string& body) {
    return "HTTP/1.1 200 OK\r\nCACHE-CONTROL:no-cache\r\nLOCATION:" + location +
           "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nContent-Type: text/xml\r\nConnection: close\r\n\r\n" + body;
}

std::string pidData(int code, const std::string& info) {
    return "<PidData> <Resp errCode=\"" + std::to_string(code) + "\" errInfo=\"" + info +
           "\" /></PidData>";
}

std::string deviceRdServiceDocument(const std::string& interfaces) {
    return std::string("<RDService status=\"READY\" info=\"") + kDefaultDeviceModel + " " +
           kServiceMarker + "\">" + interfaces + "</RDService>";
}

std::string ownRdServiceDocument() {
    return std::string("<RDService status=\"READY\" info=\"") + kExtensionInfo +
           "\">\n\t<Interface id=\"CAPTURE\" path=\"/rd/capture\" />\n"
           "\t<Interface id=\"DEVICEINFO\" path=\"/rd/info\" />\n</RDService>";
}

}  // namespace testing_support
