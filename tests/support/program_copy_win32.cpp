#include "platform/path_access.h"
#include "support/program_copy.h"

namespace testing_support {

// A temporary folder inherits its user's full control: the copy gets what an
// install under Program Files has (SYSTEM and Administrators change it).
bool trustProgramFolder(const std::filesystem::path& program) {
    return platform::protectPath(program.parent_path().string(),
                                 platform::Protection::kAdministeredFolder) &&
           platform::protectPath(program.string(), platform::Protection::kAdministeredFile);
}

}  // namespace testing_support
