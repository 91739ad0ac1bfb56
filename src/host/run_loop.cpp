#include "host/run_loop.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>

#include "config/load_config.h"
#include "config/server_settings.h"
#include "host/program_settings.h"
#include "http/port_availability.h"
#include "http/web_server_startup.h"
#include "platform/console.h"
#include "platform/memory.h"
#include "rd/rd_request_handler.h"

namespace {

// "Caught signal <n>\n" without any call that is unsafe in a signal handler.
std::size_t formatSignalLine(char (&line)[40], int signalNumber) {
    static const char kPrefix[] = "Caught signal ";
    std::size_t length = 0;
    for (const char* p = kPrefix; *p != '\0'; ++p) {
        line[length++] = *p;
    }
    if (signalNumber < 0) {
        line[length++] = '-';
    }
    unsigned value = signalNumber < 0 ? 0u - static_cast<unsigned>(signalNumber)
                                      : static_cast<unsigned>(signalNumber);
    char digits[12];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) {
        line[length++] = digits[--count];
    }
    line[length++] = '\n';
    return length;
}

}  // namespace

int runLoop(platform::StopEvent& stop, const RunLoopOptions& options) {
    ServerSettings settings = options.defaults;
    ConfigLoad config;
    loadConfig(settings, &config);
    if (config.file == ConfigFile::kUnreadable) {
        std::printf("%s\n", config.unreadableLine.c_str());
    }
    if (settings.allowedOrigins.restricted) {
        std::printf("Allowed origins: %s\n",
                    describeAllowedOrigins(settings.allowedOrigins).c_str());
    }
    // Request bodies and answers of up to megabytes come and go in bursts;
    // their memory must not stay with the process afterwards.
    platform::returnLargeBuffersPromptly();
    // Both outlive the server.
    ForwardingState forwarding(options.forwarding, settings.allowedOrigins);
    RDSWrapperRestfulRequestHandler handler(forwarding);
    const char* const route = "/";
    const int firstPort = settings.portRangeStart;
    const int lastPort = lastPortOfRange(firstPort);
    std::string reason;
    std::unique_ptr<CivetServer> server =
        startWebServer(listenHost, firstPort, lastPort, settings.sslCertificatePath,
                       options.engineLogPath, options.forwarding.limits, &reason);
    if (!server) {
        if (!reason.empty()) {
            std::printf("The HTTP engine did not start: %s\n", reason.c_str());
        }
        std::printf("Server starting failed on ports %d-%d\n", firstPort, lastPort);
        const std::string reserved = reservedPortsLine(firstPort, lastPort);
        if (!reserved.empty()) std::printf("%s\n", reserved.c_str());
        std::fflush(stdout);
        return 1;
    }
    server->addHandler(route, &handler);
    if (options.onReady) options.onReady(server->getListeningPorts());
    stop.waitRequested();
    std::printf("Bye!\n");
    std::fflush(stdout);
    // Requests waiting on the upstream end now, answered RDSERVICE_NOT_AVAILABLE,
    // so the engine's workers are free to stop.
    forwarding.stopAndDrain();
    server->close();
    stop.acknowledge();
    return 0;
}

void onSignal(int signalNumber) {
    char line[40];
    platform::writeStdoutSignalSafe(line, formatSignalLine(line, signalNumber));
    stopRequested.request();
}

void installSignalHandlers() {
    for (int signalNumber : {SIGINT, SIGILL, SIGFPE, SIGTERM}) {
        platform::installOneShotSignalHandler(signalNumber, onSignal);
    }
}

namespace {

int runConsoleGuarded() {
    try {
        installSignalHandlers();
        platform::takeOverConsole(onSignal, stopRequested);
        return runLoop(stopRequested);
    } catch (const std::exception& e) {
        std::printf("%s", e.what());
        return 1;
    } catch (...) {
        return 1;
    }
}

}  // namespace

int runConsole() {
    const int result = runConsoleGuarded();
    platform::restoreConsole();
    return result;
}
