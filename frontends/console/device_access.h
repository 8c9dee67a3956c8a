// Why this user may not open a device, told from the device itself: its
// owner, group and mode, and the groups the user has now and on record.
// "Join the dialout group" only helps when the device belongs to dialout and
// lets that group read and write it; a pseudo-terminal of root's (root:tty,
// mode 0620) or a device of mode 000 needs something else.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vornax {

struct DeviceOwnership {
    unsigned mode = 0; // permission bits only
    unsigned uid = 0;
    unsigned gid = 0;
    std::string ownerName; // the number when the name is unknown
    std::string groupName;
};

struct UserGroups {
    unsigned uid = 0;
    // The groups this process has; a group joined since the login is not
    // among them until the next login.
    std::vector<unsigned> now;
    // The groups the user database gives the user.
    std::vector<unsigned> onRecord;
};

// Nothing when the device cannot be looked at.
std::optional<DeviceOwnership> deviceOwnership(const std::string& path);
UserGroups currentUserGroups();

// What would let the user open `path`, in a few words for the line after
// the system's reason.
std::string deniedAdvice(const std::string& path, const DeviceOwnership& device,
                         const UserGroups& user);

// The same for the device and user of this machine; a generic word when the
// device cannot be looked at.
std::string deniedAdviceHere(const std::string& path);

} // namespace vornax
