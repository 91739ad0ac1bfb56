#include "platform/change_rights.h"

#include <gtest/gtest.h>

using platform::AccessEntry;
using platform::Trustee;
using platform::UnixPathFacts;
using platform::WindowsAccess;

namespace {

constexpr std::uint32_t kReadExecute = 0x001200A9;  // FILE_GENERIC_READ | FILE_EXECUTE
constexpr std::uint32_t kModify = 0x001301BF;
constexpr std::uint32_t kFullControl = 0x001F01FF;

AccessEntry allow(Trustee trustee, std::uint32_t mask, bool inherited = false) {
    return AccessEntry{trustee, mask, true, inherited, false};
}

TEST(ChangeRightsTest, WindowsAccessEntries) {
    const AccessEntry admins = allow(Trustee::kAdministrators, kFullControl, true);
    const AccessEntry system = allow(Trustee::kSystem, kFullControl, true);
    const AccessEntry installer = allow(Trustee::kTrustedInstaller, kFullControl);
    const AccessEntry usersRead = allow(Trustee::kOther, kReadExecute, true);
    const struct {
        const char* what;
        WindowsAccess access;
        bool changeable;
    } cases[] = {
        {"Program Files",
         {Trustee::kAdministrators, true, {installer, system, admins, usersRead}},
         false},
        {"C:\\ folder: Authenticated Users modify, inherited",
         {Trustee::kAdministrators, true, {system, admins, allow(Trustee::kOther, kModify, true)}},
         true},
        {"append only", {Trustee::kSystem, true, {system, allow(Trustee::kOther, 0x4)}}, true},
        {"delete a child", {Trustee::kSystem, true, {system, allow(Trustee::kOther, 0x40)}}, true},
        {"delete", {Trustee::kSystem, true, {allow(Trustee::kOther, 0x00010000)}}, true},
        {"write DAC", {Trustee::kSystem, true, {allow(Trustee::kOther, 0x00040000)}}, true},
        {"take ownership", {Trustee::kSystem, true, {allow(Trustee::kOther, 0x00080000)}}, true},
        {"generic write", {Trustee::kSystem, true, {allow(Trustee::kOther, 0x40000000)}}, true},
        {"generic all", {Trustee::kSystem, true, {allow(Trustee::kOther, 0x10000000)}}, true},
        {"write attributes only", {Trustee::kSystem, true, {allow(Trustee::kOther, 0x100)}}, false},
        {"CREATOR OWNER, inherit-only",
         {Trustee::kAdministrators,
          true,
          {admins, AccessEntry{Trustee::kOther, kFullControl, true, true, true}}},
         false},
        {"a deny entry is not weighed",
         {Trustee::kSystem,
          true,
          {AccessEntry{Trustee::kOther, kModify, false, false, false},
           allow(Trustee::kOther, kModify)}},
         true},
        {"owned by a user", {Trustee::kOther, true, {system, admins, usersRead}}, true},
        {"no DACL", {Trustee::kAdministrators, false, {}}, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.changeable, platform::othersMayChange(c.access)) << c.what;
    }
}

TEST(ChangeRightsTest, LinuxOwnersModesAndTheStickyBit) {
    const UnixPathFacts program{0, 0755};
    const UnixPathFacts rootFolder{0, 0755};
    const UnixPathFacts tmp{0, 01777};
    const struct {
        const char* what;
        std::vector<UnixPathFacts> chain;  // program, its folder, parents up to "/"
        int firstChangeable;
    } cases[] = {
        {"/opt/rd/rdserver_ext", {program, rootFolder, rootFolder, rootFolder}, -1},
        {"root folder under /tmp", {program, rootFolder, tmp, rootFolder}, -1},
        {"program group-writable", {{0, 0775}, rootFolder, rootFolder}, 0},
        {"program owned by a user", {{1000, 0755}, rootFolder, rootFolder}, 0},
        {"folder 777", {program, {0, 0777}, rootFolder}, 1},
        {"folder sticky 1777 itself", {program, {0, 01777}, rootFolder}, 1},
        {"folder owned by a user", {program, {1000, 0755}, rootFolder}, 1},
        {"parent 777, no sticky bit", {program, rootFolder, {0, 0777}, rootFolder}, 2},
        {"parent group-writable", {program, rootFolder, rootFolder, {0, 0775}}, 3},
        {"parent owned by a user", {program, rootFolder, {1000, 0755}, rootFolder}, 2},
        {"sticky parent owned by a user", {program, rootFolder, {1000, 01777}}, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.firstChangeable, platform::firstChangeableByOthers(c.chain)) << c.what;
    }
}

}  // namespace
