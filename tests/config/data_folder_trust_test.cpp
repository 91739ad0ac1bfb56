#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "config/data_folder_trust.h"
#include "config/device_model.h"
#include "support/temp_folder.h"

using platform::PathFacts;
using platform::PathOwner;

namespace {

PathFacts ownedBy(PathOwner owner, bool isLink = false) {
    PathFacts facts;
    facts.exists = true;
    facts.isLink = isLink;
    facts.owner = owner;
    return facts;
}

}  // namespace

// The facts stand in for what Windows would report: Wine enforces no owners.
TEST(DataFolderTrust, OnlyAdministeredPathsThatAreNoLinksAreTrusted) {
    const std::string otherFolder =
        "the folder is owned by another user than SYSTEM or the Administrators";
    struct Case {
        PathFacts folder;
        PathFacts file;
        std::string reason;
    };
    const Case cases[] = {
        {ownedBy(PathOwner::kSystem), ownedBy(PathOwner::kSystem), ""},
        {ownedBy(PathOwner::kAdministrators), PathFacts(), ""},
        {ownedBy(PathOwner::kCurrentUser), ownedBy(PathOwner::kAdministrators), ""},
        {ownedBy(PathOwner::kOtherUser), PathFacts(), otherFolder},
        {ownedBy(PathOwner::kUnknown), PathFacts(), otherFolder},
        {ownedBy(PathOwner::kSystem), ownedBy(PathOwner::kOtherUser),
         "the file is owned by another user than SYSTEM or the Administrators"},
        {ownedBy(PathOwner::kSystem, true), PathFacts(), "the folder is a link or junction"},
        {ownedBy(PathOwner::kSystem), ownedBy(PathOwner::kSystem, true),
         "the file is a link or junction"},
        {PathFacts(), PathFacts(), "the folder does not exist"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.reason, distrustReason(c.folder, c.file))
            << static_cast<int>(c.folder.owner) << " " << static_cast<int>(c.file.owner);
    }
}

// A file the platform reports as a link is neither followed nor rewritten.
TEST(DataFolderTrust, LinkedDeviceConfigIsNotWritten) {
    testing_support::TempFolder base;
    const DataDirectory data(base.path().string());
    std::filesystem::create_directory(data.path());
    const std::string target = base.write("victim.txt", "precious");
    std::error_code error;
    std::filesystem::create_symlink(target, data.filePath(kDeviceConfigFileName), error);
    if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
    const DeviceModelRead read = loadDeviceModel(data, DeviceConfigAccess::kReadWrite);
    EXPECT_EQ(kDefaultDeviceModel, read.model);
    EXPECT_EQ(data.filePath(kDeviceConfigFileName) +
                  " is not used (the file is a link or junction): the default model is in "
                  "force and nothing is written",
              read.notice);
    EXPECT_EQ("precious", base.read("victim.txt"));
}

// What an install writes, read back through the platform's security API.
TEST(DataFolderTrust, ProtectedKeyIsPrivateAndTheDataFolderReadable) {
#ifdef _WIN32
    // Wine keeps no DACL: it turns one into Unix mode bits and reads back a
    // DACL made from them, so what Windows would store cannot be seen here.
    GTEST_SKIP() << "Wine stores no access control lists";
#endif
    testing_support::TempFolder base;
    const std::string key = base.write("ssl_localhost.pem", "key");
    const std::string folder = (base.path() / "data").string();
    ASSERT_TRUE(platform::createProtectedDirectory(folder));
    ASSERT_TRUE(platform::protectPath(key, platform::Protection::kPrivateFile));
    ASSERT_TRUE(platform::protectPath(folder, platform::Protection::kAdministeredFolder));
    const PathFacts keyFacts = platform::inspectPath(key);
    EXPECT_FALSE(keyFacts.readableByOthers);
    EXPECT_NE(PathOwner::kOtherUser, keyFacts.owner);
    EXPECT_TRUE(platform::inspectPath(folder).readableByOthers);  // Users: read
    EXPECT_EQ("key", base.read("ssl_localhost.pem"));
}
