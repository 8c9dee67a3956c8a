#include "plat/dynlib.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

TEST(DynLib, MapsHostNamesOntoSharedObjects)
{
    EXPECT_EQ(plat::DynLib::fileNameFor("drumvel.dll"), "libdrumvel.so");
    EXPECT_EQ(plat::DynLib::fileNameFor("SETUPAPI.DLL"), "libSETUPAPI.so");
    EXPECT_EQ(plat::DynLib::fileNameFor("ombrel"), "libombrel.so");
    // Paths and local names are meant literally.
    EXPECT_EQ(plat::DynLib::fileNameFor("/opt/x/libz.so"), "/opt/x/libz.so");
    EXPECT_EQ(plat::DynLib::fileNameFor("libz.so"), "libz.so");
}

TEST(DynLib, MissingLibraryFailsCleanly)
{
    plat::DynLib lib;
    EXPECT_FALSE(lib.open("cfc-no-such-library-here.dll"));
    EXPECT_FALSE(lib.isOpen());
    EXPECT_EQ(lib.symbol("anything"), nullptr);
}

TEST(DynLib, FindsExportsAndMovesOwnership)
{
    plat::DynLib lib;
    ASSERT_TRUE(lib.open(PLAT_PROBE_PATH));
    EXPECT_EQ(lib.symbol("no_such_export"), nullptr);

    plat::DynLib moved = std::move(lib);
    EXPECT_FALSE(lib.isOpen());
    using Answer = int (*)();
    auto answer = reinterpret_cast<Answer>(moved.symbol("plat_probe_answer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
}

} // namespace
