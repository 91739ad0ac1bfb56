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

bool asNobody(const std::string& program, const std::vector<std::string>& arguments,
              OtherAccountCommand& command, std::string& whyNot) {
    if (::geteuid() != 0) {
        whyNot = "starting a child as nobody needs root";
    } else if (::access(kSetpriv, X_OK) != 0) {
        whyNot = "no setpriv to start a child as nobody";
    } else if (nobodyUid().empty()) {
        whyNot = "no account nobody";
    } else if (::access(program.c_str(), X_OK) != 0) {
        whyNot = program + " is not executable";
    }
    if (!whyNot.empty()) {
        return false;
    }
    command.executable = kSetpriv;
    command.arguments = {"--reuid=nobody", "--regid=nogroup", "--clear-groups", program};
    command.arguments.insert(command.arguments.end(), arguments.begin(), arguments.end());
    return true;
}

}  // namespace testing_support
