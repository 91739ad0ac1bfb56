#include "support/test_server.h"

#include "limits/service_limits.h"

namespace testing_support {

TestServer::TestServer(std::vector<int> ports) : ports_(std::move(ports)) {
    std::string listening;
    for (const int port : ports_) {
        listening +=
            (listening.empty() ? "" : ",") + std::string("127.0.0.1:") + std::to_string(port);
    }
    const char* options[] = {"listening_ports", listening.c_str(), "num_threads", "4", nullptr};
    server_ =
        std::make_unique<CivetServer>(options, nullptr, kServiceLimits.handlerRegistrationWaitMs);
    // Port 0 lets the system choose; the engine reports what it chose.
    const std::vector<int>& chosen = server_->getListeningPorts();
    for (std::size_t i = 0; i < ports_.size() && i < chosen.size(); ++i) {
        ports_[i] = chosen[i];
    }
}

}  // namespace testing_support
