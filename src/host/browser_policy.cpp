#include "host/browser_policy.h"

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "config/load_config.h"
#include "config/server_settings.h"

namespace {

const char* const kPolicyLists[] = {
    "SOFTWARE\\Policies\\Google\\Chrome\\LocalNetworkAccessAllowedForUrls",
    "SOFTWARE\\Policies\\Google\\Chrome\\LoopbackNetworkAllowedForUrls",
    "SOFTWARE\\Policies\\Microsoft\\Edge\\LocalNetworkAccessAllowedForUrls",
    "SOFTWARE\\Policies\\Microsoft\\Edge\\LoopbackNetworkAllowedForUrls",
};
// The package's own key; the record holds one value a list, named by the
// list's path with '/', of "number pattern" lines. Earlier packages wrote
// the same record, so their values are taken back too.
const char* const kOwnKey = "SOFTWARE\\rdserver_ext";
const char* const kRecordKey = "SOFTWARE\\rdserver_ext\\BrowserPolicy";
// Numbers looked at for values already there; an administrator's list is far shorter.
constexpr int kNumbersLooked = 200;

struct Entry {
    std::string number;
    std::string pattern;
};

std::string recordName(const std::string& list) {
    std::string name = list;
    for (char& c : name) {
        if (c == '\\') c = '/';
    }
    return name;
}

std::vector<Entry> recorded(platform::MachineRegistry& registry, const std::string& list) {
    std::vector<Entry> entries;
    std::string text;
    if (!registry.read(kRecordKey, recordName(list), text)) return entries;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        const std::size_t space = line.find(' ');
        if (space != std::string::npos && space > 0) {
            entries.push_back({line.substr(0, space), line.substr(space + 1)});
        }
        start = end + 1;
    }
    return entries;
}

// scheme://<hostPrefix>host[:port]
std::string originText(const OriginPattern& origin, const char* hostPrefix) {
    std::string text = origin.scheme + "://" + hostPrefix + origin.host;
    if (origin.port != 0) text += ":" + std::to_string(origin.port);
    return text;
}

// Whether the list admits a wildcard entry's host itself, at every port the entry admits.
bool admitsHostItself(const AllowedOrigins& allowed, const OriginPattern& wildcard) {
    for (const OriginPattern& pattern : allowed.patterns) {
        if (!pattern.anySubdomain && pattern.scheme == wildcard.scheme &&
            pattern.host == wildcard.host && (pattern.port == 0 || pattern.port == wildcard.port)) {
            return true;
        }
    }
    return false;
}

// The browsers' patterns for what `allowed` admits, none wider than its entry.
std::vector<std::string> patternsOf(const AllowedOrigins& allowed) {
    std::vector<std::string> patterns;
    for (const OriginPattern& origin : allowed.patterns) {
        if (!origin.anySubdomain || admitsHostItself(allowed, origin)) {
            patterns.push_back(originText(origin, origin.anySubdomain ? "[*.]" : ""));
        } else {
            std::printf(
                "Browser policy: %s left out: the browsers' pattern %s would also admit %s\n",
                originText(origin, "*.").c_str(), originText(origin, "[*.]").c_str(),
                originText(origin, "").c_str());
        }
    }
    return patterns;
}

bool addToList(platform::MachineRegistry& registry, const std::string& list,
               const std::vector<std::string>& patterns) {
    std::set<int> taken;
    std::set<std::string> listed;
    for (int number = 1; number <= kNumbersLooked; ++number) {
        std::string value;
        if (registry.read(list, std::to_string(number), value)) {
            taken.insert(number);
            listed.insert(value);
        }
    }
    std::string record;
    std::string written;
    int number = 1;
    for (const std::string& pattern : patterns) {
        if (!listed.insert(pattern).second) continue;
        while (taken.count(number) != 0) ++number;
        taken.insert(number);
        if (!registry.write(list, std::to_string(number), pattern)) return false;
        const std::string line = std::to_string(number) + " " + pattern;
        record += (record.empty() ? "" : "\n") + line;
        written += (written.empty() ? "" : ", ") + line;
    }
    std::printf("Browser policy: %s: %s\n", list.c_str(),
                written.empty() ? "every origin already listed" : written.c_str());
    return record.empty() || registry.write(kRecordKey, recordName(list), record);
}

}  // namespace

bool removeBrowserPolicy(platform::MachineRegistry& registry) {
    bool removed = true;
    for (const char* list : kPolicyLists) {
        for (const Entry& entry : recorded(registry, list)) {
            std::string value;
            if (registry.read(list, entry.number, value) && value == entry.pattern) {
                removed = registry.removeValue(list, entry.number) && removed;
            }
        }
    }
    return registry.removeKey(kRecordKey) && removed;
}

bool writeBrowserPolicy(platform::MachineRegistry& registry, const AllowedOrigins& allowed) {
    if (!removeBrowserPolicy(registry)) return false;
    const std::vector<std::string> patterns = patternsOf(allowed);
    if (patterns.empty()) {
        std::printf("Browser policy: no origin of ALLOWED_ORIGINS to write: nothing written\n");
        return true;
    }
    for (const char* list : kPolicyLists) {
        if (!addToList(registry, list, patterns)) return false;
    }
    return true;
}

namespace {

int runOnRegistry(bool (*command)(platform::MachineRegistry&, const AllowedOrigins&),
                  const AllowedOrigins& allowed) {
    const std::unique_ptr<platform::MachineRegistry> registry = platform::makeMachineRegistry();
    bool done = false;
    if (registry == nullptr) {
        std::printf("Browser policy: written on Windows only\n");
    } else {
        done = command(*registry, allowed);
        if (!done) std::printf("Browser policy: the registry refused a change\n");
    }
    std::fflush(stdout);
    return done ? 0 : 1;
}

}  // namespace

int runWriteBrowserPolicy() {
    ServerSettings settings;
    loadConfig(settings);  // only ALLOWED_ORIGINS is used, read whatever else fails
    return runOnRegistry(writeBrowserPolicy, settings.allowedOrigins);
}

int runRemoveBrowserPolicy() {
    return runOnRegistry(
        [](platform::MachineRegistry& registry, const AllowedOrigins&) {
            if (!removeBrowserPolicy(registry)) return false;
            std::printf("Browser policy: removed the values this package wrote\n");
            return registry.removeKey(kOwnKey);
        },
        AllowedOrigins());
}
