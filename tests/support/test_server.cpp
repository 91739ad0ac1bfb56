#include "support/test_server.h"

#include "support/loopback.h"

namespace testing_support {

TestServer::TestServer(std::vector<int> ports) : ports_(std::move(ports)) {
    std::string listening;
    for (int& port : ports_) {
        if (port == 0) {
            port = freePort();
        }
        listening +=
            (listening.empty() ? "" : ",") + std::string("127.0.0.1:") + std::to_string(port);
    }
    const char* options[] = {"listening_ports", listening.c_str(), "num_threads", "4", nullptr};
    server_ = std::make_unique<CivetServer>(options);
}

}  // namespace testing_support
