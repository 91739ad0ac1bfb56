#pragma once

#include <string>

namespace testing_support {

// A datagram socket standing in for the service manager's notification
// socket: bound to a path or (leading '@') an abstract name, closed and
// unlinked when destroyed. POSIX only.
class NotifyReceiver {
  public:
    explicit NotifyReceiver(const std::string& name);
    ~NotifyReceiver();
    NotifyReceiver(const NotifyReceiver&) = delete;
    NotifyReceiver& operator=(const NotifyReceiver&) = delete;

    bool bound() const { return bound_; }
    // One datagram, or "" when none arrives within `timeoutMs`.
    std::string receive(int timeoutMs = 5000);

  private:
    std::string name_;
    int fd_ = -1;
    bool bound_ = false;
};

}  // namespace testing_support
