#include "platform/service_notify.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// A datagram socket bound to a path or (leading '@') an abstract name,
// closed and unlinked when destroyed.
class NotifyReceiver {
public:
    explicit NotifyReceiver(const std::string& name) : name_(name) {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.data(), name.size());
        if (name[0] == '@') address.sun_path[0] = '\0';
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0;
    }
    ~NotifyReceiver() {
        ::close(fd_);
        if (name_[0] == '/') ::unlink(name_.c_str());
    }
    bool bound() const { return bound_; }

    // One datagram, or "" when none arrives within `timeoutMs`.
    std::string receive(int timeoutMs = 5000) {
        pollfd poll{fd_, POLLIN, 0};
        if (::poll(&poll, 1, timeoutMs) != 1) return "";
        char buffer[256];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : "";
    }

private:
    std::string name_;
    int fd_ = -1;
    bool bound_ = false;
};

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
