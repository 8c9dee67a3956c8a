// The EMMI frame layer on a real connection: frames on the wire, the
// acknowledgement and its bound, faulty and stray input, raw-byte mode.
#include "cfc_rawrx.h"
#include "emmierr.h"
#include "gwcoml1.h"
#include "gwcoml2.h"
#include "link_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>

using namespace cfctest;

namespace {

constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x15;

struct SendResult {
    cfc::ErrorCode code = 0xFF;
    int32_t acknowledged = -1;
};

cfc::FrameBuffer frameBufferOf(const Bytes& data)
{
    cfc::FrameBuffer frame{};
    frame[0] = static_cast<uint8_t>(data.size());
    std::copy(data.begin(), data.end(), frame.begin() + 1);
    return frame;
}

SendResult sendFrame(uint32_t handle, const Bytes& data)
{
    cfc::FrameBuffer frame = frameBufferOf(data);
    SendResult result;
    result.code = cfc::EmmiL2SendFrame(cfctest::connectionOf(handle).frames, frame.data(),
                                       &result.acknowledged);
    return result;
}

std::future<SendResult> sendFrameAsync(uint32_t handle, const Bytes& data)
{
    return std::async(std::launch::async, [handle, data] { return sendFrame(handle, data); });
}

size_t countOf(const std::vector<std::string>& texts, const std::string& text)
{
    return static_cast<size_t>(std::count(texts.begin(), texts.end(), text));
}

Bytes readRaw(uint32_t handle, uint16_t count)
{
    cfc::EmmiL1SetRawReadTimeout(cfctest::connectionOf(handle).serial, 2);
    Bytes bytes(count);
    const cfc::ErrorCode code =
        cfc::ReadRawRxBuffer(cfctest::connectionOf(handle).raw, bytes.data(), count);
    EXPECT_EQ(code, EMMIERR_OK);
    return bytes;
}

// The trace file in a fresh working directory, switched on for the scope.
class ScopedTraceFile {
public:
    ScopedTraceFile() { WEnableTraceFile(); }
    ~ScopedTraceFile() { WDisableTraceFile(); }

private:
    ScopedTempCwd cwd_;
};

TEST(FrameWire, FramesGoOutWithStxLengthChecksumAndEtx)
{
    ModuleLink link(2, "l2-wire", ModuleLink::Module::ByHand);
    const std::pair<Bytes, Bytes> cases[] = {
        {{}, {0x02, 0x00, 0x02, 0x03}},
        {bytesOf("abc"), {0x02, 0x03, 0x61, 0x62, 0x63, 0x61, 0x03}},
    };
    for (const auto& [data, wire] : cases) {
        auto sent = sendFrameAsync(link.handle(), data);
        EXPECT_EQ(link.moduleReads(wire.size()), wire);
        link.moduleSends({kAck});
        const SendResult result = sent.get();
        EXPECT_EQ(result.code, EMMIERR_OK);
        EXPECT_EQ(result.acknowledged, 1);
    }
}

TEST(FrameWire, ControlByteValuesInsideDataTravelUnchangedBothWays)
{
    ModuleLink link(3, "l2-transparent");
    const Bytes data{0x02, 0x03, 0x06, 0x15, 0x03, 0x02, 0x15, 0x06};

    EXPECT_EQ(sendFrame(link.handle(), data).code, EMMIERR_OK);
    ASSERT_EQ(link.sim().hostFrames().size(), 1u);
    EXPECT_EQ(link.sim().hostFrames()[0].data, data);

    EXPECT_TRUE(link.sim().sendMessage(0x0203, data).get());
    const Received received = takeMessage(link.handle());
    EXPECT_EQ(received.result, cfc::kRxQueueDelivered);
    EXPECT_EQ(received.command, 0x0203);
    EXPECT_EQ(received.data, data);
}

TEST(FrameAck, ANakMakesTheFrameGoOutAgainUntilTheAck)
{
    sim::Options options;
    options.faults.nakFirstTransmission = {0, 1};
    ModuleLink link(4, "l2-nak-ack", ModuleLink::Module::Simulator, options);

    const SendResult result = sendFrame(link.handle(), bytesOf("frame"));
    EXPECT_EQ(result.code, EMMIERR_OK);
    EXPECT_EQ(result.acknowledged, 1);
    const auto frames = link.sim().hostFrames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].answer, sim::Answer::Nak);
    EXPECT_EQ(frames[1].answer, sim::Answer::Ack);
    EXPECT_EQ(frames[1].data, bytesOf("frame"));
}

TEST(FrameAck, AModuleThatRefusesEveryTransmissionEndsTheFrameWithNak)
{
    ScopedTraceFile trace;
    ModuleLink link(5, "l2-all-nak", ModuleLink::Module::ByHand);
    const Bytes wire = wireFrame(bytesOf("abc"));
    auto sent = sendFrameAsync(link.handle(), bytesOf("abc"));
    unsigned transmissions = 0;
    while (sent.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        const Bytes got = link.moduleReads(wire.size(), 100);
        if (got.empty())
            continue;
        // Each transmission waits for its own answer, so every one arrives
        // whole before the next.
        EXPECT_EQ(got, wire);
        ++transmissions;
        link.moduleSends({kNak});
    }
    const SendResult result = sent.get();
    EXPECT_EQ(result.code, EMMIERR_NAK);
    EXPECT_EQ(result.acknowledged, 0);
    EXPECT_EQ(transmissions, cfc::kMaxFrameTransmissions);
    EXPECT_TRUE(contains(
        traceTexts(), "(GWC2) EmmiL2SendFrame: no ACK after 10 transmissions, fails with error 6"));
}

TEST(FrameAck, ASilentModuleEndsTheFrameWithTimeoutAfterOneTransmission)
{
    ScopedTraceFile trace;
    ModuleLink link(6, "l2-silent", ModuleLink::Module::ByHand);
    const Bytes wire = wireFrame(bytesOf("abc"));
    const auto start = std::chrono::steady_clock::now();
    auto sent = sendFrameAsync(link.handle(), bytesOf("abc"));
    EXPECT_EQ(link.moduleReads(wire.size()), wire);
    const SendResult result = sent.get();
    EXPECT_EQ(result.code, EMMIERR_TIMEOUT);
    EXPECT_EQ(result.acknowledged, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kPatienceMs));
    EXPECT_TRUE(link.moduleReads(1, 300).empty()) << "no second transmission";
    EXPECT_TRUE(contains(traceTexts(), "(GWC2) EmmiL2SendFrame: EmmiL2GetAck rets 8"));
}

TEST(FrameAck, AnAckOutsideAnyExchangeIsCountedAndKeptForTheRawReaders)
{
    ModuleLink link(7, "l2-lone-ack", ModuleLink::Module::ByHand);
    cfc::FrameLink& frames = link.connection().frames;
    link.moduleSends({kAck});
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
    while (frames.acksCounted() == 0 && std::chrono::steady_clock::now() < end)
        cfc::EmmiL2GetAck(frames);
    EXPECT_EQ(frames.acksCounted(), 1);
    EXPECT_EQ(readRaw(link.handle(), 1), Bytes{kAck});
}

TEST(FrameReceive, AFrameWithAWrongChecksumIsRefusedAndItsResendTaken)
{
    sim::Options options;
    options.faults.corruptBcc = {0, 1};
    ModuleLink link(8, "l2-bad-bcc", ModuleLink::Module::Simulator, options);
    const Bytes data = freshBytes(40);
    EXPECT_TRUE(link.sim().sendMessage(0x0808, data).get());
    const Received received = takeMessage(link.handle());
    EXPECT_EQ(received.result, cfc::kRxQueueDelivered);
    EXPECT_EQ(received.data, data);
    EXPECT_EQ(link.sim().counters().naksReceived, 1u);
    EXPECT_FALSE(cfc::EmmiL3RxQueueNotEmpty(cfctest::connectionOf(link.handle()).messages))
        << "queued once";
}

TEST(FrameReceive, AWrongEndByteAndABrokenOffFrameAreAnsweredWithNak)
{
    ModuleLink link(9, "l2-bad-end", ModuleLink::Module::ByHand);
    Bytes badEnd = wireFrame({0xD6, 0xFF, 0x01, 0x00, 0x00, 0x00, 0x11});
    badEnd.back() = 0x04;
    link.moduleSends(badEnd);
    EXPECT_EQ(link.moduleReads(1), Bytes{kNak});

    // LEN promises five bytes and two come: the frame breaks off after the
    // read time-out.
    link.moduleSends({0x02, 0x05, 0xD6, 0xFF});
    EXPECT_EQ(link.moduleReads(1), Bytes{kNak});
    EXPECT_FALSE(cfc::EmmiL3RxQueueNotEmpty(cfctest::connectionOf(link.handle()).messages));

    const Bytes good{0xD6, 0xFF, 0x09, 0x09, 0x00, 0x00, 0x42, 0x43};
    link.moduleSends(wireFrame(good));
    EXPECT_EQ(link.moduleReads(1), Bytes{kAck});
    const Received received = takeMessage(link.handle());
    EXPECT_EQ(received.command, 0x0909);
    EXPECT_EQ(received.data, (Bytes{0x42, 0x43}));
}

TEST(FrameReceive, StrayTextIsReportedOncePerRunAndEveryByteReachesTheRawBuffer)
{
    ScopedTraceFile trace;
    ModuleLink link(10, "l2-stray");
    const std::string syncLost = "(GWC2) EMMI L2 frame synchronisation lost!";

    EXPECT_TRUE(link.sim().sendText("\r\nOK\r\n").get());
    EXPECT_EQ(textOf(readRaw(link.handle(), 6)), "\r\nOK\r\n");
    EXPECT_EQ(countOf(traceTexts(), syncLost), 1u) << "one line for the whole run";

    // A correct frame ends the run; the next stray byte starts a new one.
    EXPECT_TRUE(link.sim().sendMessage(0x0A0A, freshBytes(3)).get());
    EXPECT_EQ(takeMessage(link.handle()).result, cfc::kRxQueueDelivered);
    EXPECT_TRUE(link.sim().sendText("AT\r").get());
    EXPECT_EQ(textOf(readRaw(link.handle(), 3)), "AT\r");
    EXPECT_EQ(countOf(traceTexts(), syncLost), 2u);
}

TEST(FrameReceive, RawByteModeHandsEveryByteOnUnansweredAndUncounted)
{
    ModuleLink link(11, "l2-raw-mode", ModuleLink::Module::ByHand);
    link.connection().frames.setRawByteMode(true);
    Bytes bytes = wireFrame({0xD6, 0xFF, 0x01, 0x00, 0x00, 0x00, 0x77});
    bytes.push_back(kAck);
    bytes.push_back(kNak);
    link.moduleSends(bytes);
    EXPECT_EQ(readRaw(link.handle(), static_cast<uint16_t>(bytes.size())), bytes);
    EXPECT_TRUE(link.moduleReads(1, 300).empty()) << "no answer to the frame";
    EXPECT_EQ(link.connection().frames.acksCounted() + link.connection().frames.naksCounted(), 0);
    EXPECT_FALSE(cfc::EmmiL3RxQueueNotEmpty(cfctest::connectionOf(link.handle()).messages));
    link.connection().frames.setRawByteMode(false);
}

} // namespace
