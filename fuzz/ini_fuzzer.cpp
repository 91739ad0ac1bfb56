// libFuzzer target for the config.ini reader: cuts the input into lines,
// loads it, and looks up every key that the input's own lines define, at the
// top level and inside the groups of the same names. Traps when a line piece
// or a stored value breaks its length bound, or when cutting loses bytes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/ini_file.h"
#include "config/ini_text.h"

namespace {

void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// The input with every CR that directly precedes an LF removed.
std::string withoutCrBeforeLf(const std::string& input) {
    std::string text;
    for (std::size_t i = 0; i < input.size(); ++i) {
        if (!(input[i] == '\r' && i + 1 < input.size() && input[i + 1] == '\n')) {
            text += input[i];
        }
    }
    return text;
}

void lookUp(const IniFile& ini, const std::string& key) {
    const std::string value = ini.getString(key);
    check(value.size() <= std::max(kIniMaxExpandedLength, kIniMaxLineLength));
    ini.getInt(key);
    if (const IniFile* group = ini.group(key)) {
        group->getString(key);
        group->getInt(key);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const auto lines = splitIniLines(input);
    std::string joined;
    for (const std::string& line : lines) {
        check(!line.empty() && line.size() <= kIniMaxLineLength);
        joined += line;
    }
    check(joined == withoutCrBeforeLf(input));

    IniFile ini;
    ini.loadText(input);
    lookUp(ini, "SERVER_PORT_START");
    lookUp(ini, "SERVER_SSL_CERTICICATE");
    for (const std::string& line : lines) {
        lookUp(ini, splitIniDefinition(line).key);
    }
    return 0;
}
