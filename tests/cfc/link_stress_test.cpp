// Both threads of a connection at work at once, and closing a connection
// whose module stopped in the middle of a message.
#include "emmierr.h"
#include "gwcoml3.h"
#include "link_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <set>

using namespace cfctest;

namespace {

constexpr uint8_t kAck = 0x06;

TEST(LinkClose, ReturnsPromptlyWhileTheModuleStoppedInsideAMessage)
{
    ModuleLink link(2, "stress-half", ModuleLink::Module::ByHand);
    // Segment 0 of a message whose further frames never come: the receive
    // thread waits inside the message.
    link.moduleSends(wireFrame(concat({0xD6, 0x00, 0x01, 0x00, 0x00, 0x00}, countingBytes(249))));
    ASSERT_EQ(link.moduleReads(1), Bytes{kAck});

    const auto start = std::chrono::steady_clock::now();
    link.close();
    // 201 empty reads of 750 ms would be 150 s.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(LinkStress, FramesSentWhileTheReceiveThreadReadsAllGetThrough)
{
    constexpr size_t kMessages = 60;
    for (bool paced : {false, true}) {
        ModuleLink link(3, "stress-both-ways");
        link.device().setPaced(paced);

        std::vector<Bytes> fromModule;
        std::vector<std::future<bool>> moduleSent;
        for (size_t i = 0; i < kMessages; ++i) {
            fromModule.push_back(freshBytes(1 + (i * 37) % 400));
            moduleSent.push_back(
                link.sim().sendMessage(static_cast<uint16_t>(i), fromModule.back()));
        }
        // Meanwhile the caller's thread sends: every frame write meets the
        // receive thread in a read, paced also in the middle of a frame.
        for (size_t i = 0; i < kMessages; ++i) {
            const Bytes data = freshBytes(1 + (i * 53) % 300);
            EXPECT_EQ(cfc::EmmiL3SendMessage(cfctest::connectionOf(link.handle()).messages,
                                             static_cast<uint16_t>(i), 0, 0, 0, data.data(),
                                             static_cast<uint16_t>(data.size()), 0),
                      EMMIERR_OK)
                << "message " << i << (paced ? ", paced" : "");
        }
        for (auto& sent : moduleSent)
            EXPECT_TRUE(sent.get());
        EXPECT_TRUE(link.sim().waitForMessages(kMessages, kPatienceMs));

        EXPECT_EQ(link.sim().counters().messagesAbandoned, 0u) << (paced ? "paced" : "unpaced");
        std::set<uint16_t> commands;
        for (size_t i = 0; i < kMessages; ++i) {
            // A message the module sent again after a late ACK is dropped
            // at removal; the callers then take the next one.
            Received received = takeMessage(link.handle());
            while (received.result == cfc::kRxQueueDroppedRepeat)
                received = takeMessage(link.handle());
            ASSERT_EQ(received.result, cfc::kRxQueueDelivered) << "message " << i;
            EXPECT_EQ(received.data, fromModule.at(received.command));
            commands.insert(received.command);
        }
        EXPECT_EQ(commands.size(), kMessages) << "each once";
    }
}

} // namespace
