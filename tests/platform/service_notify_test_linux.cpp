#include "platform/service_notify.h"

#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/notify_receiver.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace {

using testing_support::NotifyReceiver;

class ServiceNotifyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* saved = std::getenv("NOTIFY_SOCKET");
        hadSaved_ = saved != nullptr;
        if (hadSaved_) saved_ = saved;
    }
    void TearDown() override {
        if (hadSaved_) {
            ::setenv("NOTIFY_SOCKET", saved_.c_str(), 1);
        } else {
            ::unsetenv("NOTIFY_SOCKET");
        }
    }
    static std::string uniqueName(const char* prefix) {
        return prefix + std::string("rdext_notify_") + std::to_string(::getpid());
    }

  private:
    bool hadSaved_ = false;
    std::string saved_;
};

TEST_F(ServiceNotifyTest, SendsToASocketPathOrAnAbstractName) {
    for (const auto& [address, message] :
         {std::pair(uniqueName("/tmp/"), "READY=1"), std::pair(uniqueName("@"), "STOPPING=1")}) {
        SCOPED_TRACE(address);
        NotifyReceiver receiver(address);
        ASSERT_TRUE(receiver.bound());
        ::setenv("NOTIFY_SOCKET", address.c_str(), 1);
        EXPECT_TRUE(platform::notifyServiceManager(message));
        EXPECT_EQ(message, receiver.receive());
    }
}

// Without the variable, with an unusable one, or with nobody listening
// nothing is sent.
TEST_F(ServiceNotifyTest, UnusableVariablesAreRejected) {
    ::unsetenv("NOTIFY_SOCKET");
    EXPECT_FALSE(platform::notifyServiceManager("READY=1"));
    for (const std::string& value :
         {std::string(""), std::string("relative/socket"), std::string("@"),
          std::string("vsock:2:1234"), "/" + std::string(200, 'x'), uniqueName("/tmp/absent_")}) {
        ::setenv("NOTIFY_SOCKET", value.c_str(), 1);
        EXPECT_FALSE(platform::notifyServiceManager("READY=1")) << value;
    }
}

}  // namespace
