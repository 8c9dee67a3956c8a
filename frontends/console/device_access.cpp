#include "device_access.h"

#include <algorithm>
#include <cstdio>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vornax {
namespace {

constexpr unsigned kOwnerReadWrite = 0600;
constexpr unsigned kGroupReadWrite = 0060;
constexpr unsigned kOtherReadWrite = 0006;

bool allows(unsigned mode, unsigned readWrite)
{
    return (mode & readWrite) == readWrite;
}

bool contains(const std::vector<unsigned>& groups, unsigned gid)
{
    return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

std::string octal(unsigned mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04o", mode & 07777);
    return text;
}

std::string userName(unsigned uid)
{
    const passwd* entry = ::getpwuid(uid);
    return entry != nullptr ? entry->pw_name : std::to_string(uid);
}

std::string groupName(unsigned gid)
{
    const group* entry = ::getgrgid(gid);
    return entry != nullptr ? entry->gr_name : std::to_string(gid);
}

} // namespace

std::optional<DeviceOwnership> deviceOwnership(const std::string& path)
{
    struct stat status {};
    if (path.empty() || ::stat(path.c_str(), &status) != 0)
        return std::nullopt;
    return DeviceOwnership{static_cast<unsigned>(status.st_mode & 07777), status.st_uid,
                           status.st_gid, userName(status.st_uid), groupName(status.st_gid)};
}

UserGroups currentUserGroups()
{
    UserGroups user;
    user.uid = ::geteuid();
    user.now.push_back(::getegid());
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> groups(static_cast<std::size_t>(count));
        const int got = ::getgroups(count, groups.data());
        for (int i = 0; i < got; ++i)
            user.now.push_back(groups[static_cast<std::size_t>(i)]);
    }
    if (const passwd* entry = ::getpwuid(user.uid)) {
        int count = 64;
        std::vector<gid_t> groups(static_cast<std::size_t>(count));
        if (::getgrouplist(entry->pw_name, entry->pw_gid, groups.data(), &count) < 0) {
            groups.resize(static_cast<std::size_t>(count));
            ::getgrouplist(entry->pw_name, entry->pw_gid, groups.data(), &count);
        }
        groups.resize(static_cast<std::size_t>(std::max(count, 0)));
        user.onRecord.assign(groups.begin(), groups.end());
    }
    return user;
}

std::string deniedAdvice(const std::string& path, const DeviceOwnership& device,
                         const UserGroups& user)
{
    const std::string owners = device.ownerName + ":" + device.groupName;
    const std::string described = path + " is " + owners + ", mode " + octal(device.mode);
    if (user.uid == device.uid)
        return allows(device.mode, kOwnerReadWrite)
                   ? described + " and yours: something beyond its mode refuses (an ACL or a "
                                 "security module)"
                   : described +
                         " and yours, but its mode does not let you read and write it: "
                         "sudo chmod u+rw " +
                         path;
    if (allows(device.mode, kGroupReadWrite)) {
        const std::string group = device.groupName;
        if (contains(user.now, device.gid))
            return described + " and you are in group " + group +
                   ": something beyond its mode refuses (an ACL or a security module)";
        if (contains(user.onRecord, device.gid))
            return described + "; you were added to group " + group +
                   " since this login: log in again (or start a shell with newgrp " + group + ")";
        return "join the " + group + " group (sudo usermod -aG " + group +
               " $USER) and log in again";
    }
    if (allows(device.mode, kOtherReadWrite))
        return described + ": something beyond its mode refuses (an ACL or a security module)";
    // No group can help: the mode keeps everyone but the owner out.
    return described +
           ": its permissions let no group read and write it, so joining a group "
           "does not help; run as " +
           device.ownerName +
           ", or give the device a group and mode 0660 with a udev rule (see the example "
           "99-cfc.rules)";
}

std::string deniedAdviceHere(const std::string& path)
{
    if (const auto device = deviceOwnership(path))
        return deniedAdvice(path, *device, currentUserGroups());
    return "this user may not open " + (path.empty() ? std::string("the port") : path);
}

} // namespace vornax
