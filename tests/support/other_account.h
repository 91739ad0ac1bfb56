#pragma once

#include <string>
#include <vector>

namespace testing_support {

// A command line that runs a program as the unprivileged account `nobody`.
struct OtherAccountCommand {
    std::string executable;
    std::vector<std::string> arguments;
};

// `program` with `arguments` as nobody (setpriv, which needs root, as in CI);
// false with the reason in `whyNot` when this process cannot start one.
bool asNobody(const std::string& program, const std::vector<std::string>& arguments,
              OtherAccountCommand& command, std::string& whyNot);

// nobody's uid in decimal, as the system's socket table names it.
std::string nobodyUid();

}  // namespace testing_support
