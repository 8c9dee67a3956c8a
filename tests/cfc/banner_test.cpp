// The version banner formatters: stamp compaction and the decoration after
// branch names.
#include "cfc_banner.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string target(const std::string& item)
{
    return cfc::TargetBannerText(item.c_str());
}

TEST(HostBanner, CompactsARevisionStampToFileRevisionAndDate)
{
    EXPECT_STREQ(cfc::HostBannerText("m:\\cfc\\src\\cfc.c: $QVRevision: /main/147 $,$QVDate: "
                                     "2005-10-26 16:23:29 (Update)$"),
                 "(CFCV) Host: cfc.c:  /main/147 $, 2005-10-26 16:23:29 (Update)$");
    EXPECT_STREQ(cfc::HostBannerText("gwcoml1.h: $QVRevision: /main/dev01/3 $"),
                 "(CFCV) Host: gwcoml1.h:  /main/dev01/3 $")
        << "no path, one keyword";
}

TEST(BannerDecoration, EscapesTheCharacterAfterABranchName)
{
    EXPECT_EQ(target("main/7"), "(CFCV) Target: main/7") << "a slash is copied";
    EXPECT_EQ(target("mainx"), "(CFCV) Target: main\\x");
    EXPECT_EQ(target("main\tx"), "(CFCV) Target: main\\tx");
    EXPECT_EQ(target("main\r"), "(CFCV) Target: main\\r");
    EXPECT_EQ(target("dev01\nz"), "(CFCV) Target: dev01\\nz");
    // Before a blank or digit the character goes as its octal code...
    EXPECT_EQ(target("maina 1"), "(CFCV) Target: main\\141 1");
    EXPECT_EQ(target("kv58302_cfc-2"), "(CFCV) Target: kv58302_cfc\\552");
    // ...except 8 and 9, which have their own forms.
    EXPECT_EQ(target("main8 "), "(CFCV) Target: main\\{8,70} ");
    EXPECT_EQ(target("dev019 "), "(CFCV) Target: dev01\\{9,71} ");
    EXPECT_EQ(target("main85"), "(CFCV) Target: main\\85");
    EXPECT_EQ(target("main\xE9 "), "(CFCV) Target: main\\351 ") << "byte value, not sign-extended";
    EXPECT_EQ(target("domain"), "(CFCV) Target: domain") << "nothing follows the name";
    EXPECT_EQ(target("ZEPHIN_B2_071a"), "(CFCV) Target: ZEPHIN_B2_071a");
}

TEST(BannerDecoration, LongTextsAreCutToTheBuffer)
{
    const std::string item(400, 'x');
    const std::string text = target(item);
    EXPECT_EQ(text.size(), static_cast<size_t>(cfc::kBannerBufferSize - 1));
    EXPECT_EQ(text.rfind("(CFCV) Target: xxx", 0), 0u);
}

} // namespace
