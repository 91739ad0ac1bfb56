#include "http/web_server_startup.h"

#include <cstdio>
#include <exception>

#include "host/program_settings.h"
#include "platform/net.h"
#include "platform/process.h"

namespace {

// The engine is always given this file, whatever path the settings name:
// the configured path only decides whether HTTPS is offered.
const char* const kEngineCertificateName = "./ssl_localhost.pem";

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

// Constructs the server for one port pair; null when the engine refuses.
std::unique_ptr<CivetServer> tryStart(const char* portsText, const char* certificate) {
    const char* options[] = {"document_root",  ".",
                             "listening_ports", portsText,
                             "num_threads",    "4",
                             "error_log_file", "rdserver_ext_error.log",
                             nullptr,          nullptr,
                             nullptr};
    if (certificate[0] != '\0') {
        options[8] = "ssl_certificate";
        options[9] = certificate;
    }
    try {
        return std::make_unique<CivetServer>(options);
    } catch (const std::exception&) {
        return nullptr;
    }
}

}  // namespace

bool isPortInUse(int port) {
    const platform::BindProbe probe = platform::probeBindAllInterfaces(port);
    if (probe.socketLayerError != 0) {
        std::printf("WSAStartup failed with error: %d\n", probe.socketLayerError);
    }
    return !probe.bindable;
}

std::unique_ptr<CivetServer> startWebServer(const char* host, int firstPort, int lastPort) {
    const bool withTls = platform::fileExists(sslCertificatePath);
    char certificate[128] = "";
    if (withTls) {
        std::snprintf(certificate, sizeof certificate, "./%s", kEngineCertificateName);
    }
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
        std::unique_ptr<CivetServer> server = tryStart(portsText, certificate);
        if (server) {
            std::printf("Web service hosted at http://%s\n", portsText);
            std::fflush(stdout);
            return server;
        }
        ports = PortChoice();
    }
    return nullptr;
}
