// The administrator check, for root and for processes that dropped it.
#include "zantal.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr uid_t kNobody = 65534;

// In a child: take on these groups and the unprivileged user, then report.
[[noreturn]] void checkAs(std::vector<gid_t> groups)
{
    if (setgroups(groups.size(), groups.data()) != 0 || setgid(groups.front()) != 0 ||
        setuid(kNobody) != 0)
        _exit(100);
    _exit(ZANTAL_HasAdminRights());
}

class AdminRights : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "changing users needs root";
    }
};

TEST_F(AdminRights, RootHasThem)
{
    EXPECT_EQ(ZANTAL_HasAdminRights(), 1);
}

TEST_F(AdminRights, PlainUserHasNot)
{
    EXPECT_EXIT(checkAs({kNobody}), ::testing::ExitedWithCode(0), "");
}

TEST_F(AdminRights, MembershipOfGroupRootCountsThoughDenyOnly)
{
    EXPECT_EXIT(checkAs({kNobody, 0}), ::testing::ExitedWithCode(1), "");
}

TEST_F(AdminRights, LongGroupListsAreReadWhole)
{
    // Enough groups that the list outgrows the first 1024-byte read.
    std::vector<gid_t> groups;
    for (gid_t g = 60000; g < 60080; ++g)
        groups.push_back(g);
    groups.push_back(0);
    EXPECT_EXIT(checkAs(groups), ::testing::ExitedWithCode(1), "");
}

} // namespace
