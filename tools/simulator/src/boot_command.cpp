#include "sim/boot_command.h"

#include "sim/wire.h"

namespace sim {

namespace {

constexpr uint8_t kSync = 0xFF;
constexpr uint8_t kSyncLength = 4;

uint8_t recordCheck(std::span<const uint8_t> countBytes, std::span<const uint8_t> command)
{
    uint8_t check = 0;
    for (uint8_t byte : countBytes)
        check ^= byte;
    for (uint8_t byte : command)
        check ^= byte;
    return check;
}

} // namespace

std::vector<uint8_t> encodeBootRecord(std::span<const uint8_t> command)
{
    std::vector<uint8_t> record(kSyncLength, kSync);
    std::vector<uint8_t> count;
    putBe16(count, static_cast<uint16_t>(command.size()));
    record.insert(record.end(), count.begin(), count.end());
    record.insert(record.end(), command.begin(), command.end());
    record.push_back(recordCheck(count, command));
    return record;
}

BootCommandReceiver::Result BootCommandReceiver::feed(uint8_t byte)
{
    switch (state_) {
    case State::Sync: return onSync(byte);
    case State::CountLow:
        countBytes_[1] = byte;
        count_ = getBe16(countBytes_, 0);
        command_.clear();
        state_ = count_ == 0 || count_ > kMaxBootCommand ? State::Sync : State::Body;
        return Result::Pending;
    case State::Body:
        command_.push_back(byte);
        if (command_.size() == count_)
            state_ = State::Check;
        return Result::Pending;
    case State::Check: {
        state_ = State::Sync;
        return byte == recordCheck(countBytes_, command_) ? Result::Command : Result::BadCheck;
    }
    }
    return Result::Pending;
}

BootCommandReceiver::Result BootCommandReceiver::onSync(uint8_t byte)
{
    if (byte == kSync) {
        if (syncBytes_ < kSyncLength)
            ++syncBytes_;
        return Result::Pending;
    }
    if (syncBytes_ == kSyncLength) {
        countBytes_[0] = byte;
        state_ = State::CountLow;
    }
    syncBytes_ = 0;
    return Result::Pending;
}

} // namespace sim
