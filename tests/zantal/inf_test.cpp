// Reading INF files: the syntax the installation meets in driver files, and
// the field calls' bounds.
#include "modem_fixture.h"

#include "inf_file.h"

namespace zantal_test {
namespace {

using zantal::inf::InfFile;

std::string field(const InfFile& inf, const char* section, size_t line, size_t index)
{
    const auto* s = inf.section(section);
    if (!s || line >= s->lines.size())
        return "<no line>";
    return InfFile::field(s->lines[line], index).value_or("<no field>");
}

TEST(InfFile, QuotesCommentsContinuationsAndStrings)
{
    const char* text = "; leading comment\r\n"
                       "[Models]\r\n"
                       "%Name% = Install , \"ID,ONE\" , \" spaced \" ; comment\r\n"
                       "Key = \"say \"\"hi\"\"\", 100%% , %Unknown%\r\n"
                       "Joined = first, \\\r\n"
                       "   second\r\n"
                       "HKR,,Value,1,0a\r\n"
                       "[models]\r\n"
                       "Later = more\r\n"
                       "[Strings]\r\n"
                       "Name = \"Modem, Sample\"\r\n";
    auto inf = InfFile::parse(text, nullptr);
    ASSERT_TRUE(inf);
    EXPECT_EQ(field(*inf, "MODELS", 0, 0), "Modem, Sample");
    EXPECT_EQ(field(*inf, "Models", 0, 1), "Install");
    EXPECT_EQ(field(*inf, "Models", 0, 2), "ID,ONE");
    EXPECT_EQ(field(*inf, "Models", 0, 3), " spaced ");
    EXPECT_EQ(field(*inf, "Models", 0, 4), "<no field>");
    EXPECT_EQ(field(*inf, "Models", 1, 1), "say \"hi\"");
    EXPECT_EQ(field(*inf, "Models", 1, 2), "100%");
    EXPECT_EQ(field(*inf, "Models", 1, 3), "%Unknown%");
    EXPECT_EQ(field(*inf, "Models", 2, 2), "second");
    EXPECT_EQ(field(*inf, "Models", 3, 0), ""); // a line without key
    EXPECT_EQ(field(*inf, "Models", 3, 3), "Value");
    EXPECT_EQ(field(*inf, "Models", 4, 0), "Later"); // sections of one name are joined
}

TEST(InfFile, Utf16FilesReadLikeAnyOther)
{
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("[Version]\r\nProvider=\xE9t\xE9\r\n")) {
        utf16 += c;
        utf16 += '\0';
    }
    auto inf = InfFile::parse(utf16, nullptr);
    ASSERT_TRUE(inf);
    EXPECT_EQ(inf->value("Version", "provider"), "\xC3\xA9t\xC3\xA9");
}

TEST(InfFile, MalformedTextIsPlacedByLine)
{
    zantal::inf::ParseError error;
    EXPECT_FALSE(InfFile::parse("\n\nKey=Value\n", &error));
    EXPECT_EQ(error.line, 3u);
    EXPECT_EQ(error.code, win::ERROR_EXPECTED_SECTION_NAME);
    EXPECT_FALSE(InfFile::parse("[Version\n", &error));
    EXPECT_EQ(error.code, win::ERROR_BAD_SECTION_NAME_LINE);
    EXPECT_FALSE(InfFile::parse("[" + std::string(300, 'S') + "]\n", &error));
    EXPECT_EQ(error.code, win::ERROR_SECTION_NAME_TOO_LONG);
}

using InfCallsTest = ModemStoreTest;

TEST_F(InfCallsTest, FieldsAreCopiedOnlyWhenTheyFit)
{
    using namespace win;
    HINF inf = SetupOpenInfFileA(infPath().c_str(), nullptr, INF_STYLE_WIN4, nullptr);
    ASSERT_NE(inf, INVALID_HANDLE_VALUE);
    INFCONTEXT line{};
    ASSERT_TRUE(SetupFindFirstLineA(inf, "Version", "provider", &line));
    char buffer[13];
    std::memset(buffer, '#', sizeof buffer);
    DWORD required = 0;
    EXPECT_FALSE(SetupGetStringFieldA(&line, 1, buffer, 12, &required));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(required, 13u);
    EXPECT_EQ(buffer[0], '#');
    EXPECT_TRUE(SetupGetStringFieldA(&line, 1, buffer, 13, &required));
    EXPECT_STREQ(buffer, "Zantal Tests");

    EXPECT_EQ(SetupGetLineCountA(inf, "Models.NTamd64"), 3);
    EXPECT_EQ(SetupGetLineCountA(inf, "Models"), -1);
    EXPECT_FALSE(SetupGetLineByIndexA(inf, "Models.NTamd64", 3, &line));
    SetupCloseInfFile(inf);
    EXPECT_FALSE(SetupGetStringFieldA(&line, 1, buffer, 13, &required)); // the file is closed
}

} // namespace
} // namespace zantal_test
