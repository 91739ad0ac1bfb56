#include "config/data_folder_trust.h"

namespace {

bool trustedOwner(platform::PathOwner owner) {
    return owner == platform::PathOwner::kSystem || owner == platform::PathOwner::kAdministrators ||
           owner == platform::PathOwner::kCurrentUser;
}

std::string reasonFor(const platform::PathFacts& facts, const char* what) {
    if (facts.isLink) return std::string(what) + " is a link or junction";
    if (!trustedOwner(facts.owner)) {
        return std::string(what) + " is owned by another user than SYSTEM or the Administrators";
    }
    return std::string();
}

}  // namespace

std::string distrustReason(const platform::PathFacts& folder, const platform::PathFacts& file) {
    if (!folder.exists) return "the folder does not exist";
    std::string reason = reasonFor(folder, "the folder");
    if (reason.empty() && file.exists) reason = reasonFor(file, "the file");
    return reason;
}
