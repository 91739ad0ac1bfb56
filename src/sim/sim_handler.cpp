#include "sim/sim_handler.h"

#include <civetweb.h>

#include <chrono>
#include <cstring>
#include <string>

#include "protocol/rd_protocol.h"
#include "rd/rd_response.h"
#include "sim/sim_documents.h"

namespace {

constexpr std::size_t kMaxCaptureBody = 1024 * 1024;

std::string readBody(mg_connection* conn) {
    std::string body;
    char chunk[8192];
    int n = 0;
    while (body.size() < kMaxCaptureBody && (n = mg_read(conn, chunk, sizeof chunk)) > 0) {
        body.append(chunk, static_cast<std::size_t>(n));
    }
    return body;
}

const char* reasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 302:
            return "Found";
        case 404:
            return "Not Found";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

// A device lets a web page call it: it echoes the caller's Origin (or "*"
// without one) and grants a preflight what it asks.
CrossOriginGrant deviceGrant(mg_connection* conn) {
    CrossOriginGrant grant;
    const char* origin = mg_get_header(conn, "Origin");
    grant.origin = origin != nullptr && origin[0] != '\0' ? origin : "*";
    grantPreflightAsks(conn, grant);
    return grant;
}

void writeAnswer(mg_connection* conn, int status, const std::string& body) {
    std::string message =
        "HTTP/1.1 " + std::to_string(status) + " " + reasonPhrase(status) +
        "\r\nContent-Type: text/xml\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\nConnection: close\r\n" + crossOriginLines(deviceGrant(conn)) + "\r\n" + body;
    mg_write(conn, message.data(), message.size());
}

}  // namespace

SimulatedDeviceHandler::SimulatedDeviceHandler(const SimOptions& options) : options_(options) {
    if (options_.info.empty()) {
        options_.info = kSimDefaultInfo;
    }
}

void SimulatedDeviceHandler::stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    stopped_.notify_all();
}

void SimulatedDeviceHandler::wait() const {
    std::unique_lock<std::mutex> lock(mutex_);
    if (options_.hang) {
        stopped_.wait(lock, [this] { return stopping_; });
    } else if (options_.delayMs > 0) {
        stopped_.wait_for(lock, std::chrono::milliseconds(options_.delayMs),
                          [this] { return stopping_; });
    }
}

bool SimulatedDeviceHandler::answer(mg_connection* conn, const char* path,
                                    const std::string& document) {
    wait();
    if (options_.hang) {
        return true;  // stopping: the connection closes without an answer
    }
    if (std::strcmp(mg_get_request_info(conn)->local_uri, path) != 0) {
        writeAnswer(conn, 404, "<Error>no such resource</Error>");
        return true;
    }
    writeAnswer(conn, options_.httpStatus,
                options_.garbage ? std::string("this is not xml <<<") : document);
    return true;
}

bool SimulatedDeviceHandler::handleGet(CivetServer* server, mg_connection* conn) {
    return handleRdService(server, conn);
}

bool SimulatedDeviceHandler::handleOptions(CivetServer*, mg_connection* conn) {
    // A device's preflight answer comes from its HTTP layer: at once, and
    // whatever delay or failure its RD answers are set to.
    writeAnswer(conn, 200, "");
    return true;
}

bool SimulatedDeviceHandler::handleRdService(CivetServer*, mg_connection* conn) {
    return answer(conn, "/", simRdServiceDocument(options_.serviceStatus, options_.info));
}

bool SimulatedDeviceHandler::handleDeviceInfo(CivetServer*, mg_connection* conn) {
    return answer(conn, kDeviceInfoPath, simDeviceInfoDocument());
}

bool SimulatedDeviceHandler::handleCapture(CivetServer*, mg_connection* conn) {
    const std::string pidOptions = readBody(conn);
    return answer(conn, kCapturePath,
                  padWithComment(simPidDataDocument(pidOptions), options_.captureBytes));
}
