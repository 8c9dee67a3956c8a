// The parts of cfctool that need no module: numbers and ports as typed, the
// signal-trace record files, and the check of a backup against its manifest.
#include "failure.h"
#include "manifest.h"
#include "module.h"
#include "numbers.h"
#include "trace_records.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>

namespace {

using namespace cfctool;
namespace fs = std::filesystem;

TEST(CfctoolNumbers, DecimalOrHexadecimalWithinTheRange)
{
    const struct {
        const char* text;
        uint64_t max;
        std::optional<uint64_t> value;
    } cases[] = {
        {"0", 255, 0},
        {"255", 255, 255},
        {"256", 255, std::nullopt},
        {"0xff", 255, 255},
        {"0XFF", 255, 255},
        {"0x100", 255, std::nullopt},
        {"010", 255, 10}, // a leading zero is not octal
        {"0x", 255, std::nullopt},
        {"", 255, std::nullopt},
        {"-1", 255, std::nullopt},
        {"+1", 255, std::nullopt},
        {" 1", 255, std::nullopt},
        {"1x", 255, std::nullopt},
        {"0xFFFFFFFF", 0xFFFFFFFF, 0xFFFFFFFF},
        {"99999999999999999999999", 0xFFFFFFFF, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseNumber(c.text, c.max), c.value) << '"' << c.text << '"';
}

TEST(CfctoolNumbers, HexTextBothWays)
{
    const std::vector<uint8_t> bytes = {0x35, 0x12, 0x00, 0xff, 0x3f};
    EXPECT_EQ(hexText(bytes), "351200ff3f");
    EXPECT_EQ(bytesOfHex("351200FF3f"), bytes);
    EXPECT_EQ(bytesOfHex("351"), std::nullopt);
    EXPECT_EQ(bytesOfHex("zz"), std::nullopt);
}

TEST(CfctoolPorts, WrittenAsForVornaxButStrict)
{
    EXPECT_EQ(parseComPort("com3"), 3);
    EXPECT_EQ(parseComPort("COM12"), 12);
    EXPECT_EQ(parseComPort("Com99"), 99);
    for (const char* refused : {"com0", "com100", "com", "comx", "com5x", "cam3", "com-1"})
        EXPECT_EQ(parseComPort(refused), 0) << refused;
}

// A record as the signal-trace file layout has it, low byte first.
std::vector<uint8_t> record(uint32_t signal, uint32_t frame, std::vector<uint8_t> data)
{
    const auto length = static_cast<uint16_t>(data.size());
    std::vector<uint8_t> bytes;
    const auto put = [&](uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    put(50, 4);
    put(length + 22u, 2);
    put(0x11, 4);   // source
    put(0x20, 4);   // destination
    put(frame, 4);  // frame number
    put(0x1234, 4); // time
    put(length, 2);
    put(signal, 4);
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

TEST(CfctoolTraceRecords, RecordsOneAfterTheOther)
{
    std::vector<uint8_t> file = record(0x10203, 1, {1, 2, 3});
    const std::vector<uint8_t> second = record(0x300ff, 2, std::vector<uint8_t>(1028, 0xab));
    file.insert(file.end(), second.begin(), second.end());

    const TraceFile decoded = decodeTraceRecords(file);
    EXPECT_EQ(decoded.problem, "");
    ASSERT_EQ(decoded.records.size(), 2u);
    EXPECT_EQ(decoded.records[0].signal, 0x10203u);
    EXPECT_EQ(decoded.records[0].source, 0x11u);
    EXPECT_EQ(decoded.records[0].destination, 0x20u);
    EXPECT_EQ(decoded.records[0].time, 0x1234u);
    EXPECT_EQ(decoded.records[0].data, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(decoded.records[1].offset, 31u);
    EXPECT_EQ(decoded.records[1].frameNumber, 2u);
    EXPECT_EQ(decoded.records[1].data.size(), 1028u);

    const std::string text = formatTraceRecords(decoded, TraceFormat::Text);
    EXPECT_EQ(text.substr(0, text.find('\n') + 1),
              "signal 0x10203 source 0x11 dest 0x20 FN 1 time 4660 length 3 data 010203\n");
    const std::string csv = formatTraceRecords(decoded, TraceFormat::Csv);
    EXPECT_EQ(csv.substr(0, csv.find('\n', csv.find('\n') + 1) + 1),
              "offset,signal,source,destination,frame_number,time,length,data\n"
              "0,0x10203,0x11,0x20,1,4660,3,010203\n");
    const auto json = nlohmann::json::parse(formatTraceRecords(decoded, TraceFormat::Json));
    ASSERT_EQ(json.size(), 2u);
    EXPECT_EQ(json[1]["signal"], "0x300ff");
    EXPECT_EQ(json[1]["length"], 1028);
}

TEST(CfctoolTraceRecords, WhatStopsTheReadingIsSaid)
{
    const std::vector<uint8_t> whole = record(0x10203, 1, {1, 2, 3, 4});
    const struct {
        std::vector<uint8_t> bytes;
        size_t records;
        const char* problem;
    } cases[] = {
        {{}, 0, ""},
        // The file ends in the data and in the header of a second record.
        {std::vector<uint8_t>(whole.begin(), whole.end() - 1), 0,
         "record at offset 0 (signal 0x10203) breaks off: 3 of its 4 data bytes are there"},
        {[&] {
             std::vector<uint8_t> bytes = whole;
             bytes.insert(bytes.end(), whole.begin(), whole.begin() + 10);
             return bytes;
         }(),
         1, "record at offset 32 breaks off in its header (10 of 28 bytes)"},
        // Lengths that disagree, and what is no record at all.
        {[&] {
             std::vector<uint8_t> bytes = whole;
             bytes[4] = 27; // the total length one above the data length + 22
             return bytes;
         }(),
         0, "no record header at offset 0"},
        {std::vector<uint8_t>(40, 0x55), 0, "no record header at offset 0"},
    };
    for (const auto& c : cases) {
        const TraceFile decoded = decodeTraceRecords(c.bytes);
        EXPECT_EQ(decoded.records.size(), c.records) << c.problem;
        EXPECT_EQ(decoded.problem, c.problem);
    }
}

class CfctoolManifest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Windows has no mkdtemp; a random name serves a test's own files.
        dir_ = fs::temp_directory_path() /
               ("cfctool-manifest-" + std::to_string(std::random_device()()));
        ASSERT_TRUE(fs::create_directory(dir_));
        manifest_.imei = "351234567890123f";
        for (const CalibrationItem& item : {CalibrationItem{2, {1, 2, 3}, std::nullopt},
                                            CalibrationItem{18, {9, 8, 7, 6}, std::nullopt}}) {
            const ManifestItem entry = manifestItemOf(false, item);
            write(entry.file, item.data);
            manifest_.items.push_back(entry);
        }
        writeManifest();
    }
    void TearDown() override { fs::remove_all(dir_); }

    void write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::ofstream(dir_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    void writeManifest(const std::string& text)
    {
        write(kManifestName, std::vector<uint8_t>(text.begin(), text.end()));
    }
    void writeManifest() { writeManifest(manifestJson(manifest_).dump()); }

    // The reason a load gives, or "" when it loads.
    std::string refusal()
    {
        Manifest loaded;
        try {
            loadBackup(dir_.string(), loaded);
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.exitCode(), kExitFailed);
            return failure.what();
        }
        return "";
    }

    fs::path dir_;
    Manifest manifest_;
};

TEST_F(CfctoolManifest, AMatchingBackupLoadsWithItsItems)
{
    Manifest loaded;
    const std::vector<CalibrationItem> items = loadBackup(dir_.string(), loaded);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].id, 18);
    EXPECT_EQ(items[1].data, (std::vector<uint8_t>{9, 8, 7, 6}));
    EXPECT_EQ(loaded.imei, "351234567890123f");
    EXPECT_FALSE(loaded.qv);
    // The digest of {1, 2, 3} as any SHA-256 gives it.
    EXPECT_EQ(loaded.items[0].sha256,
              "039058c6f2c0cb492c533b0a4d14ef77cc0f78abccced5287d84a1a2011cfb81");
}

TEST_F(CfctoolManifest, FilesThatDoNotMatchAreRefusedBeforeAnythingIsSent)
{
    const std::string head = "backup " + dir_.string() + " refused: ";
    write("cal-002.bin", {1, 2, 4});
    EXPECT_EQ(refusal(),
              head + (dir_ / "cal-002.bin").string() + " differs from the manifest (SHA-256)");
    write("cal-002.bin", {1, 2, 3, 4});
    EXPECT_EQ(refusal(),
              head + (dir_ / "cal-002.bin").string() + " holds 4 bytes, the manifest says 3");
    write("cal-002.bin", {1, 2, 3});
    fs::remove(dir_ / "cal-018.bin");
    EXPECT_EQ(refusal(), head + (dir_ / "cal-018.bin").string() + ": no such file");
    write("cal-018.bin", {9, 8, 7, 6});
    write("cal-005.bin", {5});
    EXPECT_EQ(refusal(), head + (dir_ / "cal-005.bin").string() + " is not in the manifest");
    fs::remove(dir_ / "cal-005.bin");
    EXPECT_EQ(refusal(), "");
}

TEST_F(CfctoolManifest, ManifestsThatCannotBeTrustedAreRefused)
{
    const struct {
        std::function<void(nlohmann::ordered_json&)> change;
        const char* reason;
    } cases[] = {
        {[](auto& m) { m["items"][0]["file"] = "../cal-002.bin"; },
         "item file \"../cal-002.bin\" is not a plain name"},
        {[](auto& m) { m["items"][1]["id"] = 2; }, "item 2 listed twice"},
        {[](auto& m) { m["items"][1]["id"] = 256; }, "item id 256 out of range"},
        {[](auto& m) { m["format"] = 2; }, "a manifest of another format"},
        {[](auto& m) { m["family"] = "user"; }, "unknown item family \"user\""},
        {[](auto& m) { m["module"].erase("imei"); }, "not a manifest"},
    };
    for (const auto& c : cases) {
        nlohmann::ordered_json document = manifestJson(manifest_);
        c.change(document);
        writeManifest(document.dump());
        EXPECT_NE(refusal().find(c.reason), std::string::npos) << c.reason << ": " << refusal();
    }
    writeManifest("{\"format\": 1,");
    EXPECT_NE(refusal().find("is not JSON"), std::string::npos) << refusal();
    fs::remove(dir_ / kManifestName);
    EXPECT_NE(refusal().find("manifest.json: no such file"), std::string::npos) << refusal();
}

} // namespace
