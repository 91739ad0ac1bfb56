#include "rd/rd_documents.h"

#include <algorithm>
#include <cstdio>

#include "protocol/rd_protocol.h"

const char* const extensionInfo = kExtensionInfo;

std::string rdServiceDocument(const std::string& status, const std::string& info) {
    return "<RDService status=\"" + status + "\" info=\"" + info +
           "\">\n\t<Interface id=\"CAPTURE\" path=\"" + kCapturePath +
           "\" />\n\t<Interface id=\"DEVICEINFO\" path=\"" + kDeviceInfoPath +
           "\" />\n</RDService>";
}

char* formatRdServiceDocument(char (&buffer)[kRdServiceDocumentBufferSize], const char* status) {
    std::snprintf(buffer, sizeof buffer, "%s", rdServiceDocument(status, extensionInfo).c_str());
    return buffer;
}

char* formatLocation(char (&buffer)[kLocationBufferSize], const char* host, int port,
                     const char* path) {
    static const char kHex[] = "0123456789ABCDEF";
    int length = std::snprintf(buffer, sizeof buffer, "http://%s:%d", host, port);
    std::size_t used =
        length < 0 ? 0 : std::min(static_cast<std::size_t>(length), sizeof buffer - 1);
    // The path is the decoded request URI: a byte that cannot stand in a
    // header (a control, CR, LF, a blank, DEL, 8-bit) goes out percent-encoded
    // again, so a client cannot break out of the LOCATION line. An escape is
    // never cut in half.
    for (const char* p = path != nullptr ? path : ""; *p != '\0'; ++p) {
        const auto byte = static_cast<unsigned char>(*p);
        const bool visible = byte > 0x20 && byte < 0x7F;
        const std::size_t width = visible ? 1 : 3;
        if (used + width > sizeof buffer - 1) {
            break;
        }
        if (visible) {
            buffer[used++] = *p;
        } else {
            buffer[used++] = '%';
            buffer[used++] = kHex[byte >> 4];
            buffer[used++] = kHex[byte & 0x0F];
        }
    }
    buffer[used] = '\0';
    return buffer;
}

std::string formatPidDataDocument(int code, const char* info) {
    return "<PidData> <Resp errCode=\"" + std::to_string(code) + "\" errInfo=\"" + info +
           "\" /></PidData>";
}
