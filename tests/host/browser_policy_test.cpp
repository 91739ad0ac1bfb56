#include "host/browser_policy.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

namespace {

const std::string kChrome = "SOFTWARE\\Policies\\Google\\Chrome\\LocalNetworkAccessAllowedForUrls";
const std::string kEdgeLoopback =
    "SOFTWARE\\Policies\\Microsoft\\Edge\\LoopbackNetworkAllowedForUrls";
const std::string kRecord = "SOFTWARE\\rdserver_ext\\BrowserPolicy";

// The registry as a map of (key, value name) to text.
class FakeRegistry : public platform::MachineRegistry {
  public:
    std::map<std::pair<std::string, std::string>, std::string> values;

    bool read(const std::string& key, const std::string& name, std::string& value) override {
        const auto found = values.find({key, name});
        if (found == values.end()) return false;
        value = found->second;
        return true;
    }
    bool write(const std::string& key, const std::string& name, const std::string& value) override {
        values[{key, name}] = value;
        return true;
    }
    bool removeValue(const std::string& key, const std::string& name) override {
        values.erase({key, name});
        return true;
    }
    bool removeKey(const std::string& key) override {
        for (auto it = values.begin(); it != values.end();) {
            it = it->first.first == key ? values.erase(it) : std::next(it);
        }
        return true;
    }
    // One list as "number pattern" lines.
    std::string list(const std::string& key) const {
        std::string text;
        for (const auto& value : values) {
            if (value.first.first == key) text += value.first.second + " " + value.second + "\n";
        }
        return text;
    }
};

bool write(FakeRegistry& registry, const std::string& origins) {
    testing::internal::CaptureStdout();
    const bool written = writeBrowserPolicy(registry, parseAllowedOrigins(origins));
    testing::internal::GetCapturedStdout();
    return written;
}

TEST(BrowserPolicy, WritesWhatTheServiceAdmitsBesideTheAdministratorsValuesAndTakesOnlyThatBack) {
    FakeRegistry registry;
    registry.values[{kChrome, "1"}] = "https://admin.example";
    registry.values[{kChrome, "3"}] = "https://bank.example";
    // A subdomain wildcard goes in only with its host itself; invalid entries never.
    ASSERT_TRUE(
        write(registry,
              "https://Portal.bank.example:8443 https://*.bank.example https://bank.example "
              "https://*.branch.example * https://[*.]x.example"));
    EXPECT_EQ(
        "1 https://admin.example\n2 https://portal.bank.example:8443\n"
        "3 https://bank.example\n4 https://[*.]bank.example\n",
        registry.list(kChrome));
    EXPECT_EQ(
        "1 https://portal.bank.example:8443\n2 https://[*.]bank.example\n3 https://bank.example\n",
        registry.list(kEdgeLoopback));

    // A second install replaces what the first wrote; a value the
    // administrator changed since is theirs.
    registry.values[{kChrome, "4"}] = "https://changed.example";
    ASSERT_TRUE(write(registry, "http://127.0.0.1:8080"));
    EXPECT_EQ(
        "1 https://admin.example\n2 http://127.0.0.1:8080\n3 https://bank.example\n"
        "4 https://changed.example\n",
        registry.list(kChrome));
    EXPECT_EQ("1 http://127.0.0.1:8080\n", registry.list(kEdgeLoopback));

    testing::internal::CaptureStdout();
    ASSERT_TRUE(removeBrowserPolicy(registry));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ("1 https://admin.example\n3 https://bank.example\n4 https://changed.example\n",
              registry.list(kChrome));
    EXPECT_EQ("", registry.list(kEdgeLoopback) + registry.list(kRecord));
}

}  // namespace
