"""Checks of Python values before they become C arguments.

ctypes cuts an integer that does not fit its C type without a word (300 as
a byte is sent as 44), and a short array would let the library read past
its end; both are refused here, before anything reaches the module.
"""

from __future__ import annotations

import ctypes
from typing import Any, Sequence, Tuple, Type, Union

BytesLike = Union[bytes, bytearray, memoryview]

_RANGES = {
    ctypes.c_uint8: (0, 0xFF),
    ctypes.c_int8: (-0x80, 0x7F),
    ctypes.c_uint16: (0, 0xFFFF),
    ctypes.c_int16: (-0x8000, 0x7FFF),
    ctypes.c_uint32: (0, 0xFFFFFFFF),
    ctypes.c_int32: (-0x80000000, 0x7FFFFFFF),
}


def number(value: Any, ctype: Type[Any], name: str) -> int:
    """`value` as an integer that fits `ctype`; TypeError or ValueError otherwise."""
    if isinstance(value, bool):
        value = int(value)
    if not isinstance(value, int):
        try:
            value = value.__index__()
        except AttributeError:
            raise TypeError(f"{name} must be an integer, not {type(value).__name__}") from None
    low, high = _RANGES[ctype]
    if not low <= value <= high:
        raise ValueError(f"{name} must lie between {low} and {high}, not {value}")
    return value


def flag(value: Any, name: str) -> int:
    """A switch given as a bool (or 0/1) as the byte the library takes."""
    return 1 if number(value, ctypes.c_uint8, name) else 0


def area(data: BytesLike, name: str, size: Union[int, None] = None) -> Tuple[Any, int]:
    """A byte area for the library and its length; `size` demands an exact one."""
    if not isinstance(data, (bytes, bytearray, memoryview)):
        raise TypeError(f"{name} must be bytes, not {type(data).__name__}")
    raw = bytes(data)
    if size is not None and len(raw) != size:
        raise ValueError(f"{name} must hold {size} bytes, not {len(raw)}")
    if len(raw) > 0xFFFF:
        raise ValueError(f"{name} may hold at most 65535 bytes, not {len(raw)}")
    buffer = (ctypes.c_uint8 * max(len(raw), 1)).from_buffer_copy(raw or b"\0")
    return buffer, len(raw)


def words(values: Sequence[int], ctype: Type[Any], count: int, name: str) -> Any:
    """A C array of exactly `count` integers that each fit `ctype`."""
    if isinstance(values, (str, bytes)):
        raise TypeError(f"{name} must be a sequence of {count} integers")
    items = list(values)
    if len(items) != count:
        raise ValueError(f"{name} must hold {count} values, not {len(items)}")
    return (ctype * count)(*(number(v, ctype, f"{name}[{i}]") for i, v in enumerate(items)))


def text(value: str, name: str) -> bytes:
    """A text for the library: ASCII, no NUL, which would cut it short."""
    if not isinstance(value, str):
        raise TypeError(f"{name} must be a str, not {type(value).__name__}")
    if "\0" in value:
        raise ValueError(f"{name} must not hold a NUL character")
    try:
        return value.encode("ascii")
    except UnicodeEncodeError:
        raise ValueError(f"{name} must be ASCII text: {value!r}") from None


def output(size: int) -> Any:
    """A zeroed byte area the library writes into."""
    return (ctypes.c_uint8 * max(size, 1))()


def decoded(raw: bytes) -> str:
    """A zero-terminated text from the library."""
    return raw.split(b"\0", 1)[0].decode("latin-1")
