// The advice for a device the system would not open, from the device's
// owner, group and mode and the user's groups.
#include "device_access.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using vornax::DeviceOwnership;
using vornax::UserGroups;

constexpr unsigned kRoot = 0;
constexpr unsigned kUser = 1000;
constexpr unsigned kTty = 5;
constexpr unsigned kDialout = 20;
constexpr unsigned kUucp = 10;

const UserGroups plainUser{kUser, {kUser}, {kUser}};

TEST(DeniedAdvice, NamesTheGroupOnlyWhereJoiningItHelps)
{
    const struct {
        const char* name;
        DeviceOwnership device;
        UserGroups user;
        std::string wanted;
        std::string unwanted;
    } cases[] = {
        {"a dialout port",
         {0660, kRoot, kDialout, "root", "dialout"},
         plainUser,
         "join the dialout group (sudo usermod -aG dialout $USER) and log in again",
         ""},
        {"a port of another group",
         {0660, kRoot, kUucp, "root", "uucp"},
         plainUser,
         "join the uucp group (sudo usermod -aG uucp $USER)",
         "dialout"},
        {"root's pseudo-terminal",
         {0620, kRoot, kTty, "root", "tty"},
         plainUser,
         "/dev/pts/3 is root:tty, mode 0620: its permissions let no group read and write it",
         "usermod"},
        {"a device only root may use",
         {0600, kRoot, kRoot, "root", "root"},
         plainUser,
         "is root:root, mode 0600: its permissions let no group",
         "dialout"},
        {"a device nobody may use",
         {0000, kRoot, kDialout, "root", "dialout"},
         plainUser,
         "mode 0000: its permissions let no group",
         "usermod"},
        {"a group joined since the login",
         {0660, kRoot, kDialout, "root", "dialout"},
         UserGroups{kUser, {kUser}, {kUser, kDialout}},
         "you were added to group dialout since this login: log in again (or start a shell "
         "with newgrp dialout)",
         "usermod"},
        {"a group the user has",
         {0660, kRoot, kDialout, "root", "dialout"},
         UserGroups{kUser, {kUser, kDialout}, {kUser, kDialout}},
         "something beyond its mode refuses",
         "usermod"},
        {"the user's own device without rights",
         {0000, kUser, kUser, "user", "user"},
         plainUser,
         "sudo chmod u+rw /dev/pts/3",
         "usermod"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string advice = vornax::deniedAdvice("/dev/pts/3", c.device, c.user);
        EXPECT_NE(advice.find(c.wanted), std::string::npos) << advice;
        if (!c.unwanted.empty()) {
            EXPECT_EQ(advice.find(c.unwanted), std::string::npos) << advice;
        }
    }
}

TEST(DeniedAdvice, ReadsTheDeviceAndTheUserOfThisMachine)
{
    // /dev/null is root's and lets everyone read and write.
    const auto device = vornax::deviceOwnership("/dev/null");
    ASSERT_TRUE(device.has_value());
    EXPECT_EQ(device->mode, 0666u);
    EXPECT_EQ(device->ownerName, "root");
    EXPECT_FALSE(vornax::deviceOwnership("/no/such/device").has_value());

    const UserGroups user = vornax::currentUserGroups();
    EXPECT_FALSE(user.now.empty());
    EXPECT_EQ(vornax::deniedAdviceHere("/no/such/device"),
              "this user may not open /no/such/device");
}

} // namespace
