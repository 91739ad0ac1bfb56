#include "support/fake_service_manager.h"

#include <gtest/gtest.h>

#include <algorithm>

using platform::ServiceHandle;
using platform::ServiceStatus;

namespace testing_support {

std::size_t FakeServiceManager::count(const std::string& call) const {
    return static_cast<std::size_t>(std::count(calls.begin(), calls.end(), call));
}

bool FakeServiceManager::allowed(const std::string& operation, const std::string& call) {
    calls.push_back(call);
    const auto failure = failures.find(operation);
    if (failure == failures.end()) return true;
    lastError_ = failure->second;
    return false;
}

ServiceHandle FakeServiceManager::openHandle(const std::string& operation, const std::string& call,
                                             const std::string& kind) {
    if (!allowed(operation, call)) return platform::kNoServiceHandle;
    const ServiceHandle handle = next_++;
    open_[handle] = kind;
    return handle;
}

void FakeServiceManager::expectOpen(ServiceHandle handle, const std::string& kind) const {
    const auto it = open_.find(handle);
    EXPECT_TRUE(it != open_.end() && it->second == kind) << "not an open " << kind;
}

bool FakeServiceManager::executablePath(std::string& out) {
    if (!allowed("executablePath", "executablePath")) return false;
    out = path;
    return true;
}

ServiceHandle FakeServiceManager::openManager() {
    return openHandle("openManager", "openManager", "manager");
}

ServiceHandle FakeServiceManager::openService(ServiceHandle manager, const std::string& name,
                                              platform::ServiceAccess access) {
    expectOpen(manager, "manager");
    const char* rights = access == platform::ServiceAccess::kStop    ? "stop"
                         : access == platform::ServiceAccess::kQuery ? "query"
                                                                     : "all";
    return openHandle("openService", "openService " + name + " " + rights, "service");
}

ServiceHandle FakeServiceManager::createService(ServiceHandle manager, const std::string& name,
                                                const std::string& commandPath) {
    expectOpen(manager, "manager");
    return openHandle("createService", "createService " + name + " " + commandPath, "service");
}

bool FakeServiceManager::startService(ServiceHandle service) {
    expectOpen(service, "service");
    return allowed("startService", "startService");
}

bool FakeServiceManager::setRestartOnFailure(ServiceHandle service) {
    expectOpen(service, "service");
    return allowed("setRestartOnFailure", "setRestartOnFailure");
}

bool FakeServiceManager::limitRights(ServiceHandle service) {
    expectOpen(service, "service");
    return allowed("limitRights", "limitRights");
}

bool FakeServiceManager::queryStatus(ServiceHandle service, ServiceStatus& status) {
    expectOpen(service, "service");
    tick += queryCostMs;
    // Bounds a polling loop that would otherwise never end.
    if (++queries_ > kMaxQueries) {
        ADD_FAILURE() << "status queried more than " << kMaxQueries << " times";
        lastError_ = platform::kErrorInvalidHandle;
        return false;
    }
    if (!allowed("queryStatus", "queryStatus")) return false;
    if (statuses.empty()) {
        ADD_FAILURE() << "no status scripted";
        return false;
    }
    status = statuses.front();
    if (statuses.size() > 1) statuses.pop_front();
    return true;
}

bool FakeServiceManager::sendStop(ServiceHandle service, ServiceStatus& status) {
    expectOpen(service, "service");
    if (!allowed("sendStop", "sendStop")) return false;
    status = stopAnswer;
    return true;
}

bool FakeServiceManager::deleteService(ServiceHandle service) {
    expectOpen(service, "service");
    return allowed("deleteService", "deleteService");
}

void FakeServiceManager::close(ServiceHandle handle) {
    const auto it = open_.find(handle);
    ASSERT_TRUE(it != open_.end()) << "closing a handle that is not open";
    calls.push_back("close " + it->second);
    open_.erase(it);
}

void FakeServiceManager::sleepMs(std::uint32_t milliseconds) {
    calls.push_back("sleep " + std::to_string(milliseconds));
    sleeps.push_back(milliseconds);
    tick += milliseconds;
}

}  // namespace testing_support
