"""Finding and binding the CFC library.

Every C function gets its exact prototype here, because ctypes otherwise
passes Python integers as C ints and reads every result as one: a 32-bit
handle with its top bit set would come back negative, and a pointer
argument without its type could be truncated on 64-bit systems.
"""

from __future__ import annotations

import ctypes
import os
import sys
import threading
from ctypes import POINTER, c_char, c_char_p, c_int8, c_int16, c_int32, c_uint8, c_uint16, c_uint32
from pathlib import Path
from typing import Any, Callable, Dict, List, Optional, Tuple

_u8p = POINTER(c_uint8)
_u16p = POINTER(c_uint16)
_i16p = POINTER(c_int16)
_u32p = POINTER(c_uint32)
_i32p = POINTER(c_int32)
_charp = POINTER(c_char)

_H = c_uint32  # the connection handle

# The wait hook of cfc.h: context, wait kind, step done, steps in all.
WAIT_HOOK = ctypes.CFUNCTYPE(None, ctypes.c_void_p, c_int32, c_int32, c_int32)

# Result type and argument types of every operation cfc.h declares.
PROTOTYPES: Dict[str, Tuple[Any, List[Any]]] = {
    # Connection
    "WComOpen": (c_uint32, [c_int32, c_int32, c_uint32]),
    "WComClose": (c_int32, [_H]),
    "WGetLastError": (c_uint16, [_H]),
    "WGetVersion": (c_uint32, []),
    "WGetLastOpenFailure": (c_int32, [_i32p, _i32p, _charp, c_uint32, _charp, c_uint32]),
    "WGetErrorText": (c_char_p, [c_uint16]),
    "WGetLastErrorText": (c_uint32, [_H, _charp, c_uint32]),
    # Trace
    "WEnableTraceFile": (None, []),
    "WDisableTraceFile": (None, []),
    "WGetTraceLevel": (c_uint16, [_H]),
    "WSetTraceLevel": (c_uint32, [_H, c_uint16]),
    "WGetExitData": (c_int32, [_H, c_uint8, _u8p, _u8p]),
    "WStartModuleForTheFirstTime": (c_int32, [_H, c_uint16]),
    "WGetBootloaderVersion": (c_int32, [_H, _charp]),
    "WGetTargetVersion": (c_int32, [_H, _charp, c_uint32, _i16p, _charp, c_uint32, _u32p]),
    # Operation modes
    "WInitServiceMode": (c_int32, [_H]),
    "WInitNormalMode": (c_int32, [_H]),
    "WInitTestMode": (c_int32, [_H]),
    "WInitAirplaneMode": (c_int32, [_H]),
    "WInitNormalModeFromTestMode": (c_int32, [_H]),
    "WSwitchTargetToOperationMode": (c_int32, [_H, c_uint8]),
    "WExitServiceMode": (c_int32, [_H]),
    # Signal trace
    "WAddNimboTraceMask": (c_int32, [_H, c_uint32]),
    "WAddNimboSignal": (c_int32, [_H, c_uint32]),
    "WRemoveNimboSignal": (c_int32, [_H, c_uint32]),
    # Java autostart and switch-off
    "WSwitchJavaAutoStart": (c_int32, [_H, c_uint8]),
    "WSwitchOff": (c_int32, [_H]),
    "WSetSwitchOffDrainWait": (None, [c_int32]),
    "WSetWaitHook": (None, [WAIT_HOOK, ctypes.c_void_p]),
    "WSetTestSystemBinding": (None, [c_int32]),
    "WTerminateCall": (c_int32, [_H]),
    # AT commands
    "WSendAtCommand": (c_int32, [_H, c_char_p, _charp]),
    "WReceiveAtCommand": (c_int32, [_H, _charp]),
    "WSendAtCommandAndWait": (c_int32, [_H, c_char_p, c_char_p, c_int32]),
    "WStartCircuitSwitchedCall": (c_int32, [_H, c_char_p]),
    "WStartGPRSAttach": (c_int32, [_H]),
    "WPrepareNetworkRegistration": (c_int32, [_H, c_uint32, c_uint32]),
    # NVRAM calibration items
    "WReadNVRAMCalibrationItem": (c_int32, [_H, c_uint8, _u8p, c_uint16, _u16p]),
    "WCheckNVRAMCalibrationItem": (c_int32, [_H, c_uint8, _u8p]),
    "WWriteNVRAMCalibrationItem": (c_int32, [_H, c_uint8, _u8p, c_uint16]),
    "WEraseAllNVRAMCalibrationItems": (c_int32, [_H]),
    "WSaveAllOtherNVRAMCalibrationItems": (c_int32, [_H, c_uint16]),
    "WRestoreAllOtherNVRAMCalibrationItems": (c_int32, [_H, c_uint16]),
    "WCheckNVRAMQVCalibrationItem": (c_int32, [_H, c_uint16, _u8p]),
    "WReadNVRAMQVCalibrationItem": (c_int32, [_H, c_uint16, _u8p, c_uint16, _u16p]),
    "WWriteNVRAMQVCalibrationItem": (c_int32, [_H, c_uint16, _u8p, c_uint16]),
    "WReadNVRAMQVCalibrationItemVer": (c_int32, [_H, c_uint16, _u8p, c_uint16, _u16p, _u8p]),
    "WWriteNVRAMQVCalibrationItemVer": (c_int32, [_H, c_uint16, _u8p, c_uint16, c_uint8]),
    # NVRAM user items
    "WReadNVRAMUserItem": (c_int32, [_H, c_uint32, c_uint16, _u8p, c_uint16, _u16p]),
    "WWriteNVRAMUserItem": (c_int32, [_H, c_uint32, c_uint16, _u8p, c_uint16]),
    "WReadNVRAMUserItemVer": (c_int32, [_H, c_uint32, c_uint16, _u8p, c_uint16, _u16p, _u8p]),
    "WWriteNVRAMUserItemVer": (c_int32, [_H, c_uint32, c_uint16, _u8p, c_uint16, c_uint8]),
    "WDeleteNVRAMUserItem": (c_int32, [_H, c_uint32, c_uint16]),
    "WEraseAllNVRAMUserItems": (c_int32, [_H]),
    # Radio test control
    "WSetAFC": (c_int32, [_H, c_uint16]),
    "WSetAFCAndMeasure": (c_int32, [_H, c_uint16, c_uint16, _i16p]),
    "WSetGainProgramWord": (c_int32, [_H, c_uint16, c_uint8, c_uint8]),
    "WGetGainProgramWord": (c_int32, [_H, c_uint8, c_uint8, _u16p]),
    "WSetAccurateValue": (c_int32, [_H, c_uint16, c_uint8, c_uint8]),
    "WGetPowerValue": (c_int32, [_H, c_uint16, c_uint16, c_uint8, _i16p]),
    "WGetUsedIQOffsetValues": (c_int32, [_H, c_uint8, _i16p]),
    "WSetCurrentDualBandMode": (c_int32, [_H, c_uint8]),
    "WSetPowerRamp": (c_int32, [_H, _u16p]),
    "WSetRampScaleFactor": (c_int32, [_H, c_uint16]),
    "WRadioPowerOn": (c_int32, [_H]),
    "WRadioPowerDown": (c_int32, [_H]),
    "WRadioReceiverOn": (c_int32, [_H, c_uint32]),
    "WRadioReceiverOff": (c_int32, [_H, c_uint32]),
    "WRadioSendTelegram": (c_int32, [_H, c_uint32]),
    "WRadioSetInitTelegram": (c_int32, [_H, c_uint32, c_uint8]),
    "WStartLoopback": (c_int32, [_H, c_uint16, c_uint16, c_uint8, c_uint8, c_uint8]),
    "WChangeLoopback": (c_int32, [_H, c_uint16, c_uint8, c_uint8, c_uint8]),
    "WStopLoopback": (c_int32, [_H]),
    "WGetLoopbackData": (c_int32, [_H, _i16p, _i16p, _u16p, _u16p, _i16p]),
    "WConfigureGPRSMultiFrame": (
        c_int32,
        [_H, c_uint8, _u8p, c_uint16, c_uint16, c_uint16, c_uint16, c_uint16, c_uint16, c_uint16],
    ),
    "WChangeGPRSTiming": (c_int32, [_H, c_uint8, c_uint16, c_uint16, c_uint16, c_uint16]),
    "WSetGPRSUsage": (c_int32, [_H, c_uint8]),
    "WBBCRegister": (c_int32, [_H, c_uint16, _u16p, _u16p, _u16p]),
    "WSetPrechargeValue": (c_int32, [_H, c_uint16]),
    "WSetApexBandMode": (c_int32, [_H, c_uint8]),
    "WSetTxOffset": (c_int32, [_H, c_uint8, c_uint8]),
    "WSetAMLoopOffset": (c_int32, [_H, c_uint8, c_uint16, c_uint32, c_uint16, c_uint16]),
    "WInitGainCodeTemplates": (c_int32, [_H, c_uint8, c_uint8]),
    "WGetNextGainCode": (c_int32, [_H, _u16p]),
    # Bursts and GPRS slots
    "WSetBurstData": (c_int32, [_H, _u16p, c_uint8]),
    "WSetCfcBurstDataMode": (c_int32, [_H, c_uint8, c_uint8, c_uint8]),
    "WConfigureGPRSLogicalRxSlot": (c_int32, [_H, c_uint8, c_uint8, c_uint16]),
    "WConfigureGPRSLogicalTxSlot": (c_int32, [_H, c_uint8, c_uint8, c_uint8, c_uint8]),
    "WConfigureGPRSLogicalMonSlot": (c_int32, [_H, c_uint8, c_uint16]),
    "WConfigureGPRSLogicalUnusedSlot": (c_int32, [_H, c_uint8]),
    "WSetCircuitSwitchedTDMAFrame": (
        c_int32,
        [_H, c_uint8, _u8p, _u16p, _u16p, c_uint8, c_uint8, c_uint8, c_uint8, c_uint16],
    ),
    # AGC measure points
    "WGetGwIndexArray": (c_int32, [_H, _u16p]),
    "WSendGwRssiMPoints": (c_int32, [_H, _u16p, _i16p, _u16p, _i16p]),
    # Calibration store
    "WQuorleStoreCalibrationDataAFC": (c_int32, [_H, c_uint32, c_uint16]),
    "WQuorleStoreCalibrationDataTxIQOffsets": (c_int32, [_H, c_uint8, c_uint8, c_int8, c_int8]),
    "WQuorleStoreCalibrationDataScalingFactors": (c_int32, [_H, c_uint8, c_uint8, _u16p]),
    "WQuorleStoreCalibrationDataAMLoopOffsets": (c_int32, [_H, c_uint8, c_uint32]),
    "WQuorleStoreCalibrationDataAGCGainWords": (c_int32, [_H, c_uint8, _u16p]),
    "WQuorleStoreCalibrationDataAGCAccurateValues": (c_int32, [_H, c_uint8, _u16p]),
    "WQuorleStoreCalibrationDataTxDacOffsets": (c_int32, [_H, c_uint8, c_uint8, c_int16]),
    "WQuorleStoreCalibrationDataAutocalibrationTxIQOffsets": (c_int32, [_H, c_int16, c_int16]),
    "WWriteAllStoredValuesToModuleNVRAM": (c_int32, [_H, c_uint8]),
    # Identity and security
    "WGetFlashSerialNumber": (c_int32, [_H, _u8p]),
    "WGetSingleIE": (c_int32, [_H, c_uint16, _u16p]),
    "WResetIMEIMode": (c_int32, [_H, _u8p]),
    "WSetCustomerIMEIMode": (c_int32, [_H, _u8p]),
    "WReadSerialNumber": (c_int32, [_H, _u8p]),
    "WReadIMEI": (c_int32, [_H, _u8p]),
    "WInitIMEI": (c_int32, [_H]),
    "WFreezeIMEI": (c_int32, [_H, _u8p]),
    "WSetSecurityMode": (c_int32, [_H, _u16p, c_uint32]),
    "WRequestChallenge": (c_int32, [_H, _u8p]),
    "WSendResponse": (c_int32, [_H, _u8p]),
    "WGetMobileInformation": (c_int32, [_H, _u8p]),
    # Stored port settings
    "WWritePortSettings": (c_int32, [c_uint8, c_uint32]),
    "WReadPortSettings": (c_int32, [_u8p, _u32p]),
}


class LibraryError(OSError):
    """The CFC library cannot be loaded, or lacks an operation cfckit needs."""


def _windows_candidates() -> List[str]:
    # Since Python 3.8 the loader no longer searches PATH for a DLL named
    # without a directory, so PATH is walked here, after the copy that a
    # ZIP puts beside the package.
    here = Path(__file__).resolve().parent
    path = [Path(p) for p in os.environ.get("PATH", "").split(os.pathsep) if p]
    places = [here, here.parent] + path
    return [str(place / "cfc.dll") for place in places if (place / "cfc.dll").is_file()]


def _candidates() -> List[str]:
    explicit = os.environ.get("CFC_LIBRARY")
    if explicit:
        return [explicit]
    if sys.platform == "win32":
        return _windows_candidates() or ["cfc.dll"]
    return ["libcfc.so.1"]


class Library:
    """The loaded library and its bound operations."""

    def __init__(self, dll: ctypes.CDLL, path: str) -> None:
        self.path = path
        self._dll = dll
        self._bound: Dict[str, Callable[..., Any]] = {}

    def has(self, name: str) -> bool:
        return hasattr(self._dll, name)

    def function(self, name: str) -> Callable[..., Any]:
        bound = self._bound.get(name)
        if bound is not None:
            return bound
        try:
            bound = getattr(self._dll, name)
        except AttributeError:
            raise LibraryError(f"{self.path} has no {name}; it is older than this cfckit") from None
        restype, argtypes = PROTOTYPES[name]
        bound.restype = restype
        bound.argtypes = argtypes
        self._bound[name] = bound
        return bound


_lock = threading.Lock()
_library: Optional[Library] = None


def library() -> Library:
    """The CFC library, loaded on first use: CFC_LIBRARY when set, else
    libcfc.so.1 (or cfc.dll) through the system's loader."""
    global _library
    with _lock:
        if _library is None:
            errors = []
            for candidate in _candidates():
                try:
                    _library = Library(ctypes.CDLL(candidate), candidate)
                    break
                except OSError as error:
                    errors.append(str(error))
            else:
                hint = "set CFC_LIBRARY to the library's path"
                raise LibraryError(f"cannot load the CFC library ({'; '.join(errors)}); {hint}")
        return _library


def call(name: str, *args: Any) -> Any:
    """Calls the C operation `name` with `args` as its prototype converts them."""
    return library().function(name)(*args)
