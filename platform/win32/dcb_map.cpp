#include "win32/dcb_map.h"

#include "common/line_settings.h"

namespace plat::detail {

namespace {

BYTE parityCode(Parity parity)
{
    switch (parity) {
    case Parity::None: return NOPARITY;
    case Parity::Odd: return ODDPARITY;
    case Parity::Even: return EVENPARITY;
    case Parity::Mark: return MARKPARITY;
    case Parity::Space: return SPACEPARITY;
    }
    return NOPARITY;
}

Parity parityOf(BYTE code)
{
    switch (code) {
    case ODDPARITY: return Parity::Odd;
    case EVENPARITY: return Parity::Even;
    case MARKPARITY: return Parity::Mark;
    case SPACEPARITY: return Parity::Space;
    default: return Parity::None;
    }
}

BYTE stopBitsCode(StopBits stopBits)
{
    switch (stopBits) {
    case StopBits::One: return ONESTOPBIT;
    case StopBits::OneAndHalf: return ONE5STOPBITS;
    case StopBits::Two: return TWOSTOPBITS;
    }
    return ONESTOPBIT;
}

StopBits stopBitsOf(BYTE code)
{
    switch (code) {
    case ONE5STOPBITS: return StopBits::OneAndHalf;
    case TWOSTOPBITS: return StopBits::Two;
    default: return StopBits::One;
    }
}

} // namespace

void toDcb(const LineSettings& settings, DCB& dcb)
{
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = settings.baudRate;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = settings.flowControl == FlowControl::RtsCts;
    dcb.fOutxDsrFlow = settings.flowControl == FlowControl::DtrDsr;
    dcb.fDtrControl = driverOwnsDtr(settings)
                          ? DTR_CONTROL_HANDSHAKE
                          : (settings.dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE);
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = settings.flowControl == FlowControl::XonXoff;
    dcb.fInX = settings.flowControl == FlowControl::XonXoff;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = driverOwnsRts(settings)
                          ? RTS_CONTROL_HANDSHAKE
                          : (settings.rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE);
    dcb.fAbortOnError = FALSE;
    dcb.XonLim = 0;
    dcb.XoffLim = 0;
    dcb.ByteSize = settings.dataBits;
    dcb.Parity = parityCode(settings.parity);
    dcb.StopBits = stopBitsCode(settings.stopBits);
    dcb.XonChar = settings.xonChar;
    dcb.XoffChar = settings.xoffChar;
    dcb.ErrorChar = 0;
    dcb.EofChar = 0;
    dcb.EvtChar = 0;
}

void fromDcb(const DCB& dcb, LineSettings& settings)
{
    settings.baudRate = dcb.BaudRate;
    settings.dataBits = dcb.ByteSize;
    settings.parity = parityOf(dcb.Parity);
    settings.stopBits = stopBitsOf(dcb.StopBits);
    if (dcb.fOutxCtsFlow && dcb.fRtsControl == RTS_CONTROL_HANDSHAKE)
        settings.flowControl = FlowControl::RtsCts;
    else if (dcb.fOutxDsrFlow && dcb.fDtrControl == DTR_CONTROL_HANDSHAKE)
        settings.flowControl = FlowControl::DtrDsr;
    else if (dcb.fOutX && dcb.fInX)
        settings.flowControl = FlowControl::XonXoff;
    else
        settings.flowControl = FlowControl::None;
    settings.xonChar = dcb.XonChar;
    settings.xoffChar = dcb.XoffChar;
}

bool sameFormat(const DCB& asked, const DCB& got)
{
    return asked.BaudRate == got.BaudRate && asked.ByteSize == got.ByteSize &&
           asked.Parity == got.Parity && asked.StopBits == got.StopBits &&
           asked.fOutxCtsFlow == got.fOutxCtsFlow && asked.fOutxDsrFlow == got.fOutxDsrFlow &&
           asked.fOutX == got.fOutX && asked.fInX == got.fInX;
}

} // namespace plat::detail
