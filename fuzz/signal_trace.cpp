// Arbitrary signal frames (type 0xD4) through the receive thread of a real
// connection with the signal trace on, into the signal-trace files: first
// frames shorter than their header, continuing frames of any length, signal
// lengths that do not match the data, suffixes of any size.
//
// Input: one byte for the file suffix's low bits, then frames, each a length
// byte and that many bytes following the type (segment number first). The
// files are emptied after every input so a long run stays small on disk.
#include "module_line.h"

#include "cfc_connection.h"
#include "gwcoml3.h"

#include "sim/wire.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// The files go below the working directory: a fresh one for the run.
void enterScratchDirectory()
{
    static const bool entered = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "fuzz-signal-trace.XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        std::filesystem::current_path(pattern);
        std::filesystem::create_directory("cfctrace");
        return true;
    }();
    (void)entered;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    enterScratchDirectory();
    fuzzlink::ModuleLine& line = fuzzlink::ModuleLine::instance();
    cfc::SignalTrace& signals = cfc::ConnectionOf(line.handle())->signals;
    signals.enable.store(1);
    // Negative and wide suffixes too: the names must still fit.
    // Spread in unsigned arithmetic, which wraps, then read back as signed.
    signals.suffix.store(static_cast<int32_t>(
        static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(data[0]))) * 0x01010101u));

    std::vector<uint8_t> wire;
    for (size_t at = 1; at < size;) {
        const size_t length = std::min<size_t>(data[at], size - at - 1);
        std::vector<uint8_t> frame{cfc::kMsgTypeSignalTrace};
        frame.insert(frame.end(), data + at + 1, data + at + 1 + length);
        if (frame.size() > sim::kMaxFrameData)
            frame.resize(sim::kMaxFrameData);
        const std::vector<uint8_t> encoded = sim::encodeFrame(frame);
        wire.insert(wire.end(), encoded.begin(), encoded.end());
        at += 1 + length;
    }
    line.send(wire.data(), wire.size());
    line.settle();

    signals.enable.store(0);
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("cfctrace", ignored))
        std::filesystem::remove(entry.path(), ignored);
    return 0;
}
