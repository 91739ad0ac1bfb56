#include "config/ini_update.h"

#include <cstddef>
#include <vector>

#include "config/ini_file.h"
#include "config/ini_text.h"
#include "text/text_helpers.h"

namespace {

struct RawLine {
    std::string text;  // without its line end
    std::string end;   // "\n", "\r\n" or "" for a last line without one
};

std::vector<RawLine> cutLines(const std::string& contents) {
    std::vector<RawLine> lines;
    std::size_t start = 0;
    while (start < contents.size()) {
        std::size_t feed = contents.find('\n', start);
        if (feed == std::string::npos) {
            lines.push_back({contents.substr(start), ""});
            break;
        }
        std::size_t textEnd = feed;
        if (textEnd > start && contents[textEnd - 1] == '\r') {
            --textEnd;
        }
        lines.push_back({contents.substr(start, textEnd - start),
                         contents.substr(textEnd, feed + 1 - textEnd)});
        start = feed + 1;
    }
    return lines;
}

std::string joinLines(const std::vector<RawLine>& lines) {
    std::string contents;
    for (const RawLine& line : lines) {
        contents += line.text + line.end;
    }
    return contents;
}

std::string definitionLine(const std::string& key, const std::string& value) {
    return key + " = " +
           (value.empty() || text::isDecimalDigits(value) ? value : "\"" + value + "\"");
}

// A line that defines `key` (not a group of that name, not a closing line).
bool definesKey(const std::string& line, const std::string& key) {
    if (line.find(')') != std::string::npos) {
        return false;
    }
    const IniDefinition definition = splitIniDefinition(line + "\n");
    return definition.key == key && definition.value != "(";
}

bool readsBack(const std::string& contents, const std::string& key, const std::string& value) {
    IniFile ini;
    ini.loadText(contents);
    return ini.getString(key) == value;
}

std::string fileLineEnd(const std::vector<RawLine>& lines) {
    return !lines.empty() && lines.front().end == "\r\n" ? "\r\n" : "\n";
}

}  // namespace

bool setIniValue(std::string& contents, const std::string& key, const std::string& value) {
    if (value.empty() || key.empty()) {
        return false;
    }
    std::vector<RawLine> lines = cutLines(contents);
    const std::string replacement = definitionLine(key, value);
    // From the last definition backwards: the first one whose replacement
    // the reader takes is the one in effect (earlier ones, and those inside
    // groups, leave the top-level value unchanged).
    for (std::size_t i = lines.size(); i-- > 0;) {
        if (!definesKey(lines[i].text, key)) {
            continue;
        }
        std::vector<RawLine> changed = lines;
        changed[i].text = replacement;
        const std::string text = joinLines(changed);
        if (readsBack(text, key, value)) {
            contents = text;
            return true;
        }
    }
    const std::string lineEnd = fileLineEnd(lines);
    if (!lines.empty() && lines.back().end.empty()) {
        lines.back().end = lineEnd;
    }
    lines.push_back({replacement, lineEnd});
    const std::string text = joinLines(lines);
    if (!readsBack(text, key, value)) {
        return false;
    }
    contents = text;
    return true;
}
