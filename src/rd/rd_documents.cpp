#include "rd/rd_documents.h"

#include <cstdio>

const char* const extensionInfo = "Quillaris-USB-ZR4410QX Registered Device Service Extension";

char* formatRdServiceDocument(char (&buffer)[kRdServiceDocumentBufferSize], const char* status) {
    std::snprintf(buffer, sizeof buffer,
                  "<RDService status=\"%s\" info=\"%s\">\n"
                  "\t<Interface id=\"CAPTURE\" path=\"/rd/capture\" />\n"
                  "\t<Interface id=\"DEVICEINFO\" path=\"/rd/info\" />\n"
                  "</RDService>",
                  status, extensionInfo);
    return buffer;
}

char* formatLocation(char (&buffer)[kLocationBufferSize], const char* host, int port,
                     const char* path) {
    // snprintf cuts an over-long request URI at the buffer's end.
    std::snprintf(buffer, sizeof buffer, "http://%s:%d%s", host, port,
                  path != nullptr ? path : "");
    return buffer;
}

std::string formatPidDataDocument(int code, const char* info) {
    return "<PidData> <Resp errCode=\"" + std::to_string(code) + "\" errInfo=\"" + info +
           "\" /></PidData>";
}
