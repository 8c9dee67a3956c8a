// Signal trace of the module: its settings per connection and the steps the
// connection takes for it at open and close.
#pragma once

#include "gwcoml3.h"

#include "plat/append_file.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace cfc {

class TraceChannel;

// What the signal trace of a connection reports: whole bases, single signals
// added and single signals taken out. Filled only by the mode configuration
// on the caller's thread, and read there.
struct SignalTraceLists {
    static constexpr size_t kMaxBases = 64;
    static constexpr size_t kMaxSignals = 128;
    std::array<uint32_t, kMaxBases> bases{};
    uint16_t baseCount = 0;
    std::array<uint32_t, kMaxSignals> added{};
    uint16_t addedCount = 0;
    std::array<uint32_t, kMaxSignals> removed{};
    uint16_t removedCount = 0;
};

// A connection's signal trace. The settings are read at open after the
// receive thread has started, and that thread writes the signal frames with
// them, hence atomics.
class SignalTrace : public SignalFrameSink {
public:
    SignalTrace(const TraceChannel& trace, MessageLink& messages)
        : trace_(trace), messages_(messages)
    {
    }
    SignalTrace(const SignalTrace&) = delete;
    SignalTrace& operator=(const SignalTrace&) = delete;

    bool signalTraceEnabled() const override { return enable.load() != 0; }
    void signalFrame(const uint8_t* frameData, uint16_t length, bool continues) override;
    // Makes this connection's pair of files: the first number from `from` on
    // (after 999 comes 0) whose record file and log are both new. A number
    // with either file there already, from an earlier or a parallel run, or
    // anything else planted under its name, is passed over. The number
    // taken; nothing when the directory is missing, a file is refused (said
    // once in the trace) or all 1000 numbers are taken.
    std::optional<int32_t> claimFiles(int32_t from);
    // Called once the receive thread has ended: a signal the module broke off
    // (switched off in the middle of it) gets the lengths of what was
    // written, and the files are closed.
    void endSignal();

    const TraceChannel& trace() const { return trace_; }
    MessageLink& messages() { return messages_; }

    std::atomic<int32_t> enable{0};
    std::atomic<int32_t> suffix{0};
    SignalTraceLists lists;

private:
    // The record being written. A reader finds each record by the lengths in
    // its header, so one that stays short of them would make the rest of the
    // file unreadable: when the signal breaks off, the header is made to say
    // what was written. Touched by the receive thread, and by the close only
    // after that thread has ended.
    struct OpenRecord {
        int64_t headerAt = -1;
        uint16_t declared = 0;
        size_t written = 0;
        // Set when a frame of the signal could not be written: the rest of
        // it is left out, so no later frame lands where the missing bytes
        // belong.
        bool broken = false;
    };
    void endRecord();
    void writeFailed(const char* file, int error, bool& told);

    const TraceChannel& trace_;
    MessageLink& messages_;
    // The receive thread writes the files; the open makes them while that
    // thread already runs.
    std::mutex filesLock_;
    plat::OwnFile recordFile_;
    plat::OwnFile logFile_;
    int32_t filesNumber_ = 0;
    // One trace line per file and connection, not one per frame.
    bool recordFailTold_ = false;
    bool logFailTold_ = false;
    OpenRecord record_;
};

// The list operations behind WAddNimboTraceMask, WAddNimboSignal and
// WRemoveNimboSignal: true when the entry was added, false when the list is
// full.
bool AddNimboTraceMask(SignalTrace& signals, uint32_t base);
bool AddNimboSignal(SignalTrace& signals, uint32_t signal);
bool RemoveNimboSignal(SignalTrace& signals, uint32_t signal);

// The mask message for the lists: whole bases, added signals, removed
// signals. Entries outside the module's group table are left out with a
// trace line on `trace`.
std::vector<uint8_t> BuildSignalTraceMask(const SignalTraceLists& lists, const TraceChannel& trace);
// The message that switches every signal of the module off.
std::vector<uint8_t> BuildSignalTraceOff();
// Send the mask of the current lists (followed by the message that makes the
// module take it), or the off message. The module's answers are not awaited.
void SendSignalTraceMask(SignalTrace& signals);
void SendSignalTraceOff(SignalTrace& signals);

// One value of the settings file, cut to what a 64-byte buffer holds; "0"
// when the file or the key is missing.
std::string ReadSignalTraceValue(const std::string& file, const char* section, const char* key);

// The settings file: $CFC_TRACE_INI, else cfctrace.ini in the user's cfc
// configuration directory.
std::string SignalTraceIniPath();
// Reads "Enable" and, when it is on, takes "Suffix" as this connection's file
// number and advances it in the file (after 999 it starts again at 0).
void ReadSignalTraceSettings(SignalTrace& signals);
// Called by WComClose before the receive thread stops while the signal trace
// is enabled: lets the module's last signal frames come out, then switches
// its signal trace off.
void FinishSignalTrace(SignalTrace& signals);
// Loads the signal-trace configuration of an operation mode ("ServiceMode",
// "NormalMode", "TestMode", "AirplaneMode") into the lists and sends the
// module its mask. The lists are emptied first, whether the signal trace is
// on or not.
void LoadSignalTraceConfig(SignalTrace& signals, const char* modeName);
// Bases plus added signals in the lists: what a module with the signal trace
// on has been asked to report beyond nothing.
uint32_t SignalTraceRequestCount(const SignalTrace& signals);

} // namespace cfc
