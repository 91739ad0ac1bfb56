#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/service_manager.h"

namespace testing_support {

// A scripted service manager with a fake clock. Records every call as a line
// ("openService svc stop", "sleep 1000", "close service"), answers status
// queries from a script, and fails the operations named in `failures`.
class FakeServiceManager : public platform::ServiceManager {
  public:
    // Scripted answers.
    std::string path = "C:\\rd\\rdserver_ext.exe";
    std::map<std::string, std::uint32_t> failures;  // operation -> error code
    std::deque<platform::ServiceStatus> statuses;   // query answers; the last repeats
    platform::ServiceStatus stopAnswer{platform::kServiceStopPending, 0};
    std::uint32_t tick = 0;         // the clock; sleeps advance it
    std::uint32_t queryCostMs = 0;  // time each status query takes

    // What was asked.
    std::vector<std::string> calls;
    std::vector<std::uint32_t> sleeps;

    // Handles opened and not closed yet.
    std::size_t openHandles() const { return open_.size(); }
    std::size_t count(const std::string& call) const;

    bool executablePath(std::string& out) override;
    platform::ServiceHandle openManager() override;
    platform::ServiceHandle openService(platform::ServiceHandle manager, const std::string& name,
                                        platform::ServiceAccess access) override;
    platform::ServiceHandle createService(platform::ServiceHandle manager, const std::string& name,
                                          const std::string& commandPath) override;
    bool startService(platform::ServiceHandle service) override;
    bool setRestartOnFailure(platform::ServiceHandle service) override;
    bool limitRights(platform::ServiceHandle service) override;
    bool queryStatus(platform::ServiceHandle service, platform::ServiceStatus& status) override;
    bool sendStop(platform::ServiceHandle service, platform::ServiceStatus& status) override;
    bool deleteService(platform::ServiceHandle service) override;
    void close(platform::ServiceHandle handle) override;
    std::uint32_t lastError() const override { return lastError_; }
    std::uint32_t tickCountMs() override { return tick; }
    void sleepMs(std::uint32_t milliseconds) override;

  private:
    // Records `call`; false (with its error) when `operation` is to fail.
    bool allowed(const std::string& operation, const std::string& call);
    platform::ServiceHandle openHandle(const std::string& operation, const std::string& call,
                                       const std::string& kind);
    void expectOpen(platform::ServiceHandle handle, const std::string& kind) const;

    static constexpr int kMaxQueries = 10000;
    int queries_ = 0;
    std::map<platform::ServiceHandle, std::string> open_;  // handle -> "manager"/"service"
    platform::ServiceHandle next_ = 100;
    std::uint32_t lastError_ = 0;
};

}  // namespace testing_support
