#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/stop_event.h"
#include "protocol/rd_protocol.h"
#include "rd/upstream.h"
#include "support/child_process.h"
#include "support/port_range.h"
#include "support/temp_folder.h"

namespace testing_support {

// The extension's run loop on a thread of this process, in a folder of its
// own (config.ini with the range start at 21 reserved ports, a private data
// folder for DeviceConfig.xml), plus simulated RD devices as child processes.
class ExtensionFixture {
  public:
    // The extension listens from the first of 21 free ports and probes all
    // of them; a device that identified waits `graceMs` for silent ports
    // below it.
    explicit ExtensionFixture(int graceMs = kServiceLimits.discoveryGraceMs);
    ~ExtensionFixture();

    // Starts the run loop and waits (bounded) until it serves requests.
    bool start();
    // Requests the run loop's stop and waits for it to end.
    void stop();
    // The extension's first listening port.
    int port() const { return port_; }
    // The port `offset` places above the first probed (the extension's own
    // range starts there too): where a test puts a device.
    int upstreamPort(int offset) const { return firstPort_ + offset; }
    // The folder with config.ini and the limits, for a test to vary before start().
    const std::filesystem::path& folder() const { return folder_.path(); }
    ServiceLimits limits;
    // Writes DeviceConfig.xml with `model` into the private data folder.
    void setDeviceModel(const std::string& model);

    // Starts rdservice_sim on `port` with extra options; waits until it listens.
    ChildProcess& startDevice(int port, const std::vector<std::string>& options = {});

    // Sends one request (support/rd_device.h's requestText, with a Host
    // line first) to the extension and returns the whole answer.
    std::string send(const std::string& method, const std::string& target,
                     const std::string& headers = "", const std::string& body = "");
    // Same, straight to a device.
    static std::string sendTo(int port, const std::string& method, const std::string& target,
                              const std::string& headers = "", const std::string& body = "");
    std::string location(const std::string& path) const;
    // The extension's answer for `path` to a caller without an origin.
    std::string answerWith(const std::string& path, const std::string& body) const;
    // The same with the RDSERVICE_NOT_AVAILABLE document.
    std::string notAvailable(const std::string& path) const;

  private:
    TempFolder folder_;
    TempFolder dataFolder_;
    std::unique_ptr<ScopedWorkingDirectory> inFolder_;
    platform::StopEvent stop_;
    std::thread loop_;
    PortRange ports_;
    int firstPort_;
    int graceMs_;
    int port_ = -1;
    std::vector<std::unique_ptr<ChildProcess>> devices_;
};

// A test of an extension that serves from SetUp on.
class ExtensionTest : public ::testing::Test {
  protected:
    explicit ExtensionTest(int graceMs = kServiceLimits.discoveryGraceMs) : extension(graceMs) {}
    void SetUp() override { ASSERT_TRUE(extension.start()); }

    ExtensionFixture extension;
};

}  // namespace testing_support
