"""Failures of the library's operations, and the codes they carry."""

from __future__ import annotations

from typing import NamedTuple, Optional

# The codes a connection's last error can hold (the C header emmierr.h).
EMMIERR_OK = 0
EMMIERR_ACK = 1
EMMIERR_CHECKSUM = 2
EMMIERR_PORT_IN_USE = 3
EMMIERR_PORT_OPEN = 4
EMMIERR_FRAME_END = 5
EMMIERR_NAK = 6
EMMIERR_SYNC_LOST = 7
EMMIERR_TIMEOUT = 8
EMMIERR_SYSTEM = 9
EMMIERR_BAD_HANDLE = 10
EMMIERR_BAD_ARGUMENT = 11
EMMIERR_BAD_BAND = 12
EMMIERR_BAD_AM_LOOP_OFFSET = 13
EMMIERR_BAD_MODULATION = 14
EMMIERR_BAD_RAMP_DAC = 15
EMMIERR_BAD_BURST_STATUS = 16
EMMIERR_MODE_NOT_TAKEN = 17
EMMIERR_NOT_SWITCHED_OFF = 18
EMMIERR_NO_EMMI = 19
EMMIERR_NOT_STARTED = 20
EMMIERR_TABLE_END = 21
EMMIERR_VERSION_UNKNOWN = 22
EMMIERR_STATUS_BASE = 700

# The same numbers as results of the calls into the module's firmware.
CFCRPC_OK = 0
CFCRPC_NOT_SENT = 1
CFCRPC_NO_CONFIRM = 2
CFCRPC_BAD_REFERENCE = 4
CFCRPC_BAD_CONFIRM = 5
CFCRPC_UNDEFINED_ITEM_STATE = 6
CFCRPC_NO_MEMORY = 9

# Why an open failed (the CFC_OPEN_* kinds of cfc.h).
CFC_OPEN_OK = 0
CFC_OPEN_NO_DEVICE = 1
CFC_OPEN_DENIED = 2
CFC_OPEN_BUSY = 3
CFC_OPEN_SLOT_IN_USE = 4
CFC_OPEN_OTHER = 5


class OpenFailure(NamedTuple):
    """Why the most recent failed open of this process failed."""

    kind: int
    """One of the CFC_OPEN_* kinds; CFC_OPEN_OK when no open has failed."""
    port: int
    """The COM number that was asked for."""
    system_error: int
    """The operating system's error number, 0 when it gave none."""
    device_path: str
    """The device the COM number resolved to; empty when it maps to none."""
    reason: str
    """The system's reason in words."""


class CfcError(Exception):
    """An operation of the library failed (returned 0).

    Attributes:
        code: the connection's last error after the failure (the codes of
            emmierr.h, for example 8 for a time-out, 5 for a module that
            reports failure, 700 + s for a status byte s of an identity call).
        operation: the C name of the operation, for example "WReadIMEI".
        text: the library's words for the code, with the system's reason
            where one is behind it.
    """

    def __init__(self, operation: str, code: int, text: str) -> None:
        super().__init__(operation, code, text)
        self.operation = operation
        self.code = code
        self.text = " ".join(text.split())

    def __str__(self) -> str:
        return f"{self.operation} failed with error {self.code}: {self.text}"


class OpenError(CfcError):
    """The port could not be opened; `failure` says why.

    `code` is the last error the library kept for the port's connection (3
    when this process has the port open already, 4 or 9 when the system
    refused the port).
    """

    def __init__(self, code: int, text: str, failure: Optional[OpenFailure]) -> None:
        super().__init__("WComOpen", code, text)
        self.failure = failure

    @property
    def kind(self) -> int:
        """The CFC_OPEN_* kind of the failure."""
        return self.failure.kind if self.failure else CFC_OPEN_OTHER

    @property
    def device_path(self) -> str:
        """The device the port resolved to, empty when none."""
        return self.failure.device_path if self.failure else ""

    @property
    def reason(self) -> str:
        """The system's reason in words."""
        return self.failure.reason if self.failure else self.text

    @property
    def system_error(self) -> int:
        """The system's error number, 0 when it gave none."""
        return self.failure.system_error if self.failure else 0


__all__ = [name for name in dir() if name.isupper()] + ["CfcError", "OpenError", "OpenFailure"]
