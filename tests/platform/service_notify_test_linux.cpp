#include "platform/service_notify.h"

#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/notify_receiver.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

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

TEST_F(ServiceNotifyTest, SendsToASocketPath) {
    const std::string path = uniqueName("/tmp/");
    NotifyReceiver receiver(path);
    ASSERT_TRUE(receiver.bound());
    ::setenv("NOTIFY_SOCKET", path.c_str(), 1);
    EXPECT_TRUE(platform::notifyServiceManager("READY=1"));
    EXPECT_EQ("READY=1", receiver.receive());
}

TEST_F(ServiceNotifyTest, SendsToAnAbstractName) {
    const std::string name = uniqueName("@");
    NotifyReceiver receiver(name);
    ASSERT_TRUE(receiver.bound());
    ::setenv("NOTIFY_SOCKET", name.c_str(), 1);
    EXPECT_TRUE(platform::notifyServiceManager("STOPPING=1"));
    EXPECT_EQ("STOPPING=1", receiver.receive());
}

TEST_F(ServiceNotifyTest, WithoutTheVariableNothingIsSent) {
    ::unsetenv("NOTIFY_SOCKET");
    EXPECT_FALSE(platform::notifyServiceManager("READY=1"));
}

TEST_F(ServiceNotifyTest, UnusableVariablesAreRejected) {
    for (const char* value : {"", "relative/socket", "@", "vsock:2:1234"}) {
        ::setenv("NOTIFY_SOCKET", value, 1);
        EXPECT_FALSE(platform::notifyServiceManager("READY=1")) << value;
    }
    ::setenv("NOTIFY_SOCKET", ("/" + std::string(200, 'x')).c_str(), 1);
    EXPECT_FALSE(platform::notifyServiceManager("READY=1"));
}

TEST_F(ServiceNotifyTest, NobodyListeningIsAFailure) {
    ::setenv("NOTIFY_SOCKET", uniqueName("/tmp/absent_").c_str(), 1);
    EXPECT_FALSE(platform::notifyServiceManager("READY=1"));
}

}  // namespace
