#include "host/run_loop.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>

#include "config/load_config.h"
#include "host/program_settings.h"
#include "http/web_server_startup.h"
#include "platform/console.h"
#include "platform/process.h"
#include "rd/rd_request_handler.h"

namespace {

constexpr unsigned kStopPollMs = 1000;
constexpr int kPortRangeLength = 10;

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

int runLoop(std::atomic<bool>& stopFlag) {
    RDSWrapperRestfulRequestHandler handler;  // outlives the server
    const char* const route = "/";
    loadConfig();
    const int lastPort = portRangeStart + kPortRangeLength - 1;
    std::unique_ptr<CivetServer> server = startWebServer(listenHost, portRangeStart, lastPort);
    if (!server) {
        std::printf("Server starting failed on ports %d-%d\n", portRangeStart, lastPort);
        return 1;
    }
    server->addHandler(route, &handler);
    while (!stopFlag.load()) {
        platform::sleepMs(kStopPollMs);
    }
    std::printf("Bye!\n");
    std::fflush(stdout);
    server->close();
    stopFlag = false;
    return 0;
}

void onSignal(int signalNumber) {
    char line[40];
    platform::writeStdoutSignalSafe(line, formatSignalLine(line, signalNumber));
    stopRequested = true;
}

void installSignalHandlers() {
    for (int signalNumber : {SIGINT, SIGILL, SIGFPE, SIGTERM}) {
        platform::installOneShotSignalHandler(signalNumber, onSignal);
    }
}

int runConsole() {
    try {
        installSignalHandlers();
        return runLoop(stopRequested);
    } catch (const std::exception& e) {
        std::printf("%s", e.what());
        return 1;
    } catch (...) {
        return 1;
    }
}
