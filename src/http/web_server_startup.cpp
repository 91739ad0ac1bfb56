#include "http/web_server_startup.h"

#include <civetweb.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>

#include "http/port_availability.h"
#include "text/escaped_text.h"
#include "platform/files.h"
#include "protocol/rd_protocol.h"
#include "logging/rotating_log.h"

namespace {

struct PortChoice {
    int httpsPort = -1;
    int httpPort = -1;
};

void formatPortsText(char (&text)[128], const char* host, bool withTls, const PortChoice& ports) {
    if (withTls && host != nullptr) {
        std::snprintf(text, sizeof text, "%s:%ds,%s:%d", host, ports.httpsPort, host,
                      ports.httpPort);
    } else if (withTls) {
        std::snprintf(text, sizeof text, "%ds,%d", ports.httpsPort, ports.httpPort);
    } else if (host != nullptr) {
        std::snprintf(text, sizeof text, "%s:%d", host, ports.httpPort);
    } else {
        std::snprintf(text, sizeof text, "%d", ports.httpPort);
    }
}

// The one writer of each engine log file in the process (a RotatingLog must
// be the only writer of its file); kept for the process's lifetime, as the
// engine may log until its last thread ends.
RotatingLog& engineLog(const std::string& path) {
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<RotatingLog>> logs;
    std::lock_guard<std::mutex> lock(mutex);
    std::unique_ptr<RotatingLog>& log = logs[path];
    if (!log) log = std::make_unique<RotatingLog>(path);
    return *log;
}

// The engine's messages go to the log its "error_log_file" option names, with
// a cap, and with the bytes a client chose (a request line, a URI) made harmless.
int writeEngineLog(const mg_connection* conn, const char* message) {
    const char* path = mg_get_option(mg_get_context(conn), "error_log_file");
    if (path == nullptr || *path == '\0') return 1;
    RotatingLog& log = engineLog(path);
    const mg_request_info* info = mg_get_request_info(conn);
    std::string line = "[error] ";
    if (info != nullptr && info->remote_addr[0] != '\0') {
        line += std::string("[client ") + info->remote_addr + "] ";
    }
    log.write(text::escapeControlBytes(line + message));
    return 1;
}

// Constructs the server for one port pair; null when the engine refuses,
// with its reason in `reason`.
std::unique_ptr<CivetServer> tryStart(const char* portsText, bool withTls,
                                      const std::string& errorLogPath, const ServiceLimits& limits,
                                      std::string& reason) {
    const std::string workers = std::to_string(limits.engineWorkers);
    const std::string timeout = std::to_string(limits.requestTimeoutMs);
    // The engine refuses a chunk that would take a body past the limit as
    // soon as it reads the chunk's size.
    const std::string bodyLimit = std::to_string(limits.maxRequestBodyBytes);
    // No "document_root": the engine is built without file serving, so no
    // request can ever reach the program's folder.
    const char* options[] = {"listening_ports",
                             portsText,
                             "num_threads",
                             workers.c_str(),
                             "error_log_file",
                             errorLogPath.c_str(),
                             "request_timeout_ms",
                             timeout.c_str(),
                             "max_request_body_size",
                             bodyLimit.c_str(),
                             nullptr,
                             nullptr,
                             nullptr};
    if (withTls) {
        options[10] = "ssl_certificate";
        // Always this file, whatever path the settings name: the configured
        // path only decides whether HTTPS is offered.
        options[11] = kCertificatePath;
    }
    mg_callbacks callbacks;
    std::memset(&callbacks, 0, sizeof callbacks);
    callbacks.log_message = writeEngineLog;
    try {
        return std::make_unique<CivetServer>(options, &callbacks, limits.handlerRegistrationWaitMs);
    } catch (const CivetException& e) {
        reason = e.reason().empty() ? e.what() : e.reason();
    } catch (const std::exception& e) {
        reason = e.what();
    }
    return nullptr;
}

bool isTlsFailure(const std::string& reason) {
    return reason.find("SSL") != std::string::npos || reason.find("ssl") != std::string::npos;
}

std::unique_ptr<CivetServer> startOnRange(const char* host, int firstPort, int lastPort,
                                          bool withTls, const std::string& errorLogPath,
                                          const ServiceLimits& limits, std::string& reason) {
    PortChoice ports;
    int port = firstPort;
    while (port <= lastPort) {
        if (isPortInUse(port)) {
            ++port;
            continue;
        }
        if (withTls && ports.httpsPort < 0) {
            ports.httpsPort = port++;
            continue;
        }
        if (ports.httpPort < 0) {
            ports.httpPort = port++;
        }
        char portsText[128];
        formatPortsText(portsText, host, withTls, ports);
        std::unique_ptr<CivetServer> server =
            tryStart(portsText, withTls, errorLogPath, limits, reason);
        if (server) {
            std::printf("Web service hosted at http://%s\n", portsText);
            std::fflush(stdout);
            return server;
        }
        if (withTls && isTlsFailure(reason)) {
            return nullptr;
        }
        ports = PortChoice();
    }
    return nullptr;
}

}  // namespace

bool isPortInUse(int port) { return probePort(port) != PortState::kFree; }

std::unique_ptr<CivetServer> startWebServer(const char* host, int firstPort, int lastPort,
                                            const std::string& sslCertificatePath,
                                            const std::string& errorLogPath,
                                            const ServiceLimits& limits,
                                            std::string* failureReason) {
    const bool withTls = platform::fileExists(sslCertificatePath);
    std::string reason;
    std::unique_ptr<CivetServer> server =
        startOnRange(host, firstPort, lastPort, withTls, errorLogPath, limits, reason);
    if (!server && withTls && isTlsFailure(reason)) {
        // A bad certificate must not leave the machine without the extension.
        std::printf("HTTPS is not available (%s); serving HTTP only\n", reason.c_str());
        std::fflush(stdout);
        server = startOnRange(host, firstPort, lastPort, false, errorLogPath, limits, reason);
    }
    if (failureReason != nullptr) {
        *failureReason = server ? std::string() : reason;
    }
    return server;
}
