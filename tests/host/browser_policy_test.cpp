#include "host/browser_policy.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

const std::string kChrome = "SOFTWARE\\Policies\\Google\\Chrome\\LocalNetworkAccessAllowedForUrls";
const std::string kEdge = "SOFTWARE\\Policies\\Microsoft\\Edge\\LoopbackNetworkAllowedForUrls";

// The registry as one map of "key|name" to text; list() shows one key's values.
struct FakeRegistry : platform::MachineRegistry {
    std::map<std::string, std::string> values;
    bool read(const std::string& key, const std::string& name, std::string& value) override {
        const auto found = values.find(key + "|" + name);
        if (found != values.end()) value = found->second;
        return found != values.end();
    }
    bool write(const std::string& key, const std::string& name, const std::string& value) override {
        return values[key + "|" + name] = value, true;
    }
    bool removeValue(const std::string& key, const std::string& name) override {
        return values.erase(key + "|" + name), true;
    }
    bool removeKey(const std::string& key) override {
        return values.erase(values.lower_bound(key + "|"), values.lower_bound(key + "}")), true;
    }
    std::map<std::string, std::string> list(const std::string& key) const {
        std::map<std::string, std::string> found;
        for (const auto& value : values) {
            if (value.first.rfind(key + "|", 0) == 0)
                found[value.first.substr(key.size() + 1)] = value.second;
        }
        return found;
    }
};

using Values = std::map<std::string, std::string>;

TEST(BrowserPolicy, WritesWhatTheServiceAdmitsBesideTheAdministratorsValuesAndTakesOnlyThatBack) {
    FakeRegistry registry;
    registry.values = {{kChrome + "|1", "https://admin.example"},
                       {kChrome + "|3", "https://bank.example"}};
    testing::internal::CaptureStdout();
    // A subdomain wildcard goes in only with its host itself; invalid entries never.
    ASSERT_TRUE(writeBrowserPolicy(
        registry, parseAllowedOrigins(
                      "https://Portal.bank.example:8443 https://*.bank.example "
                      "https://bank.example https://*.branch.example * https://[*.]x.example")));
    EXPECT_EQ((Values{{"1", "https://admin.example"},
                      {"2", "https://portal.bank.example:8443"},
                      {"3", "https://bank.example"},
                      {"4", "https://[*.]bank.example"}}),
              registry.list(kChrome));
    EXPECT_EQ((Values{{"1", "https://portal.bank.example:8443"},
                      {"2", "https://[*.]bank.example"},
                      {"3", "https://bank.example"}}),
              registry.list(kEdge));

    // A second install replaces what the first wrote; a value changed since is the administrator's.
    registry.values[kChrome + "|4"] = "https://changed.example";
    ASSERT_TRUE(writeBrowserPolicy(registry, parseAllowedOrigins("http://127.0.0.1:8080")));
    EXPECT_EQ((Values{{"1", "http://127.0.0.1:8080"}}), registry.list(kEdge));
    const Values kept = {{"1", "https://admin.example"},
                         {"3", "https://bank.example"},
                         {"4", "https://changed.example"}};
    ASSERT_TRUE(removeBrowserPolicy(registry));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(kept, registry.list(kChrome));
    EXPECT_EQ(kept.size(), registry.values.size());  // no other list, no record
}

}  // namespace
