#include "config/allowed_origins.h"

#include <gtest/gtest.h>

namespace {

TEST(AllowedOrigins, ListsAreNormalisedAndBadEntriesAdmitNothing) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "every origin"},
        {" ,\t, ", "every origin"},
        {"HTTPS://*.Bank.Example,http://localhost:3000",
         "https://*.bank.example http://localhost:3000"},
        {"http://[::1]:8080 http://127.0.0.1", "http://[::1]:8080 http://127.0.0.1"},
        {"bank.example", "none (ignored, not scheme://host[:port]: bank.example)"},
        {"https://a.example/ https://a.example:0 https://a.example:65536 https://*. https://a:b@c "
         "http://*.[::1] https://x.example",
         "https://x.example (ignored, not scheme://host[:port]: https://a.example/ "
         "https://a.example:0 https://a.example:65536 https://*. https://a:b@c http://*.[::1])"},
    };
    for (const auto& [list, described] : cases) {
        EXPECT_EQ(described, describeAllowedOrigins(parseAllowedOrigins(list))) << list;
    }
}

}  // namespace
