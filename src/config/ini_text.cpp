#include "config/ini_text.h"

namespace {

bool isLeadingBlank(char c) { return c == ' ' || c == '\t'; }

bool isTrailingBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

std::vector<std::string> splitIniLines(const std::string& contents) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < contents.size(); ++i) {
        const bool crBeforeLf =
            contents[i] == '\r' && i + 1 < contents.size() && contents[i + 1] == '\n';
        if (crBeforeLf) {
            continue;
        }
        line += contents[i];
        if (contents[i] == '\n' || line.size() == kIniMaxLineLength) {
            lines.push_back(std::move(line));
            line.clear();
        }
    }
    if (!line.empty()) {
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string trimIniText(std::string text) {
    std::size_t begin = 0;
    while (text.size() - begin > 1 && isLeadingBlank(text[begin])) {
        ++begin;
    }
    text.erase(0, begin);
    while (text.size() > 1 && isTrailingBlank(text.back())) {
        text.pop_back();
    }
    if (text.size() > 1 && text.front() == '"') {
        text.erase(0, 1);
    }
    if (text.size() > 1 && text.back() == '"') {
        text.pop_back();
    }
    return text;
}

IniDefinition splitIniDefinition(const std::string& line) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) {
        return {trimIniText(line), std::string()};
    }
    std::string value = trimIniText(line.substr(equals + 1));
    if (equals < 2) {
        return {std::string(), std::move(value)};
    }
    return {trimIniText(line.substr(0, equals - 1)), std::move(value)};
}
