#pragma once

#include <memory>
#include <string>
#include <vector>

#include "http/civet_server.h"

namespace testing_support {

// Starts a CivetServer on 127.0.0.1 at the given ports (0 = one the system chooses)
// with four worker threads, and closes it when destroyed.
class TestServer {
  public:
    explicit TestServer(std::vector<int> ports = {0});
    CivetServer& server() { return *server_; }
    int port() const { return ports_.front(); }

  private:
    std::vector<int> ports_;
    std::unique_ptr<CivetServer> server_;
};

}  // namespace testing_support
