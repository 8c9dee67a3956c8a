// Runs a check in a forked child that has given up root for the unprivileged
// user and the groups named, the first of them its primary group; the
// child's exit code is the check's result (100 when the switch failed).
#pragma once

#include <grp.h>
#include <unistd.h>
#include <vector>

namespace zantal_test {

inline constexpr uid_t kNobody = 65534;

template <class Check>
[[noreturn]] void runAs(const std::vector<gid_t>& groups, Check&& check)
{
    if (setgroups(groups.size(), groups.data()) != 0 || setgid(groups.front()) != 0 ||
        setuid(kNobody) != 0)
        _exit(100);
    _exit(check());
}

} // namespace zantal_test
