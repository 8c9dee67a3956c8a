"""Opening a module's port, and the connection with its operations."""

from __future__ import annotations

import ctypes
import re
from ctypes import byref, c_int32, c_uint8, c_uint16, c_uint32
from enum import IntEnum
from types import TracebackType
from typing import NamedTuple, Optional, Type, Union

from ._base import LOCAL_FAILURES, RPC_FAILURES, last_error_text, raises
from ._convert import decoded, flag, number, output, text
from ._library import call
from .errors import CFC_OPEN_OK, CFC_OPEN_OTHER, CfcError, OpenError, OpenFailure
from .identity import IdentityOperations
from .nvram import NvramOperations
from .process import get_last_open_failure
from .radio import RadioOperations


class PublicMode(IntEnum):
    """The mode numbers of switch_target_to_operation_mode."""

    NORMAL = 0
    SERVICE = 1
    AIRPLANE = 2
    TEST = 3


CFCNormalMode = PublicMode.NORMAL
CFCServiceMode = PublicMode.SERVICE
CFCAirplaneMode = PublicMode.AIRPLANE
CFCTestMode = PublicMode.TEST


class TargetVersion(NamedTuple):
    """The firmware as its version text names it."""

    project: str
    number: int
    """The version number."""
    postfix: str
    rpc_version: int
    """The RPC version word: the major number in the upper 16 bits."""


class ExitData(NamedTuple):
    """The "EXIT" records the module reported since the open."""

    count: int
    """How many it reported (it goes on counting past the three stored)."""
    records: bytes
    """The stored records, 16 bytes each: four 32-bit values, low byte first."""


_AT_RESPONSE_SIZE = 513
_BOOTLOADER_TEXT_SIZE = 25
# Room for any project or postfix a version text can carry.
_VERSION_TEXT_SIZE = 64
_MODE_FAILURES = RPC_FAILURES + (
    " Code 17 when the module kept its old mode, 19 when its line did not come"
    " to EMMI, 20 when a booted module did not start."
)
_COM_NAME = re.compile(r"(?:com)?(\d+)", re.IGNORECASE)


def com_number(port: Union[int, str]) -> int:
    """The COM number of `port`: a number (3) or a name ("COM3", "com3")."""
    if isinstance(port, str):
        match = _COM_NAME.fullmatch(port.strip())
        if match is None:
            raise ValueError(f"{port!r} is not a COM port; give its number (3) or name (COM3)")
        port = int(match.group(1))
    number_ = number(port, c_int32, "port")
    if number_ < 1:
        raise ValueError(f"COM numbers start at 1, not {number_}")
    return number_


def _slot_handle(port: int) -> int:
    # A failed open hands out no handle, but the library keeps the reason in
    # the port's connection slot, which its handle value still reads.
    slot = min(port, 31)
    return 0xCFC00CFC | (slot << 12)


def _open_error(port: int) -> OpenError:
    handle = _slot_handle(port)
    code = call("WGetLastError", handle)
    failure = get_last_open_failure()
    if failure.kind == CFC_OPEN_OK or failure.port != port:
        # The port opened, but the connection around it could not be set up;
        # the record is from an earlier failure, if any.
        failure = OpenFailure(CFC_OPEN_OTHER, port, 0, "", last_error_text(handle, code))
    where = f"COM{port} ({failure.device_path})" if failure.device_path else f"COM{port}"
    return OpenError(code, f"cannot open {where}: {failure.reason}", failure)


def open(port: Union[int, str], baud: int = 115200, test_case_handle: int = 0) -> "Connection":
    """Opens the module's port and returns the connection.

    Use it as a context manager, which closes the connection on every path:

        with cfckit.open("COM3") as module:
            module.init_service_mode()

    Args:
        port: the COM number (3) or its name ("COM3", "com3"). On Linux the
            name resolves to a device as for the programs: the environment
            variable CFC_COM<n>, then section [Ports] of ports.ini, then the
            defaults.
        baud: the line speed; 0 means 115200.
        test_case_handle: a test system's test-case handle, 0 for none.

    Returns:
        The open Connection.

    Raises:
        OpenError (a CfcError): the port could not be opened; its `kind`,
            `device_path` and `reason` say why.
        ValueError: `port` names no COM port.
    """
    number_ = com_number(port)
    handle = call(
        "WComOpen",
        number_,
        number(baud, c_int32, "baud"),
        number(test_case_handle, c_uint32, "test_case_handle"),
    )
    if handle == 0:
        raise _open_error(number_)
    return Connection(handle, number_)


def com_open(port: Union[int, str], baud: int = 115200, test_case_handle: int = 0) -> "Connection":
    """The same as open()."""
    return open(port, baud, test_case_handle)


class Connection(NvramOperations, RadioOperations, IdentityOperations):
    """One open module port. Every operation raises CfcError when the
    library reports failure; after close() every operation raises
    ValueError."""

    def __init__(self, handle: int, port: int) -> None:
        self._handle: Optional[int] = handle
        self._port = port

    @property
    def handle(self) -> int:
        """The library's connection handle."""
        return self._live_handle()

    @property
    def port(self) -> int:
        """The COM number."""
        return self._port

    @property
    def closed(self) -> bool:
        """Whether close() was called."""
        return self._handle is None

    def __repr__(self) -> str:
        state = "closed" if self._handle is None else f"handle 0x{self._handle:08x}"
        return f"<cfckit.Connection COM{self._port}, {state}>"

    def __enter__(self) -> "Connection":
        return self

    def __exit__(
        self,
        kind: Optional[Type[BaseException]],
        error: Optional[BaseException],
        trace: Optional[TracebackType],
    ) -> None:
        if error is None:
            self.close()
            return
        # The failure that ended the block matters more than one of the close.
        try:
            self.close()
        except CfcError:
            pass

    def close(self) -> None:
        """Closes the connection; closing it again does nothing.

        Raises:
            CfcError: when the library found the connection not open.
        """
        if self._handle is None:
            return
        handle, self._handle = self._handle, None
        if call("WComClose", handle) == 0:
            code = call("WGetLastError", handle)
            raise CfcError("WComClose", code, "the connection was not open")

    def com_close(self) -> None:
        """The same as close()."""
        self.close()

    @property
    def last_error(self) -> int:
        """The connection's last error, without raising (0 before any failure)."""
        return self.get_last_error()

    def get_last_error(self) -> int:
        """The code of the connection's last failure; success does not clear it."""
        return int(call("WGetLastError", self._live_handle()))

    def get_last_error_text(self) -> str:
        """The connection's last error in words, with the system's reason
        where one is behind it."""
        handle = self._live_handle()
        return last_error_text(handle, call("WGetLastError", handle))

    def get_trace_level(self) -> int:
        """The connection's trace level: lines above it are not written."""
        return int(call("WGetTraceLevel", self._live_handle()))

    def set_trace_level(self, level: int) -> None:
        """Sets the connection's trace level (0 to 65535; 9 writes every line)."""
        call("WSetTraceLevel", self._live_handle(), number(level, c_uint16, "level"))

    @raises(LOCAL_FAILURES)
    def get_exit_data(self, size: int = 48) -> ExitData:
        """The "EXIT" records the module reported since the open.

        Args:
            size: the most record bytes to deliver (0 to 255; 48 holds the
                three that are stored).

        Returns:
            ExitData(count, records).
        """
        length = number(size, c_uint8, "size")
        count, data = c_uint8(0), output(length)
        self._call("WGetExitData", length, byref(count), data)
        delivered = min(length, min(count.value, 3) * 16)
        return ExitData(count.value, bytes(data)[:delivered])

    @raises("CfcError: code 8 when the module sent nothing in time.")
    def start_module_for_the_first_time(self, count: int) -> None:
        """Switches the module on with an ignition pulse (DTR high) held until
        it has sent its first bytes, waiting at most `count` seconds."""
        self._call("WStartModuleForTheFirstTime", number(count, c_uint16, "count"))

    @raises("CfcError: code 22 while the module's version is not known yet.")
    def get_bootloader_version(self) -> str:
        """The module's bootloader version text (at most 24 characters), known
        after the first call into the firmware."""
        buffer = (ctypes.c_char * _BOOTLOADER_TEXT_SIZE)()
        self._call("WGetBootloaderVersion", buffer)
        return decoded(buffer.raw)

    @raises("CfcError: code 22 while the module's version is not known yet.")
    def get_target_version(self) -> TargetVersion:
        """The firmware's project, version number, postfix and RPC version,
        known after the first call into the firmware.

        Returns:
            TargetVersion(project, number, postfix, rpc_version).
        """
        project = (ctypes.c_char * _VERSION_TEXT_SIZE)()
        postfix = (ctypes.c_char * _VERSION_TEXT_SIZE)()
        version, rpc = ctypes.c_int16(0), ctypes.c_uint32(0)
        self._call(
            "WGetTargetVersion",
            project,
            _VERSION_TEXT_SIZE,
            ctypes.byref(version),
            postfix,
            _VERSION_TEXT_SIZE,
            ctypes.byref(rpc),
        )
        return TargetVersion(decoded(project.raw), version.value, decoded(postfix.raw), rpc.value)

    @raises(_MODE_FAILURES)
    def init_service_mode(self) -> None:
        """Brings the serial line to EMMI (booting a silent module), loads the
        mode's signal-trace settings and switches the firmware into service mode."""
        self._call("WInitServiceMode")

    @raises(_MODE_FAILURES)
    def init_normal_mode(self) -> None:
        """As init_service_mode, into normal mode."""
        self._call("WInitNormalMode")

    @raises(_MODE_FAILURES)
    def init_test_mode(self) -> None:
        """As init_service_mode, into test mode."""
        self._call("WInitTestMode")

    @raises(_MODE_FAILURES)
    def init_airplane_mode(self) -> None:
        """As init_service_mode, into airplane mode."""
        self._call("WInitAirplaneMode")

    @raises(_MODE_FAILURES)
    def init_normal_mode_from_test_mode(self) -> None:
        """Ends test mode and switches the firmware into normal mode."""
        self._call("WInitNormalModeFromTestMode")

    @raises(_MODE_FAILURES)
    def switch_target_to_operation_mode(self, public_mode: int) -> None:
        """Switches the firmware into `public_mode` (a PublicMode: 0 normal,
        1 service, 2 airplane, 3 test); any other number fails."""
        self._call("WSwitchTargetToOperationMode", number(public_mode, c_uint8, "public_mode"))

    @raises(RPC_FAILURES)
    def exit_service_mode(self) -> None:
        """Leaves service mode."""
        self._call("WExitServiceMode")

    @raises("CfcError: when the list of bases is full (64).")
    def add_nimbo_trace_mask(self, base: int) -> None:
        """Adds a whole base to the signal-trace lists (a base is given like a
        signal of it: 0xGGGGBB00)."""
        self._call("WAddNimboTraceMask", number(base, c_uint32, "base"))

    @raises("CfcError: when the list of signals is full (128).")
    def add_nimbo_signal(self, signal: int) -> None:
        """Adds one signal (0xGGGGBBNN) to the signal-trace lists."""
        self._call("WAddNimboSignal", number(signal, c_uint32, "signal"))

    @raises("CfcError: when the list of removed signals is full (128).")
    def remove_nimbo_signal(self, signal: int) -> None:
        """Takes one signal (0xGGGGBBNN) out of the signal trace."""
        self._call("WRemoveNimboSignal", number(signal, c_uint32, "signal"))

    @raises(RPC_FAILURES)
    def switch_java_auto_start(self, on: bool) -> None:
        """Switches the module's Java autostart on or off."""
        self._call("WSwitchJavaAutoStart", flag(on, "on"))

    @raises(RPC_FAILURES + " Code 18 when the module went on answering.")
    def switch_off(self) -> None:
        """Switches the module off and waits until its serial line is silent."""
        self._call("WSwitchOff")

    @raises(RPC_FAILURES)
    def terminate_call(self) -> None:
        """Ends a running call."""
        self._call("WTerminateCall")

    @raises(RPC_FAILURES + " The library refuses a command of more than 126 characters.")
    def send_at_command(self, command: str, response: bool = True) -> Optional[str]:
        """Sends an AT command through the firmware.

        Args:
            command: the command text, at most 126 characters.
            response: wait for the module's response; False awaits the echo only.

        Returns:
            The response, line ends written as "<CR>" and "<LF>"; None when
            `response` is False.
        """
        encoded = text(command, "command")
        if not response:
            self._call("WSendAtCommand", encoded, None)
            return None
        answer = (ctypes.c_char * _AT_RESPONSE_SIZE)()
        self._call("WSendAtCommand", encoded, answer)
        return decoded(answer.raw)

    @raises(RPC_FAILURES)
    def receive_at_command(self) -> str:
        """Waits for the module's next AT text and returns it."""
        answer = (ctypes.c_char * _AT_RESPONSE_SIZE)()
        self._call("WReceiveAtCommand", answer)
        return decoded(answer.raw)

    @raises(RPC_FAILURES + " Also when an ERROR came or the text did not.")
    def send_at_command_and_wait(self, command: str, expected: str, seconds: int) -> None:
        """Sends `command` and waits up to `seconds` further texts for one
        holding `expected`."""
        self._call(
            "WSendAtCommandAndWait",
            text(command, "command"),
            text(expected, "expected"),
            number(seconds, c_int32, "seconds"),
        )

    @raises(RPC_FAILURES + " A number of 252 characters or more fails with its length as code.")
    def start_circuit_switched_call(self, number_to_dial: str) -> None:
        """Dials `number_to_dial` after a 2 s settling wait."""
        self._call("WStartCircuitSwitchedCall", text(number_to_dial, "number"))

    @raises(RPC_FAILURES)
    def start_gprs_attach(self) -> None:
        """Attaches to GPRS (AT+CGATT=1) after a 2 s settling wait."""
        self._call("WStartGPRSAttach")

    @raises(LOCAL_FAILURES)
    def prepare_network_registration(self, timeout1: int, timeout2: int) -> None:
        """Kept for older programs: traces its arguments and does nothing else."""
        self._call(
            "WPrepareNetworkRegistration",
            number(timeout1, c_uint32, "timeout1"),
            number(timeout2, c_uint32, "timeout2"),
        )
