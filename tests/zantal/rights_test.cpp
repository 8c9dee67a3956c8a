// The administrator check, for root and for processes that dropped it.
#include "run_as.h"
#include "zantal.h"

#include <gtest/gtest.h>

namespace {

using zantal_test::kNobody;

[[noreturn]] void checkAs(const std::vector<gid_t>& groups)
{
    zantal_test::runAs(groups, [] { return ZANTAL_HasAdminRights(); });
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
