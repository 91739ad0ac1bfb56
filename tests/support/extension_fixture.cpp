#include "support/extension_fixture.h"

#include <chrono>
#include <future>
#include <memory>
#include <utility>

#include "host/run_loop.h"
#include "support/loopback.h"
#include "support/rd_answer.h"
#include "support/rd_device.h"

namespace testing_support {
namespace {

constexpr auto kStartTimeout = std::chrono::seconds(30);

std::string request(const std::string& method, const std::string& target,
                    const std::string& headers, const std::string& body) {
    return requestText(method, target, "Host: 127.0.0.1\r\n" + headers, body);
}

}  // namespace

ExtensionFixture::ExtensionFixture(int graceMs)
    : ports_(upstreamLastPort - upstreamFirstPort + 1),
      firstPort_(ports_.first()),
      graceMs_(graceMs) {
    folder_.write("config.ini", "SERVER_PORT_START = " + std::to_string(firstPort_) + "\n");
}

ExtensionFixture::~ExtensionFixture() {
    stop();
    devices_.clear();
    inFolder_.reset();
}

void ExtensionFixture::stop() {
    if (loop_.joinable()) {
        stop_.request();
        loop_.join();
    }
}

bool ExtensionFixture::start() {
    inFolder_ = std::make_unique<ScopedWorkingDirectory>(folder_.path());
    // The promise lives only in the run loop's options: a loop that ends
    // without serving breaks it, and the wait ends at once.
    auto ready = std::make_shared<std::promise<int>>();
    std::future<int> firstPort = ready->get_future();
    RunLoopOptions options;
    options.forwarding.dataBaseFolder = dataFolder_.path().string();
    options.forwarding.discovery.firstPort = firstPort_;
    options.forwarding.discovery.lastPort = firstPort_ + (upstreamLastPort - upstreamFirstPort);
    options.forwarding.limits = limits;
    options.forwarding.limits.discoveryGraceMs = graceMs_;
    options.defaults.portRangeStart = firstPort_;  // also when config.ini cannot be read
    options.engineLogPath = (folder_.path() / "engine.log").string();
    // The range start may be taken by an earlier test's closing connections.
    options.onReady = [ready](const std::vector<int>& ports) { ready->set_value(ports.at(0)); };
    loop_ = std::thread([this, options = std::move(options)] { runLoop(stop_, options); });
    ready.reset();
    if (firstPort.wait_for(kStartTimeout) == std::future_status::ready) {
        try {
            port_ = firstPort.get();
        } catch (const std::future_error&) {
            port_ = -1;
        }
    }
    return port_ > 0;
}

void ExtensionFixture::setDeviceModel(const std::string& model) {
    writeDeviceModel(dataFolder_.path().string(), model);
}

ChildProcess& ExtensionFixture::startDevice(int port, const std::vector<std::string>& options) {
    std::vector<std::string> arguments{"--port", std::to_string(port)};
    arguments.insert(arguments.end(), options.begin(), options.end());
    devices_.push_back(std::make_unique<ChildProcess>(builtProgram("rdservice_sim"), arguments));
    devices_.back()->waitForOutput("Simulated RD service at", 10000);
    return *devices_.back();
}

std::string ExtensionFixture::send(const std::string& method, const std::string& target,
                                   const std::string& headers, const std::string& body) {
    return sendTo(port_, method, target, headers, body);
}

std::string ExtensionFixture::sendTo(int port, const std::string& method, const std::string& target,
                                     const std::string& headers, const std::string& body) {
    return exchange(port, request(method, target, headers, body), 30000);
}

std::string ExtensionFixture::location(const std::string& path) const {
    return locationOn(port_, path);
}

std::string ExtensionFixture::answerWith(const std::string& path, const std::string& body) const {
    return rdAnswer(location(path), "(null)", body);
}

std::string ExtensionFixture::notAvailable(const std::string& path) const {
    return answerWith(path, pidData(5, "RDSERVICE_NOT_AVAILABLE"));
}

}  // namespace testing_support
