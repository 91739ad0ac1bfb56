#include "support/fake_systemctl.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testing_support {
namespace {

// Scenario lines are "args|exit code|stdout|stderr"; the n-th call with the
// same args takes the n-th matching line, or the last one.
constexpr const char* kScript = R"(#!/bin/sh
dir=$(dirname "$0")
seen=$(grep -cxF -- "$*" "$dir/calls.log" 2>/dev/null)
seen=${seen:-0}
printf '%s\n' "$*" >> "$dir/calls.log"
echo $$ > "$dir/last.pid"
found=""
i=0
while IFS='|' read -r args code out err; do
  [ "$args" = "$*" ] || continue
  found="$code|$out|$err"
  [ "$i" -eq "$seen" ] && break
  i=$((i + 1))
done < "$dir/scenario"
[ -n "$found" ] || exit 0
code=${found%%|*}
rest=${found#*|}
out=${rest%%|*}
err=${rest#*|}
[ "$code" = "hang" ] && exec sleep 30
[ "$code" = "detach" ] && exec sleep 30 >/dev/null 2>&1
[ -n "$out" ] && printf '%s\n' "$out"
[ -n "$err" ] && printf '%s\n' "$err" >&2
exit "$code"
)";

void writeFile(const std::string& path, const std::string& text, std::ios::openmode mode) {
    std::ofstream file(path, std::ios::binary | mode);
    file << text;
    if (!file) throw std::runtime_error("cannot write " + path);
}

}  // namespace

FakeSystemctl::FakeSystemctl() {
    std::string pattern = (std::filesystem::temp_directory_path() / "rdext_systemctl_XXXXXX");
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    std::filesystem::create_directory(binDirectory());
    std::filesystem::create_directory(unitDirectory());
    const std::string script = binDirectory() + "/systemctl";
    writeFile(script, kScript, std::ios::trunc);
    ::chmod(script.c_str(), 0755);
    writeFile(binDirectory() + "/scenario", "", std::ios::trunc);

    const char* path = std::getenv("PATH");
    savedPath_ = path != nullptr ? path : "/usr/bin:/bin";
    ::setenv("PATH", (binDirectory() + ":" + savedPath_).c_str(), 1);
}

FakeSystemctl::~FakeSystemctl() {
    ::setenv("PATH", savedPath_.c_str(), 1);
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

void FakeSystemctl::answer(const std::string& args, int exitCode, const std::string& out,
                           const std::string& err) {
    writeFile(binDirectory() + "/scenario",
              args + "|" + std::to_string(exitCode) + "|" + out + "|" + err + "\n", std::ios::app);
}

void FakeSystemctl::hang(const std::string& args, bool closeOutput) {
    writeFile(binDirectory() + "/scenario", args + (closeOutput ? "|detach||\n" : "|hang||\n"),
              std::ios::app);
}

std::vector<std::string> FakeSystemctl::calls() const {
    std::vector<std::string> lines;
    std::istringstream log(readFile(binDirectory() + "/calls.log"));
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    return lines;
}

int FakeSystemctl::lastPid() const {
    return std::atoi(readFile(binDirectory() + "/last.pid").c_str());
}

platform::ServiceManagerSettings FakeSystemctl::settings() const {
    platform::ServiceManagerSettings settings;
    settings.unitDirectory = unitDirectory();
    settings.systemctl = "systemctl";
    settings.isPrivileged = [] { return true; };
    return settings;
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace testing_support
