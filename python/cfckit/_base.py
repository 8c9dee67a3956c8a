"""What every group of a connection's operations shares: the handle, the
call that turns a 0 into CfcError, and the words for an error code."""

from __future__ import annotations

import ctypes
from typing import Any, Callable, Optional, TypeVar

from ._convert import decoded
from ._library import call, library
from .errors import CfcError

F = TypeVar("F", bound=Callable[..., Any])

# The failures an operation that calls into the module's firmware can
# report; appended to the docstrings of such operations.
RPC_FAILURES = (
    "CfcError: code 1 when the request was not sent, 2 when no confirm came in "
    "time, 4 when no confirm carried the request's reference, 5 when the "
    "module reported failure or an unexpected confirm, or a code of the "
    "serial line (6 NAK, 8 time-out, 9 system)."
)
IDENTITY_FAILURES = RPC_FAILURES[:-1] + "; 700 + s for a non-zero status byte s of the module."
LOCAL_FAILURES = "CfcError: when the library refuses the values (the code says which)."


_REFUSED_VALUES = (
    "ValueError, TypeError: a value that does not fit its C type, or an area "
    "of the wrong size; nothing is sent. ValueError also on a closed connection."
)


def raises(text: str) -> Callable[[F], F]:
    """Adds the failures an operation raises to its docstring."""

    def mark(function: F) -> F:
        doc = (function.__doc__ or "").rstrip()
        function.__doc__ = (
            f"{doc}\n\n        Raises:\n            {text}\n            {_REFUSED_VALUES}\n        "
        )
        return function

    return mark


def error_text(code: int) -> str:
    """The library's fixed words for an error code."""
    if library().has("WGetErrorText"):
        raw = call("WGetErrorText", code)
        if raw:
            return raw.decode("latin-1")
    return f"library error {code}"


# The library cuts the text to this size; its longest texts, a code's words
# and the system's reason, take far less.
_TEXT_SIZE = 1024


def last_error_text(handle: int, code: int) -> str:
    """The connection's last error in words, with the system's reason."""
    if not library().has("WGetLastErrorText"):
        return error_text(code)
    text = (ctypes.c_char * _TEXT_SIZE)()
    call("WGetLastErrorText", handle, text, _TEXT_SIZE)
    return decoded(text.raw) or error_text(code)


class Operations:
    """The handle of one open connection and the call of its operations."""

    _handle: Optional[int]

    def _live_handle(self) -> int:
        if self._handle is None:
            raise ValueError("operation on a closed connection")
        return self._handle

    def _call(self, name: str, *args: Any) -> None:
        """Runs the operation `name` on this connection; a 0 raises CfcError."""
        handle = self._live_handle()
        if call(name, handle, *args) == 0:
            raise self._failure(name, handle)

    def _failure(self, name: str, handle: int) -> CfcError:
        code = call("WGetLastError", handle)
        if code == 0:
            # The words for 0 would read as success.
            return CfcError(name, code, "the library gave no reason")
        return CfcError(name, code, last_error_text(handle, code))
