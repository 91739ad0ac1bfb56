// rdservice_sim: a simulated RD device service on the loopback address, so
// the extension can be run and tested without the vendor's device.
#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "http/civet_server.h"
#include "http/web_server_startup.h"
#include "limits/service_limits.h"
#include "platform/console.h"
#include "protocol/rd_protocol.h"
#include "platform/stop_event.h"
#include "sim/sim_handler.h"
#include "sim/sim_options.h"

namespace {

platform::StopEvent stopSignal;

void onStopSignal(int) { stopSignal.request(); }

int firstFreePort(int from, int to) {
    for (int port = from; port <= to; ++port) {
        if (!isPortInUse(port)) {
            return port;
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    platform::prepareStdout();
    SimOptions options;
    std::string error;
    if (!parseSimOptions(argc, argv, options, error)) {
        std::printf("%s\n%s", error.c_str(), kSimUsage);
        return 2;
    }
    const int port =
        options.port != 0 ? options.port : firstFreePort(upstreamFirstPort, upstreamLastPort);
    if (port < 0) {
        std::printf("No free port between %d and %d\n", upstreamFirstPort, upstreamLastPort);
        return 1;
    }
    platform::installOneShotSignalHandler(SIGINT, onStopSignal);
    platform::installOneShotSignalHandler(SIGTERM, onStopSignal);

    const std::string listening = std::string(kLoopbackAddress) + ":" + std::to_string(port);
    const char* engineOptions[] = {"listening_ports", listening.c_str(), "num_threads", "16",
                                   nullptr};
    SimulatedDeviceHandler handler(options);
    std::unique_ptr<CivetServer> server;
    try {
        server = std::make_unique<CivetServer>(engineOptions, nullptr,
                                               kServiceLimits.handlerRegistrationWaitMs);
    } catch (const std::exception& e) {
        std::printf("Cannot listen on %s: %s\n", listening.c_str(), e.what());
        return 1;
    }
    server->addHandler("/", &handler);
    std::printf("Simulated RD service at http://%s/\n", listening.c_str());
    stopSignal.waitRequested();
    handler.stop();  // delayed and hung answers end, so the engine can stop
    server->close();
    std::printf("Simulated RD service stopped\n");
    return 0;
}
