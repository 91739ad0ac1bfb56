#include <pwd.h>
#include <unistd.h>

#include "support/other_account.h"

namespace testing_support {

namespace {

constexpr char kSetpriv[] = "/usr/bin/setpriv";

}  // namespace

std::string nobodyUid() {
    const passwd* nobody = ::getpwnam("nobody");
    return nobody != nullptr ? std::to_string(nobody->pw_uid) : std::string();
}

std::string whyNoChildAsNobody() {
    if (::geteuid() != 0) {
        return "starting a child as nobody needs root";
    }
    if (::access(kSetpriv, X_OK) != 0) {
        return "no setpriv to start a child as nobody";
    }
    return nobodyUid().empty() ? "no account nobody" : "";
}

std::unique_ptr<ChildProcess> startAsNobody(const std::string& program,
                                            const std::vector<std::string>& arguments) {
    std::vector<std::string> command{"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                     program};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return std::make_unique<ChildProcess>(kSetpriv, command);
}

}  // namespace testing_support
