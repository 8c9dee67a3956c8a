"""Operations without a connection: the library's version, the trace file
switch, the switch-off drain wait, the stored port settings, the reason of
the last failed open and the words for an error code."""

from __future__ import annotations

import ctypes
from ctypes import byref, c_int32, c_uint8, c_uint32
from typing import Callable, NamedTuple, Optional

from ._base import error_text
from ._convert import decoded, flag, number
from ._library import WAIT_HOOK, call
from .errors import CfcError, OpenFailure


class PortSettings(NamedTuple):
    """The port and speed a production program last chose."""

    port: int
    baud_rate: int


def get_version() -> int:
    """The library's version number, 0x00014000 for 1.4000."""
    return int(call("WGetVersion"))


def get_error_text(code: int) -> str:
    """The library's words for the error code `code`; a code it does not
    know gets a general text."""
    return error_text(number(code, ctypes.c_uint16, "code"))


def enable_trace_file() -> None:
    """Switches the library's trace file on (tracefiles/tracefile.txt below
    the current directory)."""
    call("WEnableTraceFile")


def disable_trace_file() -> None:
    """Switches the library's trace file off."""
    call("WDisableTraceFile")


def set_switch_off_drain_wait(on: bool) -> None:
    """For a program that writes the module's signal trace: switch_off then
    first lets a configured signal trace come out for 10 s."""
    call("WSetSwitchOffDrainWait", flag(on, "on"))


def set_test_system_binding(on: bool) -> None:
    """Whether the first open of this process looks up the test system's
    libraries and runs their constructors (it does unless told otherwise).
    A script that never runs under a test system may call this with False
    before its first open; later calls change nothing."""
    call("WSetTestSystemBinding", flag(on, "on"))


# The library keeps only the function pointer: the callable behind it must
# live as long as it is set.
_wait_hook: Optional[object] = None

# The kinds of wait a hook hears of (CFC_WAIT_* of cfc.h).
CFC_WAIT_PROBES = 1
CFC_WAIT_EMMI = 2
CFC_WAIT_BOOT = 3
CFC_WAIT_FIRMWARE = 4
CFC_WAIT_SWITCH_OFF = 5
CFC_WAIT_SIGNAL_TRACE = 6
CFC_WAIT_ENDED = -1


def set_wait_hook(hook: Optional[Callable[[int, int, int], None]]) -> None:
    """Hears the library's long waits, for a script that shows how far they
    are: `hook(wait, done, total)` is called on the calling thread when a
    wait starts (`done` 0), at each of its steps (`done` 1 up to `total`;
    `total` 0 for a wait without counted steps) and when it ends (`done`
    CFC_WAIT_ENDED). `wait` is one of the CFC_WAIT_* kinds; waits nest. The
    hook must not call into cfckit. None ends the reports."""
    global _wait_hook
    if hook is None:
        call("WSetWaitHook", WAIT_HOOK(), None)
        _wait_hook = None
        return
    if not callable(hook):
        raise TypeError("hook must be callable or None")
    wrapped = WAIT_HOOK(lambda _context, wait, done, total: hook(wait, done, total))
    call("WSetWaitHook", wrapped, None)
    _wait_hook = wrapped


_PATH_SIZE = 4096
_REASON_SIZE = 512


def get_last_open_failure() -> OpenFailure:
    """Why the most recent failed open of this process failed.

    A later successful open does not clear the record.

    Returns:
        OpenFailure(kind, port, system_error, device_path, reason); kind is
        CFC_OPEN_OK when no open of this process has failed.
    """
    port, system_error = c_int32(0), c_int32(0)
    path, reason = (ctypes.c_char * _PATH_SIZE)(), (ctypes.c_char * _REASON_SIZE)()
    kind = call(
        "WGetLastOpenFailure",
        byref(port),
        byref(system_error),
        path,
        _PATH_SIZE,
        reason,
        _REASON_SIZE,
    )
    return OpenFailure(kind, port.value, system_error.value, decoded(path.raw), decoded(reason.raw))


def write_port_settings(port: int, baud_rate: int) -> None:
    """Keeps `port` (COM number, 0 to 255) and `baud_rate` for the user.

    Raises:
        CfcError: when the settings cannot be stored.
    """
    stored = call(
        "WWritePortSettings",
        number(port, c_uint8, "port"),
        number(baud_rate, c_uint32, "baud_rate"),
    )
    if stored == 0:
        raise CfcError("WWritePortSettings", 0, "the port settings could not be stored")


def read_port_settings() -> PortSettings:
    """The port and speed kept by write_port_settings; the speed is always
    115200, the service protocol's.

    Raises:
        CfcError: when no port is stored.
    """
    port, baud_rate = c_uint8(1), c_uint32(0)
    if call("WReadPortSettings", byref(port), byref(baud_rate)) == 0:
        raise CfcError("WReadPortSettings", 0, "no port settings are stored")
    return PortSettings(port.value, baud_rate.value)
