// The mask message that tells the module which of its signals to report,
// and the message that switches them all off.
//
// Layout: a 12-byte header (low byte first), a table with the index of the
// first base of each group and one entry per base with the offset of its
// bitmap block (both high byte first), then the block area. Block 0 is all
// zeros (nothing), block 32 all ones (the whole base); a base that reports
// only some of its signals gets a block of its own.
#include "cfc_sigtrace.h"

#include "cfc_trace.h"

#include "plat/byte_order.h"

#include <algorithm>
#include <optional>

namespace cfc {

namespace {

constexpr size_t kGroupCount = 10;
constexpr std::array<uint8_t, kGroupCount> kBasesPerGroup{2, 35, 0, 9, 8, 16, 22, 0, 28, 1};
constexpr size_t kBaseCount = 121;

constexpr std::array<uint32_t, kGroupCount> firstBases()
{
    std::array<uint32_t, kGroupCount> first{};
    for (size_t g = 1; g < kGroupCount; ++g)
        first[g] = first[g - 1] + kBasesPerGroup[g - 1];
    return first;
}
constexpr std::array<uint32_t, kGroupCount> kFirstBase = firstBases();
static_assert(kFirstBase[kGroupCount - 1] + kBasesPerGroup[kGroupCount - 1] == kBaseCount);

constexpr size_t kHeaderSize = 12;
constexpr size_t kGroupTableOffset = kHeaderSize;
constexpr size_t kBaseTableOffset = kGroupTableOffset + 4 * kGroupCount;
constexpr size_t kBlockAreaOffset = kBaseTableOffset + 4 * kBaseCount;
constexpr size_t kBlockSize = 32;
constexpr uint32_t kNothingBlock = 0;
constexpr uint32_t kEverythingBlock = 32;
constexpr uint32_t kFirstFreeBlock = 64;
constexpr uint32_t kFixedBlocks = 2;
// The off message's block area is shorter than one block.
constexpr size_t kOffBlockArea = 16;

// Room of the scratch base list while the blocks are counted: the bases
// found through added signals stop at kScratchAfterAdds, those found through
// removed signals at kScratchBases.
constexpr size_t kScratchAfterAdds = 192;
constexpr size_t kScratchBases = 320;

constexpr uint32_t kBaseBits = 0xFFFFFF00;
// A base found through a signal: its group's upper byte is dropped as well.
constexpr uint32_t kSignalBaseBits = 0x00FFFF00;

std::optional<size_t> baseIndexOf(uint32_t id)
{
    const uint32_t group = id >> 16;
    const uint32_t base = (id >> 8) & 0xFF;
    if (group >= kGroupCount || base >= kBasesPerGroup[group])
        return std::nullopt;
    return kFirstBase[group] + base;
}

bool sameBase(uint32_t a, uint32_t b)
{
    return (a & kBaseBits) == (b & kBaseBits);
}

// Header and group table; every other byte stays zero.
std::vector<uint8_t> emptyMessage(size_t blockAreaSize)
{
    std::vector<uint8_t> message(kBlockAreaOffset + blockAreaSize, 0);
    plat::putLe16(message, 0, kGroupCount);
    plat::putLe32(message, 4, kBaseCount);
    plat::putLe32(message, 8, static_cast<uint32_t>(message.size() - kHeaderSize));
    for (size_t g = 0; g < kGroupCount; ++g)
        plat::putBe32(message, kGroupTableOffset + 4 * g, kFirstBase[g]);
    return message;
}

// The lists without the entries the module's tables have no place for: an
// index computed from them would reach beyond the base table.
struct ValidLists {
    std::vector<uint32_t> bases;
    std::vector<uint32_t> added;
    std::vector<uint32_t> removed;
};

template <size_t N>
std::vector<uint32_t> validEntries(const std::array<uint32_t, N>& list, uint16_t count,
                                   const TraceChannel& trace, const char* what)
{
    std::vector<uint32_t> valid;
    for (size_t i = 0; i < std::min<size_t>(count, N); ++i) {
        if (baseIndexOf(list[i]))
            valid.push_back(list[i]);
        else
            TraceLineF(trace, 4,
                       "(CFC ) SendSignalTraceMask: %s 0x%06x outside the group table, ignored",
                       what, list[i]);
    }
    return valid;
}

bool holdsBase(const std::vector<uint32_t>& list, size_t from, size_t to, uint32_t base)
{
    return std::any_of(list.begin() + static_cast<ptrdiff_t>(from),
                       list.begin() + static_cast<ptrdiff_t>(to),
                       [&](uint32_t entry) { return sameBase(entry, base); });
}

// The number of blocks the message makes room for. It can be more than the
// filling uses (a removed signal of a base reached only through an added
// signal counts one); those blocks are sent as zeros.
size_t countBlocks(const ValidLists& lists)
{
    std::vector<uint32_t> scratch = lists.bases;
    size_t blocks = kFixedBlocks;
    for (uint32_t signal : lists.added) {
        const uint32_t base = signal & kSignalBaseBits;
        if (!holdsBase(scratch, 0, scratch.size(), base) && scratch.size() < kScratchAfterAdds) {
            scratch.push_back(base);
            ++blocks;
        }
    }
    const size_t fromAdds = scratch.size();
    for (uint32_t signal : lists.removed) {
        const uint32_t base = signal & kSignalBaseBits;
        if (holdsBase(scratch, 0, fromAdds, base) &&
            !holdsBase(scratch, fromAdds, scratch.size(), base) && scratch.size() < kScratchBases) {
            scratch.push_back(base);
            ++blocks;
        }
    }
    return blocks;
}

} // namespace

std::vector<uint8_t> BuildSignalTraceMask(const SignalTraceLists& in, const TraceChannel& trace)
{
    const ValidLists lists{validEntries(in.bases, in.baseCount, trace, "base"),
                           validEntries(in.added, in.addedCount, trace, "signal"),
                           validEntries(in.removed, in.removedCount, trace, "signal")};
    const size_t blockArea = kBlockSize * countBlocks(lists);
    std::vector<uint8_t> message = emptyMessage(blockArea);
    uint8_t* const blocks = message.data() + kBlockAreaOffset;
    std::fill_n(blocks + kEverythingBlock, kBlockSize, 0xFF);

    std::array<uint32_t, kBaseCount> entries{};
    uint32_t nextBlock = kFirstFreeBlock;
    // Counting made room for every block handed out here; the check only
    // keeps a miscount from writing past the message.
    auto newBlock = [&](uint32_t& entry, uint8_t fill) {
        if (nextBlock + kBlockSize > blockArea)
            return false;
        entry = nextBlock;
        std::fill_n(blocks + nextBlock, kBlockSize, fill);
        nextBlock += kBlockSize;
        return true;
    };
    auto bit = [&](uint32_t entry, uint32_t signal) -> uint8_t& {
        return blocks[entry + (signal & 0xFF) / 8];
    };

    for (uint32_t base : lists.bases)
        entries[*baseIndexOf(base)] = kEverythingBlock;
    for (uint32_t signal : lists.added) {
        uint32_t& entry = entries[*baseIndexOf(signal)];
        if (entry == kNothingBlock && !newBlock(entry, 0x00))
            continue;
        bit(entry, signal) |= static_cast<uint8_t>(1u << (signal % 8));
    }
    for (uint32_t signal : lists.removed) {
        uint32_t& entry = entries[*baseIndexOf(signal)];
        if (entry == kEverythingBlock && !newBlock(entry, 0xFF))
            continue;
        if (entry != kNothingBlock)
            bit(entry, signal) &= static_cast<uint8_t>(~(1u << (signal % 8)));
    }
    for (size_t i = 0; i < kBaseCount; ++i)
        plat::putBe32(message, kBaseTableOffset + 4 * i, entries[i]);
    return message;
}

std::vector<uint8_t> BuildSignalTraceOff()
{
    return emptyMessage(kOffBlockArea);
}

namespace {

constexpr int32_t kMaskParameter32 = 0x113;
constexpr uint16_t kMaskParameterA = 0;
constexpr uint16_t kMaskParameterB = 3;
constexpr uint16_t kTakeMaskCommand = 2;

// The module's answer is not looked at: a module that missed the mask only
// reports what it did before. The trace keeps the outcome for the reader.
void sendMaskMessage(SignalTrace& signals, const OpTrace& trace,
                     const std::vector<uint8_t>& message)
{
    const ErrorCode sent = EmmiL3SendMessage(
        signals.messages(), 0, kMaskParameter32, kMaskParameterA, kMaskParameterB, message.data(),
        static_cast<uint16_t>(message.size()), kSendKindParameters);
    trace.step(6, "EmmiL3SendMessage(%u bytes) rets %d", static_cast<unsigned>(message.size()),
               static_cast<int>(sent));
}

} // namespace

void SendSignalTraceMask(SignalTrace& signals)
{
    const OpTrace trace(signals.trace(), "(CFC )", "SendSignalTraceMask");
    trace.call(6, "()");
    sendMaskMessage(signals, trace, BuildSignalTraceMask(signals.lists, signals.trace()));
    // The module reads no meaning into this byte; a fixed zero keeps it from
    // carrying whatever memory held before.
    const uint8_t unused = 0;
    EmmiL3SendMessage(signals.messages(), kTakeMaskCommand, 0, 0, 0, &unused, 1,
                      kSendKindByteParameter);
}

void SendSignalTraceOff(SignalTrace& signals)
{
    const OpTrace trace(signals.trace(), "(CFC )", "SendSignalTraceOff");
    trace.call(6, "()");
    sendMaskMessage(signals, trace, BuildSignalTraceOff());
}

} // namespace cfc
