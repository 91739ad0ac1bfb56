// The system's listener table against real sockets, and the fast-refusal
// setting on sockets that then connect.
#include "platform/loopback_listeners.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/loopback.h"

using testing_support::LoopbackSocket;

namespace {

struct Listed {
    bool found;
    bool ipv4;
    bool ipv6;
};

Listed listedState(int port) {
    std::vector<platform::LoopbackListener> listeners;
    EXPECT_TRUE(platform::listLoopbackListeners(port - 1, port + 1, listeners));
    for (const platform::LoopbackListener& listener : listeners) {
        EXPECT_TRUE(listener.port >= port - 1 && listener.port <= port + 1) << listener.port;
        if (listener.port == port) {
            return Listed{true, listener.ipv4, listener.ipv6};
        }
    }
    return Listed{false, false, false};
}

TEST(LoopbackListenersTest, ListsEachPortWithTheAddressesThatListen) {
    struct Case {
        const char* name;
        bool ipv4;
        bool ipv4Wildcard;
        bool ipv6;
    };
    const Case cases[] = {
        {"127.0.0.1 only", true, false, false}, {"0.0.0.0 only", true, true, false},
        {"::1 only", false, false, true},       {"127.0.0.1 and ::1", true, false, true},
        {"nothing", false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackSocket probe;  // a port free on both families, closed again
        ASSERT_TRUE(probe.listenOnIpv6Loopback(0));
        const int port = probe.localPort();
        probe.close();
        LoopbackSocket v4;
        LoopbackSocket v6;
        ASSERT_TRUE(!c.ipv4 || v4.listenOn(port, c.ipv4Wildcard));
        ASSERT_TRUE(!c.ipv6 || v6.listenOnIpv6Loopback(port));
        const Listed listed = listedState(port);
        EXPECT_EQ(c.ipv4 || c.ipv6, listed.found);
        EXPECT_EQ(c.ipv4, listed.ipv4);
        EXPECT_EQ(c.ipv6, listed.ipv6);
    }
}

TEST(LoopbackListenersTest, AConnectingSocketWithFastRefusalStillConnects) {
    LoopbackSocket listener;
    ASSERT_TRUE(listener.listenOn(0, false));
    LoopbackSocket client;
    const int answer = platform::failLoopbackConnectFast(client.nativeHandle());
    RecordProperty("fast_refusal_setting", answer);  // what the system answered, 0 = taken
    EXPECT_TRUE(client.connectTo(listener.localPort()));
}

}  // namespace
