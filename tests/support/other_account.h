#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace testing_support {

// Why this process cannot start a child as the unprivileged account nobody
// (setpriv, which needs root, as in CI); empty when it can.
std::string whyNoChildAsNobody();

// `program` with `arguments`, run as nobody (see whyNoChildAsNobody).
std::unique_ptr<ChildProcess> startAsNobody(const std::string& program,
                                            const std::vector<std::string>& arguments);

// nobody's uid in decimal, as the system's socket table names it.
std::string nobodyUid();

}  // namespace testing_support
