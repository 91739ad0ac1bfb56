#include "e2e/extension_fixture.h"

#include "host/run_loop.h"
#include "platform/files_and_clock.h"
#include "support/loopback.h"

namespace e2e {
namespace {

constexpr int kAttempts = 250;
constexpr unsigned kAttemptPauseMs = 20;
constexpr int kProbeTimeoutMs = 2000;

std::string request(const std::string& method, const std::string& target, const std::string& body,
                    const std::string& headers) {
    std::string text = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers;
    if (!body.empty()) {
        text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    return text + "\r\n" + body;
}

}  // namespace

ExtensionFixture::ExtensionFixture() { folder_.write("config.ini", "SERVER_PORT_START = 11100\n"); }

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
    inFolder_ = std::make_unique<testing_support::ScopedWorkingDirectory>(folder_.path());
    loop_ = std::thread([this] { runLoop(stop_, dataFolder_.path().string()); });
    // The range start may be taken by an earlier test's closing connections.
    for (int attempt = 0; attempt < kAttempts && port_ < 0; ++attempt) {
        for (int candidate = 11100; candidate <= 11109 && port_ < 0; ++candidate) {
            const std::string answer = testing_support::exchange(
                candidate, request("RDSERVICE", "/", "", ""), kProbeTimeoutMs);
            if (answer.find("Registered Device Service Extension") != std::string::npos) {
                port_ = candidate;
            }
        }
        if (port_ < 0) {
            platform::sleepMs(kAttemptPauseMs);
        }
    }
    return port_ > 0;
}

void ExtensionFixture::setDeviceModel(const std::string& model) {
    const std::string folder = dataFolder_.path().string() + "/Lumetra-RD-Service-Wrapper";
    platform::createDirectory(folder);
    testing_support::TempFolder::writeFile(folder + "/DeviceConfig.xml",
                                           "<opts devicemodel=\"" + model + "\" />\n");
}

testing_support::ChildProcess& ExtensionFixture::startDevice(
    int port, const std::vector<std::string>& options) {
    std::vector<std::string> arguments{"--port", std::to_string(port)};
    arguments.insert(arguments.end(), options.begin(), options.end());
    devices_.push_back(std::make_unique<testing_support::ChildProcess>(
        testing_support::builtProgram("rdservice_sim"), arguments));
    devices_.back()->waitForOutput("Simulated RD service at", 10000);
    return *devices_.back();
}

std::string ExtensionFixture::send(const std::string& method, const std::string& target,
                                   const std::string& body, const std::string& headers) {
    return testing_support::exchange(port_, request(method, target, body, headers), 30000);
}

std::string ExtensionFixture::sendTo(int port, const std::string& method, const std::string& target,
                                     const std::string& body, const std::string& headers) {
    return testing_support::exchange(port, request(method, target, body, headers), 30000);
}

std::string ExtensionFixture::bodyOf(const std::string& answer) {
    const std::size_t headEnd = answer.find("\r\n\r\n");
    return headEnd == std::string::npos ? std::string() : answer.substr(headEnd + 4);
}

std::string ExtensionFixture::location(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

}  // namespace e2e
