#include <windows.h>

#include <cstdlib>
#include <string>

#include "support/child_process.h"

namespace testing_support {
namespace {

// Wine runs Windows programs, but the build hands us POSIX paths.
std::string windowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path;
    }
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

std::string quoted(const std::string& argument) { return "\"" + argument + "\""; }

}  // namespace

std::string builtProgram(const std::string& name) {
    const char* dir = std::getenv("RDEXT_PROGRAM_DIR");
    return windowsPath(std::string(dir != nullptr ? dir : ".") + "/" + name + ".exe");
}

ChildProcess::ChildProcess(const std::string& executable, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment) {
    char tempDir[MAX_PATH];
    char tempFile[MAX_PATH];
    ::GetTempPathA(MAX_PATH, tempDir);
    ::GetTempFileNameA(tempDir, "rdx", 0, tempFile);
    outputPath_ = tempFile;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE output = ::CreateFileA(tempFile, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    for (const std::string& entry : environment) {
        ::_putenv(entry.c_str());  // inherited by the child
    }
    std::string commandLine = quoted(windowsPath(executable));
    for (const std::string& a : arguments) {
        commandLine += " " + quoted(a);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION info{};
    if (::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                         &startup, &info)) {
        ::CloseHandle(info.hThread);
        handle_ = info.hProcess;
        pid_ = static_cast<long>(info.dwProcessId);
    }
    ::CloseHandle(output);
}

ChildProcess::~ChildProcess() {
    kill();
    if (handle_ != nullptr) {
        ::CloseHandle(static_cast<HANDLE>(handle_));
    }
    ::DeleteFileA(outputPath_.c_str());
}

void ChildProcess::signal(int) {
    if (handle_ != nullptr && exitCode_ < 0) {
        ::TerminateProcess(static_cast<HANDLE>(handle_), 1);
    }
}

int ChildProcess::wait(int timeoutMs) {
    if (handle_ == nullptr || exitCode_ >= 0) {
        return exitCode_;
    }
    if (::WaitForSingleObject(static_cast<HANDLE>(handle_), static_cast<DWORD>(timeoutMs)) ==
        WAIT_OBJECT_0) {
        DWORD code = 0;
        ::GetExitCodeProcess(static_cast<HANDLE>(handle_), &code);
        exitCode_ = static_cast<int>(code);
    }
    return exitCode_;
}

void ChildProcess::kill() {
    if (handle_ != nullptr && wait(0) < 0) {
        ::TerminateProcess(static_cast<HANDLE>(handle_), 1);
        wait(5000);
    }
}

}  // namespace testing_support
