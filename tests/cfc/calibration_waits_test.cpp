// The calibration operations that go on past their first confirm: the AT
// wait's further receptions, the AT texts the module sends by itself, and a
// gain code table longer than the host's.
#include "cfc.h"
#include "cfcrpc_engine.h"
#include "rpc_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

using namespace cfctest;

namespace {

// An AT text the module sends by itself; its reference means nothing.
void sendText(sim::Simulator& module, const std::string& text)
{
    module.sendMessage(94, concat(le16(0x5A5A), atTextArea(text)));
}

std::string commandOf(const sim::HostMessage& request)
{
    const Bytes area(request.data.begin() + 2, request.data.end());
    return std::string(reinterpret_cast<const char*>(area.data()));
}

class CalibrationWaits : public TracedTest {};

TEST_F(CalibrationWaits, AtWaitReceivesFurtherTextsUntilTheExpectedOne)
{
    // Each command is echoed and first answered without "OK"; what comes
    // later depends on the command.
    ScriptedModule module(27, "wait-at", [](sim::Simulator& m, const sim::HostMessage& r) {
        if (r.command != 93)
            return;
        const std::string command = commandOf(r);
        m.sendMessage(94, concat(le16(referenceOf(r)), atTextArea(command)));
        m.sendMessage(94, concat(le16(referenceOf(r)), atTextArea("\r\n+X: " + command + "\r\n")));
        if (command == "AT+LATER\r") {
            sendText(m, "\r\n+X: 1\r\n");
            sendText(m, "\r\nOK\r\n");
        } else if (command == "AT+REFUSED\r") {
            sendText(m, "\r\nERROR\r\n");
        }
    });
    module.quickSilence();
    const uint32_t h = module.handle();
    struct Case {
        const char* command;
        int32_t seconds;
        int32_t result;
        size_t attempts;
    };
    const Case cases[] = {
        {"AT+LATER", 5, 1, 2},   // the second further text holds "OK"
        {"AT+REFUSED", 5, 0, 1}, // "ERROR" ends the wait
        {"AT+SILENT", 3, 0, 3},  // every further reception fails
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const size_t start = traceTexts().size();
        EXPECT_EQ(WSendAtCommandAndWait(h, c.command, "OK", c.seconds), c.result);
        const auto texts = traceTexts();
        std::vector<std::string> attempts;
        for (size_t i = start; i < texts.size(); ++i)
            if (texts[i].starts_with("(CFC ) Attempting receive (#"))
                attempts.push_back(texts[i]);
        std::vector<std::string> expected;
        for (size_t n = 1; n <= c.attempts; ++n)
            expected.push_back("(CFC ) Attempting receive (#" + std::to_string(n) + ")");
        EXPECT_EQ(attempts, expected);
    }
    EXPECT_EQ(module.connection().lastError(), cfc::kRpcNoConfirm)
        << "the failed reception is the reason";
    EXPECT_EQ(countOf("(CFC ) WSendAtCommandAndWait: O.K."), 1u);
}

TEST_F(CalibrationWaits, AtTextsTheModuleSendsByItselfAreReceivedEscaped)
{
    ScriptedModule module(28, "wait-receive", [](sim::Simulator&, const sim::HostMessage&) {});
    module.quickSilence();
    const uint32_t h = module.handle();
    // Room for the largest escaped text, and a guard behind it.
    std::array<char, CFC_AT_RESPONSE_SIZE + 8> response;
    response.fill('#');

    sendText(module.sim(), "\r\nRING\r\n");
    ASSERT_EQ(WReceiveAtCommand(h, response.data()), 1);
    EXPECT_EQ(std::string(response.data()), "<CR><LF>RING<CR><LF>");
    EXPECT_TRUE(traced("(CFC ) WReceiveAtCommand received: [<CR><LF>RING<CR><LF>]"));

    // A text area of line feeds only, no zero byte: 128 of them escaped
    // fill the area to its last byte.
    module.sim().sendMessage(94, concat(le16(0), Bytes(128, 0x0A)));
    response.fill('#');
    ASSERT_EQ(WReceiveAtCommand(h, response.data()), 1);
    std::string lineFeeds;
    for (int i = 0; i < 128; ++i)
        lineFeeds += "<LF>";
    EXPECT_EQ(std::string(response.data()), lineFeeds);
    EXPECT_EQ(response[CFC_AT_RESPONSE_SIZE - 1], '\0');
    EXPECT_EQ(response[CFC_AT_RESPONSE_SIZE], '#');

    // Nothing more comes: no confirm.
    EXPECT_EQ(WReceiveAtCommand(h, response.data()), 0);
    EXPECT_EQ(module.connection().lastError(), cfc::kRpcNoConfirm);
    EXPECT_TRUE(traced("(CFC ) WReceiveAtCommand: CFCRPCReceiveAtCommand fails with error 2"));
    EXPECT_EQ(module.requestsOf(93), 0u) << "receiving sends nothing";
}

TEST_F(CalibrationWaits, AGainCodeTableBeyondSixteenCodesIsCutToThem)
{
    // The module sends 20 codes, whatever capacity the host named.
    ScriptedModule module(29, "wait-gaincodes", [](sim::Simulator& m, const sim::HostMessage& r) {
        if (r.command != 95)
            return;
        Bytes confirm = concat(concat(le16(referenceOf(r)), le16(1)), le16(20));
        for (uint16_t i = 0; i < 20; ++i)
            confirm = concat(confirm, le16(static_cast<uint16_t>(0x0300 + i)));
        m.sendMessage(96, confirm);
    });
    const uint32_t h = module.handle();
    ASSERT_EQ(WInitGainCodeTemplates(h, 4, 3), 1);
    std::vector<uint16_t> codes;
    uint16_t code = 0;
    while (codes.size() < 20 && WGetNextGainCode(h, &code) == 1)
        codes.push_back(code);
    std::vector<uint16_t> first16;
    for (uint16_t i = 0; i < 16; ++i)
        first16.push_back(static_cast<uint16_t>(0x0300 + i));
    EXPECT_EQ(codes, first16);
    EXPECT_TRUE(traced("(CFC ) WGetNextGainCode: index 16 too large"));
    EXPECT_EQ(WGetNextGainCode(h, &code), 0) << "and stays so";
}

} // namespace
