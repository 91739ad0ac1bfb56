#include "platform/change_rights.h"

#include <gtest/gtest.h>

using platform::AccessEntry;
using platform::Trustee;
using platform::WindowsAccess;

namespace {

constexpr std::uint32_t kReadExecute = 0x001200A9, kModify = 0x001301BF, kFull = 0x001F01FF;

AccessEntry allow(Trustee trustee, std::uint32_t mask, bool inheritOnly = false) {
    return AccessEntry{trustee, mask, true, true, inheritOnly};
}

TEST(ChangeRightsTest, WindowsAccessEntries) {
    const Trustee admins = Trustee::kAdministrators, other = Trustee::kOther;
    const AccessEntry trusted[] = {allow(Trustee::kTrustedInstaller, kFull),
                                   allow(Trustee::kSystem, kFull), allow(admins, kFull)};
    const struct {
        WindowsAccess access;
        bool changeable;
    } cases[] = {
        {{admins, true, {trusted[0], trusted[1], trusted[2], allow(other, kReadExecute)}}, false},
        {{admins, true, {allow(other, kFull, true)}}, false},         // CREATOR OWNER, inherit-only
        {{admins, true, {allow(other, 0x100)}}, false},               // write attributes only
        {{admins, true, {trusted[1], allow(other, kModify)}}, true},  // C:\x: Authenticated Users
        {{admins, true, {{other, kModify, false, false, false}, allow(other, kModify)}},
         true},                               // denies are not weighed
        {{other, true, {trusted[1]}}, true},  // a user owns it
        {{admins, false, {}}, true},          // no DACL
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(cases[i].changeable, platform::othersMayChange(cases[i].access)) << i;
    }
    // Append (add a subfolder), delete a child, delete, write DAC, take
    // ownership, generic write, generic all.
    for (std::uint32_t right :
         {0x4u, 0x40u, 0x10000u, 0x40000u, 0x80000u, 0x40000000u, 0x10000000u}) {
        EXPECT_TRUE(platform::othersMayChange({Trustee::kSystem, true, {allow(other, right)}}))
            << right;
    }
}

TEST(ChangeRightsTest, LinuxOwnersModesAndTheStickyBit) {
    const platform::UnixPathFacts root{0, 0755}, tmp{0, 01777}, user{1000, 0755};
    const struct {
        std::vector<platform::UnixPathFacts> chain;  // program, its folder, parents up to "/"
        int firstChangeable;
    } cases[] = {
        {{root, root, root, root}, -1},          // /opt/rd/rdserver_ext
        {{root, root, tmp, root}, -1},           // /tmp/rd/rdserver_ext
        {{{0, 0775}, root, root}, 0},            // program group-writable
        {{user, root, root}, 0},                 // program of another account
        {{root, {0, 0777}, root}, 1},            // folder 777
        {{root, tmp, root}, 1},                  // the folder itself sticky 1777
        {{root, user, root}, 1},                 // folder of another account
        {{root, root, {0, 0777}, root}, 2},      // parent 777 without the sticky bit
        {{root, root, root, {0, 0775}}, 3},      // parent group-writable
        {{root, root, {1000, 01777}, root}, 2},  // sticky parent of another account
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(cases[i].firstChangeable, platform::firstChangeableByOthers(cases[i].chain)) << i;
    }
}

}  // namespace
