#include "support/program_copy.h"

#include <filesystem>
#include <system_error>

#include "config/data_directory.h"
#include "support/child_process.h"

namespace testing_support {

ProgramCopy::ProgramCopy() {
    portRangeStart_ = ports_.first();
    const std::filesystem::path original = builtProgram("rdserver_ext");
    const std::filesystem::path copy = folder_.path() / original.filename();
    std::error_code error;
    // Root's 0755 folder under the sticky /tmp, which "-install" trusts,
    // whatever the umask; Wine shows its account as owner and Everyone's
    // rights from the same bits.
    using std::filesystem::perms;
    std::filesystem::permissions(folder_.path(),
                                 perms::owner_all | perms::group_read | perms::group_exec |
                                     perms::others_read | perms::others_exec,
                                 error);
    if (!error && std::filesystem::copy_file(original, copy, error)) {
        program_ = copy.string();
    }
    folder_.write("config.ini", "SERVER_PORT_START = " + std::to_string(portRangeStart_) + "\n");
}

std::vector<std::string> ProgramCopy::environment(std::vector<std::string> extra) const {
    extra.insert(extra.begin(), std::string(kDataFolderVariable) + "=" + folder_.path().string());
    return extra;
}

std::filesystem::path ProgramCopy::dataDirectory() const {
    return folder_.path() / "Lumetra-RD-Service-Wrapper";
}

}  // namespace testing_support
