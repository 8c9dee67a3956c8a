// The target version: the evaluation of version texts (well formed or not),
// the firmware rules that follow from a version, and the fetch once per
// connection with its trace, its workaround flag and its retry.
#include "cfc_connection.h"
#include "cfc_version.h"
#include "cfcrpc.h"
#include "rpc_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>

using namespace cfctest;

namespace {

std::string textOf(const std::array<char, cfc::kProjectSize>& field)
{
    return field.data();
}
std::string textOf(const std::array<char, cfc::kPostfixSize>& field)
{
    return field.data();
}

cfc::FirmwareName evaluate(const std::string& text)
{
    // An exact copy on the heap, with no zero byte behind it, so that a read
    // past the text's end is a read past the allocation.
    auto copy = std::make_unique<char[]>(text.size());
    std::memcpy(copy.get(), text.data(), text.size());
    return cfc::EvaluateFirmwareName(std::string_view(copy.get(), text.size()));
}

cfc::TargetVersionInfo versionOf(const std::string& project, int16_t number,
                                 const std::string& postfix = "")
{
    cfc::TargetVersionInfo version;
    std::strncpy(version.project.data(), project.c_str(), version.project.size() - 1);
    version.versionNumber = number;
    std::strncpy(version.postfix.data(), postfix.c_str(), version.postfix.size() - 1);
    return version;
}

TEST(VersionText, TheFirstItemGivesProjectNumberAndPostfix)
{
    const struct {
        const char* text;
        const char* project;
        int16_t number;
        const char* postfix;
    } cases[] = {
        {"ZEPHIN_B2_071a:rest&Bln-Bootloader V1", "ZEPHIN", 71, "a"},
        {"ZEPHIN_B2_072:rest&x", "ZEPHIN", 72, ""},
        {"ZEPHIN_071:rest&x", "ZEPHIN", 71, ""},
        {"MARLO_A_B_207CA:x:y&z", "MARLO", 207, "CA"},
        {"TIRVAN_B2_xyz:&", "TIRVAN", 0, "xyz"},
        // Digits beyond a 16-bit number stop at its largest value instead of
        // wrapping round to a small (or negative) one.
        {"ZEPHIN_B2_65607:x&y", "ZEPHIN", 32767, ""},
        {"ZEPHIN_B2_99999999999999999999:x&y", "ZEPHIN", 32767, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const cfc::FirmwareName name = evaluate(c.text);
        ASSERT_TRUE(name.evaluated);
        EXPECT_EQ(textOf(name.project), c.project);
        EXPECT_EQ(name.number, c.number);
        EXPECT_EQ(textOf(name.postfix), c.postfix);
    }
}

TEST(VersionText, ATextWithoutNameIsNotEvaluated)
{
    for (const char* text : {
             "ZEPHIN_B2_071a:only one item",  // no "&"
             "ZEPHIN_B2_071a&no colon in it", // no ":" in the first item
             "ZEPHIN_B2_071a&second:item",    // the ":" is in a later item
             "ZEPHIN:no underscore&x",        // no "_" before the ":"
             "",
             "&",
             ":&",
         }) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(evaluate(text).evaluated);
    }
    // A zero byte ends the text: the ":" and "&" behind it do not count. The
    // length is given, so the zero byte really reaches the evaluation.
    const std::string hidden("ZEPHIN_B2_071a\0:hidden&x", 24);
    ASSERT_EQ(hidden.size(), 24u);
    EXPECT_FALSE(evaluate(hidden).evaluated);
    EXPECT_TRUE(evaluate(std::string("ZEPHIN_B2_071a:x&\0y", 19)).evaluated);
}

TEST(VersionText, LongNamesAreCutToTheirFields)
{
    const std::string project(100, 'P');
    const std::string postfix(100, 'x');
    const cfc::FirmwareName name = evaluate(project + "_B2_07" + postfix + ":y&z");
    ASSERT_TRUE(name.evaluated);
    EXPECT_EQ(textOf(name.project), std::string(63, 'P'));
    EXPECT_EQ(name.number, 7);
    EXPECT_EQ(textOf(name.postfix), std::string(31, 'x'));

    // 1023 characters and no zero byte: only the text itself is read.
    const std::string longest = "ZEPHIN_B2_" + std::string(1013, '7');
    EXPECT_FALSE(evaluate(longest).evaluated);
    EXPECT_EQ(evaluate(longest.substr(0, 1010) + ":&").number, 32767);
}

TEST(VersionText, TheBootloaderItemRunsToTheNextSeparator)
{
    EXPECT_EQ(cfc::FindBootloaderItem("A_1:x&Bln-Bootloader V01.03&RPC"), "Bln-Bootloader V01.03");
    EXPECT_EQ(cfc::FindBootloaderItem("A_1:x&Bln-Bootloader V01.03"), "Bln-Bootloader V01.03");
    EXPECT_EQ(cfc::FindBootloaderItem("A_1:x&Bootloader V01.03"), "");
    EXPECT_EQ(cfc::FindBootloaderItem(std::string_view("Bln-Boot", 8)), "");
}

TEST(VersionRules, DelayWorkaroundForOldFirmwareOfThreeProjects)
{
    EXPECT_TRUE(cfc::NeedsDelayWorkaround("ZEPHIN", 71));
    EXPECT_FALSE(cfc::NeedsDelayWorkaround("ZEPHIN", 72));
    EXPECT_TRUE(cfc::NeedsDelayWorkaround("MARLO", 77));
    EXPECT_FALSE(cfc::NeedsDelayWorkaround("MARLO", 78));
    EXPECT_TRUE(cfc::NeedsDelayWorkaround("TIRVAN", 75));
    EXPECT_FALSE(cfc::NeedsDelayWorkaround("TIRVAN", 76));
    EXPECT_FALSE(cfc::NeedsDelayWorkaround("OSKEL", 1));
    EXPECT_FALSE(cfc::NeedsDelayWorkaround("", 0));
    EXPECT_FALSE(cfc::NeedsDelayWorkaround("zephin", 1)) << "names compare case-sensitively";
}

TEST(VersionRules, SwitchOffStepsFollowTheVersion)
{
    EXPECT_FALSE(cfc::NeedsGprsDetach(versionOf("ZEPHIN", 232, "C")));
    EXPECT_FALSE(cfc::NeedsGprsDetach(versionOf("ZEPHIN", 232, "A")));
    EXPECT_TRUE(cfc::NeedsGprsDetach(versionOf("ZEPHIN", 232, "CA")));
    EXPECT_TRUE(cfc::NeedsGprsDetach(versionOf("ZEPHIN", 232, "H")));
    EXPECT_TRUE(cfc::NeedsGprsDetach(versionOf("ZEPHIN", 231, "C")));
    EXPECT_TRUE(cfc::NeedsGprsDetach(versionOf("MARLO", 232, "C")));

    EXPECT_FALSE(cfc::NeedsTestModeFinish(versionOf("TIRVAN", 135)));
    EXPECT_TRUE(cfc::NeedsTestModeFinish(versionOf("TIRVAN", 136)));
    EXPECT_FALSE(cfc::NeedsTestModeFinish(versionOf("MARLO", 1)));
    EXPECT_TRUE(cfc::NeedsTestModeFinish(versionOf("OSKEL", 1)));
    EXPECT_TRUE(cfc::NeedsTestModeFinish(versionOf("", 0)));
}

TEST(VersionRules, AutostartIsAskedAgainOnlyForTwoVersionRanges)
{
    for (int16_t number : {207, 229})
        EXPECT_TRUE(cfc::ConfirmsAutoStartWhenAskedAgain(versionOf("MARLO", number))) << number;
    for (int16_t number : {206, 230})
        EXPECT_FALSE(cfc::ConfirmsAutoStartWhenAskedAgain(versionOf("MARLO", number))) << number;
    for (int16_t number : {3, 27})
        EXPECT_TRUE(cfc::ConfirmsAutoStartWhenAskedAgain(versionOf("OSKEL", number))) << number;
    for (int16_t number : {2, 28})
        EXPECT_FALSE(cfc::ConfirmsAutoStartWhenAskedAgain(versionOf("OSKEL", number))) << number;
    EXPECT_FALSE(cfc::ConfirmsAutoStartWhenAskedAgain(versionOf("ZEPHIN", 210)));
}

class TargetVersionFetch : public TracedTest {
protected:
    static uint8_t modeOf(uint32_t handle)
    {
        uint8_t mode = 0xEE;
        EXPECT_EQ(cfc::CFCRPCGetCurrentOperationMode(cfctest::connectionOf(handle), &mode),
                  cfc::kRpcOk);
        return mode;
    }
    static void answerModeRequests(sim::Simulator& m, const sim::HostMessage& request)
    {
        if (request.command == cfc::CFCRequestGetCurrentOperationMode)
            m.sendMessage(cfc::CFCConfirmGetCurrentOperationMode,
                          concat(le16(referenceOf(request)), {0, 0, 1}));
    }
};

TEST_F(TargetVersionFetch, OncePerConnectionWithItsTraceAndWorkaround)
{
    ScriptedModule module(
        18, "version-once", answerModeRequests,
        "ZEPHIN_B2_071a:old firmware&Bln-Bootloader V01.03 build 2005-10-26&RPC 0001.0000");
    char bootloader[cfc::kBootloaderTextSize];
    std::memset(bootloader, '#', sizeof bootloader);
    EXPECT_EQ(WGetBootloaderVersion(module.handle(), bootloader), 0)
        << "not known before the first call";
    EXPECT_TRUE(
        std::all_of(bootloader, bootloader + sizeof bootloader, [](char c) { return c == 0; }));

    EXPECT_EQ(modeOf(module.handle()), 1);
    EXPECT_EQ(modeOf(module.handle()), 1);
    EXPECT_EQ(module.requestsOf(cfc::CFCRequestGetVersion), 1u);

    const cfc::TargetVersionInfo& version = cfctest::connectionOf(module.handle()).target.version;
    EXPECT_EQ(std::string(version.project.data()), "ZEPHIN");
    EXPECT_EQ(version.versionNumber, 71);
    EXPECT_EQ(std::string(version.postfix.data()), "a");
    EXPECT_EQ(module.connection().pacer.delayWorkaround(), true);
    EXPECT_EQ(WGetBootloaderVersion(module.handle(), bootloader), 1);
    EXPECT_EQ(std::string(bootloader), "Bln-Bootloader V01.03 bu") << "cut to 24 characters";

    for (const char* line : {
             "(CFC ) Get target version information at first...",
             "(CFC ) Host  : CFC 0001.4000",
             "(CFC ) Host  : RPC 0001.0000",
             "(CFC ) Target: RPC 0001.0000",
             "(CFC ) Target: HW  00000203",
             "(CFCV) Target: ZEPHIN_B2_071a:old firmware",
             "(CFCV) Target: Bln-Bootloader V01.03 build 2005-10-26",
             "(CFCV) Target: RPC 0001.0000",
             "(CFC ) GetTargetVersion: SW project evaluated to 'ZEPHIN'",
             "(CFC ) GetTargetVersion: SW version number evaluated to 71",
             "(CFC ) GetTargetVersion: SW postfix evaluated to 'a'",
             "SW version requires DelayNextSend WA",
         })
        EXPECT_EQ(countOf(line), 1u) << line;

    // A new connection fetches again; until then nothing is known.
    module.link().reopen(18);
    EXPECT_EQ(WGetBootloaderVersion(module.handle(), bootloader), 0);
    EXPECT_EQ(cfctest::connectionOf(module.handle()).target.version.versionNumber, 0);
    EXPECT_EQ(modeOf(module.handle()), 1);
    EXPECT_EQ(module.requestsOf(cfc::CFCRequestGetVersion), 2u);
}

TEST_F(TargetVersionFetch, AFailedFetchIsStoredAndRepeatedAtTheNextCall)
{
    ScriptedModule module(19, "version-retry", answerModeRequests,
                          "ZEPHIN_B2_072:new firmware&RPC 0001.0000");
    module.ignoreVersionRequests(1);
    EXPECT_EQ(modeOf(module.handle()), 1) << "the call goes on without the version";
    EXPECT_EQ(WGetLastError(module.handle()), cfc::kRpcNoConfirm);
    EXPECT_TRUE(traced("(CFC ) GetTargetVersion: CFCRPCGetVersion fails with error 2"));
    EXPECT_EQ(cfctest::connectionOf(module.handle()).target.version.gotTargetVersion, 0u);

    EXPECT_EQ(modeOf(module.handle()), 1);
    EXPECT_EQ(module.requestsOf(cfc::CFCRequestGetVersion), 2u);
    EXPECT_EQ(cfctest::connectionOf(module.handle()).target.version.versionNumber, 72);
    EXPECT_EQ(module.connection().pacer.delayWorkaround(), false);
    EXPECT_TRUE(traced("(CFC) Bootloader info not found"));
}

TEST_F(TargetVersionFetch, ABootloaderItemIsNeverTakenFromTheModuleOfAnEarlierConnection)
{
    ModuleLink link(21, "version-bootloader");
    cfc::GetTargetVersion(cfctest::connectionOf(link.handle()));
    char bootloader[cfc::kBootloaderTextSize];
    ASSERT_EQ(WGetBootloaderVersion(link.handle(), bootloader), 1);
    EXPECT_EQ(std::string(bootloader), "Bln-Bootloader V01.03");

    sim::Options options = link.sim().options();
    options.firmware.versionText = "ZEPHIN_B2_240:another module&RPC 0001.0000";
    link.sim().setOptions(options);
    link.reopen(21);
    cfc::GetTargetVersion(cfctest::connectionOf(link.handle()));
    EXPECT_TRUE(traced("(CFC) Bootloader info not found"));
    EXPECT_EQ(WGetBootloaderVersion(link.handle(), bootloader), 1);
    EXPECT_EQ(std::string(bootloader), "");
}

TEST_F(TargetVersionFetch, AnOverlongTextWithoutZeroByteIsCutToTheVersionArea)
{
    // 1400 text bytes and no zero byte: the first 1023 are kept.
    const std::string text = "MARLO_X_077:" + std::string(1400 - 12 - 2, 'x') + "&y";
    ScriptedModule module(
        20, "version-long",
        [&text](sim::Simulator& m, const sim::HostMessage& request) {
            Bytes confirm = versionConfirm(referenceOf(request), text);
            confirm.pop_back();
            m.sendMessage(cfc::CFCConfirmGetVersion, confirm);
        },
        std::nullopt);
    cfc::GetTargetVersion(cfctest::connectionOf(module.handle()));
    const cfc::TargetVersionInfo& version = cfctest::connectionOf(module.handle()).target.version;
    EXPECT_EQ(version.gotTargetVersion, 1u);
    // The "&" lay beyond the cut, so the first item is the whole text.
    EXPECT_EQ(version.versionNumber, 0);
    EXPECT_EQ(module.connection().pacer.delayWorkaround(), false);
    EXPECT_TRUE(traced("(CFCV) Target: MARLO_X_077:" + std::string(255 - 27, 'x')))
        << "the banner line is cut to its buffer";
}

} // namespace
