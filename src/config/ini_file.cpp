#include "config/ini_file.h"

#include <climits>
#include <cstdio>
#include <vector>

#include "config/ini_text.h"
#include "platform/file_handle.h"

namespace {

bool isAtoiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool isDefinitionLine(const std::string& line) {
    return line.size() > 2 && line[0] != '#' && line.find(')') == std::string::npos;
}

bool isClosingLine(const std::string& line) {
    return !line.empty() && line[0] != '#' && line.find(')') != std::string::npos;
}

}  // namespace

// Loading state: the open levels, innermost last; the top level stays first.
class IniLoader {
  public:
    explicit IniLoader(IniFile& top) : open_{&top} {}

    void readLine(const std::string& line) {
        if (isDefinitionLine(line)) {
            define(splitIniDefinition(line));
        } else if (isClosingLine(line) && open_.size() > 1) {
            // A closing line at the top level has nothing to close.
            open_.pop_back();
        }
    }

  private:
    void define(IniDefinition definition) {
        IniFile& level = *open_.back();
        if (definition.value == "(") {
            auto& child = level.children_[definition.key];
            child = std::make_unique<IniFile>();
            open_.push_back(child.get());
            return;
        }
        level.values_[definition.key] = expand(std::move(definition.value));
    }

    std::string expand(std::string value) const {
        if (value.find('%') == std::string::npos) {
            return value;  // the common case: nothing to look up
        }
        int budget = kIniMaxReferenceReplacements;
        for (const IniFile* level : open_) {
            while (budget > 0 && expandPass(level->values_, value, budget)) {
            }
        }
        return value;
    }

    // One pass over `values` in key order, replacing the first %KEY% of each
    // key; true when anything was replaced.
    static bool expandPass(const std::map<std::string, std::string>& values, std::string& value,
                           int& budget) {
        bool replaced = false;
        for (const auto& [key, replacement] : values) {
            const std::string reference = "%" + key + "%";
            const std::size_t at = value.find(reference);
            if (at == std::string::npos) {
                continue;
            }
            if (budget == 0 ||
                value.size() - reference.size() + replacement.size() > kIniMaxExpandedLength) {
                budget = 0;
                return false;
            }
            value.replace(at, reference.size(), replacement);
            --budget;
            replaced = true;
        }
        return replaced;
    }

    std::vector<IniFile*> open_;
};

IniFile::IniFile() = default;
IniFile::~IniFile() = default;

bool IniFile::load(const std::string& path) {
    // Binary mode: line ends are handled by splitIniLines alike on every system.
    const platform::FileHandle file = platform::openFile(path.c_str(), "rb");
    if (!file) {
        return false;
    }
    std::string contents;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        contents.append(buffer, n);
    }
    loadText(contents);
    return true;
}

void IniFile::loadText(const std::string& contents) {
    IniLoader loader(*this);
    for (const std::string& line : splitIniLines(contents)) {
        loader.readLine(line);
    }
}

std::string IniFile::getString(const std::string& key) const {
    const auto found = values_.find(key);
    return found == values_.end() ? std::string() : found->second;
}

int IniFile::getInt(const std::string& key) const {
    const std::string text = getString(key);
    std::size_t i = 0;
    while (i < text.size() && isAtoiSpace(text[i])) {
        ++i;
    }
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        ++i;
    }
    long long magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1) {
            magnitude = static_cast<long long>(INT_MAX) + 1;
        }
    }
    const long long result = negative ? -magnitude : magnitude;
    return result > INT_MAX ? INT_MAX : static_cast<int>(result);
}

const IniFile* IniFile::group(const std::string& name) const {
    const auto found = children_.find(name);
    return found == children_.end() ? nullptr : found->second.get();
}
