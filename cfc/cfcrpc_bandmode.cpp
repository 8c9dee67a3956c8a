// The band mode change: the module takes the new band mode in its own time,
// so the call writes it and reads it back until the module reports it.
#include "cfc_calibration.h"
#include "cfc_connection.h"
#include "cfc_trace.h"
#include "cfcemmi.h"
#include "cfcmsg.h"
#include "cfcrpc_engine.h"
#include "cfcrpc_radio.h"

#include <array>

namespace cfc {

namespace {

constexpr size_t kWriteConfirmSize = 3;
constexpr size_t kReadConfirmSize = 3;
constexpr size_t kReadValid = 0;
constexpr size_t kReadBandMode = 2;
constexpr uint8_t kProbeItem = 0;

enum class Read : uint8_t { Valid, Invalid, ModuleGone, NotSent };

class BandModeChange {
public:
    BandModeChange(Connection& connection, uint8_t bandMode)
        : connection_(connection), trace_(connection.trace, "(RPC )", "CFCRPCApexBandModeChange"),
          bandMode_(bandMode), writeReference_(rpc::DrawReference()),
          readReference_(rpc::DrawReference())
    {
    }

    uint16_t run()
    {
        for (unsigned pass = 0; pass < kBandModePasses; ++pass) {
            if (!write())
                return notSent_;
            uint8_t current = 0;
            Read read = Read::Invalid;
            for (unsigned attempt = 0; attempt < kBandModeReads && read == Read::Invalid; ++attempt)
                read = this->read(current);
            if (read == Read::NotSent)
                return notSent_;
            if (read == Read::ModuleGone)
                return kRpcNoConfirm;
            if (read == Read::Invalid) {
                trace_.step(4, "fail - no valid read after %u reads", kBandModeReads);
                return kRpcBadConfirm;
            }
            trace_.step(6, "read gives current bandmode %d, should be %d", current, bandMode_);
            if (current == bandMode_)
                return kRpcOk;
        }
        trace_.step(4, "fail - bandmode not taken after %u passes", kBandModePasses);
        return kRpcBadConfirm;
    }

private:
    bool write()
    {
        trace_.step(6, "send CFCRequestApexMmWriteBandMode...");
        GetTargetVersion(connection_);
        std::array<uint8_t, 3> request{};
        rpc::Payload payload(request);
        payload.le16(writeReference_).u8(bandMode_);
        if (!sent(CFCRequestApexMmWriteBandMode, payload))
            return false;
        // The write's confirm carries nothing the call needs.
        std::array<uint8_t, kWriteConfirmSize> confirm;
        const rpc::ConfirmWait wait{CFCConfirmApexMmWriteBandMode, rpc::Discipline::ThreeReceptions,
                                    false};
        if (rpc::AwaitConfirm(connection_.messages, connection_.trace, wait, writeReference_,
                              confirm) == rpc::Reception::Missing)
            trace_.step(6, "no CFCConfirmApexMmWriteBandMode recvd");
        return true;
    }

    Read read(uint8_t& current)
    {
        GetTargetVersion(connection_);
        trace_.step(6, "send CFCRequestApexMmReadBandMode...");
        std::array<uint8_t, 2> request{};
        rpc::Payload payload(request);
        payload.le16(readReference_);
        if (!sent(CFCRequestApexMmReadBandMode, payload)) {
            trace_.step(4, "fail - could not send CFCRequestApexMmReadBandMode");
            return Read::NotSent;
        }
        std::array<uint8_t, kReadConfirmSize> confirm;
        const rpc::ConfirmWait wait{CFCConfirmApexMmReadBandMode, rpc::Discipline::ThreeReceptions,
                                    false};
        size_t received = 0;
        if (rpc::AwaitConfirm(connection_.messages, connection_.trace, wait, readReference_,
                              confirm, &received) == rpc::Reception::Missing) {
            trace_.step(6, "no CFCConfirmApexMmReadBandMode recvd");
            // A silent module and a busy one look alike here; an item check
            // tells them apart.
            uint8_t present = 0;
            if (!CheckCalibrationItem(connection_, kProbeItem, &present)) {
                trace_.step(4, "fail - module doesn't answer");
                return Read::ModuleGone;
            }
            trace_.step(6, "module is alive, retry...");
            return Read::Invalid;
        }
        const rpc::Fields fields(confirm);
        // A confirm without its band mode tells no more than an invalid one.
        if (received < confirm.size() || fields.le16(kReadValid) == 0) {
            trace_.step(6, "read fails");
            return Read::Invalid;
        }
        trace_.step(6, "read O.K.");
        current = fields.u8(kReadBandMode);
        return Read::Valid;
    }

    bool sent(uint16_t id, const rpc::Payload& payload)
    {
        const ErrorCode code =
            CFCSendMessageToTarget(connection_.messages, id, payload.data(), payload.size());
        notSent_ = rpc::NotSentResult(code);
        return code == EMMIERR_OK;
    }

    Connection& connection_;
    const OpTrace trace_;
    const uint8_t bandMode_;
    const uint16_t writeReference_;
    const uint16_t readReference_;
    uint16_t notSent_ = kRpcNotSent;
};

} // namespace

uint16_t CFCRPCApexBandModeChange(Connection& connection, uint8_t bandMode)
{
    return BandModeChange(connection, bandMode).run();
}

} // namespace cfc
