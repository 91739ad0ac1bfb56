#include "host/program_folder_check.h"

#include "platform/process_paths.h"
#include "platform/program_location.h"

std::string programFolderWarning(const std::string& executable) {
    // A path that cannot be read cannot be trusted either.
    const std::string changeable = executable.empty()
                                       ? std::string("the program (its path cannot be read)")
                                       : platform::changeablePartOfProgram(executable);
    if (changeable.empty()) return std::string();
    return "Program folder others can change: " + changeable +
           " may be changed by accounts other than the administrators, who could then run "
           "code as the service; move the program under " +
           platform::kTrustedProgramFolders + " and install it from there";
}

std::string runningProgramFolderWarning() {
    return programFolderWarning(platform::executablePath());
}
