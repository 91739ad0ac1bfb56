#include "sim/sim_cors.h"

#include <civetweb.h>

#include <cstring>

std::string simCorsHeaderLines(mg_connection* conn) {
    const char* origin = mg_get_header(conn, "Origin");
    const bool hasOrigin = origin != nullptr && origin[0] != '\0';
    return std::string("Access-Control-Allow-Origin: ") + (hasOrigin ? origin : "*") +
           "\r\nAccess-Control-Allow-Methods: RDSERVICE, CAPTURE, DEVICEINFO\r\n";
}

std::string simPreflightHeaderLines(mg_connection* conn) {
    std::string lines;
    const char* headers = mg_get_header(conn, "Access-Control-Request-Headers");
    if (headers != nullptr && headers[0] != '\0') {
        lines += std::string("Access-Control-Allow-Headers: ") + headers + "\r\n";
    }
    const char* privateNetwork = mg_get_header(conn, "Access-Control-Request-Private-Network");
    if (privateNetwork != nullptr && std::strcmp(privateNetwork, "true") == 0) {
        lines += "Access-Control-Allow-Private-Network: true\r\n";
    }
    return lines;
}
